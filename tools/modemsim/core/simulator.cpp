// SPDX-License-Identifier: LGPL-2.1-or-later
#include "simulator.h"

#include "contract.h"
#include "service.h"

#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMetaType>
#include <QTextStream>

namespace {

const char RootPath[] = "/com/kelvo";
const char PropertiesInterface[] = "org.freedesktop.DBus.Properties";
const char IntrospectableInterface[] = "org.freedesktop.DBus.Introspectable";
const char PeerInterface[] = "org.freedesktop.DBus.Peer";
// Calls from inside carry this and their number as their destination.
const QString InsidePrefix = QStringLiteral("org.ondrix.ModemSim.Inside.c");


// Times in milliseconds.
QVariantMap defaultSettings(bool instant)
{
    return {
        // The radio switching after "RequestRadio".
        {QStringLiteral("RadioSwitchTime"), instant ? 0 : 300},
        // An operator scan ("GetNetworks").
        {QStringLiteral("ScanTime"), instant ? 0 : 3000},
        // An operator selection, from searching to registered.
        {QStringLiteral("SelectionTime"), instant ? 0 : 2000},
        // Between steps of the signal level's drift; 0 keeps it still.
        {QStringLiteral("SignalDriftInterval"), instant ? 0 : 4000},
        // A supplementary service operation, during which the service is busy.
        {QStringLiteral("SSTime"), instant ? 0 : 700},
        // A call dialled on the AT port, from dialling to answered (a third of it dialling).
        {QStringLiteral("CallAnswerTime"), instant ? 0 : 3000},
        // The SIM lock's wait after every third wrong unlock code.
        {QStringLiteral("SimLockWaitTime"), 30000},
    };
}

} // namespace

// The interface files, built into the library the simulator is made of.
static void loadInterfaces()
{
    Q_INIT_RESOURCE(interfaces);
}

Simulator::Simulator(const QDBusConnection &connection, bool instant, QObject *parent)
    : QDBusVirtualObject(parent)
    , m_connection(connection)
    , m_settings(defaultSettings(instant))
    , m_instant(instant)
{
    loadInterfaces();
}

void Simulator::addService(Service *service)
{
    m_services.emplace_back(service);
    service->reset();
}

Simulator::~Simulator() = default;

QStringList Simulator::settingNames()
{
    return defaultSettings(true).keys();
}

bool Simulator::start()
{
    if (!m_servesBus)
        return true;
    if (!m_connection.registerVirtualObject(QLatin1String(RootPath), this,
                                            QDBusConnection::SubPath))
        return false;
    return acquireNames();
}

QStringList Simulator::busNames() const
{
    QStringList names;
    for (auto &service : m_services) {
        if (!names.contains(service->busName()))
            names << service->busName();
    }
    return names;
}

bool Simulator::acquireNames()
{
    if (!m_servesBus)
        return true;
    bool ok = true;
    for (const QString &name : busNames())
        ok = m_connection.registerService(name) && ok;
    return ok;
}

void Simulator::releaseNames()
{
    if (!m_servesBus)
        return;
    for (const QString &name : busNames())
        m_connection.unregisterService(name);
}

Service *Simulator::service(const QString &interface) const
{
    for (auto &service : m_services) {
        if (service->interface() == interface)
            return service.get();
    }
    return nullptr;
}

QList<Service *> Simulator::services() const
{
    QList<Service *> list;
    for (auto &service : m_services)
        list << service.get();
    return list;
}

Service *Simulator::serviceAt(const QString &path, const QString &interface) const
{
    Service *found = service(interface);
    return found && found->path() == path ? found : nullptr;
}

void Simulator::reset()
{
    m_settings = defaultSettings(m_instant);
    m_calls.clear();
    m_violations.clear();
    m_garbled = false;
    for (auto &service : m_services)
        service->reset();
    // Calls from inside that the modem held end: the modem started over.
    const QList<quint64> inside = m_inside.keys();
    for (quint64 id : inside) {
        const QDBusMessage call = QDBusMessage::createMethodCall(InsidePrefix + QString::number(id), QString(), QString(), QString());
        answeredInside(call, QDBusMessage::createError(QStringLiteral("org.ondrix.ModemSim.Error.Reset"),
                                                       QStringLiteral("The modem was reset")));
    }
    acquireNames();
    emit wasReset();
}

