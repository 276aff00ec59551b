// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_SIMULATOR_H
#define MODEMSIM_SIMULATOR_H

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>
#include <QHash>
#include <QList>
#include <QVariantMap>

#include <memory>
#include <vector>

class Chaos;
class Service;

// How the next call(s) of one method are answered instead of, or before,
// the modem's own behaviour.
struct Script {
    int count = 1;          // calls it applies to; 0 for every call until cleared
    int delay = 0;          // milliseconds before the answer
    bool noReply = false;   // never answer
    QString error;          // answer with this D-Bus error name ...
    QString message;        // ... and message
    bool hasReply = false;  // answer with these arguments as they stand
    QVariantList reply;
};

// The simulated modem-services daemon: owns the daemon's bus names, answers
// every call below "/com/kelvo", records what it received and lets the
// control interface script it.
class Simulator : public QDBusVirtualObject
{
    Q_OBJECT
public:
    // `instant`: every operation answers at once and the signal stays still,
    // as tests want it; otherwise the modem takes realistic time.
    Simulator(const QDBusConnection &connection, bool instant, QObject *parent = nullptr);
    ~Simulator() override;

    bool start();

    QDBusConnection connection() const { return m_connection; }

    // Names of the daemons.
    QStringList busNames() const;
    bool acquireNames();
    void releaseNames();

    // State.
    Service *service(const QString &interface) const;
    QList<Service *> services() const;
    void reset();
    QVariant setting(const QString &name) const { return m_settings.value(name); }
    void setSetting(const QString &name, const QVariant &value);

    // Scripting.
    void addScript(const QString &interface, const QString &member, const Script &script);
    void clearScripts() { m_scripts.clear(); }

    // The hostile mode (see chaos.h): on with a seed, or off.
    void setChaos(bool on, quint32 seed);
    quint32 chaosEvents() const;

    // Where the traffic left the interface files: calls of members they do
    // not have or with other arguments, the modem's own replies and signals
    // of other types. Scripted answers, signals sent through the control
    // interface and the hostile mode's are not held against them, nor the
    // modem's own after the hostile mode until a reset: it garbles the state.
    QStringList contractViolations() const { return m_violations; }
    void clearContractViolations() { m_violations.clear(); }

    // Log of received calls, oldest first.
    QList<QVariantMap> calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

    // Traffic. emitSignal() sends one of the modem's own signals, which the
    // interface files describe; sendSignal() sends anything.
    void emitSignal(const QString &path, const QString &interface, const QString &member,
                    const QVariantList &args);
    void sendSignal(const QString &path, const QString &interface, const QString &member,
                    const QVariantList &args);
    // reply() answers as the modem, which the interface files describe;
    // sendReply() answers anything.
    void reply(const QDBusMessage &call, const QVariantList &args = {});
    void sendReply(const QDBusMessage &call, const QVariantList &args);
    void replyError(const QDBusMessage &call, const QString &name, const QString &text);
    // Answers a call as the modem does.
    void dispatch(const QDBusMessage &call);

    bool verbose = false;
    // Codes (arguments the interface files mark secret) stand in the call log
    // as they came, not masked: for test benches only.
    bool showCodes = false;

    // QDBusVirtualObject
    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    bool takeScript(const QString &interface, const QString &member, Script &script);
    void answer(const QDBusMessage &call, const Script &script);
    void handleProperties(const QDBusMessage &call);
    Service *serviceAt(const QString &path, const QString &interface) const;
    void checkCall(const QDBusMessage &call);
    static QVariantList masked(const QDBusMessage &call);
    void checkSignal(const QString &interface, const QString &member, const QVariantList &args);
    void violated(const QString &what);

    QDBusConnection m_connection;
    std::vector<std::unique_ptr<Service>> m_services;
    QHash<QString, QList<Script>> m_scripts;
    QList<QVariantMap> m_calls;
    QStringList m_violations;
    bool m_garbled = false;   // the hostile mode ran since the last reset
    QVariantMap m_settings;
    bool m_instant = false;
    Chaos *m_chaos;
};

#endif
