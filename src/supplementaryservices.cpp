// SPDX-License-Identifier: LGPL-2.1-or-later
// Call divert, barring, waiting and the identity interrogations; the USSD
// dialogue; and the control strings users type into a dialler.

#include "ondrix-qt/supplementaryservices.h"

#include "controlstring.h"
#include "frame.h"

#include <QtDBus/QDBusMetaType>

namespace Ondrix {

using namespace Frame;
using SS = SupplementaryServices;

namespace {

const TextValue ssErrors[] = {
    {"com.kelvo.hvt.SS.Error.NotProvisioned", SS::NotProvisioned},
    {"com.kelvo.hvt.SS.Error.Password", SS::WrongPassword},
    {"com.kelvo.hvt.SS.Error.InvalidTelephoneNumber", SS::InvalidTelephoneNumber},
    {"com.kelvo.hvt.SS.Error.QuiescentService", SS::QuiescentService},
    {"com.kelvo.hvt.SS.Error.Incompatibility", SS::Incompatibility},
    {"com.kelvo.hvt.SS.Error.NotAvailable", SS::NotAvailable},
    {"com.kelvo.hvt.SS.Error.TooManyPasswordAttempts", SS::TooManyPasswordAttempts},
    {"com.kelvo.hvt.SS.Error.SubscriptionViolation", SS::SubscriptionViolation},
    {"com.kelvo.hvt.SS.Error.FixedDialNumbers", SS::FixedDialNumbers},
    {"com.kelvo.hvt.SS.Error.Busy", SS::Busy},
    {"com.kelvo.hvt.SS.Error.Suspended", SS::Suspended},
};

const TextValue ussdErrors[] = {
    {"com.kelvo.hvt.SS.USSD.Error.Failed", SS::UssdFailed},
    {"com.kelvo.hvt.SS.USSD.Error.InvalidParameters", SS::UssdInvalidParameters},
    {"com.kelvo.hvt.SS.USSD.Error.Busy", SS::UssdBusy},
    {"com.kelvo.hvt.SS.USSD.Error.Offline", SS::UssdOffline},
    {"com.kelvo.hvt.SS.USSD.Error.Network", SS::UssdNetworkError},
    {"com.kelvo.hvt.SS.USSD.Error.Network.Busy", SS::UssdNetworkBusy},
    {"com.kelvo.hvt.SS.USSD.Error.NoModemService", SS::UssdNoModemService},
    {"com.kelvo.hvt.SS.USSD.Error.FixedDialNumbers", SS::UssdFixedDialNumbers},
    {"com.kelvo.hvt.SS.USSD.Error.MissingRequest", SS::UssdMissingRequest},
    {"com.kelvo.hvt.SS.USSD.Error.MissingNotify", SS::UssdMissingNotify},
    {"com.kelvo.hvt.SS.USSD.Error.BadData", SS::UssdBadData},
    {"com.kelvo.hvt.SS.USSD.Error.Released", SS::UssdReleased},
    {"com.kelvo.hvt.SS.USSD.Error.Suspended", SS::UssdSuspended},
    {"com.kelvo.hvt.SS.USSD.Error.SystemFailure", SS::UssdSystemFailure},
    {"com.kelvo.hvt.SS.USSD.Error.CallBarred", SS::UssdCallBarred},
    {"com.kelvo.hvt.SS.USSD.Error.DataMissing", SS::UssdDataMissing},
    {"com.kelvo.hvt.SS.USSD.Error.UnexpectedDataValue", SS::UssdUnexpectedDataValue},
    {"com.kelvo.hvt.SS.USSD.Error.UnknownAlphabet", SS::UssdUnknownAlphabet},
};

const TextValue basicServices[] = {
    {"", SS::AllBasicServices},         {"10", SS::AllTeleservices},
    {"11", SS::Telephony},              {"12", SS::AllDataTeleservices},
    {"13", SS::FacsimileServices},      {"16", SS::ShortMessageServices},
    {"17", SS::VoiceGroupCallService},  {"18", SS::VoiceBroadcastService},
    {"19", SS::AllTeleservicesExceptSms}, {"20", SS::AllBearerServices},
    {"21", SS::AllAsyncServices},       {"22", SS::AllSyncServices},
    {"24", SS::AllDataCircuitSync},     {"25", SS::AllDataCircuitAsync},
    {"26", SS::AllDedicatedPacketAccess}, {"27", SS::AllDedicatedPadAccess},
};

const TextValue divertCodes[] = {
    {"002", SS::AllDiverts},        {"004", SS::AllConditionalDiverts}, {"21", SS::DivertUnconditional},
    {"61", SS::DivertNoReply},      {"62", SS::DivertNotReachable},     {"67", SS::DivertBusy},
};

const TextValue barringCodes[] = {
    {"33", SS::BarAllOutgoing},  {"331", SS::BarOutgoingInternational}, {"332", SS::BarOutgoingInternationalExceptHome},
    {"35", SS::BarAllIncoming},  {"351", SS::BarIncomingWhenRoaming},   {"330", SS::AllBarringServices},
    {"333", SS::AllOutgoingBarring}, {"353", SS::AllIncomingBarring},
};

const TextValue otherCodes[] = {
    {"03", SS::BarringPasswordCode}, {"30", SS::ClipCode}, {"31", SS::ClirCode}, {"43", SS::CallWaitingCode},
    {"76", SS::ColpCode}, {"77", SS::ColrCode}, {"300", SS::CnapCode},
};

const TextValue clirStates[] = {{"on", SS::ClirOn}, {"off", SS::ClirOff}, {"permanent", SS::ClirPermanent}};

const TextValue prefixes[] = {
    {"**", SS::Registration}, {"*", SS::Activation}, {"#", SS::Deactivation},
    {"##", SS::Erasure}, {"*#", SS::Interrogation},
};

// The code string of a value; a value outside the table goes out as "Unknown".
template <std::size_t N>
QString codeOf(const TextValue (&table)[N], int value)
{
    for (const TextValue &row : table) {
        if (row.value == value)
            return row.name();
    }
    return QStringLiteral("Unknown");
}

SS::BasicService basicServiceOf(const QString &code)
{
    return SS::BasicService(lookup(basicServices, code));
}

SS::BasicServiceList basicServicesOf(const QStringList &codes)
{
    SS::BasicServiceList list;
    for (const QString &code : codes)
        list << basicServiceOf(code);
    return list;
}

SS::Error ssErrorOf(const QDBusError &error)
{
    // A call that could not be sent was not made, like one to an absent daemon.
    if (isNotSent(error))
        return SS::UnknownError;
    return SS::Error(errorValue(error, ssErrors, SS::UnknownError, SS::CommunicationError));
}

SS::UssdError ussdErrorOf(const QDBusError &error)
{
    if (isNotSent(error))
        return SS::UssdFailed;
    return SS::UssdError(errorValue(error, ussdErrors, SS::UssdUnknownError, SS::UssdUnknownError));
}

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const SS::DivertService &service)
{
    argument.beginStructure();
    argument << codeOf(basicServices, service.basicService) << service.active << service.telephoneNumber
             << service.forwardDelay;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, SS::DivertService &service)
{
    QString code;
    argument.beginStructure();
    argument >> code >> service.active >> service.telephoneNumber >> service.forwardDelay;
    argument.endStructure();
    service.basicService = basicServiceOf(code);
    return argument;
}

class SupplementaryServicesPrivate : public ServicePrivate<SupplementaryServices>
{
public:
    explicit SupplementaryServicesPrivate(SS *q)
        : ServicePrivate(q, {Bus::SS, Bus::Ussd},
                         {on(Signal::SSBusyWith, &SupplementaryServicesPrivate::busyWithSignal),
                          on(Signal::UssdRequest, &SupplementaryServicesPrivate::userActionRequestedSignal),
                          on(Signal::UssdNotify, &SupplementaryServicesPrivate::notifyReceivedSignal),
                          on(Signal::UssdReleased, &SupplementaryServicesPrivate::ussdReleasedSignal)})
    {
    }

