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

// Sends one request of a SIM interface: `done` gets the reply of `Args...`,
// `failed` the SIM error, at once when the call cannot be sent.
template <typename... Args, typename Done, typename Failed>
void request(QObject *context, Bus bus, const char *method, const QVariantList &args, Done done,
             Failed failed)
{
    operate<Args...>(methodCall(bus, QLatin1String(method), args), context, done,
                     [failed](const QDBusError &error) { failed(simErrorOf(error)); });
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

class SIMStatusPrivate : public QObject
{
public:
    explicit SIMStatusPrivate(SIMStatus *q)
        : QObject(q)
        , q_ptr(q)
    {
        registerTypes();
        subscribe(Bus::Sim, "SIMStatus", this, &SIMStatusPrivate::simStatusSignal);
        proxy = createProxy(Bus::Sim, this);
        daemons = followDaemons({proxy}, this, q);
    }

    void status()
    {
        Q_Q(SIMStatus);
        request<QString>(this, Bus::Sim, "GetSIMStatus", {},
            [q](const QString &text) { emit q->statusComplete(statusOf(text), NoError); },
            [q](SIMError error) { emit q->statusComplete(SIMStatus::UnknownStatus, error); });
    }

    void simStatusSignal(const QString &text)
    {
        Q_Q(SIMStatus);
        emit q->statusChanged(statusOf(text));
    }

    SIMStatus *q_ptr;
    DBusIface *proxy;
    Daemons *daemons = nullptr;

private:
    Q_DECLARE_PUBLIC(SIMStatus)
};

SIMStatus::SIMStatus(QObject *parent)
    : QObject(parent)
    , d(new SIMStatusPrivate(this))
{
}

SIMStatus::~SIMStatus() = default;

bool SIMStatus::isValid() const { return d->daemons->valid(); }
void SIMStatus::status() { d->status(); }

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

class SIMSecurityPrivate : public QObject
{
public:
    explicit SIMSecurityPrivate(SIMSecurity *q)
        : QObject(q)
        , q_ptr(q)
    {
        registerTypes();
        subscribe(Bus::SimSecurity, "VerifyCodeRequired", this,
                  &SIMSecurityPrivate::verifyCodeRequiredSignal);
        proxy = createProxy(Bus::SimSecurity, this);
        daemons = followDaemons({proxy}, this, q);
    }

    // A request answered with success or failure, the code(s) passed through unkept.
    void checked(const char *method, const QVariantList &args,
                 void (SIMSecurity::*complete)(bool, SIMError))
    {
        SIMSecurity *q = q_ptr;
        request<bool>(this, Bus::SimSecurity, method, args,
            [q, complete](bool success) { emit (q->*complete)(success, NoError); },
            [q, complete](SIMError error) { emit (q->*complete)(false, error); });
    }

    // A request answered with nothing.
    void plain(const char *method, const QVariantList &args, void (SIMSecurity::*complete)(SIMError))
    {
        SIMSecurity *q = q_ptr;
        request<>(this, Bus::SimSecurity, method, args,
            [q, complete] { emit (q->*complete)(NoError); },
            [q, complete](SIMError error) { emit (q->*complete)(error); });
    }

    // A request answered with a count of attempts.
    void attempts(const char *method, const QString &type,
                  void (SIMSecurity::*complete)(int, SIMError))
    {
        SIMSecurity *q = q_ptr;
        request<int>(this, Bus::SimSecurity, method, {type},
            [q, complete](int left) { emit (q->*complete)(left, NoError); },
            [q, complete](SIMError error) { emit (q->*complete)(-1, error); });
    }

    void pinQueryState(int type)
    {
        Q_Q(SIMSecurity);
        request<bool>(this, Bus::SimSecurity, "GetPINQueryState", {codeType(type, pinTypes)},
            [q](bool on) {
                emit q->pinQueryStateComplete(on ? SIMSecurity::QueryEnabled : SIMSecurity::QueryDisabled,
                                              NoError);
            },
            [q](SIMError error) { emit q->pinQueryStateComplete(SIMSecurity::QueryUnknown, error); });
    }

    void verifyCodeRequiredSignal(const QString &text)
    {
        Q_Q(SIMSecurity);
        const QString type = text.toLower();
        if (type == QLatin1String("pin"))
            emit q->verifyPINRequired(SIMSecurity::PIN);
        else if (type == QLatin1String("pin2"))
            emit q->verifyPINRequired(SIMSecurity::PIN2);
        else if (type == QLatin1String("puk"))
            emit q->verifyPUKRequired(SIMSecurity::PUK);
        else
            emit q->verifyPUKRequired(SIMSecurity::PUK2);
    }

    SIMSecurity *q_ptr;
    DBusIface *proxy;
    Daemons *daemons = nullptr;

private:
    Q_DECLARE_PUBLIC(SIMSecurity)
};

SIMSecurity::SIMSecurity(QObject *parent)
    : QObject(parent)
    , d(new SIMSecurityPrivate(this))
{
}

SIMSecurity::~SIMSecurity() = default;

bool SIMSecurity::isValid() const { return d->daemons->valid(); }

void SIMSecurity::verifyPIN(PINType type, const QString &code)
{
    d->checked("VerifyPIN", {codeType(type, pinTypes), code}, &SIMSecurity::verifyPINComplete);
}

void SIMSecurity::verifyPUK(PUKType type, const QString &code, const QString &newPinCode)
{
    d->checked("VerifyPUK", {codeType(type, pukTypes), code, newPinCode}, &SIMSecurity::verifyPUKComplete);
}

void SIMSecurity::changePIN(PINType type, const QString &oldCode, const QString &newCode)
{
    d->checked("ChangePIN", {codeType(type, pinTypes), oldCode, newCode}, &SIMSecurity::changePINComplete);
}

void SIMSecurity::enablePINQuery(PINType type, const QString &code)
{
    d->plain("EnablePINQuery", {codeType(type, pinTypes), code}, &SIMSecurity::enablePINQueryComplete);
}

void SIMSecurity::disablePINQuery(PINType type, const QString &code)
{
    d->plain("DisablePINQuery", {codeType(type, pinTypes), code}, &SIMSecurity::disablePINQueryComplete);
}

void SIMSecurity::pinQueryState(PINType type) { d->pinQueryState(type); }

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
    d->attempts("PINAttemptsLeft", codeType(type, pinTypes), &SIMSecurity::pinAttemptsLeftComplete);
}

