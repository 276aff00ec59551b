// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_SIMULATOR_H
#define MODEMSIM_SIMULATOR_H

#include "server.h"

#include <QHash>
#include <QList>
#include <QVariantMap>

#include <functional>

// Something that may answer a daemon call before the modem does: the
// scripted answers and the hostile mode plug in here, in the order added.
class Interceptor
{
public:
    virtual ~Interceptor() = default;
    // True when it took the call (answered it, or will).
    virtual bool intercept(const QDBusMessage &call) = 0;
};

// The simulated modem-services daemon: serves the daemons' interfaces from
// the modelled modem, records what it received and lets the control
// interface script it.
class Simulator : public ContractServer
{
    Q_OBJECT
public:
    // `instant`: every operation answers at once and the signal stays still,
    // as tests want it; otherwise the modem takes realistic time.
    Simulator(const QDBusConnection &connection, bool instant, QObject *parent = nullptr);
    ~Simulator() override;

    // Back to the start-up state: settings, log, every interface; the
    // interceptors follow wasReset().
    void reset();
    // The settings there are, each a time in milliseconds.
    static QStringList settingNames();
    QVariant setting(const QString &name) const { return m_settings.value(name); }
    void setSetting(const QString &name, const QVariant &value);

    // Calls pass the interceptors before the modem answers them.
    void addInterceptor(Interceptor *interceptor) { m_interceptors.append(interceptor); }
    // From now until the next reset the modem's own traffic is not held
    // against the interface files: the hostile mode garbled its state.
    void garble() { setChecking(false); }

    // A line of the AT port's conversation ("Received" or "Sent"), codes
    // already masked, into the call log as interface "AT".
    void logAt(const QString &direction, const QByteArray &line);

    // Log of received calls, oldest first.
    QList<QVariantMap> calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

    // Calls a daemon method from inside the simulator (the AT port does), as
    // a caller on the bus would: the interceptors see it first, the modem
    // answers it. `answered` gets the reply or the error, once, from the
    // event loop; never if the simulator goes first.
    using Answered = std::function<void(const QDBusMessage &answer)>;
    void callInside(const QString &path, const QString &interface, const QString &member,
                    const QVariantList &args, Answered answered);

    // Where the AT port listens ("127.0.0.1:5000"), empty without one.
    QString atAddress;
    // Codes (arguments the interface files mark secret) stand in the call log
    // as they came, not masked: for test benches only.
    bool showCodes = false;

Q_SIGNALS:
    void wasReset();
    // A call arrived; it is in the log.
    void called(const QDBusMessage &call);

protected:
    void received(const QDBusMessage &call) override;
    void deliver(const QDBusMessage &call, const QDBusMessage &answer) override;

private:
    static QVariantList masked(const QDBusMessage &call);

    QList<Interceptor *> m_interceptors;
    QList<QVariantMap> m_calls;
    QVariantMap m_settings;
    bool m_instant = false;
    QHash<quint64, Answered> m_inside;   // calls from inside, by number
    quint64 m_insideCalls = 0;
};

#endif
