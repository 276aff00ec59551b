// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/phoneinfo.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

class PhoneInfoPrivate : public ServicePrivate<PhoneInfo>
{
public:
    explicit PhoneInfoPrivate(PhoneInfo *q)
        : ServicePrivate(q, {Bus::Info})
    {
    }

    // One string query; a null string on any failure.
    QString makeQuery(Method method) const { return askValue<QString>(proxy(), method, QString()); }
};

PhoneInfo::PhoneInfo(QObject *parent)
    : QObject(parent)
    , d(new PhoneInfoPrivate(this))
{
}

PhoneInfo::~PhoneInfo() = default;

bool PhoneInfo::isValid() const { return d->isValid(); }
QString PhoneInfo::imeiNumber() const { return d->makeQuery(Method::InfoGetIMEINumber); }
QString PhoneInfo::mcuSWVersion() const { return d->makeQuery(Method::InfoGetMCUSWVersion); }
QString PhoneInfo::dspSWVersion() const { return d->makeQuery(Method::InfoGetDSPSWVersion); }

PhoneInfo::SettingStatus PhoneInfo::hsxpaSetting() const
{
    const auto reply = ask<bool>(d->proxy(), Method::InfoGetHSXPASetting);
    return !reply ? SettingUnknown : std::get<0>(*reply) ? SettingEnabled : SettingDisabled;
}

} // namespace Ondrix
