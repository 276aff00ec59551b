// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_FRAME_H
#define ONDRIX_FRAME_H

// What every service class shares: the table of bus names, proxies, the ways
// of calling the daemon, signal subscription, property maps and the log.
// Internal to the library; nothing here is exported.
//
// Whatever arrives from the bus is checked before it is demarshalled: a reply
// or a signal is handed to a class only when its signature is the one the
// handler's parameters ask for, so a peer that owns a daemon name can send
// nothing that crashes the application.

#include "ondrix-qt/dbusiface.h"
#include "members.h"

#include <QLoggingCategory>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusError>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QVariantMap>

#include <QSet>

#include <functional>
#include <initializer_list>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

namespace Ondrix {

// Every log line of the library goes through this category ("ondrix.dbus").
Q_DECLARE_LOGGING_CATEGORY(dbusLog)
Q_DECLARE_LOGGING_CATEGORY(callLog)

namespace Frame {

extern const char *const PropertiesInterface;   // "org.freedesktop.DBus.Properties"

// Time-outs in milliseconds.
constexpr int SyncReadTimeout = 250;
constexpr int LongOperationTimeout = 120000;
constexpr int DefaultTimeout = -1;

// A proxy for `bus` on the system bus, owned by `parent`. Make it after the
// class's signal subscriptions: a subscription makes the connection follow the
// daemon's name, and the proxy then learns the owner from that instead of
// asking the bus once more.
DBusIface *createProxy(Bus bus, QObject *parent);

// A call of `method` with `args`, which must be of its row's signature.
QDBusMessage methodCall(Method method, const QVariantList &args = {});
// Sends a call whose answer nobody waits for (what an object cancels as it goes).
void sendOnly(Method method, const QVariantList &args = {});

// "GetAll" of the properties interface on the object of `bus`, asking for the
// properties of the interface of `bus`.
QDBusMessage getAllCall(Bus bus);

// ---- Daemon texts ----

// A row of a text-to-enumeration table. The text's length is the literal's,
// known when the table is compiled: a lookup compares lengths before
// characters, and every daemon signal is looked up in a table or two.
struct TextValue {
    template <std::size_t N>
    constexpr TextValue(const char (&literal)[N], int v)
        : text(literal)
        , size(int(N - 1))
        , value(v)
    {
    }
    QLatin1String name() const { return QLatin1String(text, size); }