void Simulator::logAt(const QString &direction, const QByteArray &line)
{
    // Bytes as they went, every one outside printable ASCII as \xHH.
    QString shown;
    for (const char c : line) {
        const uchar u = uchar(c);
        shown += u >= 0x20 && u < 0x7f ? QString(QLatin1Char(c)) : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    m_calls.append({
        {QStringLiteral("path"), QString()},
        {QStringLiteral("interface"), QStringLiteral("AT")},
        {QStringLiteral("member"), direction},
        {QStringLiteral("signature"), QStringLiteral("s")},
        {QStringLiteral("args"), QVariantList{shown}},
    });
    if (verbose)
        QTextStream(stdout) << "at " << (direction == QLatin1String("Sent") ? "> " : "< ") << shown << '\n' << Qt::flush;
}

void Simulator::setSetting(const QString &name, const QVariant &value)
{
    m_settings.insert(name, value);
    for (auto &service : m_services)
        service->configure();
}

void Simulator::emitSignal(const QString &path, const QString &interface, const QString &member,
                           const QVariantList &args)
{
    checkSignal(interface, member, args);
    sendSignal(path, interface, member, args);
}

void Simulator::sendSignal(const QString &path, const QString &interface, const QString &member,
                           const QVariantList &args)
{
    if (m_servesBus) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, member);
        signal.setArguments(args);
        m_connection.send(signal);
    }
    emit signalled(interface, member, args);
    if (verbose)
        QTextStream(stdout) << "signal " << interface << '.' << member << '\n' << Qt::flush;
}

void Simulator::reply(const QDBusMessage &call, const QVariantList &args)
{
    if (!m_garbled && call.interface() != QLatin1String(PropertiesInterface)) {
        const ContractMember *method = Contract::builtIn().method(call.interface(), call.member());
        const QString signature = wireSignature(args);
        if (method && method->signature(true) != signature) {
            violated(QStringLiteral("reply to %1.%2 is (%3), not (%4)")
                         .arg(call.interface(), call.member(), signature, method->signature(true)));
        }
    }
    sendReply(call, args);
}

void Simulator::sendReply(const QDBusMessage &call, const QVariantList &args)
{
    const QDBusMessage answer = call.createReply(args);
    if (!answeredInside(call, answer))
        m_connection.send(answer);
}

void Simulator::checkSignal(const QString &interface, const QString &member, const QVariantList &args)
{
    if (m_garbled)
        return;
    const ContractMember *signal = Contract::builtIn().signal(interface, member);
    if (!signal) {
        violated(QStringLiteral("signal %1.%2 is not in the interface files").arg(interface, member));
        return;
    }
    const QString signature = wireSignature(args);
    if (signal->signature(true) != signature) {
        violated(QStringLiteral("signal %1.%2 is (%3), not (%4)")
                     .arg(interface, member, signature, signal->signature(true)));
    }
}

void Simulator::checkCall(const QDBusMessage &call)
{
    QString expected;
    if (call.interface() == QLatin1String(PropertiesInterface)) {
        static const QMap<QString, QString> standard = {
            {QStringLiteral("Get"), QStringLiteral("ss")},
            {QStringLiteral("GetAll"), QStringLiteral("s")},
            {QStringLiteral("Set"), QStringLiteral("ssv")},
        };
        if (!standard.contains(call.member()))
            return violated(QStringLiteral("call of unknown %1.%2").arg(call.interface(), call.member()));
        expected = standard.value(call.member());
    } else {
        const ContractMember *method = Contract::builtIn().method(call.interface(), call.member());
        if (!method)
            return violated(QStringLiteral("call of unknown %1.%2").arg(call.interface(), call.member()));
        expected = method->signature(false);
    }
    if (call.signature() != expected) {
        violated(QStringLiteral("call of %1.%2 with (%3), not (%4)")
                     .arg(call.interface(), call.member(), call.signature(), expected));
    }
}

void Simulator::violated(const QString &what)
{
    m_violations.append(what);
    QTextStream(stderr) << "ondrix-modemsim: " << what << '\n' << Qt::flush;
}

void Simulator::replyError(const QDBusMessage &call, const QString &name, const QString &text)
{
    const QDBusMessage answer = call.createErrorReply(name, text);
    if (!answeredInside(call, answer))
        m_connection.send(answer);
}

void Simulator::callInside(const QString &path, const QString &interface, const QString &member,
                           const QVariantList &args, Answered answered)
{
    const quint64 id = ++m_insideCalls;
    m_inside.insert(id, std::move(answered));
    QDBusMessage call = QDBusMessage::createMethodCall(InsidePrefix + QString::number(id), path, interface, member);
    call.setArguments(args);
    for (Interceptor *interceptor : qAsConst(m_interceptors)) {
        if (interceptor->intercept(call))
            return;
    }
    dispatch(call);
}

