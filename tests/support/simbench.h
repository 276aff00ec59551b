// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef SIMBENCH_H
#define SIMBENCH_H

// A private bus with the modem simulator on it, for tests of the library.
//
// start() launches a dbus-daemon of its own, hands its address to the library
// as the system bus (DBUS_SYSTEM_BUS_ADDRESS) and launches ondrix-modemsim on
// it. The methods below drive the simulator's control interface, read the
// calls it received, and collect the library's log lines.

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QVariantMap>

#include <functional>

// The id of a meta-type registered under `name`; UnknownType when none is.
inline int metaTypeId(const char *name)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QMetaType::fromName(name).id();
#else
    return QMetaType::type(name);
#endif
}

// The first argument of every signal a spy caught, in order.
template <typename T>
QList<T> firstArguments(const QList<QList<QVariant>> &spy)
{
    QList<T> values;
    for (const QList<QVariant> &args : spy)
        values << args.at(0).value<T>();
    return values;
}

// Runs the event loop until `done` holds (true) or `ms` pass (false).
bool waitFor(const std::function<bool()> &done, int ms);

struct SimCall {
    QString path;
    QString interface;
    QString member;
    QString signature;
    QVariantList args;
};

// A process that dies with the test: a test killed, crashed or failed leaves
// no bus or simulator behind.
class ChildProcess : public QProcess
{
public:
    ChildProcess();

protected:
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    void setupChildProcess() override;
#endif
};

class SimBench : public QObject
{
    Q_OBJECT
public:
    SimBench();
    ~SimBench() override;

    // Call from initTestCase(), before anything touches the system bus.
    bool start();
    // More options for the simulator ("--at", "0"), set before start().
    QStringList simulatorArguments;
    // Call from cleanupTestCase(). Returns the simulator's exit code.
    int stop();
    // Kills the bus under everybody's feet.
    void killBus();

    // Back to the simulator's start-up state, with an empty call log and no
    // scripts; the collected log is emptied. The simulator runs with
    // --instant: operations answer at once and the signal level stays still.
    void reset();

    void setProperty(const QString &interface, const QString &name, const QVariant &value);
    QVariantMap properties(const QString &interface);
    void emitSignal(const QString &interface, const QString &member, const QVariantList &args);
    // Keys: "count", "delay", "noreply", "error", "message", "reply" (QVariantList).
    void script(const QString &interface, const QString &member, const QVariantMap &answer);
    // A script answer: the error `name` with `message`.
    static QVariantMap failure(const QString &name, const QString &message = QStringLiteral("refused"))
    {
        return {{QStringLiteral("error"), name}, {QStringLiteral("message"), message}};
    }
    void setSetting(const QString &name, const QVariant &value);
    void releaseNames();
    void acquireNames();
    // The simulator's hostile mode, and how many events it has made.
    void setChaos(bool on, uint seed = 0);
    uint chaosEvents();

    // Calls the simulator received, oldest first; only those of `member` if given.
    QList<SimCall> calls(const QString &member = QString());
    // The same as text, "Member(signature) arg, arg" with strings quoted; only
    // those of interfaces starting with `interface` if given.
    QStringList wire(const QString &interface = QString());
    void clearCalls();
    // Plays a scenario file `speed` times as fast as written; returns the
    // simulator's objection, or nothing. waitScenario() waits for its end.
    QString playScenario(const QString &path, double speed);
    bool waitScenario(int timeout = 20000);

    // Where the traffic since the last reset left the daemon's interface
    // files: the library's calls, the simulator's own replies and signals.
    QStringList contractViolations();

    // Returns once every signal the simulator emitted so far has been
    // delivered to this process's receivers.
    bool flush();

    // Debug lines the process wrote since the last reset()/clearLog().
    static QStringList log();
    static void clearLog();

    // Any method of the control interface; its first answer.
    QVariant control(const QString &method, const QVariantList &args = {});
    QVariant control(const QDBusConnection &bus, const QString &method, const QVariantList &args = {});

private Q_SLOTS:
    void onPong(uint token);

private:
    static QDBusConnection chaosLine();

private Q_SLOTS:
    void onScenarioFinished() { m_scenariosFinished++; }

private:
    QTemporaryDir m_dir;
    ChildProcess m_bus;
    ChildProcess m_sim;
    uint m_sent = 0;
    uint m_received = 0;
    int m_scenariosFinished = 0;
    int m_scenariosPlayed = 0;
};

// The base of a test case against the simulator: one bench for the whole
// case, reset before every test function.
class SimTestCase : public QObject
{
    Q_OBJECT
protected:
    SimBench bench;

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
};

#endif