    // One call service operation: with the daemon absent it fails at once
    // with UnknownError and nothing is sent.
    template <typename... Args, typename OnReply, typename OnFailure>
    void request(Method method, const QVariantList &args, OnReply done, OnFailure failed)
    {
        if (!isValid()) {
            failed(SS::UnknownError);
            return;
        }
        operate<Args...>(methodCall(method, args), this, done,
                         [failed](const QDBusError &error) { failed(ssErrorOf(error)); });
    }

    // An operation that completes with its reply's values: with the daemon
    // absent it fails at once with UnknownError (and `empty`) and nothing is sent.
    template <typename... Reply, typename... Params, typename... Empty>
    void serve(Method method, const QVariantList &args, void (SS::*signal)(Params...), Empty... empty)
    {
        SS *const q = q_ptr;
        if (!isValid()) {
            emit (q->*signal)(empty..., SS::UnknownError);
            return;
        }
        complete<Reply...>(methodCall(method, args), q, signal, ssErrorOf, empty...);
    }

    // An interrogation answered with a list of basic service codes.
    void services(Method method, const QVariantList &args,
                  void (SS::*complete)(SS::BasicServiceList, SS::Error))
    {
        SS *q = q_ptr;
        request<QStringList>(method, args,
            [q, complete](const QStringList &codes) { emit (q->*complete)(basicServicesOf(codes), SS::NoError); },
            [q, complete](SS::Error error) { emit (q->*complete)(SS::BasicServiceList(), error); });
    }

