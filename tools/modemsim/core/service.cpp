// SPDX-License-Identifier: LGPL-2.1-or-later
#include "service.h"

#include "contract.h"
#include "simulator.h"

Service::Service(Simulator *sim_, const char *busName, const char *path, const char *interface)
    : sim(sim_)
    , m_busName(QLatin1String(busName))
    , m_path(QLatin1String(path))
    , m_interface(QLatin1String(interface))
{
    const ContractInterface *contract = Contract::builtIn().find(m_interface);
    if (!contract)
        qFatal("no interface file for %s", interface);
    for (const ContractMember &method : contract->methods)
        m_replies.insert(method.name, method.signature(true));
    for (const ContractMember &signal : contract->signalList)
        m_signals.insert(signal.name, signal.signature(true));
}

Service::~Service() = default;

void Service::setProperty(const QString &name, const QVariant &value)
{
    if (m_properties.value(name) == value && m_properties.contains(name))
        return;
    store(name, value);
    announce(name, value);
}

void Service::announce(const QString &, const QVariant &)
{
}

void Service::emitSignal(const QString &member, const QVariantList &args)
{
    sim->emitSignal(m_path, m_interface, member, args);
}

int Service::setting(const QString &name) const
{
    return sim->setting(name).toInt();
}

QString signatureOf(const QDBusMessage &message)
{
    return message.signature().isEmpty() ? wireSignature(message.arguments()) : message.signature();
}
