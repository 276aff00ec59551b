// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SIMSTATUS_H
#define ONDRIX_SIMSTATUS_H

#include "ondrix_global.h"
#include "simerror.h"

#include <QObject>

namespace Ondrix {
namespace SIM {

class SIMStatusPrivate;

/**
 * @brief The state of the SIM card.
 *
 * status() asks the daemon; statusChanged() follows every change the daemon
 * announces. Nothing is cached.
 */
class ONDRIX_EXPORT SIMStatus : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** The card's state, from the daemon's status text. */
    enum Status {
        UnknownStatus = -1,     /**< "Unknown", a text the library does not know, and every failure */
        Ok = 0,                 /**< ready ("Ok") */
        NoSIM = 1,              /**< no card ("NoSIM") */
        PermanentlyBlocked = 2, /**< the PUK is blocked too ("PermanentlyBlocked") */
        NotReady = 3,           /**< the card is starting ("NotReady") */
        PINRequired = 4,        /**< the PIN must be entered ("PINRequired") */
        PUKRequired = 5,        /**< the PIN is blocked: the PUK must be entered ("PUKRequired") */
        Rejected = 6,           /**< the network rejected the card ("Rejected") */
        SIMLockRejected = 7,    /**< the SIM lock refuses the card ("SIMLockRejected") */
    };
    Q_ENUM(Status)

    /** Makes no call; subscribes to the daemon's status changes. */
    explicit SIMStatus(QObject *parent = nullptr);
    ~SIMStatus() override;

    /** True while the SIM daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;

public Q_SLOTS:
    /** Asks for the card's state; answered by statusComplete(). */
    void status();

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The answer of one status() call: the state, or UnknownStatus with the error. */
    void statusComplete(SIMStatus::Status status, SIMError error);
    /** The daemon announced a state; emitted for every announcement. */
    void statusChanged(SIMStatus::Status status);

private:
    Q_DECLARE_PRIVATE_D(d, SIMStatus)
    SIMStatusPrivate *d;
};

} // namespace SIM
} // namespace Ondrix

#endif
