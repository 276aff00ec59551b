// SPDX-License-Identifier: LGPL-2.1-or-later
#include "frame.h"

#include <QDebug>
#include <QPointer>
#include <QTimer>
#include <QtDBus/QDBusServiceWatcher>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Ondrix {

Q_LOGGING_CATEGORY(dbusLog, "ondrix.dbus")
// Every call and the time it is given, for developers: off unless enabled
// ("QT_LOGGING_RULES=ondrix.dbus.calls.debug=true").
Q_LOGGING_CATEGORY(callLog, "ondrix.dbus.calls", QtWarningMsg)

namespace Frame {

namespace {

QDBusError invalidSignature(const QString &actual, const QString &expected)
{
    return QDBusError(QDBusError::InvalidSignature,
                      QStringLiteral("Unexpected reply signature \"%1\", expected \"%2\"")
                          .arg(actual, expected));
}

} // namespace

const char *const PropertiesInterface = "org.freedesktop.DBus.Properties";

namespace {

// The D-Bus signature `args` go out with.
QString signatureOfArguments(const QVariantList &args)
{
    QString signature;
    for (const QVariant &arg : args) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        signature += QLatin1String(QDBusMetaType::typeToSignature(arg.metaType()));
#else
        signature += QLatin1String(QDBusMetaType::typeToSignature(arg.userType()));
#endif
    }
    return signature;
}

// The row of a call the library makes; the properties interface's calls have
// rows of their own.
[[maybe_unused]] const Member *rowOf(const QDBusMessage &call)
{
    static const Member getAll{Bus::Modem, "GetAll", "s", "a{sv}"};
    static const Member set{Bus::Modem, "Set", "ssv", ""};
    if (call.interface() == QLatin1String(PropertiesInterface))
        return call.member() == QLatin1String("GetAll") ? &getAll : call.member() == QLatin1String("Set") ? &set : nullptr;
    for (const Member &row : Methods) {
        if (call.member() == QLatin1String(row.name) && call.interface() == QLatin1String(busName(row.bus).interface))
            return &row;
    }
    return nullptr;
}

} // namespace

QDBusMessage methodCall(Method method, const QVariantList &args)
{
    const Member &row = member(method);
    const BusName &name = busName(row.bus);
    Q_ASSERT_X(signatureOfArguments(args) == QLatin1String(row.arguments), row.name,
               "the call's arguments are not those of its row");
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(name.service), QLatin1String(name.path),
                                                       QLatin1String(name.interface), QLatin1String(row.name));
    call.setArguments(args);
    return call;
}

int typeCount(const QString &signature)
{
    int count = 0;
    int depth = 0;
    for (const QChar c : signature) {
        if (c == QLatin1Char('(') || c == QLatin1Char('{'))
            depth++;
        else if (c == QLatin1Char(')') || c == QLatin1Char('}'))
            count += --depth == 0;
        else if (c != QLatin1Char('a'))
            count += depth == 0;
    }
    return count;
}

namespace {

// True when `arg`, as QtDBus read it, is of the D-Bus type `type`: in wire
// form (maps, structures, most arrays) by its own signature, otherwise by the
// signature of the type QtDBus made of it.
bool isOfType(const QVariant &arg, QStringView type)
{
    if (arg.userType() == qMetaTypeId<QDBusArgument>())
        return type == qvariant_cast<QDBusArgument>(arg).currentSignature();
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const char *actual = QDBusMetaType::typeToSignature(arg.metaType());
#else
    const char *actual = QDBusMetaType::typeToSignature(arg.userType());
#endif
    return actual && type == QLatin1String(actual);
}

} // namespace

int heldArguments(const QString &signature, const QVariantList &args, int limit)
{
    int held = 0;
    int start = 0;   // where the complete type being read began
    int depth = 0;
    for (int i = 0; i < signature.size() && held < limit; i++) {
        const QChar c = signature[i];
        if (c == QLatin1Char('(') || c == QLatin1Char('{'))
            depth++;
        else if (c == QLatin1Char(')') || c == QLatin1Char('}'))
            depth--;
        if (depth > 0 || c == QLatin1Char('a') || c == QLatin1Char('(') || c == QLatin1Char('{'))
            continue;
        if (held >= args.size() || !isOfType(args[held], QStringView(signature).mid(start, i + 1 - start)))
            break;
        held++;
        start = i + 1;
    }
    return held;
}