bool Simulator::answeredInside(const QDBusMessage &call, const QDBusMessage &answer)
{
    if (!call.service().startsWith(InsidePrefix))
        return false;
    // From the event loop, as an answer from the bus would come: the caller
    // is never entered again from inside its own call.
    const quint64 id = call.service().mid(InsidePrefix.size()).toULongLong();
    QMetaObject::invokeMethod(this, [this, id, answer] {
        if (Answered answered = m_inside.take(id))
            answered(answer);
    }, Qt::QueuedConnection);
    return true;
}

// The interfaces at `path` and the nodes below it. Qt adds the properties,
// introspection and peer interfaces and wraps the answer in a node.
QString Simulator::introspect(const QString &path) const
{
    QString xml;
    QStringList children;
    const QString prefix = path == QLatin1String("/") ? path : path + QLatin1Char('/');
    for (auto &service : m_services) {
        if (service->path() == path) {
            xml += Contract::builtIn().find(service->interface())->xml();
        } else if (service->path().startsWith(prefix)) {
            const QString child = service->path().mid(prefix.size()).section(QLatin1Char('/'), 0, 0);
            if (!children.contains(child))
                children << child;
        }
    }
    for (const QString &child : qAsConst(children))
        xml += QStringLiteral("  <node name=\"%1\"/>\n").arg(child);
    return xml;
}

// The arguments of a call as the log keeps them: every code replaced, and in
// a call that takes one, whatever is not what its place holds.
QVariantList Simulator::masked(const QDBusMessage &call)
{
    QVariantList args = call.arguments();
    if (const ContractMember *method = Contract::builtIn().method(call.interface(), call.member())) {
        for (int i = 0; i < args.size(); i++) {
            if (!method->shows(i, args[i]))
                args[i] = QStringLiteral("********");
        }
    }
    return args;
}

bool Simulator::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    // Left to Qt, which answers them from introspect().
    if (message.interface() == QLatin1String(IntrospectableInterface)
        || message.interface() == QLatin1String(PeerInterface))
        return false;
    checkCall(message);

    m_calls.append({
        {QStringLiteral("path"), message.path()},
        {QStringLiteral("interface"), message.interface()},
        {QStringLiteral("member"), message.member()},
        {QStringLiteral("signature"), message.signature()},
        {QStringLiteral("args"), QVariant(showCodes ? message.arguments() : masked(message))},
    });
    if (verbose) {
        QTextStream(stdout) << "call " << message.interface() << '.' << message.member() << " ("
                            << message.signature() << ")\n"
                            << Qt::flush;
    }

    emit called(message);
    for (Interceptor *interceptor : qAsConst(m_interceptors)) {
        if (interceptor->intercept(message))
            return true;
    }
    dispatch(message);
    return true;
}

void Simulator::dispatch(const QDBusMessage &call)
{
    if (call.interface() == QLatin1String(PropertiesInterface)) {
        handleProperties(call);
        return;
    }
    Service *target = serviceAt(call.path(), call.interface());
    if (!target) {
        replyError(call, QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                   QStringLiteral("No interface \"%1\" at \"%2\"").arg(call.interface(), call.path()));
        return;
    }
    if (!target->call(call)) {
        replyError(call, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                   QStringLiteral("No method \"%1\" in \"%2\"").arg(call.member(), call.interface()));
    }
}

void Simulator::handleProperties(const QDBusMessage &call)
{
    const QVariantList args = call.arguments();
    const QString member = call.member();
    Service *target = args.isEmpty() ? nullptr : serviceAt(call.path(), args.at(0).toString());
    if (!target) {
        replyError(call, QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                   QStringLiteral("No such interface at \"%1\"").arg(call.path()));
    } else if (member == QLatin1String("GetAll") && call.signature() == QLatin1String("s")) {
        reply(call, {target->properties()});
    } else if (member == QLatin1String("Get") && call.signature() == QLatin1String("ss")) {
        const QString name = args.at(1).toString();
        if (!target->properties().contains(name)) {
            replyError(call, QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
                       QStringLiteral("No property \"%1\"").arg(name));
        } else {
            reply(call, {QVariant::fromValue(QDBusVariant(target->property(name)))});
        }
    } else if (member == QLatin1String("Set") && call.signature() == QLatin1String("ssv")) {
        target->setProperty(args.at(1).toString(), args.at(2).value<QDBusVariant>().variant());
        reply(call);
    } else {
        replyError(call, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                   QStringLiteral("Unexpected call of \"%1\"").arg(member));
    }
}