void SIMSecurity::pukAttemptsLeft(PUKType type)
{
    d->attempts("PUKAttemptsLeft", codeType(type, pukTypes), &SIMSecurity::pukAttemptsLeftComplete);
}

// ---- SIMIdentity ----

class SIMIdentityPrivate : public QObject
{
public:
    explicit SIMIdentityPrivate(SIMIdentity *q)
        : QObject(q)
        , q_ptr(q)
        , proxy(createProxy(Bus::SimIdentity, this))
        , daemons(followDaemons({proxy}, this, q))
    {
        registerTypes();
    }

    // A request answered with one value of type T, or T() with the error.
    template <typename T>
    void read(const char *method, void (SIMIdentity::*complete)(const T &, SIMError),
              const QVariantList &args = {})
    {
        SIMIdentity *q = q_ptr;
        request<T>(this, Bus::SimIdentity, method, args,
            [q, complete](const T &value) { emit (q->*complete)(value, NoError); },
            [q, complete](SIMError error) { emit (q->*complete)(T(), error); });
    }

    void hplmn()
    {
        Q_Q(SIMIdentity);
        request<QString, QString>(this, Bus::SimIdentity, "GetHPLMN", {},
            [q](const QString &mcc, const QString &mnc) { emit q->hplmnComplete(mcc, mnc, NoError); },
            [q](SIMError error) { emit q->hplmnComplete(QString(), QString(), error); });
    }

    void auth(const QByteArray &rand)
    {
        Q_Q(SIMIdentity);
        request<QByteArray, QByteArray, QByteArray, QByteArray>(this, Bus::SimIdentity, "GetAuth", {rand},
            [q](const QByteArray &res, const QByteArray &kc, const QByteArray &ck, const QByteArray &ik) {
                emit q->authComplete(res, kc, ck, ik, NoError);
            },
            [q](SIMError error) {
                emit q->authComplete(QByteArray(), QByteArray(), QByteArray(), QByteArray(), error);
            });
    }

    SIMIdentity *q_ptr;
    DBusIface *proxy;
    Daemons *daemons = nullptr;

private:
    Q_DECLARE_PUBLIC(SIMIdentity)
};

SIMIdentity::SIMIdentity(QObject *parent)
    : QObject(parent)
    , d(new SIMIdentityPrivate(this))
{
}

SIMIdentity::~SIMIdentity() = default;

bool SIMIdentity::isValid() const { return d->daemons->valid(); }
void SIMIdentity::hplmn() { d->hplmn(); }
void SIMIdentity::imsi() { d->read("GetIMSI", &SIMIdentity::imsiComplete); }
void SIMIdentity::serviceProviderName() { d->read("GetServiceProviderName", &SIMIdentity::serviceProviderNameComplete); }
void SIMIdentity::languages() { d->read("GetLanguages", &SIMIdentity::languagesComplete); }
void SIMIdentity::iccid() { d->read("GetICCID", &SIMIdentity::iccidComplete); }
void SIMIdentity::auth(const QByteArray &rand) { d->auth(rand); }

} // namespace SIM
} // namespace Ondrix
