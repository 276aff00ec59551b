// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SMSPARAMETERS_H
#define ONDRIX_SMSPARAMETERS_H

#include "ondrix_global.h"

#include <QObject>

namespace Ondrix {

class SMSParametersPrivate;

/** @brief The SMS parameters stored on the SIM. */
class ONDRIX_EXPORT SMSParameters : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** Makes no call. */
    explicit SMSParameters(QObject *parent = nullptr);
    ~SMSParameters() override;

    /** True while the SMS daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;
    /** The service centre number; a null string when the SIM has none or the
     * daemon does not answer. Blocks until the daemon answers. */
    Q_INVOKABLE QString serviceCenterAddress() const;

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);

private:
    Q_DECLARE_PRIVATE_D(d, SMSParameters)
    SMSParametersPrivate *d;
};

} // namespace Ondrix

#endif