bool takes(const QDBusMessage &message, const QString &expected)
{
    const QString signature = message.signature();
    if (!carries(signature, expected))
        return false;
    const int count = typeCount(expected);
    return heldArguments(signature, message.arguments(), count) == count;
}

void checkReply(const Member &row, const QString &signature)
{
    Q_ASSERT_X(carries(QLatin1String(row.reply), signature), row.name,
               "the handler takes another reply than the daemon gives");
    Q_UNUSED(row)
    Q_UNUSED(signature)
}

void checkReply(const QDBusMessage &call, const QString &signature)
{
#ifdef QT_NO_DEBUG
    Q_UNUSED(call)
    Q_UNUSED(signature)
#else
    const Member *row = rowOf(call);
    Q_ASSERT_X(row, qPrintable(call.member()), "a call of no row");
    checkReply(*row, signature);
#endif
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

QDBusMessage propertyWrite(Property property, const QVariant &value)
{
    const Member &row = member(property);
    const BusName &names = busName(row.bus);
    Q_ASSERT_X(signatureOfArguments({value}) == QLatin1String(row.arguments), row.name,
               "the value is not of the property's type");
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(names.service), QLatin1String(names.path),
                                                       QLatin1String(PropertiesInterface), QStringLiteral("Set"));
    call.setArguments({QLatin1String(names.interface), QLatin1String(row.name), QVariant::fromValue(QDBusVariant(value))});
    return call;
}

void logCall(const QDBusMessage &call, int timeout)
{
    qCDebug(callLog).noquote() << "call" << call.interface() + QLatin1Char('.') + call.member() << "time-out"
                               << (timeout == DefaultTimeout ? QStringLiteral("default") : QStringLiteral("%1 ms").arg(timeout));
}

// One call's answer on its way: it goes to its handlers through the context's
// event loop, once, and the object with it. Qt hands a receiver its call's
// answer in one step from the bus thread, so one daemon's answers come in the
// order it gave them; a pending-call watcher made after its answer came takes
// a second step, which a later answer can overtake.
class PendingAnswer : public QObject
{
    Q_OBJECT
public:
    PendingAnswer(QObject *context, QString signature, ReplyHandler onReply, ErrorHandler onError)
        : QObject(context)
        , m_signature(std::move(signature))
        , m_onReply(std::move(onReply))
        , m_onError(std::move(onError))
    {
    }

public Q_SLOTS:
    void reply(const QDBusMessage &reply)
    {
        deleteLater();
        if (!takes(reply, m_signature))
            m_onError(invalidSignature(reply.signature(), m_signature));
        else
            m_onReply(reply.arguments());
    }
    void error(const QDBusError &error, const QDBusMessage &)
    {
        deleteLater();
        m_onError(error);
    }

private:
    QString m_signature;
    ReplyHandler m_onReply;
    ErrorHandler m_onError;
};

bool callAsync(const QDBusMessage &call, QObject *context, const QString &signature,
               ReplyHandler onReply, ErrorHandler onError, int timeout)
{
    checkReply(call, signature);
    QDBusConnection connection = QDBusConnection::systemBus();
    // Qt accepts a call on a lost connection and fails it later; a call that
    // cannot go out is reported here instead.
    if (!connection.isConnected())
        return false;
    logCall(call, timeout);
    auto *answer = new PendingAnswer(context, signature, std::move(onReply), std::move(onError));
    if (!connection.callWithCallback(call, answer, SLOT(reply(QDBusMessage)), SLOT(error(QDBusError, QDBusMessage)),
                                     timeout)) {
        delete answer;
        return false;
    }
    return true;
}

void sendOnly(Method method, const QVariantList &args)
{
    QDBusConnection::systemBus().send(methodCall(method, args));
}

QDBusError notSent()
{
    return QDBusError(QDBusError::Disconnected,
                      QStringLiteral("Not connected to the bus: the call was not sent"));
}

