// SPDX-License-Identifier: LGPL-2.1-or-later
#include "frame.h"

#include <QDebug>
#include <QPointer>
#include <QtDBus/QDBusPendingCallWatcher>

#include <vector>

namespace Ondrix {

Q_LOGGING_CATEGORY(dbusLog, "ondrix.dbus")
// Every call and the time it is given, for developers: off unless enabled
// ("QT_LOGGING_RULES=ondrix.dbus.calls.debug=true").
Q_LOGGING_CATEGORY(callLog, "ondrix.dbus.calls", QtWarningMsg)

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

const char PropertyMapSignature[] = "a{sv}";

QDBusError invalidSignature(const QString &actual, const QString &expected)
{
    return QDBusError(QDBusError::InvalidSignature,
                      QStringLiteral("Unexpected reply signature \"%1\", expected \"%2\"")
                          .arg(actual, expected));
}

} // namespace

// The subscriptions of one object: every signal it follows arrives here as
// a message and goes to its handler when it has the expected signature. One
// receiver for all keeps Qt's bookkeeping (and its waits for the bus thread)
// to one per object.
class SignalHub : public QObject
{
    Q_OBJECT
public:
    explicit SignalHub(QObject *context)
        : QObject(context)
    {
        setObjectName(QLatin1String(Name));
    }

    static SignalHub *of(QObject *context, bool create)
    {
        auto *hub = context->findChild<SignalHub *>(QLatin1String(Name), Qt::FindDirectChildrenOnly);
        return hub || !create ? hub : new SignalHub(context);
    }

    // Qt drops the subscriptions, and their match rules, when the hub goes.
    bool add(Bus bus, const char *signal, const QString &signature, SignalHandler handler)
    {
        Entry *entry = find(bus, signal);
        if (entry && entry->signature == signature) {
            entry->handler = std::move(handler);
            return true;
        }
        if (entry)
            remove(bus, signal);
        const QString member = QLatin1String(signal);
        if (!connection(bus, member, &QDBusConnection::connect))
            return false;
        m_entries.push_back({QLatin1String(busName(bus).interface), member, signature, std::move(handler)});
        return true;
    }

    void remove(Bus bus, const char *signal)
    {
        Entry *entry = find(bus, signal);
        if (!entry)
            return;
        connection(bus, entry->member, &QDBusConnection::disconnect);
        m_entries.erase(m_entries.begin() + (entry - m_entries.data()));
    }

private Q_SLOTS:
    void deliver(const QDBusMessage &message)
    {
        // The handlers take the first arguments; more may follow them.
        const QString member = message.member();
        const QString interface = message.interface();
        for (const Entry &entry : m_entries) {
            if (entry.member == member && entry.interface == interface) {
                if (carries(message.signature(), entry.signature))
                    entry.handler(message.arguments());
                return;
            }
        }
    }

private:
    static constexpr const char *Name = "ondrix-signals";

    // An object follows a handful of signals: a list beats a hash here.
    struct Entry {
        QString interface;
        QString member;
        QString signature;
        SignalHandler handler;
    };

    Entry *find(Bus bus, const char *signal)
    {
        const QLatin1String interface(busName(bus).interface);
        const QLatin1String member(signal);
        for (Entry &entry : m_entries) {
            if (entry.member == member && entry.interface == interface)
                return &entry;
        }
        return nullptr;
    }

    using Method = bool (QDBusConnection::*)(const QString &, const QString &, const QString &,
                                             const QString &, const QString &, QObject *,
                                             const char *);
    // Every signature reaches deliver(), which takes those that carry the
    // handler's arguments first.
    bool connection(Bus bus, const QString &member, Method method)
    {
        const BusName &name = busName(bus);
        QDBusConnection connection = QDBusConnection::systemBus();
        return (connection.*method)(QLatin1String(name.service), QLatin1String(name.path),
                                    QLatin1String(name.interface), member, QString(), this,
                                    SLOT(deliver(QDBusMessage)));
    }

