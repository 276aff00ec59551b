// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/phoneinfo.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

class PhoneInfoPrivate : public QObject
{
public:
    explicit PhoneInfoPrivate(PhoneInfo *q)
        : QObject(q)
        , proxy(createProxy(Bus::Info, this))
        , daemons(followDaemons({proxy}, this, q))
    {
        registerTypes();
    }

    // One string query; a null string on any failure.
    QString makeQuery(const QString &method) const
    {
        const QDBusMessage reply = callProxy(proxy, method);
        return reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("s")
                   ? reply.arguments().constFirst().toString()
                   : QString();
    }

    DBusIface *proxy;
    Daemons *daemons;
};

PhoneInfo::PhoneInfo(QObject *parent)
    : QObject(parent)
    , d(new PhoneInfoPrivate(this))
{
}

PhoneInfo::~PhoneInfo() = default;

bool PhoneInfo::isValid() const { return d->daemons->valid(); }
QString PhoneInfo::imeiNumber() const { return d->makeQuery(QStringLiteral("GetIMEINumber")); }
QString PhoneInfo::mcuSWVersion() const { return d->makeQuery(QStringLiteral("GetMCUSWVersion")); }
QString PhoneInfo::dspSWVersion() const { return d->makeQuery(QStringLiteral("GetDSPSWVersion")); }

PhoneInfo::SettingStatus PhoneInfo::hsxpaSetting() const
{
    const QDBusMessage reply = callProxy(d->proxy, QStringLiteral("GetHSXPASetting"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("b"))
        return SettingUnknown;
    return reply.arguments().constFirst().toBool() ? SettingEnabled : SettingDisabled;
}

} // namespace Ondrix
