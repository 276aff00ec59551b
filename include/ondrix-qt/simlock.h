// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SIMLOCK_H
#define ONDRIX_SIMLOCK_H

#include "ondrix_global.h"

#include <QObject>
#include <QString>

namespace Ondrix {

class SIMLockPrivate;

/**
 * @brief The phone's SIM lock: whether it is in force, and unlocking it.
 *
 * The daemon holds the lock and decides every outcome. The unlock code passes
 * through: the library keeps no copy and never logs one.
 */
class ONDRIX_EXPORT SIMLock : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** The lock's state, from the daemon's text. */
    enum SIMLockStatus {
        StatusUnknown = 0,      /**< "Unknown", a text the library does not know, and every failure */
        StatusOk = 1,           /**< no restriction ("Ok") */
        Restricted = 2,         /**< the phone is restricted to certain cards ("Restricted") */
        RestrictionPending = 3, /**< a restriction takes effect at the next start ("RestrictionPending") */
        RestrictionOn = 4,      /**< the restriction is in force ("RestrictionOn") */
    };
    Q_ENUM(SIMLockStatus)

    /** The outcome of a lock call ("com.kelvo.hvt.SIM.Error." and the reason); 3 is never produced. */
    enum SIMLockError {
        NoError = 0,            /**< the call succeeded */
        CommunicationError = 1, /**< not sent, no answer, no daemon, or a reply of the wrong type */
        InvalidParameter = 2,   /**< "InvalidParameter" */
        WrongPassword = 4,      /**< "WrongPassword": a wrong unlock code */
        AlreadyOpened = 5,      /**< "AlreadyOpened": the level is open already */
        WrongLevel = 6,         /**< "WrongLevel": no such lock level */
        NotAllowed = 7,         /**< "NotAllowed" */
        TimerNotElapsed = 8,    /**< "TimerNotElapsed": too many wrong codes, wait */
        HandlingBlocked = 9,    /**< "HandlingBlocked": the lock takes no more codes */
        UnknownError = 10,      /**< "Unknown", and any lock error name the library does not know */
    };
    Q_ENUM(SIMLockError)

    /** A lock level to open; the daemon defines the levels, the value travels unchanged. */
    enum SIMLockLevel {
        NetworkLevel = 1,         /**< network personalisation */
        NetworkSubsetLevel = 2,   /**< network subset personalisation */
        ServiceProviderLevel = 3, /**< service provider personalisation */
        CorporateLevel = 4,       /**< corporate personalisation */
        SimLevel = 5,             /**< SIM personalisation */
    };
    Q_ENUM(SIMLockLevel)

    /** Makes no call. */
    explicit SIMLock(QObject *parent = nullptr);
    ~SIMLock() override;

    /** True while the SIM daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;

public Q_SLOTS:
    /** Reads the lock's state; answered by simLockStatusComplete(). */
    void simLockStatus();
    /** Opens `level` with `unlockCode`; answered by simLockUnlockComplete(). */
    void simLockUnlock(SIMLock::SIMLockLevel level, const QString &unlockCode);

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The answer of simLockStatus(); StatusUnknown on failure. */
    void simLockStatusComplete(SIMLock::SIMLockStatus status, SIMLock::SIMLockError error);
    /** The answer of simLockUnlock(). */
    void simLockUnlockComplete(SIMLock::SIMLockError error);

private:
    Q_DECLARE_PRIVATE_D(d, SIMLock)
    SIMLockPrivate *d;
};

} // namespace Ondrix

#endif
