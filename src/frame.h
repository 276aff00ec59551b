// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_FRAME_H
#define ONDRIX_FRAME_H

// What every service class shares: the table of bus names, the private base
// class, the ways of calling the daemon, signal subscription and the log.
// Internal to the library; nothing here is exported.
//
// A service class in five steps
// -----------------------------
// - The private class derives from ServicePrivate<Public>. Its constructor
//   names the daemon interfaces the class uses and the daemon signals it
//   follows:
//       : ServicePrivate(q, {Bus::NetworkOperator},
//                        {on(Signal::NetworkOperatorOperatorNameChanged, &NetworkOperatorPrivate::setName)})
//   A signal that is only passed on goes straight to the public signal:
//       on(Signal::SimPhonebookFDNEnabled, &SIMPhonebook::fdnEnabled)
//   The base holds the public object (q_ptr), the proxies (proxy()), the
//   subscriptions and the validity (isValid(), and validChanged(bool) of the
//   public object when it changes).
// - A value the class keeps live: read it in the constructor with keep<T>()
//   (read again whenever the daemon comes back), follow its change signal,
//   and store both with update(field, value, q, &Public::changed), which
//   emits only on a change.
// - An operation that ends in one public signal whose last parameter is the
//   class's error: one complete<Reply...>() line.
// - An operation that ends otherwise (several signals, a converted reply,
//   state of its own): operate<Reply...>() with a handler for the values and
//   one for the error; callAsync() beneath it when the class reads a reply
//   of any arguments itself.
// - A blocking getter: ask<T...>() or askValue<T>() through the proxy;
//   callProxy() when the class judges the reply's arguments itself; read<T>()
//   for a read with the short time-out and the log line of a failed read.
//   A call nobody waits for (a cancel as the object goes): sendOnly().
// Daemon texts become values through lookup() in a TextValue table, daemon
// errors through errorValue().
//
// A daemon that is absent
// -----------------------
// A call is sent whether or not the daemon has an owner: a daemon that has
// just come back may serve it, and the bus answers for one that has not
// ("ServiceUnknown", a communication error of the class). Where a class must
// not send (the supplementary services, which fail at once with UnknownError)
// it checks isValid() itself. A call that cannot be sent at all (no bus)
// completes at once with notSent().
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

#include <QVarLengthArray>

#include <cstring>
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

// The complete types `signature` lists ("a{sv}s": 2).
int typeCount(const QString &signature);

// The D-Bus signature of a handler's parameter list. Its types must be
// registered with QtDBus (registerTypes()): the signature of one that is not
// is empty, and would take any argument.
template <typename... Args>
QString signatureOf()
{
    QString signature;
    ((signature += QLatin1String(dbusSignature<std::decay_t<Args>>())), ...);
    Q_ASSERT_X(typeCount(signature) == int(sizeof...(Args)), "signatureOf", "a type QtDBus does not know");
    return signature;
}

// True when a message of `actual` signature carries the arguments `expected`
// asks for (more may follow, as a slot may take fewer than are sent). A
// signature is a list of complete types, none a prefix of another, so a
// prefix of the text is a prefix of the argument list. Every signal an object
// follows is checked with it: it is compared here, without a call.
inline bool carries(const QString &actual, const QString &expected)
{
    const int n = expected.size();
    return actual.size() >= n && std::memcmp(expected.constData(), actual.constData(), sizeof(QChar) * std::size_t(n)) == 0;
}

// One argument of a checked message as `T`: a value the bus library gave
// as `T` already (numbers, texts, lists of texts) is taken as it is; others
// (structures, maps) are demarshalled.
template <typename T>
T argumentAs(const QVariant &arg)
{
    if (arg.userType() == qMetaTypeId<T>())
        return *static_cast<const T *>(arg.constData());
    return qdbus_cast<T>(arg);
}

