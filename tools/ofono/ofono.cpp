// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ofono.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusServiceWatcher>
#include <QtDBus/QDBusVariant>

namespace {

const QString ModemInterface = QStringLiteral("org.ofono.Modem");
const QString ManagerInterface = QStringLiteral("org.ofono.Manager");
const QString CallManager = QStringLiteral("org.ofono.VoiceCallManager");
const QString CallInterface = QStringLiteral("org.ofono.VoiceCall");
// oFono answers a network scan or a supplementary service when the network
// does: minutes at worst.
constexpr int CallTimeout = 300000;

// A value as the cache keeps it: a dictionary ("a{sy}" retries, "a{sv}")
// as a map, read once here; any other structure as nothing.
QVariant plain(const QVariant &value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return value;
    const QDBusArgument arg = value.value<QDBusArgument>();
    const QString signature = arg.currentSignature();
    if (signature.size() != 5 || !signature.startsWith(QLatin1String("a{s")))
        return QVariant();
    QVariantMap map;
    arg.beginMap();
    while (!arg.atEnd()) {
        QString key;
        QVariant item;
        arg.beginMapEntry();
        arg >> key;
        switch (signature.at(3).unicode()) {
        case 'y': { uchar byte = 0; arg >> byte; item = uint(byte); break; }
        case 's': { QString text; arg >> text; item = text; break; }
        case 'b': { bool flag = false; arg >> flag; item = flag; break; }
        case 'v': { QDBusVariant variant; arg >> variant; item = plain(variant.variant()); break; }
        default: break;
        }
        arg.endMapEntry();
        if (item.isValid())
            map.insert(key, item);
    }
    arg.endMap();
    return map;
}

// An "a{sv}" argument as a map of plain values; empty for anything else.
QVariantMap propertiesOf(const QVariant &value)
{
    const QVariant map = plain(value);
    if (map.userType() != QMetaType::QVariantMap)
        return {};
    return map.toMap();
}

// An "a(oa{sv})" argument: the objects in order, each with its properties.
QList<QPair<QString, QVariantMap>> objectsOf(const QVariant &value)
{
    QList<QPair<QString, QVariantMap>> objects;
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return objects;
    const QDBusArgument arg = value.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String("a(oa{sv})"))
        return objects;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusObjectPath path;
        QVariantMap properties;
        arg.beginStructure();
        arg >> path >> properties;
        arg.endStructure();
        for (QVariant &value : properties)
            value = plain(value);
        objects.append({path.path(), properties});
    }
    arg.endArray();
    return objects;
}

// The answer of one call to oFono, handed to its function from the bus;
// one still out when the bridge stops goes with it.
class Pending : public QObject
{
    Q_OBJECT
public:
    Pending(Ofono::Answered answered, QObject *parent)
        : QObject(parent)
        , m_answered(std::move(answered))
    {
    }

public Q_SLOTS:
    void done(const QDBusMessage &reply)
    {
        m_answered(reply);
        deleteLater();
    }
    void failed(const QDBusError &error, const QDBusMessage &call)
    {
        Q_UNUSED(call)
        m_answered(QDBusMessage::createError(error));
        deleteLater();
    }

private:
    Ofono::Answered m_answered;
};

} // namespace

Ofono::Ofono(const QDBusConnection &bus, const QString &wanted, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_wanted(wanted)
{
}

void Ofono::start()
{
    auto *watcher = new QDBusServiceWatcher(QLatin1String(Service), m_bus,
                                        QDBusServiceWatcher::WatchForRegistration
                                            | QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &Ofono::appeared);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, &Ofono::vanished);
    // Every signal of oFono's that the bridge takes, from any of its objects.
    for (const char *member : {"ModemAdded", "ModemRemoved", "PropertyChanged", "CallAdded", "CallRemoved",
                               "NotificationReceived", "RequestReceived"}) {
        m_bus.connect(QLatin1String(Service), QString(), QString(), QLatin1String(member), this,
                      SLOT(onSignal(QDBusMessage)));
    }
    appeared();
}

QVariant Ofono::value(const QString &interface, const QString &name) const
{
    const auto it = m_values.constFind(interface);
    return it == m_values.constEnd() ? QVariant() : it->value(name);
}

