// SPDX-License-Identifier: LGPL-2.1-or-later
#include "server.h"

#include "contract.h"
#include "service.h"

#include <QtDBus/QDBusMetaType>
#include <QTextStream>

namespace {

const char RootPath[] = "/com/kelvo";
const char PropertiesInterface[] = "org.freedesktop.DBus.Properties";
const char IntrospectableInterface[] = "org.freedesktop.DBus.Introspectable";
const char PeerInterface[] = "org.freedesktop.DBus.Peer";

} // namespace

// The interface files, built into the library the servers are made of.
static void loadInterfaces()
{
    Q_INIT_RESOURCE(interfaces);
}

ContractServer::ContractServer(const QDBusConnection &connection, const QString &name, QObject *parent)
    : QDBusVirtualObject(parent)
    , m_connection(connection)
    , m_name(name)
{
    loadInterfaces();
}

ContractServer::~ContractServer() = default;

void ContractServer::addService(Service *service)
{
    m_services.emplace_back(service);
    service->reset();
}

bool ContractServer::start()
{
    return registerObjects() && acquireNames();
}

bool ContractServer::registerObjects()
{
    return !m_servesBus || m_connection.registerVirtualObject(QLatin1String(RootPath), this, QDBusConnection::SubPath);
}

QStringList ContractServer::busNames() const
{
    QStringList names;
    for (auto &service : m_services) {
        if (!names.contains(service->busName()))
            names << service->busName();
    }
    return names;
}

bool ContractServer::acquireNames()
{
    if (!m_servesBus)
        return true;
    bool ok = true;
    for (const QString &name : busNames())
        ok = m_connection.registerService(name) && ok;
    return ok;
}

void ContractServer::releaseNames()
{
    if (!m_servesBus)
        return;
    for (const QString &name : busNames())
        m_connection.unregisterService(name);
}

Service *ContractServer::service(const QString &interface) const
{
    for (auto &service : m_services) {
        if (service->interface() == interface)
            return service.get();
    }
    return nullptr;
}

QList<Service *> ContractServer::services() const
{
    QList<Service *> list;
    for (auto &service : m_services)
        list << service.get();
    return list;
}

Service *ContractServer::serviceAt(const QString &path, const QString &interface) const
{
    Service *found = service(interface);
    return found && found->path() == path ? found : nullptr;
}

void ContractServer::emitSignal(const QString &path, const QString &interface, const QString &member,
                                const QVariantList &args)
{
    checkSignal(interface, member, args);
    sendSignal(path, interface, member, args);
}

void ContractServer::sendSignal(const QString &path, const QString &interface, const QString &member,
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

void ContractServer::reply(const QDBusMessage &call, const QVariantList &args)
{
    if (m_checking && call.interface() != QLatin1String(PropertiesInterface)) {
        const ContractMember *method = Contract::builtIn().method(call.interface(), call.member());
        const QString signature = wireSignature(args);
        if (method && method->signature(true) != signature) {
            violated(QStringLiteral("reply to %1.%2 is (%3), not (%4)")
                         .arg(call.interface(), call.member(), signature, method->signature(true)));
        }
    }
    sendReply(call, args);
}

void ContractServer::sendReply(const QDBusMessage &call, const QVariantList &args)
{
    deliver(call, call.createReply(args));
}

void ContractServer::replyError(const QDBusMessage &call, const QString &name, const QString &text)
{
    deliver(call, call.createErrorReply(name, text));
}

void ContractServer::deliver(const QDBusMessage &, const QDBusMessage &answer)
{
    m_connection.send(answer);
}

void ContractServer::checkSignal(const QString &interface, const QString &member, const QVariantList &args)
{
    if (!m_checking)
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

void ContractServer::checkCall(const QDBusMessage &call)
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

void ContractServer::violated(const QString &what)
{
    m_violations.append(what);
    QTextStream(stderr) << m_name << ": " << what << '\n' << Qt::flush;
}

// The interfaces at `path` and the nodes below it. Qt adds the properties,
// introspection and peer interfaces and wraps the answer in a node.
QString ContractServer::introspect(const QString &path) const
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

bool ContractServer::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    // Left to Qt, which answers them from introspect().
    if (message.interface() == QLatin1String(IntrospectableInterface)
        || message.interface() == QLatin1String(PeerInterface))
        return false;
    checkCall(message);
    if (verbose) {
        QTextStream(stdout) << "call " << message.interface() << '.' << message.member() << " ("
                            << message.signature() << ")\n"
                            << Qt::flush;
    }
    received(message);
    return true;
}

void ContractServer::received(const QDBusMessage &call)
{
    dispatch(call);
}

void ContractServer::dispatch(const QDBusMessage &call)
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

void ContractServer::handleProperties(const QDBusMessage &call)
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
        if (target->write(args.at(1).toString(), args.at(2).value<QDBusVariant>().variant()))
            reply(call);
        else
            replyError(call, QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"),
                       QStringLiteral("\"%1\" cannot be written").arg(args.at(1).toString()));
    } else {
        replyError(call, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                   QStringLiteral("Unexpected call of \"%1\"").arg(member));
    }
}