    std::vector<Entry> m_entries;
};

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

QDBusMessage propertyWrite(Bus bus, const char *name, const QVariant &value)
{
    const BusName &names = busName(bus);
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(names.service), QLatin1String(names.path),
                                                       QLatin1String(PropertiesInterface), QStringLiteral("Set"));
    call.setArguments({QLatin1String(names.interface), QLatin1String(name), QVariant::fromValue(QDBusVariant(value))});
    return call;
}

bool carries(const QString &actual, const QString &expected)
{
    return actual.startsWith(expected);
}

void logCall(const QDBusMessage &call, int timeout)
{
    qCDebug(callLog).noquote() << "call" << call.interface() + QLatin1Char('.') + call.member() << "time-out"
                               << (timeout == DefaultTimeout ? QStringLiteral("default") : QStringLiteral("%1 ms").arg(timeout));
}

bool callAsync(const QDBusMessage &call, QObject *context, const QString &signature,
               ReplyHandler onReply, ErrorHandler onError, int timeout)
{
    QDBusConnection connection = QDBusConnection::systemBus();
    // Qt accepts a call on a lost connection and fails it later; a call that
    // cannot go out is reported here instead.
    if (!connection.isConnected())
        return false;
    logCall(call, timeout);
    auto *watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, timeout), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [signature, onReply, onError](QDBusPendingCallWatcher *finished) {
                         finished->deleteLater();
                         const QDBusMessage reply = finished->reply();
                         if (reply.type() != QDBusMessage::ReplyMessage)
                             onError(QDBusError(reply));
                         else if (!carries(reply.signature(), signature))
                             onError(invalidSignature(reply.signature(), signature));
                         else
                             onReply(reply.arguments());
                     });
    return true;
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

QDBusMessage callProxy(DBusIface *proxy, const QString &method, const QVariantList &args)
{
    qCDebug(callLog).noquote() << "call" << proxy->interface() + QLatin1Char('.') + method << "time-out default";
    return proxy->callWithArgumentList(QDBus::Block, method, args);
}