bool isNotSent(const QDBusError &error)
{
    return error.type() == QDBusError::Disconnected && error.message() == notSent().message();
}

QDBusMessage callProxy(DBusIface *proxy, Method method, const QVariantList &args)
{
    const Member &row = member(method);
    Q_ASSERT_X(proxy->interface() == QLatin1String(busName(row.bus).interface), row.name, "a call through another proxy");
    Q_ASSERT_X(signatureOfArguments(args) == QLatin1String(row.arguments), row.name,
               "the call's arguments are not those of its row");
    qCDebug(callLog).noquote() << "call" << proxy->interface() + QLatin1Char('.') + QLatin1String(row.name)
                               << "time-out default";
    return proxy->callWithArgumentList(QDBus::Block, QLatin1String(row.name), args);
}

bool readShort(const QDBusMessage &call, const QString &signature, QVariantList &args, QDBusError *error)
{
    logCall(call, SyncReadTimeout);
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, SyncReadTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        // More arguments after the expected ones are the daemon's to add, as
        // for signals and answers; any other reply is ignored like a wrong
        // argument count.
        if (!takes(reply, signature))
            return false;
        args = reply.arguments();
        return true;
    }
    const QDBusError failure(reply);
    logError(failure);
    if (error)
        *error = failure;
    return false;
}

void logError(const QDBusError &error)
{
    qCDebug(dbusLog) << "Error:" << error.name() << error.message();
}

void logFailure(const char *prefix, const QString &message)
{
    qCDebug(dbusLog) << prefix << message;
}

// ---- The private base ----

namespace {

// The daemon behind a bus name: the modem-services daemon serves every
// com.kelvo.hvt name, the system-state controller its own.
QString daemonOf(const QString &service)
{
    static const QLatin1String modemServices("com.kelvo.hvt.");
    return service.startsWith(modemServices) ? modemServices : service;
}

// One daemon signal on a thread, and the objects of the thread that follow
// it: one subscription serves them all, so a signal costs Qt one delivery
// however many objects take it. An object that goes (or stops following)
// while the signal is being handed out is skipped; one that comes gets the
// next signal.
class SignalHook : public QObject
{
    Q_OBJECT
public:
    SignalHook(Signal signal, QObject *parent)
        : QObject(parent)
        , m_signal(signal)
    {
    }

    bool add(ServiceBase *object, const ServiceBase::Follow &follow)
    {
        if (m_listeners.empty() && !m_connected)
            m_connected = connection(&QDBusConnection::connect);
        if (!m_connected)
            return false;
        m_listeners.push_back({object, follow});
        return true;
    }

    void remove(ServiceBase *object)
    {
        for (Listener &listener : m_listeners) {
            if (listener.object == object)
                listener.object = nullptr;
        }
        if (!m_delivering)
            sweep();
    }

private Q_SLOTS:
    void deliver(const QDBusMessage &message)
    {
        const QString signature = message.signature();
        const QVariantList args = message.arguments();
        int held = -1;   // the arguments of their types, counted for the first handler that looks
        const std::size_t count = m_listeners.size();
        m_delivering++;
        for (std::size_t i = 0; i < count; i++) {
            const Listener &listener = m_listeners[i];
            // The handlers take the first arguments; more may follow them.
            if (!listener.object || !carries(signature, listener.follow.signature))
                continue;
            if (held < 0)
                held = heldArguments(signature, args, int(args.size()));
            if (held < listener.follow.count)
                continue;
            // A handler may add listeners (and move this one): a copy is called.
            ServiceBase *const object = listener.object;
            const ServiceBase::Follow::Call call = listener.follow.call;
            unsigned char handler[sizeof listener.follow.handler];
            std::memcpy(handler, listener.follow.handler, sizeof handler);
            call(object, handler, args);
        }
        if (--m_delivering == 0)
            sweep();
    }

private:
    struct Listener {
        ServiceBase *object;
        ServiceBase::Follow follow;
    };

