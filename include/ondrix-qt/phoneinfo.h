// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_PHONEINFO_H
#define ONDRIX_PHONEINFO_H

#include "ondrix_global.h"

#include <QObject>
#include <QString>

namespace Ondrix {

class PhoneInfoPrivate;

/**
 * @brief Fixed facts about the modem: IMEI, software versions, HSxPA.
 *
 * Every member blocks for the daemon's answer; nothing is cached.
 */
class ONDRIX_EXPORT PhoneInfo : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** A setting of the modem. */
    enum SettingStatus {
        SettingUnknown = -1,    /**< the call failed */
        SettingDisabled = 0,    /**< off */
        SettingEnabled = 1,     /**< on */
    };
    Q_ENUM(SettingStatus)

    /** Makes no call. */
    explicit PhoneInfo(QObject *parent = nullptr);
    ~PhoneInfo() override;

    /** True while the info daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;
    /** The IMEI; a null string on failure. */
    Q_INVOKABLE QString imeiNumber() const;
    /** The modem's MCU software version; a null string on failure. */
    Q_INVOKABLE QString mcuSWVersion() const;
    /** The modem's DSP software version; a null string on failure. */
    Q_INVOKABLE QString dspSWVersion() const;
    /** Whether high-speed packet access is on. */
    Q_INVOKABLE PhoneInfo::SettingStatus hsxpaSetting() const;

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);

private:
    Q_DECLARE_PRIVATE_D(d, PhoneInfo)
    PhoneInfoPrivate *d;
};

} // namespace Ondrix

#endif
