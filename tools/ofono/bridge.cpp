// SPDX-License-Identifier: LGPL-2.1-or-later
#include "bridge.h"

#include <QtDBus/QDBusError>

const char NotSupported[] = "org.freedesktop.DBus.Error.NotSupported";

BridgeService::BridgeService(ContractServer *server, Ofono *ofono, const char *busName, const char *path,
                             const char *interface)
    : Service(server, busName, path, interface)
    , ofono(ofono)
{
}

bool BridgeService::write(const QString &, const QVariant &)
{
    return false;
}

QVariant BridgeService::ofonoValue(const char *interface, const char *name) const
{
    return ofono->value(QLatin1String(interface), QLatin1String(name));
}

bool BridgeService::offers(const char *interface) const
{
    return ofono->has(QLatin1String(interface));
}

void BridgeService::notSupported(const QDBusMessage &call, const QString &why)
{
    server->replyError(call, QLatin1String(NotSupported), why);
}

void BridgeService::forward(const QDBusMessage &call, const char *interface, const char *member,
                            const QVariantList &args, std::function<void(const QDBusMessage &reply)> then,
                            const QString &path)
{
    if (!ofono->ready() || (path.isEmpty() && !offers(interface))) {
        notSupported(call, QStringLiteral("The modem has no %1 now").arg(QLatin1String(interface)));
        return;
    }
    ofono->call(QLatin1String(interface), QLatin1String(member), args, [this, call, then](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ErrorMessage)
            replyError(call, reply);
        else
            then(reply);
    }, path);
}

void BridgeService::forwardSet(const QDBusMessage &call, const char *interface, const char *name,
                               const QVariant &value, const QVariantList &extra)
{
    if (!offers(interface)) {
        notSupported(call, QStringLiteral("The modem has no %1 now").arg(QLatin1String(interface)));
        return;
    }
    ofono->set(QLatin1String(interface), QLatin1String(name), value, [this, call](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ErrorMessage)
            replyError(call, reply);
        else
            server->reply(call);
    }, extra);
}

// oFono's errors (doc/*-api.txt) by what they mean.
QString BridgeService::errorFor(const QDBusMessage &error) const
{
    const QString name = error.errorName().section(QLatin1Char('.'), -1);
    if (name == QLatin1String("InvalidArguments") || name == QLatin1String("InvalidFormat"))
        return errorPrefix + QStringLiteral("InvalidParameter");
    if (name == QLatin1String("InProgress") || name == QLatin1String("Busy"))
        return errorPrefix + QStringLiteral("ServiceBusy");
    if (name == QLatin1String("NotImplemented") || name == QLatin1String("NotSupported"))
        return QLatin1String(NotSupported);
    return errorPrefix + QStringLiteral("Unknown");
}

void BridgeService::replyError(const QDBusMessage &call, const QDBusMessage &error) const
{
    server->replyError(call, errorFor(error), error.errorMessage());
}

void BridgeService::update(const QList<QPair<QString, QVariant>> &values)
{
    QList<QPair<QString, QVariant>> changed;
    for (const auto &value : values) {
        if (properties().contains(value.first) && property(value.first) == value.second)
            continue;
        store(value.first, value.second);
        changed << value;
    }
    for (const auto &value : qAsConst(changed))
        announce(value.first, value.second);
}

bool inService(const QString &ofonoStatus)
{
    return ofonoStatus == QLatin1String("registered") || ofonoStatus == QLatin1String("roaming");
}