void Ofono::call(const QString &interface, const QString &member, const QVariantList &args, Answered answered,
                 const QString &path)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(Service), path.isEmpty() ? m_modem : path,
                                                          interface, member);
    message.setArguments(args);
    auto *pending = new Pending(std::move(answered), this);
    if (!m_bus.callWithCallback(message, pending, SLOT(done(QDBusMessage)), SLOT(failed(QDBusError, QDBusMessage)),
                                CallTimeout)) {
        const QDBusMessage error = QDBusMessage::createError(QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
                                                             QStringLiteral("The call to oFono could not be sent"));
        QMetaObject::invokeMethod(pending, [pending, error] { pending->done(error); }, Qt::QueuedConnection);
    }
}

void Ofono::set(const QString &interface, const QString &name, const QVariant &value, Answered answered,
                const QVariantList &extra)
{
    call(interface, QStringLiteral("SetProperty"), QVariantList{name, QVariant::fromValue(QDBusVariant(value))} + extra,
         std::move(answered));
}

void Ofono::appeared()
{
    const quint64 generation = ++m_generation;
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(Service), QStringLiteral("/"),
                                                          ManagerInterface, QStringLiteral("GetModems"));
    auto *pending = new Pending([this, generation](const QDBusMessage &reply) {
        if (generation != m_generation || reply.type() != QDBusMessage::ReplyMessage
            || reply.signature() != QLatin1String("a(oa{sv})"))
            return;   // not there (yet): its name appearing reads again
        m_order.clear();
        m_modems.clear();
        for (const auto &modem : objectsOf(reply.arguments().at(0))) {
            m_order << modem.first;
            m_modems.insert(modem.first, modem.second);
        }
        choose();
    }, this);
    m_bus.callWithCallback(message, pending, SLOT(done(QDBusMessage)), SLOT(failed(QDBusError, QDBusMessage)));
}

void Ofono::vanished()
{
    ++m_generation;
    m_order.clear();
    m_modems.clear();
    follow(QString());
}

// The modem to serve: the one asked for, else the first with a SIM manager,
// else the first.
void Ofono::choose()
{
    QString chosen;
    if (!m_wanted.isEmpty()) {
        chosen = m_modems.contains(m_wanted) ? m_wanted : QString();
    } else {
        for (const QString &path : qAsConst(m_order)) {
            if (m_modems.value(path).value(QStringLiteral("Interfaces")).toStringList().contains(QStringLiteral("org.ofono.SimManager"))) {
                chosen = path;
                break;
            }
        }
        if (chosen.isEmpty() && !m_order.isEmpty())
            chosen = m_order.first();
        // A modem already followed stays while it is there.
        if (m_modems.contains(m_modem))
            chosen = m_modem;
    }
    follow(chosen);
}

void Ofono::follow(const QString &path)
{
    if (path == m_modem)
        return;
    ++m_generation;
    const bool wasReady = m_ready;
    m_ready = false;
    m_modem = path;
    m_values.clear();
    m_calls.clear();
    m_reading = 0;
    if (wasReady)
        emit readyChanged(false);
    if (path.isEmpty())
        return;
    m_values.insert(ModemInterface, m_modems.value(path));
    // A modem that is off has none of its services: the bridge powers the
    // modem it serves, as a phone's session does; the radio stays as it is.
    if (!value(ModemInterface, QStringLiteral("Powered")).toBool())
        set(ModemInterface, QStringLiteral("Powered"), true, [](const QDBusMessage &) {});
    readInterfaces();
    settle();
}

// Reads the interfaces the modem lists and has not been read, and forgets
// those it no longer lists.
void Ofono::readInterfaces()
{
    const QStringList listed = value(ModemInterface, QStringLiteral("Interfaces")).toStringList();
    for (auto it = m_values.begin(); it != m_values.end();) {
        if (it.key() != ModemInterface && !listed.contains(it.key()))
            it = m_values.erase(it);
        else
            ++it;
    }
    if (!listed.contains(CallManager))
        m_calls.clear();
    for (const QString &interface : listed) {
        if (interface.startsWith(QLatin1String("org.ofono.")) && !m_values.contains(interface))
            read(interface);
    }
}