    void checkClir()
    {
        SS *const q = q_ptr;
        request<QString>(Method::SSCheckCLIR, {},
            [q](const QString &state) {
                emit q->checkClirCompleted(SS::ClirStatus(lookup(clirStates, state)), SS::NoError);
            },
            [q](SS::Error error) { emit q->checkClirCompleted(SS::UnknownClirStatus, error); });
    }

    bool isBusy()
    {
        if (!isValid())
            return false;
        return !askValue<QString>(proxy(0), Method::SSGetBusyWith, QString()).isEmpty();
    }

    // One USSD operation: failures, an absent daemon included, arrive as ussdError().
    // A string that carries a code (a PIN, PUK or barring password) is refused
    // before anything is sent: codes never go to the network.
    template <typename... Args, typename OnReply>
    void ussd(SS::UssdOp op, Method method, const QVariantList &args, OnReply done)
    {
        SS *const q = q_ptr;
        if (!args.isEmpty() && carriesCode(args.constFirst().toString())) {
            emit q->ussdError(op, SS::UssdInvalidParameters, QStringLiteral("Not sent: the string carries a code"));
            return;
        }
        if (!isValid()) {
            emit q->ussdError(op, SS::UssdFailed, QStringLiteral("Bus communication error"));
            return;
        }
        operate<Args...>(methodCall(method, args), this, done,
                         [q, op](const QDBusError &error) { emit q->ussdError(op, ussdErrorOf(error), error.message()); });
    }

    void busyWithSignal(const QString &activity) { emit q_ptr->statusChanged(!activity.isEmpty()); }
    void userActionRequestedSignal(const QString &text, const QString &) { emit q_ptr->userActionRequested(text); }
    void notifyReceivedSignal(const QString &text, const QString &) { emit q_ptr->notifyReceived(text); }
    void ussdReleasedSignal(const QString &text, const QString &) { emit q_ptr->ussdReleased(text); }

    // ---- Control strings ----

