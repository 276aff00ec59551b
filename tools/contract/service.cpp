// SPDX-License-Identifier: LGPL-2.1-or-later
#include "service.h"

#include "contract.h"
#include "server.h"

Service::Service(ContractServer *server_, const char *busName, const char *path, const char *interface)
    : server(server_)
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

bool Service::write(const QString &name, const QVariant &value)
{
    setProperty(name, value);
    return true;
}

void Service::announce(const QString &, const QVariant &)
{
}

void Service::emitSignal(const QString &member, const QVariantList &args)
{
    server->emitSignal(m_path, m_interface, member, args);
}

bool Service::answerGetter(const QDBusMessage &message)
{
    const QString name = message.member().mid(3);
    if (!message.member().startsWith(QLatin1String("Get")) || !m_properties.contains(name))
        return false;
    server->reply(message, {m_properties.value(name)});
    return true;
}

QString signatureOf(const QDBusMessage &message)
{
    return message.signature().isEmpty() ? wireSignature(message.arguments()) : message.signature();
}