void Ofono::read(const QString &interface)
{
    // An interface without properties is there all the same.
    if (!m_values.contains(interface))
        m_values.insert(interface, QVariantMap());
    ++m_reading;
    const quint64 generation = m_generation;
    call(interface, QStringLiteral("GetProperties"), {}, [this, generation, interface](const QDBusMessage &reply) {
        if (generation != m_generation)
            return;
        --m_reading;
        if (m_values.contains(interface) && reply.type() == QDBusMessage::ReplyMessage
            && reply.signature() == QLatin1String("a{sv}"))
            m_values[interface] = propertiesOf(reply.arguments().at(0));
        if (interface == CallManager)
            readCalls();
        settle();
    });
}

void Ofono::readCalls()
{
    ++m_reading;
    const quint64 generation = m_generation;
    call(CallManager, QStringLiteral("GetCalls"), {}, [this, generation](const QDBusMessage &reply) {
        if (generation != m_generation)
            return;
        --m_reading;
        if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("a(oa{sv})")) {
            m_calls.clear();
            for (const auto &call : objectsOf(reply.arguments().at(0)))
                m_calls.insert(call.first, call.second);
        }
        settle();
    });
}

// Once every read has come the modem is ready; after that, every change is told.
void Ofono::settle()
{
    if (m_reading > 0 || m_modem.isEmpty())
        return;
    if (!m_ready) {
        m_ready = true;
        emit readyChanged(true);
    }
    emit changed();
}

void Ofono::modemProperty(const QString &name, const QVariant &value)
{
    m_values[ModemInterface].insert(name, value);
    m_modems[m_modem].insert(name, value);
    if (name == QLatin1String("Interfaces"))
        readInterfaces();
}

void Ofono::onSignal(const QDBusMessage &message)
{
    const QString member = message.member();
    const QString signature = message.signature();
    const QVariantList args = message.arguments();
    const QString path = message.path();
    if (message.interface() == ManagerInterface) {
        if (member == QLatin1String("ModemAdded") && signature == QLatin1String("oa{sv}")) {
            const QString added = args.at(0).value<QDBusObjectPath>().path();
            if (!m_order.contains(added))
                m_order << added;
            m_modems.insert(added, propertiesOf(args.at(1)));
            choose();
        } else if (member == QLatin1String("ModemRemoved") && signature == QLatin1String("o")) {
            const QString removed = args.at(0).value<QDBusObjectPath>().path();
            m_order.removeAll(removed);
            m_modems.remove(removed);
            choose();
        }
        return;
    }
    if (member == QLatin1String("PropertyChanged") && signature == QLatin1String("sv")) {
        const QString name = args.at(0).toString();
        const QVariant value = plain(args.at(1).value<QDBusVariant>().variant());
        if (message.interface() == ModemInterface) {
            if (m_modems.contains(path))
                m_modems[path].insert(name, value);
            if (path != m_modem) {
                // Another modem found its card: with none asked for, it may be the one to serve.
                if (m_wanted.isEmpty() && name == QLatin1String("Interfaces"))
                    choose();
                return;
            }
            modemProperty(name, value);
        } else if (message.interface() == CallInterface) {
            if (!m_calls.contains(path))
                return;
            m_calls[path].insert(name, value);
        } else if (path == m_modem && m_values.contains(message.interface())) {
            m_values[message.interface()].insert(name, value);
            // A card taken out or put in: oFono starts over with it and does
            // not tell every property it forgot (the PIN it waited for).
            if (message.interface() == QLatin1String("org.ofono.SimManager") && name == QLatin1String("Present"))
                read(message.interface());
        } else {
            return;
        }
        settle();
        return;
    }
    if (path != m_modem)
        return;
    if (member == QLatin1String("CallAdded") && signature == QLatin1String("oa{sv}")) {
        m_calls.insert(args.at(0).value<QDBusObjectPath>().path(), propertiesOf(args.at(1)));
        settle();
    } else if (member == QLatin1String("CallRemoved") && signature == QLatin1String("o")) {
        m_calls.remove(args.at(0).value<QDBusObjectPath>().path());
        settle();
    } else if (signature == QLatin1String("s") && m_ready) {
        emit signalled(message.interface(), member, args);
    }
}

#include "ofono.moc"
