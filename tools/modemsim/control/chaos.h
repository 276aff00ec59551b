// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_CHAOS_H
#define MODEMSIM_CHAOS_H

#include <QHash>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QtDBus/QDBusMessage>

#include "anyvalue.h"
#include "simulator.h"

class Service;

// The hostile mode: a daemon that answers as a broken or malicious peer
// might. Each call is answered, at random, rightly, with the right signature
// and random values, with wrong signatures and random values (inside maps
// too), with D-Bus errors of known and unknown names, after a delay past the
// library's short time-outs, or not for seconds (then "NoReply"); meanwhile
// the daemon emits its signals with wrong signatures or unknown texts, and
// drops and takes back its names. One seed gives one sequence of choices.
class Chaos : public QObject, public Interceptor
{
public:
    explicit Chaos(Simulator *sim);

    void start(quint32 seed);
    // Ends the mode; calls still held or delayed are answered at once.
    void stop();
    bool active() const { return m_active; }
    // Calls answered and signals and name changes made since start().
    quint32 events() const { return m_events; }

    // Takes over a daemon call while on. Returns false when the modem should
    // answer it itself (the "right answer" choice).
    bool intercept(const QDBusMessage &call) override;

private:
    void answer(const QDBusMessage &call);
    void release(const QDBusMessage &call);
    void tick();
    void emitRandomSignal();
    QString replySignature(const QDBusMessage &call, Service **service) const;

    QVariantList argumentsOf(const QString &signature, const Service *service);

    Simulator *sim;
    QRandomGenerator m_random;
    AnyValues m_values{[this](quint32 bound) { return bound ? m_random.bounded(bound) : m_random.generate(); }};
    QTimer m_timer;
    QHash<quint64, QDBusMessage> m_held;      // calls not answered for seconds (then NoReply)
    QHash<quint64, QDBusMessage> m_delayed;   // calls answered late
    quint64 m_holds = 0;
    quint32 m_events = 0;
    bool m_active = false;
    bool m_namesAway = false;
};

#endif