bool readShort(const QDBusMessage &call, const QString &signature, QVariantList &args, QDBusError *error)
{
    logCall(call, SyncReadTimeout);
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, SyncReadTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        // Any other arguments are ignored, like a wrong argument count.
        if (reply.signature() != signature)
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

bool readProperties(const QDBusMessage &call, QVariantMap &out)
{
    QVariantList args;
    if (!readShort(call, QLatin1String(PropertyMapSignature), args))
        return false;
    out = qdbus_cast<QVariantMap>(args.constFirst());
    return true;
}

void logError(const QDBusError &error)
{
    qCDebug(dbusLog) << "Error:" << error.name() << error.message();
}

void logFailure(const char *prefix, const QString &message)
{
    qCDebug(dbusLog) << prefix << message;
}

bool subscribe(Bus bus, const char *signal, const QString &signature, QObject *context,
               SignalHandler handler)
{
    return SignalHub::of(context, true)->add(bus, signal, signature, std::move(handler));
}

void unsubscribe(Bus bus, const char *signal, QObject *context)
{
    if (SignalHub *hub = SignalHub::of(context, false))
        hub->remove(bus, signal);
}

// ---- Daemons ----

namespace {

// The daemon behind a bus name: the modem-services daemon serves every
// com.kelvo.hvt name, the system-state controller its own.
QString daemonOf(const QString &service)
{
    static const QLatin1String modemServices("com.kelvo.hvt.");
    return service.startsWith(modemServices) ? modemServices : service;
}

// What a thread's objects share about the daemons: one watch of their names'
// owners, which tells every object of a name when it changes, and the daemons
// that kept a blocking read waiting past its time-out and have not answered
// since (their reads go asynchronous). Objects live on their own threads'
// event loops, so each thread keeps its own book; it also receives the
// answers of follow-up reads whose objects have gone meanwhile.
class DaemonBook : public QObject
{
    Q_OBJECT
public:
    static DaemonBook &ofThisThread()
    {
        static thread_local DaemonBook book;
        return book;
    }

    // The bus announces each name's new owner; one subscription per name serves
    // every object of the thread.
    void follow(const QString &service, Daemons *daemons)
    {
        if (!listeners.contains(service)) {
            QDBusConnection::systemBus().connect(
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), {service}, QString(),
                this, SLOT(ownerChanged(QString, QString, QString)));
        }
        listeners.insert(service, daemons);
    }

    void forget(const QString &service, Daemons *daemons) { listeners.remove(service, daemons); }

    QSet<QString> slow;

private Q_SLOTS:
    void ownerChanged(const QString &service, const QString &oldOwner, const QString &newOwner)
    {
        // A listener may take others with it: each is asked only while still here.
        const QList<Daemons *> now = listeners.values(service);
        for (Daemons *daemons : now) {
            if (listeners.contains(service, daemons))
                daemons->ownerChanged(service, oldOwner, newOwner);
        }
    }

private:
    QMultiHash<QString, Daemons *> listeners;
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

Daemons::Daemons(std::initializer_list<const QDBusAbstractInterface *> proxies, QObject *context, Changed changed)
    : QObject(context)
    , m_changed(std::move(changed))
{
    for (const QDBusAbstractInterface *proxy : proxies) {
        if (m_services.contains(proxy->service()))
            continue;
        m_services << proxy->service();
        if (proxy->isValid())
            m_present.insert(proxy->service());
    }
    for (const QString &service : qAsConst(m_services))
        DaemonBook::ofThisThread().follow(service, this);
}

Daemons::~Daemons()
{
    for (const QString &service : qAsConst(m_services))
        DaemonBook::ofThisThread().forget(service, this);
}

void Daemons::keep(const QDBusMessage &read, const QString &signature, Apply apply)
{
    m_reads.push_back({read, signature, std::move(apply)});
    const Read &added = m_reads.back();
    if (slowDaemons().contains(daemonOf(read.service())))
        readLater(added);
    else
        readNow(added);
}

void Daemons::keepProperties(const QDBusMessage &read, ApplyMap apply)
{
    keep(read, QLatin1String(PropertyMapSignature), [apply](const QVariantList &args) {
        apply(qdbus_cast<QVariantMap>(args.constFirst()));
    });
}

void Daemons::readNow(const Read &read)
{
    QVariantList args;
    QDBusError error;
    const bool taken = readShort(read.call, read.signature, args, &error);
    if (error.isValid()) {
        if (timedOut(error)) {
            slowDaemons().insert(daemonOf(read.call.service()));
            readLater(read);
        }
        return;
    }
    slowDaemons().remove(daemonOf(read.call.service()));
    if (taken)
        read.apply(args);
}

void Daemons::readLater(const Read &read)
{
    const QString daemon = daemonOf(read.call.service());
    const Apply apply = read.apply;
    const QPointer<Daemons> self(this);
    // The reply carries the value first; one more argument makes it another reply.
    callAsync(read.call, &DaemonBook::ofThisThread(), read.signature,
              [daemon, apply, self](const QVariantList &args) {
                  slowDaemons().remove(daemon);
                  if (self && args.size() == 1)
                      apply(args);
              },
              [daemon](const QDBusError &error) {
                  if (!timedOut(error))
                      slowDaemons().remove(daemon);
              });
}

void Daemons::ownerChanged(const QString &service, const QString &, const QString &owner)
{
    const bool wasValid = valid();
    if (owner.isEmpty())
        m_present.remove(service);
    else
        m_present.insert(service);
    if (valid() != wasValid && m_changed)
        m_changed(valid());
    if (owner.isEmpty())
        return;
    for (const Read &read : m_reads) {
        if (read.call.service() == service)
            readLater(read);
    }
}

} // namespace Frame
} // namespace Ondrix

#include "frame.moc"
