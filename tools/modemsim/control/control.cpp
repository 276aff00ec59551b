// SPDX-License-Identifier: LGPL-2.1-or-later
#include "control.h"

#include "chaos.h"
#include "commands.h"
#include "contract.h"
#include "values.h"
#include "modem.h"
#include "scenario.h"
#include "scripts.h"
#include "service.h"
#include "simulator.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>
#include <QDateTime>
#include <QTextStream>

#include <algorithm>

Control::Control(Simulator *sim_, ModemEvents *events_)
    : QObject(sim_)
    , sim(sim_)
    , events(events_)
    , scripts(nullptr)
    , chaos(new Chaos(sim_))
    , scenario(new Scenario([this](const Request &request) { perform(request); }, this))
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
    // The hostile mode sees a call first, then the scripted answers.
    scripts = new Scripts(sim);
    connect(scenario, &Scenario::stepTaken, this, &Control::ScenarioStep);
    connect(scenario, &Scenario::stepTaken, this, [this](int line) {
        if (sim->verbose)
            QTextStream(stdout) << "scenario line " << line << '\n' << Qt::flush;
    });
    connect(scenario, &Scenario::finished, this, &Control::ScenarioFinished);
    connect(sim, &Simulator::called, scenario, [this](const QDBusMessage &call) {
        scenario->notice(ScenarioEvent::Call, call.interface(), call.member(), call.arguments());
    });
    connect(sim, &Simulator::signalled, scenario,
            [this](const QString &interface, const QString &member, const QVariantList &args) {
                scenario->notice(ScenarioEvent::Signal, interface, member, args);
            });
}

void Control::SetProperty(const QString &interface, const QString &name, const QDBusVariant &value)
{
    if (Service *service = sim->service(interface))
        service->setProperty(name, value.variant());
}

QVariantMap Control::GetProperties(const QString &interface)
{
    Service *service = sim->service(interface);
    return service ? service->properties() : QVariantMap();
}

void Control::EmitSignal(const QString &path, const QString &interface, const QString &member,
                         const QVariantList &args)
{
    QString target = path;
    if (target.isEmpty()) {
        Service *service = sim->service(interface);
        target = service ? service->path() : QStringLiteral("/com/kelvo");
    }
    sim->sendSignal(target, interface, member, args);
}

void Control::Script(const QString &interface, const QString &member, const QVariantMap &answer)
{
    ::Script script;
    script.count = answer.value(QStringLiteral("count"), 1).toInt();
    script.delay = answer.value(QStringLiteral("delay")).toInt();
    script.noReply = answer.value(QStringLiteral("noreply")).toBool();
    script.error = answer.value(QStringLiteral("error")).toString();
    script.message = answer.value(QStringLiteral("message")).toString();
    if (answer.contains(QStringLiteral("reply"))) {
        script.hasReply = true;
        script.reply = qdbus_cast<QVariantList>(answer.value(QStringLiteral("reply")));
    }
    script.when = answer.value(QStringLiteral("when")).toList();
    scripts->add(interface, member, script);
}

void Control::ClearScripts()
{
    scripts->clear();
}

QList<QVariantMap> Control::Calls()
{
    return sim->calls();
}

QStringList Control::ContractViolations()
{
    return sim->contractViolations();
}

void Control::ClearCalls()
{
    sim->clearCalls();
}

void Control::ReleaseNames()
{
    sim->releaseNames();
}

bool Control::AcquireNames()
{
    return sim->acquireNames();
}

void Control::SetSetting(const QString &name, const QDBusVariant &value)
{
    sim->setSetting(name, value.variant());
}

void Control::SetChaos(bool on, uint seed)
{
    if (on)
        chaos->start(seed);
    else
        chaos->stop();
}

uint Control::ChaosEvents()
{
    return chaos->events();
}

void Control::Reset()
{
    scenario->stop();
    sim->reset();
}

void Control::SetSignal(int dbm)
{
    emit events->signalLevelSet(dbm);
}

void Control::Register(const QString &status, const QString &mcc, const QString &mnc, const QString &name)
{
    emit events->registrationFound(status, mcc, mnc, name);
}