    // Drops the listeners that went; the subscription goes with the last.
    void sweep()
    {
        m_listeners.erase(std::remove_if(m_listeners.begin(), m_listeners.end(),
                                         [](const Listener &l) { return !l.object; }),
                          m_listeners.end());
        if (m_listeners.empty() && m_connected) {
            connection(&QDBusConnection::disconnect);
            m_connected = false;
        }
    }

    using Connect = bool (QDBusConnection::*)(const QString &, const QString &, const QString &, const QString &,
                                              const QString &, QObject *, const char *);
    // Every signature reaches deliver(), which hands on those that carry a
    // handler's arguments first.
    bool connection(Connect method)
    {
        const Member &row = member(m_signal);
        const BusName &name = busName(row.bus);
        QDBusConnection connection = QDBusConnection::systemBus();
        return (connection.*method)(QLatin1String(name.service), QLatin1String(name.path),
                                    QLatin1String(name.interface), QLatin1String(row.name), QString(), this,
                                    SLOT(deliver(QDBusMessage)));
    }

    const Signal m_signal;
    std::vector<Listener> m_listeners;
    int m_delivering = 0;
    bool m_connected = false;
};

// What a thread's objects share about the daemons: the signals they follow;
// one watch of their names' owners, which tells every object of a name when
// it changes; and the daemons that kept a blocking read waiting past its
// time-out and have not answered since (their reads go asynchronous).
// Objects live on their own threads' event loops, so each thread keeps its
// own book; it also receives the answers of follow-up reads whose objects
// have gone meanwhile.
class DaemonBook : public QObject
{
    Q_OBJECT
public:
    static DaemonBook &ofThisThread()
    {
        static thread_local DaemonBook book;
        return book;
    }

    // The bus announces each name's new owner; one watch per name serves every
    // object of the thread. Qt follows the names a subscription or a proxy
    // names with the same rule, so the bus is not asked for another.
    void follow(const QString &service, ServiceBase *object)
    {
        if (!listeners.contains(service)) {
            if (!watcher) {
                watcher = new QDBusServiceWatcher(service, QDBusConnection::systemBus(),
                                                  QDBusServiceWatcher::WatchForOwnerChange, this);
                connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &DaemonBook::ownerChanged);
            } else {
                watcher->addWatchedService(service);
            }
        }
        listeners.insert(service, object);
    }

    void forget(const QString &service, ServiceBase *object) { listeners.remove(service, object); }

    SignalHook *hook(Signal signal)
    {
        SignalHook *&hook = hooks[std::size_t(signal)];
        if (!hook)
            hook = new SignalHook(signal, this);
        return hook;
    }

    QSet<QString> slow;

private Q_SLOTS:
    void ownerChanged(const QString &service, const QString &, const QString &newOwner)
    {
        // A listener may take others with it: each is asked only while still here.
        const QList<ServiceBase *> now = listeners.values(service);
        for (ServiceBase *object : now) {
            if (listeners.contains(service, object))
                object->ownerChanged(service, newOwner);
        }
    }

private:
    QDBusServiceWatcher *watcher = nullptr;
    QMultiHash<QString, ServiceBase *> listeners;
    SignalHook *hooks[std::size(Signals)] = {};
};

QSet<QString> &slowDaemons()
{
    return DaemonBook::ofThisThread().slow;
}

bool timedOut(const QDBusError &error)
{
    return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout;
}

} // namespace

ServiceBase::ServiceBase(QObject *q, std::initializer_list<Bus> buses, const std::vector<Follow> &follows)
    : QObject(q)
{
    for (Bus bus : buses)
        registerTypes(bus);
    // The subscriptions come first: they make the connection follow the
    // daemon's name, and the proxies then learn its owner from that instead of
    // asking the bus once more.
    for (const Follow &each : follows)
        follow(each);
    for (Bus bus : buses) {
        const BusName &name = busName(bus);
        m_proxies.append(new DBusIface(QLatin1String(name.service), QLatin1String(name.path), name.interface,
                                       QDBusConnection::systemBus(), this));
    }
    for (int i = 0; i < m_proxies.size(); i++) {
        if (m_proxies[i]->isValid())
            m_present |= 1u << i;
        // Two interfaces of one daemon share its name: one watch serves both.
        if (i == 0 || m_proxies[0]->service() != m_proxies[i]->service())
            DaemonBook::ofThisThread().follow(m_proxies[i]->service(), this);
    }
}

