// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_CONTROL_H
#define MODEMSIM_CONTROL_H

#include <QObject>
#include <QtDBus/QDBusVariant>
#include <QVariantMap>

class Chaos;
class ModemEvents;
class Scenario;
class Scripts;
class Simulator;
struct Request;

// Where the simulator's control interface is found.
#define MODEMSIM_CONTROL_SERVICE "org.ondrix.ModemSim"
#define MODEMSIM_CONTROL_PATH "/org/ondrix/ModemSim"
#define MODEMSIM_CONTROL_INTERFACE "org.ondrix.ModemSim.Control"

// The control interface: lets a test or a person set the modem's state, emit
// any daemon signal, script how calls are answered and read what was called.
class Control : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", MODEMSIM_CONTROL_INTERFACE)
public:
    Control(Simulator *sim, ModemEvents *events);

public Q_SLOTS:
    // Sets a daemon property; the daemon announces the change as it would on a phone.
    void SetProperty(const QString &interface, const QString &name, const QDBusVariant &value);
    QVariantMap GetProperties(const QString &interface);
    // Emits a signal as the daemon. An empty path means the interface's own object.
    void EmitSignal(const QString &path, const QString &interface, const QString &member,
                    const QVariantList &args);
    // Programs the answer of the next call(s) of a method. Keys of `answer`:
    // "count" (i, calls it applies to, 0 for all), "delay" (i, ms), "noreply" (b),
    // "error" (s, error name), "message" (s), "reply" (av, the answer's arguments).
    void Script(const QString &interface, const QString &member, const QVariantMap &answer);
    void ClearScripts();
    // Every received call: "path", "interface", "member", "signature", "args" (av).
    QList<QVariantMap> Calls();
    // What left the interface files since the last reset (see Simulator).
    QStringList ContractViolations();
    void ClearCalls();
    // The daemon leaves the bus, and comes back.
    void ReleaseNames();
    bool AcquireNames();
    // Simulator settings such as "RadioSwitchTime" (ms).
    void SetSetting(const QString &name, const QDBusVariant &value);
    // The hostile mode: garbled answers, signals and names, from `seed`.
    void SetChaos(bool on, uint seed);
    // Events the hostile mode made since it was switched on.
    uint ChaosEvents();
    // Back to the start-up state: properties, settings, scripts, log and names;
    // a playing scenario stops.
    void Reset();
    // The signal level in dBm (-113 to -51), announced as the modem would.
    void SetSignal(int dbm);
    // The registration as the modem finds it by itself: a status ("Home",
    // "Roaming", "NoCoverage", "Searching", "NoSim", ...) and, with an MCC, the
    // network (MCC, MNC, name) the operator interface reports.
    void Register(const QString &status, const QString &mcc, const QString &mnc, const QString &name);
    // Flight mode, as the system-state controller sets it: the radio goes
    // down at once ("Offline"), and comes back.
    void SetFlightMode(bool on);
    // Plays a scenario (see scenario.h) `speed` times as fast as written,
    // replacing a playing one; returns why it cannot, or nothing.
    QString PlayScenario(const QString &text, double speed);
    void StopScenario();
    // The whole state (settings and every daemon property) as a scenario
    // that restores it.
    QString State();
    // Runs one command line as "ondrix-modemsim ctl" takes it ("signal -97",
    // "sim state PINRequired", ...); returns why it cannot, or nothing.
    // Commands that answer with text (calls, state, get) are methods of their own.
    QString Run(const QString &command);
    // Where the AT port listens ("127.0.0.1:5000"), empty without one.
    QString AtAddress();
    // Answers with the signal Pong(token) once everything sent before it has gone out.
    void Ping(uint token);

Q_SIGNALS:
    void Pong(uint token);
    // A scenario took the step of this line; a scenario played to its end.
    void ScenarioStep(int line);
    void ScenarioFinished();

private:
    // Takes a command's request here, as the control interface would.
    void perform(const Request &request);

    Simulator *sim;
    ModemEvents *events;
    Scripts *scripts;
    Chaos *chaos;
    Scenario *scenario;
};

#endif
