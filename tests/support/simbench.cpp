// SPDX-License-Identifier: LGPL-2.1-or-later
#include "simbench.h"

#include <QCoreApplication>
#include <QtTest>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QThread>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusVariant>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

namespace {

const char ControlService[] = "org.ondrix.ModemSim";
const char ControlPath[] = "/org/ondrix/ModemSim";
const char ControlInterface[] = "org.ondrix.ModemSim.Control";


QStringList collected;
QMutex collectedLock;
QtMessageHandler previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg) {
        QMutexLocker lock(&collectedLock);
        collected << text;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

bool waitFor(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

SimBench::SimBench() = default;

SimBench::~SimBench()
{
    stop();
}

ChildProcess::ChildProcess()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
#endif
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
void ChildProcess::setupChildProcess()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}
#endif

bool SimBench::start()
{
    // After the test framework's own handler, which passes the lines on.
    previousHandler = qInstallMessageHandler(collect);
    if (!m_dir.isValid())
        return false;
    const QString configPath = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile source(QStringLiteral(PRIVATEBUS_CONF));
    QFile config(configPath);
    if (!source.open(QIODevice::ReadOnly) || !config.open(QIODevice::WriteOnly))
        return false;
    config.write(source.readAll().replace("@DIR@", m_dir.path().toUtf8()));
    config.close();

    m_bus.setProgram(QStringLiteral("dbus-daemon"));
    m_bus.setArguments({QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                        QStringLiteral("--config-file=") + configPath});
    m_bus.setStandardErrorFile(QProcess::nullDevice());   // its own notices are of no interest
    m_bus.start();
    if (!m_bus.waitForStarted(5000)) {
        fprintf(stderr, "simbench: cannot start dbus-daemon\n");
        return false;
    }
    QByteArray address;
    QDeadlineTimer deadline(10000);
    while (!address.contains('\n') && !deadline.hasExpired()) {
        m_bus.waitForReadyRead(100);
        address += m_bus.readAllStandardOutput();
    }
    address = address.trimmed();
    if (address.isEmpty())
        return false;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);

    m_sim.setProgram(QStringLiteral(MODEMSIM_PATH));
    m_sim.setArguments(QStringList{QStringLiteral("--instant"), QStringLiteral("--show-codes")} + simulatorArguments);
    m_sim.setProcessChannelMode(QProcess::ForwardedChannels);
    m_sim.start();
    if (!m_sim.waitForStarted(5000)) {
        fprintf(stderr, "simbench: cannot start %s\n", MODEMSIM_PATH);
        return false;
    }

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    qDBusRegisterMetaType<QList<QVariantMap>>();
    bus.connect(QString(), QLatin1String(ControlPath), QLatin1String(ControlInterface),
                QStringLiteral("Pong"), this, SLOT(onPong(uint)));
    bus.connect(QString(), QLatin1String(ControlPath), QLatin1String(ControlInterface),
                QStringLiteral("ScenarioFinished"), this, SLOT(onScenarioFinished()));
    const bool ready = waitFor([&bus] {
        return bus.interface()->isServiceRegistered(QLatin1String(ControlService)).value();
    }, 20000);
    if (!ready)
        fprintf(stderr, "simbench: the simulator did not come up\n");
    return ready;
}

int SimBench::stop()
{
    int rc = 0;
    if (m_sim.state() != QProcess::NotRunning) {
        m_sim.terminate();
        if (!m_sim.waitForFinished(10000)) {
            m_sim.kill();
            m_sim.waitForFinished();
        }
        rc = m_sim.exitStatus() == QProcess::NormalExit ? m_sim.exitCode() : -1;
    }
    killBus();
    return rc;
}

void SimBench::killBus()
{
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }
}

QVariant SimBench::control(const QString &method, const QVariantList &args)
{
    return control(QDBusConnection::systemBus(), method, args);
}

// The hostile mode's own calls go on a connection of their own: under a long
// run the library's calls the daemon holds fill the shared connection's quota
// of pending replies, and the bus would refuse the bench's.
QDBusConnection SimBench::chaosLine()
{
    return QDBusConnection::connectToBus(QString::fromLocal8Bit(qgetenv("DBUS_SYSTEM_BUS_ADDRESS")),
                                         QStringLiteral("simbench-chaos"));
}

QVariant SimBench::control(const QDBusConnection &bus, const QString &method, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(ControlService),
                                                       QLatin1String(ControlPath),
                                                       QLatin1String(ControlInterface), method);
    call.setArguments(args);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qWarning("simbench: %s failed: %s", qPrintable(method), qPrintable(reply.errorMessage()));
        return {};
    }
    return reply.arguments().value(0);
}

void SimBench::reset()
{
    if (m_bus.state() != QProcess::Running)   // a test took the bus away: nothing to reset
        return;
    control(QStringLiteral("Reset"));
    flush();
    clearLog();
}