    const char *text;
    int size;
    int value;
};

// Exact, case-sensitive lookup; the first match wins, otherwise `fallback`.
template <std::size_t N>
int lookup(const TextValue (&table)[N], const QString &text, int fallback = -1)
{
    for (const TextValue &row : table) {
        if (text.size() == row.size && text == row.name())
            return row.value;
    }
    return fallback;
}

// ---- Signatures ----

// The D-Bus signature of one type (Qt 6 names types by QMetaType, Qt 5 by id).
template <typename T>
const char *dbusSignature()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QDBusMetaType::typeToSignature(QMetaType::fromType<T>());
#else
    return QDBusMetaType::typeToSignature(qMetaTypeId<T>());
#endif
}

// The D-Bus signature of a handler's parameter list.
template <typename... Args>
QString signatureOf()
{
    QString signature;
    ((signature += QLatin1String(dbusSignature<std::decay_t<Args>>())), ...);
    return signature;
}

// True when a message of `actual` signature carries the arguments `expected`
// asks for (more may follow, as a slot may take fewer than are sent). A
// signature is a list of complete types, none a prefix of another, so a
// prefix of the text is a prefix of the argument list.
bool carries(const QString &actual, const QString &expected);

// Calls `handler` on `object` with the first arguments of `args`, each
// demarshalled to its parameter type. `args` must have been checked with
// carries() against signatureOf<Args...>().
template <typename Object, typename... Args, std::size_t... I>
void invoke(Object *object, void (Object::*handler)(Args...), const QVariantList &args,
            std::index_sequence<I...>)
{
    (object->*handler)(qdbus_cast<std::decay_t<Args>>(args.at(int(I)))...);
}

// Calls `f` with the first arguments of `args`, demarshalled to `Args...`.
template <typename... Args, typename F, std::size_t... I>
void apply(const F &f, const QVariantList &args, std::index_sequence<I...>)
{
    f(qdbus_cast<std::decay_t<Args>>(args.at(int(I)))...);
}

// ---- Asynchronous calls ----

using ReplyHandler = std::function<void(const QVariantList &args)>;
using ErrorHandler = std::function<void(const QDBusError &error)>;

// Sends `call` on the system bus and hands its outcome to exactly one of the
// handlers, later, through `context`'s event loop (nothing arrives once
// `context` is gone). A reply whose arguments are not `signature` goes to
// `onError` as "org.freedesktop.DBus.Error.InvalidSignature"; an empty
// `signature` takes any reply. Returns false, and calls neither handler,
// when the call cannot be sent.
bool callAsync(const QDBusMessage &call, QObject *context, const QString &signature,
               ReplyHandler onReply, ErrorHandler onError, int timeout = DefaultTimeout);

// The same with member functions of `object`: the reply handler's parameter
// types give the reply's signature (none takes any reply).
template <typename Object, typename... Args>
bool callAsync(const QDBusMessage &call, Object *object, void (Object::*onReply)(Args...),
               void (Object::*onError)(const QDBusError &), int timeout = DefaultTimeout)
{
    return callAsync(
        call, object, signatureOf<Args...>(),
        [object, onReply](const QVariantList &args) {
            invoke(object, onReply, args, std::index_sequence_for<Args...>());
        },
        [object, onError](const QDBusError &error) { (object->*onError)(error); }, timeout);
}

// Writes the call and its time-out to the calls category.
void logCall(const QDBusMessage &call, int timeout);

// Debug builds: a handler that takes `signature` from the reply of `row`
// takes what the row says the daemon answers (a prefix of it).
void checkReply(const Member &row, const QString &signature);
void checkReply(const QDBusMessage &call, const QString &signature);

// The error an operation completes with when its call cannot be sent.
QDBusError notSent();
bool isNotSent(const QDBusError &error);

// An operation whose reply carries `Args...`: `done` receives them; `failed`
// receives the error, also at once when the call cannot be sent. Either runs
// exactly once.
template <typename... Args, typename Done, typename Failed>
void operate(const QDBusMessage &call, QObject *context, Done done, Failed failed,
             int timeout = DefaultTimeout)
{
    const bool sent = callAsync(
        call, context, signatureOf<Args...>(),
        [done](const QVariantList &args) {
            apply<Args...>(done, args, std::index_sequence_for<Args...>());
        },
        failed, timeout);
    if (!sent)
        failed(notSent());
}

// An operation that ends in one signal of `q` whose last parameter is the
// class's error: with the reply's values (`Reply...`) and NoError (0) on
// success, with `empty...` and `errorOf` of the D-Bus error on failure, at
// once when the call cannot be sent.
template <typename... Reply, typename Public, typename... Params, typename ErrorOf, typename... Empty>
void complete(const QDBusMessage &call, Public *q, void (Public::*signal)(Params...), ErrorOf errorOf,
              Empty... empty)
{
    using Error = decltype(errorOf(std::declval<QDBusError>()));
    operate<Reply...>(
        call, q, [q, signal](const auto &...values) { emit (q->*signal)(values..., Error(0)); },
        [q, signal, errorOf, empty...](const QDBusError &error) { emit (q->*signal)(empty..., errorOf(error)); });
}

// The value a daemon error stands for: its name looked up in `table` (a name
// outside it gives `unknown`); a standard D-Bus error, a reply of the wrong
// type and a call that was not sent give `communication`.
template <std::size_t N>
int errorValue(const QDBusError &error, const TextValue (&table)[N], int unknown, int communication)
{
    return error.type() == QDBusError::Other ? lookup(table, error.name(), unknown) : communication;
}

// Blocking call through the proxy with the bus's default time-out.
QDBusMessage callProxy(DBusIface *proxy, Method method, const QVariantList &args = {});

// The first arguments of `args` as `Args...`; they must have been checked
// with carries() against signatureOf<Args...>().
template <typename... Args, std::size_t... I>
std::tuple<std::decay_t<Args>...> valuesOf(const QVariantList &args, std::index_sequence<I...>)
{
    return std::tuple<std::decay_t<Args>...>(qdbus_cast<std::decay_t<Args>>(args.at(int(I)))...);
}

// How a blocking getter takes a reply: with exactly its arguments, or with
// them first and more after (as the asynchronous side does).
enum class Reply { Exactly, First };

// A blocking call of `method` through `proxy`, answered with `Args...`: the
// values, or nothing on an error, an absent daemon or a reply of other types.
template <typename... Args>
std::optional<std::tuple<std::decay_t<Args>...>> ask(DBusIface *proxy, Method method,
                                                    const QVariantList &args = {}, Reply taken = Reply::Exactly)
{
    const QString expected = signatureOf<Args...>();
    checkReply(member(method), expected);
    const QDBusMessage reply = callProxy(proxy, method, args);
    if (reply.type() != QDBusMessage::ReplyMessage
        || !(taken == Reply::First ? carries(reply.signature(), expected) : reply.signature() == expected))
        return std::nullopt;
    return valuesOf<Args...>(reply.arguments(), std::index_sequence_for<Args...>());
}

// The same for a reply of exactly one value, `fallback` when there is none.
template <typename T>
T askValue(DBusIface *proxy, Method method, const T &fallback, const QVariantList &args = {})
{
    const auto reply = ask<T>(proxy, method, args);
    return reply ? std::get<0>(*reply) : fallback;
}

// "Set" of the properties interface: `property` to `value`.
QDBusMessage propertyWrite(Property property, const QVariant &value);

// Blocking read with the short time-out. When the reply starts with
// `signature`, `args` receives its arguments and the result is true. A reply
// of any other arguments is ignored (false, no log line); an error, time-out
// or absent daemon writes the error log line and is stored in `error` (false).
bool readShort(const QDBusMessage &call, const QString &signature, QVariantList &args, QDBusError *error = nullptr);

// Blocking property read with the short time-out. When the reply starts with
// an "a{sv}", `out` receives the map and the result is true. A reply of any
// other arguments is ignored (false, no log line); an error, time-out or
// absent daemon writes the error log line (false).
bool readProperties(const QDBusMessage &call, QVariantMap &out);

// ---- Log ----

// The log line of a failed read or of a refused request:
// Error: "<name>" "<message>"
void logError(const QDBusError &error);
// A prefixed line: <prefix> "<message>"
void logFailure(const char *prefix, const QString &message);

// ---- Meta-types ----

// Runs `registration` once per process, however many objects are made (each
// call site's lambda is a type of its own, with a flag of its own).
template <typename Registration>
void once(Registration registration)
{
    static const bool done = (registration(), true);
    Q_UNUSED(done)
}

// Registers every type of the library, once per process: the D-Bus value
// types and the names of the enumerations and values that travel in queued
// signals and properties. Every class calls it before its first subscription.
void registerTypes();

// ---- Daemon signals ----

using SignalHandler = std::function<void(const QVariantList &args)>;

// Subscribes `context` to `signal` on the system bus: `handler` runs for every
// such signal whose arguments start with `signature`; any other is dropped.
// The subscription ends with `context`, or with unsubscribe().
bool subscribe(Signal signal, const QString &signature, QObject *context, SignalHandler handler);
void unsubscribe(Signal signal, QObject *context);

// The same with a member function: its parameter types give the signature,
// which the debug build holds to the signal's row.
template <typename Object, typename... Args>
bool subscribe(Signal signal, Object *object, void (Object::*handler)(Args...))
{
    const QString signature = signatureOf<Args...>();
    Q_ASSERT_X(carries(QLatin1String(member(signal).arguments), signature), member(signal).name,
               "the handler takes other arguments than the signal carries");
    return subscribe(signal, signature, object, [object, handler](const QVariantList &args) {
        invoke(object, handler, args, std::index_sequence_for<Args...>());
    });
}

// ---- The daemons an object uses, and what it caches of them ----

// Stores `value` in `field`; true when that changed it.
template <typename T>
bool update(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// The same, and emits `signal` of `q` with the new value when it changed.
template <typename T, typename Public, typename Arg>
void update(T &field, const T &value, Public *q, void (Public::*signal)(Arg))
{
    if (update(field, value))
        emit (q->*signal)(field);
}

// Keeps an object's view of its daemons current.
//
// valid() is true while every daemon the object uses has an owner on the bus;
// `changed` hears of each change. What the object caches is read at
// construction and again, asynchronously, whenever one of its daemons gets a
// new owner (it came back, perhaps with other state), so that nothing the
// object shows stays stale for good. A read that fails while the daemon is
// there (an error, or no answer in time) is tried again after 250 ms, then
// after twice as long each time up to half a minute, until it is answered or
// the daemon's owner changes. The read at construction blocks for
// SyncReadTimeout at most, and writes the log line when it fails; when it
// times out, one asynchronous read follows, and further objects read that
// daemon asynchronously until it has answered once, so a slow daemon costs
// the thread one time-out, not one per object. A read's handler stores what
// changed and announces it with the class's usual change signals: during
// construction nobody can listen yet, so the initial values go unannounced.
class Daemons : public QObject
{
public:
    using Changed = std::function<void(bool valid)>;
    using Apply = std::function<void(const QVariantList &args)>;
    using ApplyMap = std::function<void(const QVariantMap &properties)>;

    Daemons(std::initializer_list<const QDBusAbstractInterface *> proxies, QObject *context, Changed changed = {});
    ~Daemons() override;

    bool valid() const { return m_present.size() == m_services.size(); }

    // Reads what the object caches with `read`, answered with one value of
    // `signature`; any other reply is ignored like a wrong argument count.
    void keep(const QDBusMessage &read, const QString &signature, Apply apply);
    // The same for a read answered with one property map ("a{sv}").
    void keepProperties(const QDBusMessage &read, ApplyMap apply);

private:
    struct Read {
        QDBusMessage call;
        QString signature;
        Apply apply;
        int failures = 0;        // in a row: the next try waits 250 ms times two to this
        quint64 generation = 0;  // a try planned in another generation is off
    };
    void readNow(std::size_t index);
    void readLater(std::size_t index);
    // A read that failed while its daemon is there is tried again later.
    void retry(std::size_t index);

public:
    // A daemon's name got another owner (empty: none).
    void ownerChanged(const QString &service, const QString &oldOwner, const QString &newOwner);

private:

    QStringList m_services;
    QSet<QString> m_present;
    Changed m_changed;
    std::vector<Read> m_reads;
};

// The daemons of the public object `q`, which hears of their validity through
// its validChanged(bool).
template <typename Public>
Daemons *followDaemons(std::initializer_list<const QDBusAbstractInterface *> proxies, QObject *context, Public *q)
{
    return new Daemons(proxies, context, [q](bool valid) { emit q->validChanged(valid); });
}

} // namespace Frame
} // namespace Ondrix

#endif
