// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SYSTEMCONTROL_H
#define ONDRIX_SYSTEMCONTROL_H

#include "ondrix_global.h"

#include <QObject>

namespace Ondrix {

class SystemControlPrivate;

/* Modem power, service level and radio activity.
 *
 * Power and service level come from the system-state controller, radio
 * activity from the modem-services daemon. The values are read once at
 * construction and then follow the daemons' change signals. */
class ONDRIX_EXPORT SystemControl : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool power READ power WRITE setPower)
    Q_PROPERTY(Status status READ status)
    Q_PROPERTY(Activity activity READ activity)
    Q_PROPERTY(bool valid READ isValid)

public:
    enum Status {
        UnknownStatus = -1,
        FullService = 0,
        LimitedService = 1,
        NoService = 2,
        ModemFailure = 3,
    };
    Q_ENUM(Status)

    enum Activity {
        UnknownActivity = -1,
        Idle = 0,
        Signaling = 1,
        Call = 2,
        Data = 3,
    };
    Q_ENUM(Activity)

    explicit SystemControl(QObject *parent = nullptr);
    ~SystemControl() override;

    bool power() const;
    Status status() const;
    Activity activity() const;
    bool isValid() const;

    /* Asks the controller to switch the radio. The new state arrives with
     * powerChanged(); a refused or unsent request emits powerChanged() with
     * the unchanged value. */
    void setPower(bool on);

Q_SIGNALS:
    void powerChanged(bool value);
    void statusChanged(int status);
    void activityChanged(int activity);

private:
    Q_DECLARE_PRIVATE_D(d, SystemControl)
    SystemControlPrivate *d;
};

} // namespace Ondrix

#endif