void SimBench::setProperty(const QString &interface, const QString &name, const QVariant &value)
{
    control(QStringLiteral("SetProperty"),
            {interface, name, QVariant::fromValue(QDBusVariant(value))});
}

void SimBench::emitSignal(const QString &interface, const QString &member, const QVariantList &args)
{
    control(QStringLiteral("EmitSignal"), {QString(), interface, member, QVariant(args)});
}

void SimBench::script(const QString &interface, const QString &member, const QVariantMap &answer)
{
    control(QStringLiteral("Script"), {interface, member, answer});
}

void SimBench::setSetting(const QString &name, const QVariant &value)
{
    control(QStringLiteral("SetSetting"), {name, QVariant::fromValue(QDBusVariant(value))});
}

void SimBench::releaseNames()
{
    control(QStringLiteral("ReleaseNames"));
}

void SimBench::acquireNames()
{
    control(QStringLiteral("AcquireNames"));
}

void SimBench::setChaos(bool on, uint seed)
{
    control(chaosLine(), QStringLiteral("SetChaos"), {on, seed});
}

uint SimBench::chaosEvents()
{
    return control(chaosLine(), QStringLiteral("ChaosEvents")).toUInt();
}

QList<SimCall> SimBench::calls(const QString &member)
{
    QList<SimCall> result;
    const QList<QVariantMap> entries = qdbus_cast<QList<QVariantMap>>(control(QStringLiteral("Calls")));
    for (const QVariantMap &entry : entries) {
        SimCall call;
        call.path = entry.value(QStringLiteral("path")).toString();
        call.interface = entry.value(QStringLiteral("interface")).toString();
        call.member = entry.value(QStringLiteral("member")).toString();
        call.signature = entry.value(QStringLiteral("signature")).toString();
        call.args = qdbus_cast<QVariantList>(entry.value(QStringLiteral("args")));
        if (member.isEmpty() || call.member == member)
            result << call;
    }
    return result;
}

QStringList SimBench::wire(const QString &interface)
{
    QStringList out;
    for (const SimCall &call : calls()) {
        if (!call.interface.startsWith(interface))
            continue;
        QStringList args;
        for (const QVariant &arg : call.args) {
            if (arg.userType() == QMetaType::QString)
                args << QLatin1Char('"') + arg.toString() + QLatin1Char('"');
            else
                args << (arg.userType() == QMetaType::UChar ? QString::number(arg.toUInt()) : arg.toString());
        }
        out << call.member + QLatin1Char('(') + call.signature + QLatin1Char(')')
                   + (args.isEmpty() ? QString() : QLatin1Char(' ') + args.join(QStringLiteral(", ")));
    }
    return out;
}

void SimBench::clearCalls()
{
    control(QStringLiteral("ClearCalls"));
}

QString SimBench::playScenario(const QString &path, double speed)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    m_scenariosPlayed = m_scenariosFinished + 1;
    return control(QStringLiteral("PlayScenario"), {QString::fromUtf8(file.readAll()), speed}).toString();
}

bool SimBench::waitScenario(int timeout)
{
    if (waitFor([this] { return m_scenariosFinished >= m_scenariosPlayed; }, timeout))
        return true;
    qWarning("simbench: the scenario did not finish within %d ms", timeout);
    return false;
}

QVariantMap SimBench::properties(const QString &interface)
{
    return qdbus_cast<QVariantMap>(control(QStringLiteral("GetProperties"), {interface}));
}

QStringList SimBench::contractViolations()
{
    if (m_bus.state() != QProcess::Running || m_sim.state() != QProcess::Running)
        return {};
    return control(QStringLiteral("ContractViolations")).toStringList();
}

bool SimBench::flush()
{
    const uint token = ++m_sent;
    // A simulator that does not answer is not waited for.
    if (!control(QStringLiteral("Ping"), {token}).isValid() && m_sim.state() != QProcess::Running) {
        qWarning("simbench: flush: the simulator is gone");
        return false;
    }
    if (waitFor([this, token] { return m_received >= token; }, 10000))
        return true;
    qWarning("simbench: flush: no Pong(%u) within 10 s: signals sent before it did not all arrive", token);
    return false;
}

void SimBench::onPong(uint token)
{
    m_received = token;
}

QStringList SimBench::log()
{
    QMutexLocker lock(&collectedLock);
    return collected;
}

void SimBench::clearLog()
{
    QMutexLocker lock(&collectedLock);
    collected.clear();
}

void SimTestCase::initTestCase()
{
    QVERIFY(bench.start());
}

void SimTestCase::init()
{
    bench.reset();
}

// Every test holds the library and the simulator to the interface files.
void SimTestCase::cleanup()
{
    QCOMPARE(bench.contractViolations(), QStringList());
}

void SimTestCase::cleanupTestCase()
{
    QCOMPARE(bench.stop(), 0);
}