    bool divert(SS::Operation op, SS::DivertServiceCode code, const QStringList &fields);
    bool barring(SS::Operation op, SS::BarringServiceCode code, const QStringList &fields);
    bool password(SS::Operation op, const QStringList &fields);
    bool waiting(SS::Operation op, const QStringList &fields);
    bool identity(SS::Operation op, SS::OtherServiceCode code);

};

// ---- Control strings (3GPP TS 22.030 clause 6.5.2) ----

namespace {

// Field `n` (from 1), empty when absent.
QString field(const QStringList &fields, int n)
{
    return fields.value(n - 1);
}

// The basic service of a field: all when absent or empty.
SS::BasicService basicOfField(const QStringList &fields, int n)
{
    const QString code = field(fields, n);
    return code.isEmpty() ? SS::AllBasicServices : basicServiceOf(code);
}

} // namespace

bool SupplementaryServicesPrivate::divert(SS::Operation op, SS::DivertServiceCode code, const QStringList &fields)
{
    SS *const q = q_ptr;
    const QString number = field(fields, 1);
    const SS::BasicService basic = basicOfField(fields, 2);
    uint delay = 0;
    if (!field(fields, 3).isEmpty()) {
        bool ok = false;
        delay = field(fields, 3).toUInt(&ok, 10);
        if (!ok)
            return false;
    }
    if (basic == SS::UnknownBasicService)
        return false;
    switch (op) {
    case SS::Registration: q->registerDivert(code, basic, number, delay); return true;
    case SS::Activation:
        number.isEmpty() ? q->activateDivert(code, basic) : q->registerDivert(code, basic, number, delay);
        return true;
    case SS::Deactivation: q->deactivateDivert(code, basic); return true;
    case SS::Erasure: q->eraseDivert(code, basic); return true;
    case SS::Interrogation: q->checkDivert(code, basic); return true;
    default: return false;
    }
}

bool SupplementaryServicesPrivate::barring(SS::Operation op, SS::BarringServiceCode code, const QStringList &fields)
{
    SS *const q = q_ptr;
    const QString secret = field(fields, 1);
    const SS::BasicService basic = basicOfField(fields, 2);
    if (basic == SS::UnknownBasicService)
        return false;
    switch (op) {
    case SS::Activation: q->activateBarring(code, basic, secret); return true;
    case SS::Deactivation: q->deactivateBarring(code, basic, secret); return true;
    case SS::Interrogation: q->checkBarring(code); return true;
    default: return false;
    }
}

bool SupplementaryServicesPrivate::password(SS::Operation op, const QStringList &fields)
{
    SS *const q = q_ptr;
    if (fields.size() < 4 || fields[2] != fields[3])
        return false;
    const int code = lookup(barringCodes, fields[0]);
    if (code < 0 || (op != SS::Registration && op != SS::Activation))
        return false;
    q->changeBarringPassword(SS::BarringServiceCode(code), fields[1], fields[2]);
    return true;
}

bool SupplementaryServicesPrivate::waiting(SS::Operation op, const QStringList &fields)
{
    SS *const q = q_ptr;
    const SS::BasicService basic = basicOfField(fields, 1);
    if (basic == SS::UnknownBasicService)
        return false;
    switch (op) {
    case SS::Activation: q->activateWaiting(basic); return true;
    case SS::Deactivation: q->deactivateWaiting(basic); return true;
    case SS::Interrogation: q->checkWaiting(basic); return true;
    default: return false;
    }
}

bool SupplementaryServicesPrivate::identity(SS::Operation op, SS::OtherServiceCode code)
{
    SS *const q = q_ptr;
    if (op != SS::Interrogation)
        return false;
    switch (code) {
    case SS::ClipCode: q->checkClip(); return true;
    case SS::ClirCode: q->checkClir(); return true;
    case SS::ColpCode: q->checkColp(); return true;
    case SS::ColrCode: q->checkColr(); return true;
    case SS::CnapCode: q->checkCnap(); return true;
    default: return false;
    }
}

// ---- Public object ----

SupplementaryServices::SupplementaryServices(QObject *parent)
    : QObject(parent)
    , d(new SupplementaryServicesPrivate(this))
{
}

SupplementaryServices::~SupplementaryServices() = default;

bool SupplementaryServices::isValid() const { return d->isValid(); }

void SupplementaryServices::registerDivert(DivertServiceCode service, BasicService basic, const QString &number,
                                           uint forwardDelay)
{
    d->serve<>(Method::SSRegisterDivert,
             {codeOf(divertCodes, service), codeOf(basicServices, basic), number, forwardDelay},
             &SS::registerDivertCompleted);
}

void SupplementaryServices::eraseDivert(DivertServiceCode service, BasicService basic)
{
    d->serve<>(Method::SSEraseDivert, {codeOf(divertCodes, service), codeOf(basicServices, basic)}, &SS::eraseDivertCompleted);
}

void SupplementaryServices::activateDivert(DivertServiceCode service, BasicService basic)
{
    d->serve<>(Method::SSActivateDivert, {codeOf(divertCodes, service), codeOf(basicServices, basic)},
             &SS::activateDivertCompleted);
}

void SupplementaryServices::deactivateDivert(DivertServiceCode service, BasicService basic)
{
    d->serve<>(Method::SSDeactivateDivert, {codeOf(divertCodes, service), codeOf(basicServices, basic)},
             &SS::deactivateDivertCompleted);
}

void SupplementaryServices::checkDivert(DivertServiceCode service, BasicService basic)
{
    d->serve<DivertServiceList>(Method::SSCheckDivert, {codeOf(divertCodes, service), codeOf(basicServices, basic)},
                                &SS::checkDivertCompleted, DivertServiceList());
}

void SupplementaryServices::changeBarringPassword(BarringServiceCode service, const QString &oldPassword,
                                                  const QString &newPassword)
{
    d->serve<>(Method::SSChangePassword, {codeOf(barringCodes, service), oldPassword, newPassword},
             &SS::changeBarringPasswordCompleted);
}

void SupplementaryServices::activateBarring(BarringServiceCode service, BasicService basic, const QString &password)
{
    d->serve<>(Method::SSActivateBarring, {codeOf(barringCodes, service), codeOf(basicServices, basic), password},
             &SS::activateBarringCompleted);
}

void SupplementaryServices::deactivateBarring(BarringServiceCode service, BasicService basic, const QString &password)
{
    d->serve<>(Method::SSDeactivateBarring, {codeOf(barringCodes, service), codeOf(basicServices, basic), password},
             &SS::deactivateBarringCompleted);
}

void SupplementaryServices::checkBarring(BarringServiceCode service)
{
    d->services(Method::SSCheckBarring, {codeOf(barringCodes, service)}, &SS::checkBarringCompleted);
}

void SupplementaryServices::activateWaiting(BasicService basic)
{
    d->serve<>(Method::SSActivateWaiting, {codeOf(basicServices, basic)}, &SS::activateWaitingCompleted);
}

void SupplementaryServices::deactivateWaiting(BasicService basic)
{
    d->serve<>(Method::SSDeactivateWaiting, {codeOf(basicServices, basic)}, &SS::deactivateWaitingCompleted);
}

void SupplementaryServices::checkWaiting(BasicService basic)
{
    d->services(Method::SSCheckWaiting, {codeOf(basicServices, basic)}, &SS::checkWaitingCompleted);
}

void SupplementaryServices::checkClir() { d->checkClir(); }
void SupplementaryServices::checkClip() { d->serve<bool>(Method::SSCheckCLIP, {}, &SS::checkClipCompleted, false); }
void SupplementaryServices::checkColp() { d->serve<bool>(Method::SSCheckCoLP, {}, &SS::checkColpCompleted, false); }
void SupplementaryServices::checkColr() { d->serve<bool>(Method::SSCheckCoLR, {}, &SS::checkColrCompleted, false); }
void SupplementaryServices::checkCnap() { d->serve<bool>(Method::SSCheckCNAP, {}, &SS::checkCnapCompleted, false); }
bool SupplementaryServices::isBusy() { return d->isBusy(); }

bool SupplementaryServices::isServiceCode(const QString &command)
{
    const bool pause = command.contains(QLatin1Char('p'), Qt::CaseInsensitive)
                       || command.contains(QLatin1Char('w'), Qt::CaseInsensitive);
    if (command.endsWith(QLatin1Char('#')) && !pause)
        return true;
    bool number = false;
    command.toInt(&number, 10);
    if (number && command.size() == 2)
        return !command.startsWith(QLatin1Char('1'));
    return command == QLatin1String("0") || command == QLatin1String("*");
}

bool SupplementaryServices::sendSSRequest(const QString &command)
{
    ControlString parsed;
    if (!isServiceCode(command) || !parseControlString(command, parsed))
        return false;
    const auto op = SS::Operation(lookup(prefixes, parsed.prefix));
    if (const int divert = lookup(divertCodes, parsed.code); divert >= 0)
        return d->divert(op, SS::DivertServiceCode(divert), parsed.fields);
    if (const int barring = lookup(barringCodes, parsed.code); barring >= 0)
        return d->barring(op, SS::BarringServiceCode(barring), parsed.fields);
    switch (const int other = lookup(otherCodes, parsed.code)) {
    case SS::UnknownOtherService: return false;
    case SS::BarringPasswordCode: return d->password(op, parsed.fields);
    case SS::CallWaitingCode: return d->waiting(op, parsed.fields);
    default: return d->identity(op, SS::OtherServiceCode(other));
    }
}

bool SupplementaryServices::carriesCode(const QString &command)
{
    return Ondrix::carriesCode(command);
}

void SupplementaryServices::sendCommand(const QString &command)
{
    SS *q = this;
    d->ussd<QString, QString>(UssdCommandOp, Method::UssdCommand, {command, QString(QLatin1String(""))},
                              [q](const QString &result, const QString &) { emit q->commandCompleted(result); });
}

void SupplementaryServices::sendReply(const QString &command)
{
    SS *q = this;
    d->ussd<QString, QString>(UssdReplyOp, Method::UssdReply, {command, QString(QLatin1String(""))},
                              [q](const QString &result, const QString &) { emit q->replyCompleted(result); });
}

void SupplementaryServices::sendNotifyAck()
{
    SS *q = this;
    d->ussd<>(UssdNotifyAckOp, Method::UssdNotifyAck, {}, [q] { emit q->notifyAckCompleted(); });
}

void SupplementaryServices::ussdRelease()
{
    d->ussd<>(UssdReleaseOp, Method::UssdRelease, {}, [] {});
}

} // namespace Ondrix
