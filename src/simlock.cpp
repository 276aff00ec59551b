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

class SIMLockPrivate : public QObject
{
public:
    explicit SIMLockPrivate(SIMLock *q)
        : QObject(q)
        , q_ptr(q)
        , proxy(createProxy(Bus::SimLock, this))
        , daemons(followDaemons({proxy}, this, q))
    {
        registerTypes();
    }

    void simLockStatus()
    {
        Q_Q(SIMLock);
        operate<QString>(methodCall(Method::SimLockGetSIMLockStatus), this,
            [q](const QString &text) {
                emit q->simLockStatusComplete(
                    SIMLock::SIMLockStatus(lookup(lockStatuses, text, SIMLock::StatusUnknown)), SIMLock::NoError);
            },
            [q](const QDBusError &error) { emit q->simLockStatusComplete(SIMLock::StatusUnknown, lockErrorOf(error)); });
    }

    // The code goes into the call and nowhere else.
    void simLockUnlock(int level, const QString &code)
    {
        complete<>(methodCall(Method::SimLockUnlockSIMLock, {level, code}), q_ptr,
                   &SIMLock::simLockUnlockComplete, lockErrorOf);
    }

    SIMLock *q_ptr;
    DBusIface *proxy;
    Daemons *daemons;

private:
    Q_DECLARE_PUBLIC(SIMLock)
};

SIMLock::SIMLock(QObject *parent)
    : QObject(parent)
    , d(new SIMLockPrivate(this))
{
}

SIMLock::~SIMLock() = default;

bool SIMLock::isValid() const { return d->daemons->valid(); }
void SIMLock::simLockStatus() { d->simLockStatus(); }
void SIMLock::simLockUnlock(SIMLockLevel level, const QString &unlockCode) { d->simLockUnlock(level, unlockCode); }

} // namespace Ondrix