ServiceBase::~ServiceBase()
{
    DaemonBook &book = DaemonBook::ofThisThread();
    for (Signal signal : qAsConst(m_follows))
        book.hook(signal)->remove(this);
    for (const DBusIface *proxy : qAsConst(m_proxies))
        book.forget(proxy->service(), this);
}

bool ServiceBase::present(const QString &service) const
{
    for (int i = 0; i < m_proxies.size(); i++) {
        if (m_proxies[i]->service() == service)
            return m_present & (1u << i);
    }
    return false;
}

bool ServiceBase::follow(const Follow &follow)
{
    unfollow(follow.signal);
    if (!DaemonBook::ofThisThread().hook(follow.signal)->add(this, follow))
        return false;
    m_follows.append(follow.signal);
    return true;
}

void ServiceBase::unfollow(Signal signal)
{
    const int at = m_follows.indexOf(signal);
    if (at < 0)
        return;
    m_follows.remove(at);
    DaemonBook::ofThisThread().hook(signal)->remove(this);
}

void ServiceBase::keep(const QDBusMessage &read, const QString &signature,
                       std::function<void(const QVariantList &)> apply)
{
    checkReply(read, signature);
    m_reads.push_back({read, signature, std::move(apply)});
    if (slowDaemons().contains(daemonOf(read.service())))
        readLater(m_reads.size() - 1);
    else
        readNow(m_reads.size() - 1);
}

void ServiceBase::readNow(std::size_t index)
{
    const Read &read = m_reads[index];
    QVariantList args;
    QDBusError error;
    const bool taken = readShort(read.call, read.signature, args, &error);
    if (error.isValid()) {
        if (timedOut(error)) {
            slowDaemons().insert(daemonOf(read.call.service()));
            readLater(index);
        } else {
            retry(index);
        }
        return;
    }
    slowDaemons().remove(daemonOf(read.call.service()));
    if (taken)
        read.apply(args);
}

void ServiceBase::readLater(std::size_t index)
{
    const QString daemon = daemonOf(m_reads[index].call.service());
    const QPointer<ServiceBase> self(this);
    const quint64 generation = m_reads[index].generation;
    // The answer may come after the object went: it goes to the thread's book.
    callAsync(m_reads[index].call, &DaemonBook::ofThisThread(), m_reads[index].signature,
              [daemon, self, index, generation](const QVariantList &args) {
                  slowDaemons().remove(daemon);
                  if (!self || self->m_reads[index].generation != generation)
                      return;
                  self->m_reads[index].failures = 0;
                  self->m_reads[index].apply(args);
              },
              [daemon, self, index, generation](const QDBusError &error) {
                  if (!timedOut(error))
                      slowDaemons().remove(daemon);
                  if (self && self->m_reads[index].generation == generation)
                      self->retry(index);
              });
}

void ServiceBase::retry(std::size_t index)
{
    Read &read = m_reads[index];
    if (!present(read.call.service()))
        return;   // its return reads it again
    const int wait = SyncReadTimeout << qMin(read.failures++, 7);
    QTimer::singleShot(qMin(wait, 30000), this, [this, index, generation = read.generation] {
        if (m_reads[index].generation == generation)
            readLater(index);
    });
}

void ServiceBase::ownerChanged(const QString &service, const QString &owner)
{
    const bool wasValid = isValid();
    for (int i = 0; i < m_proxies.size(); i++) {
        if (m_proxies[i]->service() != service)
            continue;
        if (owner.isEmpty())
            m_present &= ~(1u << i);
        else
            m_present |= 1u << i;
    }
    if (isValid() != wasValid)
        validityChanged(isValid());
    for (std::size_t i = 0; i < m_reads.size(); i++) {
        if (m_reads[i].call.service() != service)
            continue;
        // Whatever was planned for the daemon that went is off.
        m_reads[i].generation++;
        m_reads[i].failures = 0;
        if (!owner.isEmpty())
            readLater(i);
    }
}

} // namespace Frame
} // namespace Ondrix

#include "frame.moc"
