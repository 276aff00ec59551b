// SPDX-License-Identifier: LGPL-2.1-or-later
// The SIM card's status, security codes and identity, and the SIM error
// values the three share.

#include "ondrix-qt/simidentity.h"
#include "ondrix-qt/simsecurity.h"
#include "ondrix-qt/simstatus.h"

#include "controlstring.h"
#include "frame.h"

namespace Ondrix {
namespace SIM {

using namespace Frame;

namespace {

const TextValue simErrors[] = {
    {"com.kelvo.hvt.SIM.Error.InvalidParameter", InvalidParameter},
    {"com.kelvo.hvt.SIM.Error.ModemNotReady", ModemNotReady},
    {"com.kelvo.hvt.SIM.Error.ServiceBusy", ServiceBusy},
    {"com.kelvo.hvt.SIM.Error.Modem", ModemError},
    {"com.kelvo.hvt.SIM.Error.DataNotAvailable", DataNotAvailable},
    {"com.kelvo.hvt.SIM.Error.WrongPassword", WrongPassword},
    {"com.kelvo.hvt.SIM.Error.PINDisabled", PINDisabled},
    {"com.kelvo.hvt.SIM.Error.CodeBlocked", CodeBlocked},
    {"com.kelvo.hvt.SIM.Error.NoSIM", NoSIM},
    {"com.kelvo.hvt.SIM.Error.SIMRejected", SIMRejected},
    {"com.kelvo.hvt.SIM.Error.SecurityCodeRequired", SecurityCodeRequired},
    {"com.kelvo.hvt.SIM.Error.Unknown", UnknownError},
};

// A name outside the table is an unknown error, never success.
SIMError simErrorOf(const QDBusError &error)
{
    return SIMError(errorValue(error, simErrors, UnknownError, CommunicationError));
}

const TextValue statuses[] = {
    {"Unknown", SIMStatus::UnknownStatus},
    {"Ok", SIMStatus::Ok},
    {"NoSIM", SIMStatus::NoSIM},
    {"PermanentlyBlocked", SIMStatus::PermanentlyBlocked},
    {"NotReady", SIMStatus::NotReady},
    {"PINRequired", SIMStatus::PINRequired},
    {"PUKRequired", SIMStatus::PUKRequired},
    {"Rejected", SIMStatus::Rejected},
    {"SIMLockRejected", SIMStatus::SIMLockRejected},
};

SIMStatus::Status statusOf(const QString &text)
{
    return SIMStatus::Status(lookup(statuses, text, SIMStatus::UnknownStatus));
}

} // namespace

// ---- SIMStatus ----

class SIMStatusPrivate : public ServicePrivate<SIMStatus>
{
public:
    explicit SIMStatusPrivate(SIMStatus *q)
        : ServicePrivate(q, {Bus::Sim}, {on(Signal::SimSIMStatus, &SIMStatusPrivate::simStatusSignal)})
    {
    }

    void simStatusSignal(const QString &text) { emit q_ptr->statusChanged(statusOf(text)); }
};

SIMStatus::SIMStatus(QObject *parent)
    : QObject(parent)
    , d(new SIMStatusPrivate(this))
{
}

SIMStatus::~SIMStatus() = default;

bool SIMStatus::isValid() const { return d->isValid(); }
void SIMStatus::status()
{
    operate<QString>(methodCall(Method::SimGetSIMStatus), this,
        [this](const QString &text) { emit statusComplete(statusOf(text), NoError); },
        [this](const QDBusError &error) { emit statusComplete(UnknownStatus, simErrorOf(error)); });
}

// ---- SIMSecurity ----

namespace {

const char *const pinTypes[] = {"pin", "pin2"};
const char *const pukTypes[] = {"puk", "puk2"};

// The wire name of a code type; a value outside the table sends "" and the daemon decides.
QString codeType(int type, const char *const (&names)[2])
{
    return type >= 0 && type < 2 ? QLatin1String(names[type]) : QString(QLatin1String(""));
}

} // namespace

class SIMSecurityPrivate : public ServicePrivate<SIMSecurity>
{
public:
    explicit SIMSecurityPrivate(SIMSecurity *q)
        : ServicePrivate(q, {Bus::SimSecurity},
                         {on(Signal::SimSecurityVerifyCodeRequired, &SIMSecurityPrivate::verifyCodeRequiredSignal)})
    {
    }

