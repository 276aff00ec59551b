// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SMSPARAMETERS_H
#define ONDRIX_SMSPARAMETERS_H

#include "ondrix_global.h"

#include <QObject>

namespace Ondrix {

class SMSParametersPrivate;

/* The SMS parameters stored on the SIM. */
class ONDRIX_EXPORT SMSParameters : public QObject
{
    Q_OBJECT
public:
    explicit SMSParameters(QObject *parent = nullptr);
    ~SMSParameters() override;

    bool isValid() const;
    /* The service centre number; a null string when the SIM has none or the
     * daemon does not answer. Blocks until the daemon answers. */
    QString serviceCenterAddress() const;

private:
    Q_DECLARE_PRIVATE_D(d, SMSParameters)
    SMSParametersPrivate *d;
};

} // namespace Ondrix

#endif