// How many of the first arguments, `limit` at most, of a message of
// `signature` that QtDBus read as `args` are there, each of the type the
// signature names at its place (an argument QtDBus could not read is an
// invalid value). Only the arguments held are read as their types: reading a
// value in wire form as another type aborts in libdbus.
int heldArguments(const QString &signature, const QVariantList &args, int limit);

// True when `message` carries the arguments `expected` lists first, held as
// their types: a message of other arguments is treated like a wrong argument
// count.
bool takes(const QDBusMessage &message, const QString &expected);

// Calls `handler` on `object` with the first arguments of `args`, each
// demarshalled to its parameter type. `args` must have been checked against
// signatureOf<Args...>() (takes(), or carries() and heldArguments()).
template <typename Object, typename... Args, std::size_t... I>
void invoke(Object *object, void (Object::*handler)(Args...), const QVariantList &args,
            std::index_sequence<I...>)
{
    (object->*handler)(argumentAs<std::decay_t<Args>>(args.at(int(I)))...);
}

// Calls `f` with the first arguments of `args`, demarshalled to `Args...`.
template <typename... Args, typename F, std::size_t... I>
void apply(const F &f, const QVariantList &args, std::index_sequence<I...>)
{
    f(argumentAs<std::decay_t<Args>>(args.at(int(I)))...);
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
// with takes() against signatureOf<Args...>().
template <typename... Args, std::size_t... I>
std::tuple<std::decay_t<Args>...> valuesOf(const QVariantList &args, std::index_sequence<I...>)
{
    return std::tuple<std::decay_t<Args>...>(argumentAs<std::decay_t<Args>>(args.at(int(I)))...);
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
        || !(taken == Reply::First ? takes(reply, expected)
                                   : reply.signature() == expected && takes(reply, expected)))
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

// The same, answered with `Args...`: the values, or nothing.
template <typename... Args>
std::optional<std::tuple<std::decay_t<Args>...>> read(const QDBusMessage &call)
{
    const QString expected = signatureOf<Args...>();
    checkReply(call, expected);
    QVariantList args;
    if (!readShort(call, expected, args))
        return std::nullopt;
    return valuesOf<Args...>(args, std::index_sequence_for<Args...>());
}

// ---- Log ----

// The log line of a failed read or of a refused request:
// Error: "<name>" "<message>"
void logError(const QDBusError &error);
// A prefixed line: <prefix> "<message>"
void logFailure(const char *prefix, const QString &message);

// ---- Meta-types ----

// Registers the types of the classes that use the daemon interface `bus`,
// once per process: the D-Bus value types and the names of the enumerations
// and values that travel in queued signals and properties. The private base
// calls it for its interfaces before the first subscription.
void registerTypes(Bus bus);
// The same for the values of an operator record (its constructors call it).
void registerOperatorTypes();

// ---- Cached values ----

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

// ---- The private side of a service class ----

// What every private class holds: its public object, one proxy per daemon
// interface it uses, its subscriptions, and its view of the daemons.
//
// isValid() is true while every daemon the object uses has an owner on the
// bus; validityChanged() hears of each change. What the object caches is read
// with keep() at construction and again, asynchronously, whenever one of its
// daemons gets a new owner (it came back, perhaps with other state), so that
// nothing the object shows stays stale for good. A read that fails while the
// daemon is there (an error, or no answer in time) is tried again after
// 250 ms, then after twice as long each time up to half a minute, until it is
// answered or the daemon's owner changes. The read at construction blocks for
// SyncReadTimeout at most, and writes the log line when it fails; when it
// times out, one asynchronous read follows, and further objects read that
// daemon asynchronously until it has answered once, so a slow daemon costs
// the thread one time-out, not one per object. A read's handler stores what
// changed and announces it with the class's usual change signals: during
// construction nobody can listen yet, so the initial values go unannounced.
class ServiceBase : public QObject
{
public:
    // A daemon signal and what takes it: a member function, kept as its
    // bytes with the function that knows its type.
    struct Follow {
        using Call = void (*)(ServiceBase *self, const void *handler, const QVariantList &args);
        Signal signal;
        QString signature;
        int count;   // the arguments the handler takes
        Call call;
        alignas(void *) unsigned char handler[2 * sizeof(void *)];
    };

    // `signal` taken by a member function of the private class, or by a
    // signal (or slot) of the public object; its parameter types give the
    // signature the daemon's signal must start with.
    template <typename Object, typename... Args>
    static Follow on(Signal signal, void (Object::*handler)(Args...))
    {
        static_assert(sizeof(handler) <= sizeof(Follow::handler), "a member function of a class of one base");
        // The follows are made before the object's constructor registers its
        // types: the signal's group is registered here, so that the first
        // object's signature is complete too.
        registerTypes(member(signal).bus);
        const QString signature = signatureOf<Args...>();
        Q_ASSERT_X(carries(QLatin1String(member(signal).arguments), signature), member(signal).name,
                   "the handler takes other arguments than the signal carries");
        Follow follow{signal, signature, int(sizeof...(Args)), &take<Object, Args...>, {}};
        std::memcpy(follow.handler, &handler, sizeof(handler));
        return follow;
    }

    bool isValid() const { return m_present == (1u << m_proxies.size()) - 1; }
    DBusIface *proxy(int index = 0) const { return m_proxies[index]; }

    // Follows one more signal, or stops following one (a class whose options
    // choose what it hears).
    bool follow(const Follow &follow);
    void unfollow(Signal signal);

    // Reads what the object caches with `read`, answered with `Args...`;
    // `apply` takes them. Any other reply is ignored like a wrong argument
    // count.
    template <typename... Args, typename Apply>
    void keep(const QDBusMessage &read, Apply apply)
    {
        keep(read, signatureOf<Args...>(), [apply](const QVariantList &args) {
            Frame::apply<Args...>(apply, args, std::index_sequence_for<Args...>());
        });
    }

    // A daemon's name got another owner (empty: none).
    void ownerChanged(const QString &service, const QString &newOwner);

protected:
    ServiceBase(QObject *q, std::initializer_list<Bus> buses, const std::vector<Follow> &follows);
    ~ServiceBase() override;

    virtual void validityChanged(bool valid) = 0;

private:
    // Hands a signal's arguments, checked, to the member function in `handler`.
    template <typename Object, typename... Args>
    static void take(ServiceBase *self, const void *handler, const QVariantList &args)
    {
        void (Object::*member)(Args...);
        std::memcpy(&member, handler, sizeof(member));
        QObject *target = std::is_base_of<ServiceBase, Object>::value ? self : self->parent();
        invoke(static_cast<Object *>(target), member, args, std::index_sequence_for<Args...>());
    }

    struct Read {
        QDBusMessage call;
        QString signature;
        std::function<void(const QVariantList &args)> apply;
        int failures = 0;        // in a row: the next try waits 250 ms times two to this
        quint64 generation = 0;  // a try planned in another generation is off
    };
    void keep(const QDBusMessage &read, const QString &signature, std::function<void(const QVariantList &)> apply);
    void readNow(std::size_t index);
    void readLater(std::size_t index);
    // A read that failed while its daemon is there is tried again later.
    void retry(std::size_t index);
    bool present(const QString &service) const;

    QVarLengthArray<DBusIface *, 2> m_proxies;
    uint m_present = 0;   // a bit per proxy whose daemon has an owner
    QVarLengthArray<Signal, 4> m_follows;
    std::vector<Read> m_reads;
};

// The private class of `Public`, which hears of its validity through its
// validChanged(bool).
template <typename Public>
class ServicePrivate : public ServiceBase
{
public:
    ServicePrivate(Public *q, std::initializer_list<Bus> buses, const std::vector<Follow> &follows = {})
        : ServiceBase(q, buses, follows)
        , q_ptr(q)
    {
    }

    Public *q_func() const { return q_ptr; }

    Public *const q_ptr;

protected:
    void validityChanged(bool valid) override { emit q_ptr->validChanged(valid); }
};

} // namespace Frame
} // namespace Ondrix

#endif
