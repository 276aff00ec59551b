#ifndef ONDRIX_FRAME_H
#define ONDRIX_FRAME_H

// What every service class shares: the table of bus names, proxies, the
// three ways of calling the daemon, signal subscription and property maps.
// Internal to the library; nothing here is exported.

#include "ondrix-qt/dbusiface.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusError>
#include <QtDBus/QDBusMessage>
#include <QVariantMap>

#include <initializer_list>

namespace Ondrix {
namespace Frame {

// One row per daemon interface the library talks to.
enum class Bus {
    Modem,               // system-state controller
    CSNet,
    NetworkRegistration,
    NetworkOperator,
    SignalStrength,
    RadioAccess,
    NetworkCell,
    NetworkTime,
    Gprs,
    Sim,
    SimSecurity,
    SimIdentity,
    SimPhonebook,
    SimLock,
    SS,
    Ussd,
    Call,
    Info,
    SmsSim,
};

struct BusName {
    const char *service;
    const char *path;
    const char *interface;
};

const BusName &busName(Bus bus);

extern const char *const PropertiesInterface;   // "org.freedesktop.DBus.Properties"

// Time-outs in milliseconds.
constexpr int SyncReadTimeout = 250;
constexpr int LongOperationTimeout = 120000;
constexpr int DefaultTimeout = -1;

// A proxy for `bus` on the system bus, owned by `parent`.
DBusIface *createProxy(Bus bus, QObject *parent);

// True when every proxy's service has an owner, tested in the order given.
bool allValid(std::initializer_list<const QDBusAbstractInterface *> proxies);

// A method call on the interface of `bus`.
QDBusMessage methodCall(Bus bus, const QString &method, const QVariantList &args = {});

// "GetAll" of the properties interface on the object of `bus`, asking for the
// properties of the interface of `bus`.
QDBusMessage getAllCall(Bus bus);

// Message-form asynchronous call on the system bus. Returns false when the
// message could not be sent.
bool callAsync(const QDBusMessage &call, QObject *receiver, const char *replySlot,
               const char *errorSlot, int timeout = DefaultTimeout);

// Proxy-form asynchronous call with the bus's default time-out. Returns false
// when the call could not be sent.
bool callProxyAsync(DBusIface *proxy, const QString &method, const QVariantList &args,
                    QObject *receiver, const char *replySlot, const char *errorSlot);

// Blocking call through the proxy with the bus's default time-out.
QDBusMessage callProxy(DBusIface *proxy, const QString &method, const QVariantList &args = {});

// Blocking property read with the short time-out. On a reply with exactly one
// argument `out` receives the map and the result is true. A reply with another
// number of arguments is ignored (false, no log line); an error, time-out or
// absent daemon writes the error log line (false).
bool readProperties(const QDBusMessage &call, QVariantMap &out);

// The log line of a failed read or of a refused request.
void logError(const QDBusError &error);

// Signal subscription on the system bus. `signature` may be empty, in which
// case the slot's parameter list gives it.
bool subscribe(Bus bus, const char *signal, QObject *receiver, const char *slot,
               const char *signature = nullptr);
bool unsubscribe(Bus bus, const char *signal, QObject *receiver, const char *slot,
                 const char *signature = nullptr);

// A row of a text-to-enumeration table.
struct TextValue {
    const char *text;
    int value;
};

// Exact, case-sensitive lookup; the first match wins, otherwise `fallback`.
template <std::size_t N>
int lookup(const TextValue (&table)[N], const QString &text, int fallback = -1)
{
    for (const TextValue &row : table) {
        if (text == QLatin1String(row.text))
            return row.value;
    }
    return fallback;
}

} // namespace Frame
} // namespace Ondrix

#endif
