// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/smsparameters.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {
const uchar AllParameters = 1;
const uchar ServiceCentreAbsent = 0x02;   // parameter indicators: a set bit means absent
} // namespace

class SMSParametersPrivate : public QObject
{
public:
    explicit SMSParametersPrivate(SMSParameters *parent)
        : QObject(parent)
        , proxy(createProxy(Bus::SmsSim, this))
        , daemons(followDaemons({proxy}, this, parent))
    {
        registerTypes();
    }

    QString serviceCenterAddress() const;

    DBusIface *proxy;
    Daemons *daemons;
};

QString SMSParametersPrivate::serviceCenterAddress() const
{
    const auto reply = ask<uchar, QString, uchar, uchar, uchar, QString, uint, int>(
        proxy, Method::SmsSimGetParameters, {QVariant::fromValue(AllParameters)}, Reply::First);
    if (!reply)
        return QString();
    const auto &[indicators, destination, protocol, coding, validity, centre, type, status] = *reply;
    Q_UNUSED(destination) Q_UNUSED(protocol) Q_UNUSED(coding) Q_UNUSED(validity) Q_UNUSED(type)
    return status != 0 || (indicators & ServiceCentreAbsent) ? QString() : centre;
}

SMSParameters::SMSParameters(QObject *parent)
    : QObject(parent)
    , d(new SMSParametersPrivate(this))
{
}

SMSParameters::~SMSParameters() = default;

bool SMSParameters::isValid() const
{
    return d->daemons->valid();
}

QString SMSParameters::serviceCenterAddress() const
{
    return d->serviceCenterAddress();
}

} // namespace Ondrix

