// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/smsparameters.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {
const uchar AllParameters = 1;
const uchar ServiceCentreAbsent = 0x02;   // parameter indicators: a set bit means absent
} // namespace

class SMSParametersPrivate : public ServicePrivate<SMSParameters>
{
public:
    explicit SMSParametersPrivate(SMSParameters *q)
        : ServicePrivate(q, {Bus::SmsSim})
    {
    }

    QString serviceCenterAddress() const;
};

// The reply's first argument is a byte, and it has eight at least: the
// indicators, the address as text and the status as a number are read; the
// others are the daemon's.
QString SMSParametersPrivate::serviceCenterAddress() const
{
    const QDBusMessage reply = callProxy(proxy(), Method::SmsSimGetParameters, {QVariant::fromValue(AllParameters)});
    const QVariantList args = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || args.size() < 8 || !reply.signature().startsWith(QLatin1Char('y')))
        return QString();
    const uchar indicators = args[0].value<uchar>();
    return args[7].toInt() != 0 || (indicators & ServiceCentreAbsent) ? QString() : args[5].toString();
}

SMSParameters::SMSParameters(QObject *parent)
    : QObject(parent)
    , d(new SMSParametersPrivate(this))
{
}

SMSParameters::~SMSParameters() = default;

bool SMSParameters::isValid() const
{
    return d->isValid();
}

QString SMSParameters::serviceCenterAddress() const
{
    return d->serviceCenterAddress();
}

} // namespace Ondrix

