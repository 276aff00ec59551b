// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ofonobench.h"

#include <QFile>
#include <QStandardPaths>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusReply>
#include <QtDBus/QDBusVariant>

const QString OfonoBench::Modem = QStringLiteral("/ondrix");

namespace {

QDBusMessage ofonoCall(const QString &path, const QString &interface, const QString &member, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.ofono"), path, interface, member);
    call.setArguments(args);
    // A scan and a selection take the simulator's time; oFono's own run to minutes.
    return QDBusConnection::systemBus().call(call, QDBus::Block, 30000);
}

} // namespace

OfonoBench::~OfonoBench()
{
    stop();
}

QString OfonoBench::unavailable()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ofonod"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")}).isEmpty())
        return QStringLiteral("ofonod is not installed (scripts/deps.sh installs it)");
    if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")}) != 0)
        return QStringLiteral("no user and mount namespaces here for oFono's storage");
    return QString();
}

bool OfonoBench::start(const QString &address)
{
    const int colon = address.lastIndexOf(QLatin1Char(':'));
    QFile config(m_dir.filePath(QStringLiteral("phonesim.conf")));
    if (colon < 0 || !config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("[%1]\nAddress=%2\nPort=%3\n")
                     .arg(Modem.mid(1), address.left(colon), address.mid(colon + 1)).toUtf8());
    config.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OFONO_PHONESIM_CONFIG"), config.fileName());
    environment.insert(QStringLiteral("OFONO_AT_DEBUG"), QStringLiteral("1"));
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setStandardOutputFile(m_dir.filePath(QStringLiteral("ofonod.log")));
    m_daemon.setProcessChannelMode(QProcess::MergedChannels);
    // An empty storage over oFono's own; the daemon dies with the test.
    m_daemon.setProgram(QStringLiteral("unshare"));
    m_daemon.setArguments({QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                           QStringLiteral("mount -t tmpfs none /var/lib/ofono && exec setpriv --pdeathsig KILL "
                                          "ofonod -n -d -p phonesim,atmodem")});
    m_daemon.start();
    if (!m_daemon.waitForStarted(5000))
        return false;
    return waitFor([this] {
        if (m_daemon.state() != QProcess::Running)
            return true;
        const QDBusMessage modems = ofonoCall(QStringLiteral("/"), QStringLiteral("org.ofono.Manager"),
                                              QStringLiteral("GetModems"), {});
        return modems.type() == QDBusMessage::ReplyMessage;
    }, 20000) && m_daemon.state() == QProcess::Running;
}

void OfonoBench::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

bool OfonoBench::bringUp(bool online)
{
    if (!setProperty(QStringLiteral("org.ofono.Modem"), QStringLiteral("Powered"), true))
        return false;
    const bool powered = waitFor([this] {
        return property(QStringLiteral("org.ofono.Modem"), QStringLiteral("Powered")).toBool()
               && properties(QStringLiteral("org.ofono.Modem")).value(QStringLiteral("Interfaces")).toStringList()
                      .contains(QStringLiteral("org.ofono.SimManager"));
    }, 20000);
    if (!powered || !online)
        return powered;
    return setProperty(QStringLiteral("org.ofono.Modem"), QStringLiteral("Online"), true) && waitFor([this] {
        return property(QStringLiteral("org.ofono.NetworkRegistration"), QStringLiteral("Status")).toString()
               == QLatin1String("registered");
    }, 20000);
}

QVariantMap OfonoBench::properties(const QString &interface, const QString &path)
{
    const QDBusMessage reply = ofonoCall(path, interface, QStringLiteral("GetProperties"), {});
    return reply.type() == QDBusMessage::ReplyMessage ? qdbus_cast<QVariantMap>(reply.arguments().value(0)) : QVariantMap();
}

QDBusMessage OfonoBench::call(const QString &interface, const QString &member, const QVariantList &args, const QString &path)
{
    return ofonoCall(path, interface, member, args);
}

bool OfonoBench::setProperty(const QString &interface, const QString &name, const QVariant &value, const QString &path)
{
    return call(interface, QStringLiteral("SetProperty"), {name, QVariant::fromValue(QDBusVariant(value))}, path).type()
           == QDBusMessage::ReplyMessage;
}

QString OfonoBench::output() const
{
    QFile log(m_dir.filePath(QStringLiteral("ofonod.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll().right(60000)) : QString();
}