    void verifyCodeRequiredSignal(const QString &text)
    {
        const QString type = text.toLower();
        if (type == QLatin1String("pin"))
            emit q_ptr->verifyPINRequired(SIMSecurity::PIN);
        else if (type == QLatin1String("pin2"))
            emit q_ptr->verifyPINRequired(SIMSecurity::PIN2);
        else if (type == QLatin1String("puk"))
            emit q_ptr->verifyPUKRequired(SIMSecurity::PUK);
        else
            emit q_ptr->verifyPUKRequired(SIMSecurity::PUK2);
    }
};

SIMSecurity::SIMSecurity(QObject *parent)
    : QObject(parent)
    , d(new SIMSecurityPrivate(this))
{
}

SIMSecurity::~SIMSecurity() = default;

bool SIMSecurity::isValid() const { return d->isValid(); }

void SIMSecurity::verifyPIN(PINType type, const QString &code)
{
    complete<bool>(methodCall(Method::SimSecurityVerifyPIN, {codeType(type, pinTypes), code}), this,
                   &SIMSecurity::verifyPINComplete, simErrorOf, false);
}

void SIMSecurity::verifyPUK(PUKType type, const QString &code, const QString &newPinCode)
{
    complete<bool>(methodCall(Method::SimSecurityVerifyPUK, {codeType(type, pukTypes), code, newPinCode}),
                   this, &SIMSecurity::verifyPUKComplete, simErrorOf, false);
}

void SIMSecurity::changePIN(PINType type, const QString &oldCode, const QString &newCode)
{
    complete<bool>(methodCall(Method::SimSecurityChangePIN, {codeType(type, pinTypes), oldCode, newCode}),
                   this, &SIMSecurity::changePINComplete, simErrorOf, false);
}

void SIMSecurity::enablePINQuery(PINType type, const QString &code)
{
    complete<>(methodCall(Method::SimSecurityEnablePINQuery, {codeType(type, pinTypes), code}), this,
               &SIMSecurity::enablePINQueryComplete, simErrorOf);
}

void SIMSecurity::disablePINQuery(PINType type, const QString &code)
{
    complete<>(methodCall(Method::SimSecurityDisablePINQuery, {codeType(type, pinTypes), code}), this,
               &SIMSecurity::disablePINQueryComplete, simErrorOf);
}

void SIMSecurity::pinQueryState(PINType type)
{
    operate<bool>(methodCall(Method::SimSecurityGetPINQueryState, {codeType(type, pinTypes)}), this,
        [this](bool on) { emit pinQueryStateComplete(on ? QueryEnabled : QueryDisabled, NoError); },
        [this](const QDBusError &error) { emit pinQueryStateComplete(QueryUnknown, simErrorOf(error)); });
}

bool SIMSecurity::sendCodeRequest(const QString &command)
{
    ControlString parsed;
    if (!parseControlString(command, parsed))
        return false;
    const SimProcedure procedure = simProcedureOf(parsed.code);
    if (procedure == SimProcedure::None)
        return false;
    const bool change = procedure == SimProcedure::ChangePin || procedure == SimProcedure::ChangePin2;
    const bool second = procedure == SimProcedure::ChangePin2 || procedure == SimProcedure::UnblockPin2;
    const bool wellFormed = parsed.prefix == QLatin1String("**") && parsed.fields.size() == 3
                            && !parsed.field(1).isEmpty() && !parsed.field(2).isEmpty()
                            && parsed.field(2) == parsed.field(3);
    if (!wellFormed) {
        const auto complete = change ? &SIMSecurity::changePINComplete : &SIMSecurity::verifyPUKComplete;
        emit (this->*complete)(false, InvalidParameter);
    } else if (change)
        changePIN(second ? PIN2 : PIN, parsed.field(1), parsed.field(2));
    else
        verifyPUK(second ? PUK2 : PUK, parsed.field(1), parsed.field(2));
    return true;
}

void SIMSecurity::pinAttemptsLeft(PINType type)
{
    complete<int>(methodCall(Method::SimSecurityPINAttemptsLeft, {codeType(type, pinTypes)}), this,
                  &SIMSecurity::pinAttemptsLeftComplete, simErrorOf, -1);
}

void SIMSecurity::pukAttemptsLeft(PUKType type)
{
    complete<int>(methodCall(Method::SimSecurityPUKAttemptsLeft, {codeType(type, pukTypes)}), this,
                  &SIMSecurity::pukAttemptsLeftComplete, simErrorOf, -1);
}

// ---- SIMIdentity ----

class SIMIdentityPrivate : public ServicePrivate<SIMIdentity>
{
    using ServicePrivate::ServicePrivate;
};

SIMIdentity::SIMIdentity(QObject *parent)
    : QObject(parent)
    , d(new SIMIdentityPrivate(this, {Bus::SimIdentity}))
{
}

SIMIdentity::~SIMIdentity() = default;

bool SIMIdentity::isValid() const { return d->isValid(); }
void SIMIdentity::hplmn()
{
    complete<QString, QString>(methodCall(Method::SimIdentityGetHPLMN), this, &SIMIdentity::hplmnComplete, simErrorOf, QString(),
                               QString());
}

void SIMIdentity::imsi() { complete<QString>(methodCall(Method::SimIdentityGetIMSI), this, &SIMIdentity::imsiComplete, simErrorOf, QString()); }

void SIMIdentity::serviceProviderName()
{
    complete<QString>(methodCall(Method::SimIdentityGetServiceProviderName), this, &SIMIdentity::serviceProviderNameComplete,
                      simErrorOf, QString());
}

void SIMIdentity::languages()
{
    complete<QStringList>(methodCall(Method::SimIdentityGetLanguages), this, &SIMIdentity::languagesComplete, simErrorOf,
                          QStringList());
}

void SIMIdentity::iccid() { complete<QString>(methodCall(Method::SimIdentityGetICCID), this, &SIMIdentity::iccidComplete, simErrorOf, QString()); }

void SIMIdentity::auth(const QByteArray &rand)
{
    const QByteArray none;
    complete<QByteArray, QByteArray, QByteArray, QByteArray>(methodCall(Method::SimIdentityGetAuth, {rand}), this,
                                                             &SIMIdentity::authComplete, simErrorOf, none, none,
                                                             none, none);
}

} // namespace SIM
} // namespace Ondrix
