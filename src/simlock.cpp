// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/simlock.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {

const TextValue lockStatuses[] = {
    {"Unknown", SIMLock::StatusUnknown},
    {"Ok", SIMLock::StatusOk},
    {"Restricted", SIMLock::Restricted},
    {"RestrictionPending", SIMLock::RestrictionPending},
    {"RestrictionOn", SIMLock::RestrictionOn},
};

const TextValue lockErrors[] = {
    {"com.kelvo.hvt.SIM.Error.InvalidParameter", SIMLock::InvalidParameter},
    {"com.kelvo.hvt.SIM.Error.WrongPassword", SIMLock::WrongPassword},
    {"com.kelvo.hvt.SIM.Error.AlreadyOpened", SIMLock::AlreadyOpened},
    {"com.kelvo.hvt.SIM.Error.WrongLevel", SIMLock::WrongLevel},
    {"com.kelvo.hvt.SIM.Error.NotAllowed", SIMLock::NotAllowed},
    {"com.kelvo.hvt.SIM.Error.TimerNotElapsed", SIMLock::TimerNotElapsed},
    {"com.kelvo.hvt.SIM.Error.HandlingBlocked", SIMLock::HandlingBlocked},
    {"com.kelvo.hvt.SIM.Error.Unknown", SIMLock::UnknownError},
};

// A name outside the table is an unknown error, never success.
SIMLock::SIMLockError lockErrorOf(const QDBusError &error)
{
    return SIMLock::SIMLockError(errorValue(error, lockErrors, SIMLock::UnknownError, SIMLock::CommunicationError));
}

} // namespace

class SIMLockPrivate : public ServicePrivate<SIMLock>
{
    using ServicePrivate::ServicePrivate;
};

SIMLock::SIMLock(QObject *parent)
    : QObject(parent)
    , d(new SIMLockPrivate(this, {Bus::SimLock}))
{
}

SIMLock::~SIMLock() = default;

bool SIMLock::isValid() const { return d->isValid(); }
void SIMLock::simLockStatus()
{
    operate<QString>(methodCall(Method::SimLockGetSIMLockStatus), this,
        [this](const QString &text) { emit simLockStatusComplete(SIMLockStatus(lookup(lockStatuses, text, StatusUnknown)), NoError); },
        [this](const QDBusError &error) { emit simLockStatusComplete(StatusUnknown, lockErrorOf(error)); });
}

// The code goes into the call and nowhere else.
void SIMLock::simLockUnlock(SIMLockLevel level, const QString &unlockCode)
{
    complete<>(methodCall(Method::SimLockUnlockSIMLock, {int(level), unlockCode}), this, &SIMLock::simLockUnlockComplete,
               lockErrorOf);
}

} // namespace Ondrix
