// SPDX-License-Identifier: LGPL-2.1-or-later
#include "control.h"

#include "service.h"
#include "simulator.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>

Control::Control(Simulator *sim_)
    : QObject(sim_)
    , sim(sim_)
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
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
    sim->addScript(interface, member, script);
}

void Control::ClearScripts()
{
    sim->clearScripts();
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
    sim->setChaos(on, seed);
}

uint Control::ChaosEvents()
{
    return sim->chaosEvents();
}

void Control::Reset()
{
    sim->reset();
}

void Control::Ping(uint token)
{
    emit Pong(token);
}
