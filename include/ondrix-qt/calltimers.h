// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_CALLTIMERS_H
#define ONDRIX_CALLTIMERS_H

#include "ondrix_global.h"

#include <QMetaType>
#include <QObject>

namespace Ondrix {

class CallTimersPrivate;

/**
 * @brief The call timers the daemon keeps.
 *
 * The last call, dialled, received and total call time, in the daemon's units
 * (seconds on the simulator). Every member but queryTimers() blocks for the
 * daemon's answer; failures are silent (zeros).
 */
class ONDRIX_EXPORT CallTimers : public QObject
{
    Q_OBJECT
    /** Whether the call daemon is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** The four timers. */
    struct CallTimersInfo {
        unsigned int last = 0;      /**< the last call */
        unsigned int dialled = 0;   /**< outgoing calls */
        unsigned int received = 0;  /**< incoming calls */
        unsigned int total = 0;     /**< all calls */
    };

    /** Subscribes to the timers' updates; makes no call. */
    explicit CallTimers(QObject *parent = nullptr);
    ~CallTimers() override;

    /** True while the call daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;
    /** The timers now; zeros on failure. */
    CallTimers::CallTimersInfo timers() const;
    /** Asks for the timers without blocking; answered by timersQueryCompleted(). */
    Q_INVOKABLE void queryTimers();
    /** Clears the timers; a failure is not reported. */
    Q_INVOKABLE void clearTimers() const;
    /** Sets how often the daemon announces timers during a call; a failure is not reported. */
    Q_INVOKABLE void setCallUpdateTime(unsigned int time) const;
    /** How often the daemon announces timers during a call; 0 on failure. */
    Q_INVOKABLE unsigned int callUpdateTime() const;

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The daemon announced the timers. */
    void timersUpdated(CallTimers::CallTimersInfo timers);
    /** The answer of one queryTimers(): the timers, or `ok` false and zeros on failure. */
    void timersQueryCompleted(CallTimers::CallTimersInfo timers, bool ok);

private:
    Q_DECLARE_PRIVATE_D(d, CallTimers)
    CallTimersPrivate *d;
};

} // namespace Ondrix

Q_DECLARE_METATYPE(Ondrix::CallTimers::CallTimersInfo)

#endif
