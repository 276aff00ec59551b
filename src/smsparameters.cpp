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
    const QDBusMessage reply = callProxy(proxy, QStringLiteral("GetParameters"),
                                         {QVariant::fromValue(AllParameters)});
    const QVariantList args = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || args.size() < 8
        || args.at(0).userType() != QMetaType::UChar)
        return QString();
    const uchar indicators = args.at(0).value<uchar>();
    if (args.at(7).toInt() != 0 || (indicators & ServiceCentreAbsent))
        return QString();
    return args.at(5).toString();
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

