// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_PANEL_SIMULATORLINK_H
#define ONDRIX_PANEL_SIMULATORLINK_H

#include <QtDBus/QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

class QDBusServiceWatcher;

// The panel's link to a running simulator, through its control interface
// only: commands as "ondrix-modemsim ctl" takes them, scenarios, and what the
// daemons hold and were asked, read every second without blocking.
class SimulatorLink : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    // "Interface.Property" (the interface's last name: "SIM.Status") to the value as text.
    Q_PROPERTY(QVariantMap state READ state NOTIFY stateChanged)
    // The calls the daemons received, newest first: "Interface.Member(arguments)".
    Q_PROPERTY(QStringList callLog READ callLog NOTIFY callLogChanged)
    Q_PROPERTY(QStringList scenarios READ scenarios CONSTANT)
    // The line of the playing scenario's last step; 0 when none plays.
    Q_PROPERTY(int scenarioLine READ scenarioLine NOTIFY scenarioChanged)
    // The last command's answer: empty, or why it was refused.
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)

public:
    explicit SimulatorLink(const QDBusConnection &bus, QObject *parent = nullptr);

    bool connected() const { return m_connected; }
    QVariantMap state() const { return m_state; }
    QStringList callLog() const { return m_callLog; }
    QStringList scenarios() const;
    int scenarioLine() const { return m_scenarioLine; }
    QString message() const { return m_message; }

    // One command line, as "ondrix-modemsim ctl" takes it.
    Q_INVOKABLE void run(const QString &command);
    // An installed scenario by name, `speed` times as fast as written.
    Q_INVOKABLE void play(const QString &name, double speed);
    Q_INVOKABLE void stop();
    Q_INVOKABLE void clearCalls();
    // A word for a command line: quoted when it holds spaces or quotes.
    Q_INVOKABLE QString quoted(const QString &text) const;

Q_SIGNALS:
    void connectedChanged();
    void stateChanged();
    void callLogChanged();
    void scenarioChanged();
    void messageChanged();

private Q_SLOTS:
    void onScenarioStep(int line);
    void onScenarioFinished();

private:
    void poll();
    void control(const QString &method, const QVariantList &args, const std::function<void(const QVariantList &)> &done);
    void setConnected(bool connected);
    void setMessage(const QString &message);
    void setScenarioLine(int line);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher;
    QTimer m_poll;
    bool m_connected = false;
    QVariantMap m_state;
    QStringList m_callLog;
    int m_scenarioLine = 0;
    QString m_message;
};

#endif
