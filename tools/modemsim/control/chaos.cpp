// SPDX-License-Identifier: LGPL-2.1-or-later
#include "chaos.h"

#include "contract.h"
#include "service.h"
#include "simulator.h"

namespace {

const char *const ErrorReasons[] = {"Interrupted", "Rejected", "Refused", "Busy", "Failed", "Odd"};

const char *const StrangeErrors[] = {
    "org.freedesktop.DBus.Error.Failed", "org.freedesktop.DBus.Error.AccessDenied",
    "org.example.Unheard.Of", "x.y",
};

} // namespace

Chaos::Chaos(Simulator *sim_)
    : QObject(sim_)
    , sim(sim_)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Chaos::tick);
    connect(sim, &Simulator::wasReset, this, &Chaos::stop);
    sim->addInterceptor(this);
}

void Chaos::start(quint32 seed)
{
    m_random.seed(seed);
    m_events = 0;
    m_active = true;
    sim->garble();
    m_timer.start(1);
}

void Chaos::stop()
{
    m_active = false;
    m_timer.stop();
    const QList<QDBusMessage> held = m_held.values();
    const QList<QDBusMessage> delayed = m_delayed.values();
    m_held.clear();
    m_delayed.clear();
    for (const QDBusMessage &call : held)
        release(call);
    for (const QDBusMessage &call : delayed)
        answer(call);
    if (m_namesAway) {
        sim->acquireNames();
        m_namesAway = false;
    }
}

bool Chaos::intercept(const QDBusMessage &call)
{
    if (!m_active)
        return false;
    m_events++;
    const int roll = m_random.bounded(100);
    if (roll < 30)
        return false;
    if (roll < 80) {
        answer(call);
    } else if (roll < 90) {
        // Past the 250 ms of a property read, well within the long operations.
        const quint64 id = ++m_holds;
        m_delayed.insert(id, call);
        QTimer::singleShot(m_random.bounded(260, 900), this, [this, id] {
            if (m_delayed.contains(id))
                answer(m_delayed.take(id));
        });
    } else {
        const quint64 id = ++m_holds;
        m_held.insert(id, call);
        QTimer::singleShot(m_random.bounded(1000, 4000), this, [this, id] {
            if (m_held.contains(id))
                release(m_held.take(id));
        });
    }
    return true;
}

void Chaos::release(const QDBusMessage &call)
{
    sim->replyError(call, QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                    QStringLiteral("The daemon did not answer"));
}

void Chaos::answer(const QDBusMessage &call)
{
    Service *service = nullptr;
    const QString signature = replySignature(call, &service);
    const int roll = m_random.bounded(100);
    if (roll < 20) {
        sim->dispatch(call);
    } else if (roll < 50) {
        sim->sendReply(call, argumentsOf(signature, service));
    } else if (roll < 80) {
        sim->sendReply(call, m_values.anyArguments());
    } else if (roll < 90) {
        const QString name = call.interface() + QLatin1String(".Error.")
                             + QLatin1String(ErrorReasons[m_random.bounded(int(std::size(ErrorReasons)))]);
        sim->replyError(call, name, m_values.text());
    } else {
        sim->replyError(call, QLatin1String(StrangeErrors[m_random.bounded(int(std::size(StrangeErrors)))]),
                        m_values.text());
    }
}

QString Chaos::replySignature(const QDBusMessage &call, Service **service) const
{
    if (call.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
        *service = sim->service(call.arguments().value(0).toString());
        return call.member() == QLatin1String("GetAll") ? QStringLiteral("a{sv}") : QStringLiteral("v");
    }
    *service = sim->service(call.interface());
    return *service ? (*service)->replySignatures().value(call.member()) : QString();
}

void Chaos::tick()
{
    if (!m_active)
        return;
    m_events++;
    const int roll = m_random.bounded(100);
    if (m_namesAway && roll < 30) {
        sim->acquireNames();
        m_namesAway = false;
    } else if (roll < 80) {
        emitRandomSignal();
    } else if (roll < 95) {
        // A real change, announced as the daemon announces it, of a garbled value.
        const QList<Service *> services = sim->services();
        Service *service = services.at(m_random.bounded(services.size()));
        const QStringList names = service->properties().keys();
        if (!names.isEmpty()) {
            service->setProperty(names.at(m_random.bounded(names.size())),
                                 m_random.bounded(2) ? QVariant(m_values.text()) : m_values.anyValue());
        }
    } else if (m_namesAway) {
        sim->acquireNames();
        m_namesAway = false;
    } else if (roll >= 98) {
        sim->releaseNames();
        m_namesAway = true;
    }
    m_timer.start(m_random.bounded(1, 12));
}

void Chaos::emitRandomSignal()
{
    QList<QPair<Service *, QString>> choices;
    for (Service *service : sim->services()) {
        for (auto it = service->signalSignatures().cbegin(); it != service->signalSignatures().cend(); ++it)
            choices.append({service, it.key()});
    }
    if (choices.isEmpty())
        return;
    const auto &choice = choices.at(m_random.bounded(choices.size()));
    Service *service = choice.first;
    const QVariantList args = m_random.bounded(100) < 55
                                  ? argumentsOf(service->signalSignatures().value(choice.second), service)
                                  : m_values.anyArguments();
    sim->sendSignal(service->path(), service->interface(), choice.second, args);
}

// The arguments of a reply or signal of `signature`, any values of its
// types; a property map has the names of the service's properties.
QVariantList Chaos::argumentsOf(const QString &signature, const Service *service)
{
    const ContractInterface *interface = service ? Contract::builtIn().find(service->interface()) : nullptr;
    if (signature == QLatin1String("a{sv}") && interface)
        return {m_values.propertyMap(interface->properties)};
    return m_values.argumentsOf(signature);
}
