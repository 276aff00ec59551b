// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_SIMULATOR_H
#define MODEMSIM_SIMULATOR_H

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>
#include <QHash>
#include <QList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <vector>

class Service;

// Something that may answer a daemon call before the modem does: the
// scripted answers and the hostile mode plug in here, in the order added.
class Interceptor
{
public:
    virtual ~Interceptor() = default;
    // True when it took the call (answered it, or will).
    virtual bool intercept(const QDBusMessage &call) = 0;
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

    // Registers the daemons' objects and owns their names. A simulator
    // that leaves the bus to another program (its AT port only) serves
    // nothing there: its modem's signals stay inside.
    bool start();
    void setServesBus(bool serves) { m_servesBus = serves; }
    bool servesBus() const { return m_servesBus; }

    QDBusConnection connection() const { return m_connection; }

    // Names of the daemons.
    QStringList busNames() const;
    bool acquireNames();
    void releaseNames();

    // The interfaces it serves; it owns them.
    void addService(Service *service);
    Service *service(const QString &interface) const;
    QList<Service *> services() const;
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
    void garble() { m_garbled = true; }

    // Where the traffic left the interface files: calls of members they do
    // not have or with other arguments, the modem's own replies and signals
    // of other types. Scripted answers, signals sent through the control
    // interface and the hostile mode's are not held against them, nor the
    // modem's own after the hostile mode until a reset: it garbles the state.
    QStringList contractViolations() const { return m_violations; }
    void clearContractViolations() { m_violations.clear(); }

    // A line of the AT port's conversation ("Received" or "Sent"), codes
    // already masked, into the call log as interface "AT".
    void logAt(const QString &direction, const QByteArray &line);

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
    // Calls a daemon method from inside the simulator (the AT port does), as
    // a caller on the bus would: the interceptors see it first, the modem
    // answers it. `answered` gets the reply or the error, once, from the
    // event loop; never if the simulator goes first.
    using Answered = std::function<void(const QDBusMessage &answer)>;
    void callInside(const QString &path, const QString &interface, const QString &member,
                    const QVariantList &args, Answered answered);

    bool verbose = false;
    // Where the AT port listens ("127.0.0.1:5000"), empty without one.
    QString atAddress;
    // Codes (arguments the interface files mark secret) stand in the call log
    // as they came, not masked: for test benches only.
    bool showCodes = false;

    // QDBusVirtualObject
    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

Q_SIGNALS:
    void wasReset();
    // A call arrived; it is in the log. A signal went out.
    void called(const QDBusMessage &call);
    void signalled(const QString &interface, const QString &member, const QVariantList &args);

private:
    void handleProperties(const QDBusMessage &call);
    Service *serviceAt(const QString &path, const QString &interface) const;
    void checkCall(const QDBusMessage &call);
    static QVariantList masked(const QDBusMessage &call);
    void checkSignal(const QString &interface, const QString &member, const QVariantList &args);
    void violated(const QString &what);
    // Whether `call` came from inside, and then hands it `answer`.
    bool answeredInside(const QDBusMessage &call, const QDBusMessage &answer);

    QDBusConnection m_connection;
    std::vector<std::unique_ptr<Service>> m_services;
    QList<Interceptor *> m_interceptors;
    QList<QVariantMap> m_calls;
    QStringList m_violations;
    bool m_garbled = false;   // the hostile mode ran since the last reset
    QVariantMap m_settings;
    bool m_instant = false;
    bool m_servesBus = true;
    QHash<quint64, Answered> m_inside;   // calls from inside, by number
    quint64 m_insideCalls = 0;
};

#endif