void Control::SetFlightMode(bool on)
{
    emit events->flightModeSet(on);
}

QString Control::Run(const QString &command)
{
    QStringList words;
    if (!splitWords(command, words) || words.isEmpty())
        return QStringLiteral("\"%1\" is not a command").arg(command.left(80));
    const Request request = requestOf(words);
    if (!request.valid())
        return request.error.isEmpty() ? QStringLiteral("\"%1\" is not a command").arg(command.left(80)) : request.error;
    perform(request);
    return QString();
}

QString Control::PlayScenario(const QString &text, double speed)
{
    QList<::ScenarioStep> steps;
    QString error;
    if (!Scenario::parse(text, steps, &error))
        return error;
    if (!(speed > 0 && speed <= 1000))
        return QStringLiteral("a speed is above 0 and at most 1000");
    scenario->play(steps, speed);
    return QString();
}

void Control::StopScenario()
{
    scenario->stop();
}

void Control::perform(const Request &request)
{
    const QVariantList &a = request.args;
    auto text = [&a](int i) { return a.value(i).toString(); };
    if (!request.first.isEmpty())
        SetProperty(request.first.value(0).toString(), request.first.value(1).toString(),
                    request.first.value(2).value<QDBusVariant>());
    const QString &method = request.method;
    if (method == QLatin1String("SetProperty"))
        SetProperty(text(0), text(1), a.value(2).value<QDBusVariant>());
    else if (method == QLatin1String("EmitSignal"))
        EmitSignal(text(0), text(1), text(2), a.value(3).toList());
    else if (method == QLatin1String("Script"))
        Script(text(0), text(1), a.value(2).toMap());
    else if (method == QLatin1String("SetSetting"))
        SetSetting(text(0), a.value(1).value<QDBusVariant>());
    else if (method == QLatin1String("SetChaos"))
        SetChaos(a.value(0).toBool(), a.value(1).toUInt());
    else if (method == QLatin1String("SetSignal"))
        SetSignal(a.value(0).toInt());
    else if (method == QLatin1String("Register"))
        Register(text(0), text(1), text(2), text(3));
    else if (method == QLatin1String("SetFlightMode"))
        SetFlightMode(a.value(0).toBool());
    else if (method == QLatin1String("ClearScripts"))
        ClearScripts();
    else if (method == QLatin1String("ClearCalls"))
        ClearCalls();
    else if (method == QLatin1String("ReleaseNames"))
        ReleaseNames();
    else if (method == QLatin1String("AcquireNames"))
        AcquireNames();
    else if (method == QLatin1String("Reset"))
        sim->reset();   // the scenario goes on from the start-up state
}

QString Control::State()
{
    QStringList lines{QStringLiteral("# ondrix-modemsim state of %1").arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)),
                      QStringLiteral("0s reset")};
    for (const QString &name : Simulator::settingNames())
        lines << QStringLiteral("0s setting %1 %2").arg(name, sim->setting(name).toString());
    // The card and the controller first: what follows them is set after
    // their consequences, and stands.
    QList<Service *> services = sim->services();
    std::stable_sort(services.begin(), services.end(), [](Service *a, Service *b) {
        auto rank = [](Service *s) {
            return s->interface().startsWith(QLatin1String("com.kelvo.YKM")) ? 0
                 : s->interface().startsWith(QLatin1String("com.kelvo.hvt.SIM")) ? 1 : 2;
        };
        return rank(a) < rank(b);
    });
    for (Service *service : services) {
        const ContractInterface *contract = Contract::builtIn().find(service->interface());
        const QVariantMap properties = service->properties();
        for (auto it = contract->properties.cbegin(); it != contract->properties.cend(); ++it) {
            if (properties.contains(it.key()))
                lines << QStringLiteral("0s set %1 %2 %3").arg(service->interface(), it.key(),
                                                              writeValue(properties.value(it.key()), it.value()));
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void Control::Ping(uint token)
{
    emit Pong(token);
}

QString Control::AtAddress()
{
    return sim->atAddress;
}
