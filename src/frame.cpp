#include "frame.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>
#include <QDebug>

namespace Ondrix {
namespace Frame {

namespace {

const BusName busNames[] = {
    {"com.kelvo.YKM.Modem", "/com/kelvo/ykm/modem", "com.kelvo.YKM.Modem"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkRegistration"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkOperator"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.SignalStrength"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.RadioAccess"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkCell"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkTime"},
    {"com.kelvo.hvt.GPRS", "/com/kelvo/hvt/gprs", "com.kelvo.hvt.GPRS"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim", "com.kelvo.hvt.SIM"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim", "com.kelvo.hvt.SIM.Security"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim", "com.kelvo.hvt.SIM.Identity"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim/phonebook", "com.kelvo.hvt.SIM.Phonebook"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim", "com.kelvo.hvt.SIM.SIMLock"},
    {"com.kelvo.hvt.SS", "/com/kelvo/hvt/ss", "com.kelvo.hvt.SS"},
    {"com.kelvo.hvt.SS", "/com/kelvo/hvt/ss", "com.kelvo.hvt.SS.USSD"},
    {"com.kelvo.hvt.Call", "/com/kelvo/hvt/call", "com.kelvo.hvt.Call"},
    {"com.kelvo.hvt.Info", "/com/kelvo/hvt/info", "com.kelvo.hvt.Info"},
    {"com.kelvo.hvt.SMS", "/com/kelvo/hvt/sms", "com.kelvo.hvt.SMS.SIM"},
};

static_assert(sizeof(busNames) / sizeof(busNames[0]) == static_cast<std::size_t>(Bus::SmsSim) + 1,
              "one bus name row per Bus value");

} // namespace

const char *const PropertiesInterface = "org.freedesktop.DBus.Properties";

const BusName &busName(Bus bus)
{
    return busNames[static_cast<std::size_t>(bus)];
}

DBusIface *createProxy(Bus bus, QObject *parent)
{
    const BusName &name = busName(bus);
    return new DBusIface(QLatin1String(name.service), QLatin1String(name.path), name.interface,
                         QDBusConnection::systemBus(), parent);
}

bool allValid(std::initializer_list<const QDBusAbstractInterface *> proxies)
{
    for (const QDBusAbstractInterface *proxy : proxies) {
        if (!proxy->isValid())
            return false;
    }
    return true;
}

QDBusMessage methodCall(Bus bus, const QString &method, const QVariantList &args)
{
    const BusName &name = busName(bus);
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(name.service),
                                                       QLatin1String(name.path),
                                                       QLatin1String(name.interface), method);
    call.setArguments(args);
    return call;
}

QDBusMessage getAllCall(Bus bus)
{
    const BusName &name = busName(bus);
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(name.service),
                                                       QLatin1String(name.path),
                                                       QLatin1String(PropertiesInterface),
                                                       QStringLiteral("GetAll"));
    call.setArguments({QString::fromLatin1(name.interface)});
    return call;
}

bool callAsync(const QDBusMessage &call, QObject *receiver, const char *replySlot,
               const char *errorSlot, int timeout)
{
    QDBusConnection connection = QDBusConnection::systemBus();
    // Qt 5 accepts a call on a lost connection and reports it later through
    // the error slot; a call that cannot go out is reported here instead.
    if (!connection.isConnected())
        return false;
    return connection.callWithCallback(call, receiver, replySlot, errorSlot, timeout);
}

bool callProxyAsync(DBusIface *proxy, const QString &method, const QVariantList &args,
                    QObject *receiver, const char *replySlot, const char *errorSlot)
{
    // As for the message form: a call that cannot go out is reported here.
    if (!proxy->connection().isConnected())
        return false;
    return proxy->callWithCallback(method, args, receiver, replySlot, errorSlot);
}

QDBusMessage callProxy(DBusIface *proxy, const QString &method, const QVariantList &args)
{
    return proxy->callWithArgumentList(QDBus::Block, method, args);
}

bool readProperties(const QDBusMessage &call, QVariantMap &out)
{
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block,
                                                                 SyncReadTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        if (reply.arguments().size() != 1)
            return false;
        // The map arrives as a demarshalling stream or, already converted, as a map.
        out = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
        return true;
    }
    logError(QDBusError(reply));
    return false;
}

void logError(const QDBusError &error)
{
    qDebug() << "Error:" << error.name() << error.message();
}

bool subscribe(Bus bus, const char *signal, QObject *receiver, const char *slot,
               const char *signature)
{
    const BusName &name = busName(bus);
    QDBusConnection connection = QDBusConnection::systemBus();
    if (signature) {
        return connection.connect(QLatin1String(name.service), QLatin1String(name.path),
                            QLatin1String(name.interface), QLatin1String(signal),
                            QLatin1String(signature), receiver, slot);
    }
    return connection.connect(QLatin1String(name.service), QLatin1String(name.path),
                        QLatin1String(name.interface), QLatin1String(signal), receiver, slot);
}

bool unsubscribe(Bus bus, const char *signal, QObject *receiver, const char *slot,
                 const char *signature)
{
    const BusName &name = busName(bus);
    QDBusConnection connection = QDBusConnection::systemBus();
    if (signature) {
        return connection.disconnect(QLatin1String(name.service), QLatin1String(name.path),
                               QLatin1String(name.interface), QLatin1String(signal),
                               QLatin1String(signature), receiver, slot);
    }
    return connection.disconnect(QLatin1String(name.service), QLatin1String(name.path),
                           QLatin1String(name.interface), QLatin1String(signal), receiver, slot);
}

} // namespace Frame
} // namespace Ondrix
