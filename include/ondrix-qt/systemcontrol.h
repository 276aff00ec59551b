// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SYSTEMCONTROL_H
#define ONDRIX_SYSTEMCONTROL_H

#include "ondrix_global.h"

#include <QObject>

namespace Ondrix {

class SystemControlPrivate;

/**
 * @brief Modem power, service level and radio activity.
 *
 * Power and service level come from the system-state controller, radio
 * activity from the modem-services daemon. The values are read once at
 * construction and then follow the daemons' change signals.
 *
 * While its daemon is away (valid() false) the object still holds the power, status and activity
 * it last had, or neutral values when it never read any: they are not the modem's state, so a
 * screen should not show them as live. The object reads them again when the daemon returns.
 */
class ONDRIX_EXPORT SystemControl : public QObject
{
    Q_OBJECT
    /** Whether the radio is on: the controller's requested mode and modem state; setting it asks the
     *  controller, and the value follows its answer. Changes announced by powerChanged(). Writable
     *  (setPower()). */
    Q_PROPERTY(bool power READ power WRITE setPower NOTIFY powerChanged)
    /** The service level (Status): full, limited (emergency calls only), none, or a modem failure. Changes
     *  announced by statusChanged(). Read-only. */
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    /** What the radio is busy with (Activity): signalling, a call, data or idle. Changes announced by
     *  activityChanged(). Read-only. */
    Q_PROPERTY(Activity activity READ activity NOTIFY activityChanged)
    /** Whether the controller and the network daemon are on the bus. Changes announced by validChanged().
     *  Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)

public:
    /** Service level, from the controller's "ServiceState" and "ModemState". */
    enum Status {
        UnknownStatus = -1, /**< not read yet, or a text outside the table */
        FullService = 0, /**< full service ("Normal") */
        LimitedService = 1, /**< emergency calls only ("EmergencyOnly") */
        NoService = 2, /**< no network ("NoCoverage") */
        ModemFailure = 3, /**< the modem needs service (modem state "Service") */
    };
    Q_ENUM(Status)

    /** What the radio is busy with, from the network daemon's "Activity". */
    enum Activity {
        UnknownActivity = -1, /**< not read yet, or a text outside the table */
        Idle = 0, /**< idle ("Idle") */
        Signaling = 1, /**< signalling with the network ("Signaling") */
        Call = 2, /**< a call ("Call") */
        Data = 3, /**< packet data ("Data") */
    };
    Q_ENUM(Activity)

    /** Reads power, status and activity (two reads of 250 ms at most). */
    explicit SystemControl(QObject *parent = nullptr);
    ~SystemControl() override;

    /** True when the radio is on. */
    bool power() const;
    /** The service level. */
    Status status() const;
    /** What the radio is busy with. */
    Activity activity() const;
    /** True while both the controller and the network daemon are on the bus. */
    Q_INVOKABLE bool isValid() const;

    /** Asks the controller to switch the radio; nothing is sent when it already
     * is so. The new state arrives with powerChanged(); a refused or unsent
     * request emits powerChanged() with the unchanged value. */
    void setPower(bool on);

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The controller reported the radio's power; emitted on every report, also unchanged. */
    void powerChanged(bool value);
    /** The service level changed (a Status value). */
    void statusChanged(int status);
    /** The radio activity changed (an Activity value). */
    void activityChanged(int activity);

private:
    Q_DECLARE_PRIVATE_D(d, SystemControl)
    SystemControlPrivate *d;
};

} // namespace Ondrix

#endif
