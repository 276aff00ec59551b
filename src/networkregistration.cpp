// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/networkregistration.h"

#include "frame.h"

#include <QtDBus/QDBusMetaType>

// ---- The scan record on the wire ----

QDBusArgument &operator<<(QDBusArgument &argument, const OperatorStruct &op)
{
    argument.beginStructure();
    argument << op.name << op.availability << op.preference << op.band << op.mnc << op.mcc
             << op.umts;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, OperatorStruct &op)
{
    argument.beginStructure();
    argument >> op.name >> op.availability >> op.preference >> op.band >> op.mnc >> op.mcc
        >> op.umts;
    argument.endStructure();
    return argument;
}

namespace Ondrix {

using namespace Frame;

// ---- AvailableOperator ----

namespace {

const TextValue availabilities[] = {
    {"Available", AvailableOperator::Available},
    {"Current", AvailableOperator::Current},
    {"Forbidden", AvailableOperator::Forbidden},
};

const TextValue preferences[] = {
    {"Home", AvailableOperator::HomeOperator},
    {"Preferred", AvailableOperator::PreferredOperator},
    {"Forbidden", AvailableOperator::ForbiddenOperator},
};

const TextValue bands[] = {
    {"AllSupported", AvailableOperator::AllBands},
    {"GSM_900_1800", AvailableOperator::Gsm900Gsm1800},
    {"GSM_850_1900", AvailableOperator::Gsm850Gsm1900},
};

QString displayName(int value, const char *const (&names)[3])
{
    return value >= 0 && value < 3 ? QString::fromLatin1(names[value]) : QStringLiteral("Unknown");
}

} // namespace

class AvailableOperatorData : public QSharedData
{
public:
    QString mnc;
    QString mcc;
    QString name;
    AvailableOperator::Availability availability = AvailableOperator::UnknownAvailability;
    AvailableOperator::Preference preference = AvailableOperator::UnknownPreference;
    AvailableOperator::Band band = AvailableOperator::UnknownBand;
    bool umts = false;
};

AvailableOperator::AvailableOperator()
    : d(new AvailableOperatorData)
{
    registerTypes();
}

AvailableOperator::AvailableOperator(const QString &mnc, const QString &mcc, const QString &name,
                                     Band band, Availability availability,
                                     Preference preference, bool umts)
    : AvailableOperator()
{
    setMnc(mnc);
    setMcc(mcc);
    setName(name);
    setBand(band);
    setAvailability(availability);
    setPreference(preference);
    setUmts(umts);
}

AvailableOperator::AvailableOperator(const AvailableOperator &other) = default;
AvailableOperator &AvailableOperator::operator=(const AvailableOperator &other) = default;
AvailableOperator::~AvailableOperator() = default;

AvailableOperator AvailableOperator::fromStruct(const OperatorStruct &op)
{
    return AvailableOperator(op.mnc, op.mcc, op.name, Band(lookup(bands, op.band)),
                             Availability(lookup(availabilities, op.availability)),
                             Preference(lookup(preferences, op.preference)), op.umts);
}

QString AvailableOperator::name() const { return d->name; }
QString AvailableOperator::mnc() const { return d->mnc; }
QString AvailableOperator::mcc() const { return d->mcc; }
AvailableOperator::Availability AvailableOperator::availability() const { return d->availability; }
AvailableOperator::Preference AvailableOperator::preference() const { return d->preference; }
AvailableOperator::Band AvailableOperator::band() const { return d->band; }
bool AvailableOperator::umts() const { return d->umts; }

// The record is shared on purpose: no detaching.
void AvailableOperator::setName(const QString &name) { d->name = name; }
void AvailableOperator::setMnc(const QString &mnc) { d->mnc = mnc; }
void AvailableOperator::setMcc(const QString &mcc) { d->mcc = mcc; }
void AvailableOperator::setAvailability(Availability availability) { d->availability = availability; }
void AvailableOperator::setPreference(Preference preference) { d->preference = preference; }
void AvailableOperator::setBand(Band band) { d->band = band; }
void AvailableOperator::setUmts(bool umts) { d->umts = umts; }

QString AvailableOperator::availabilityName() const
{
    static const char *const names[3] = {"Available", "Current", "Forbidden"};
    return displayName(d->availability, names);
}

QString AvailableOperator::preferenceName() const
{
    static const char *const names[3] = {"Home", "Preferred", "Forbidden"};
    return displayName(d->preference, names);
}

QString AvailableOperator::bandName() const
{
    static const char *const names[3] = {"All supported", "GSM 900 / GSM 1800", "GSM 850 / GSM 1900"};
    return displayName(d->band, names);
}

QDebug operator<<(QDebug debug, const AvailableOperator &op)
{
    debug.nospace() << "\nname: " << op.name() << "\nmnc: " << op.mnc() << "\nmcc: " << op.mcc()
                    << "\navailability: " << op.availabilityName()
                    << "\npreference: " << op.preferenceName() << "\nband: " << op.bandName()
                    << "\numts: " << (op.umts() ? "true" : "false") << "\n";
    return debug.space();
}

// ---- NetworkRegistration ----

namespace {

const TextValue statuses[] = {
    {"Home", NetworkRegistration::AtHome},
    {"Roaming", NetworkRegistration::Roaming},
    {"Offline", NetworkRegistration::Offline},
    {"Searching", NetworkRegistration::Searching},
    {"NoSim", NetworkRegistration::NoSim},
    {"Rejected", NetworkRegistration::Rejected},
    {"PowerOff", NetworkRegistration::PowerOff},
    {"PowerSave", NetworkRegistration::PowerSave},
    {"NoCoverage", NetworkRegistration::NoCoverage},
};

const TextValue modes[] = {
    {"Auto", NetworkRegistration::Automatic},
    {"Manual", NetworkRegistration::Manual},
    {"Forced", NetworkRegistration::ForcedAutomatic},
};

const TextValue rejectCodes[] = {
    {"IMSIUnknownInHLR", NetworkRegistration::IMSIUnknownInHLR},
    {"IllegalMS", NetworkRegistration::IllegalMS},
    {"IMSIUnknownInVLR", NetworkRegistration::IMSIUnknownInVLR},
    {"IMEINotAccepted", NetworkRegistration::IMEINotAccepted},
    {"IllegalME", NetworkRegistration::IllegalME},
    {"GPRSServicesNotAllowed", NetworkRegistration::GPRSServicesNotAllowed},
    {"GPRSAndNonGPRSServicesNotAllowed", NetworkRegistration::NonGPRSServicesNotAllowed},
    {"MSIdentityCannotBeDerived", NetworkRegistration::IdentityCannotBeDerived},
    {"ImplicitlyDetached", NetworkRegistration::ImplicitlyDetached},
    {"PLMNNotAllowed", NetworkRegistration::PLMNNotAllowed},
    {"LocationAreaNotAllowed", NetworkRegistration::LocationAreaNotAllowed},
    {"RoamingInThisLocationAreaNotAllowed", NetworkRegistration::RoamingNotAllowed},
    {"GPRSServicesNotAllowedInThisPLMN", NetworkRegistration::ServicesNotAllowedInThisPLMN},
    {"NoSuitableCellsInLocationArea", NetworkRegistration::NoCellsInLocationArea},
    {"MSCTemporarilyNotReachable", NetworkRegistration::TemporarilyNotReachable},
    {"NetworkFailure", NetworkRegistration::NetworkFailure},
    {"MACFailure", NetworkRegistration::MACFailure},
    {"SynchFailure", NetworkRegistration::SynchFailure},
    {"Congestion", NetworkRegistration::Congestion},
    {"AuthenticationUnacceptable", NetworkRegistration::AuthNotAcceptable},
    {"ServiceOptionNotSupported", NetworkRegistration::OptionNotSupported},
    {"ServiceOptionNotSubscribed", NetworkRegistration::OptionNotSubscribed},
    {"ServiceOptionTemporarilyOutOfOrder", NetworkRegistration::OptionOutOfOrder},
    {"RetryUponEntryIntoNewCell", NetworkRegistration::RetryUponNewCell},
    {"SemanticallyIncorrectMessage", NetworkRegistration::BadMessage},
    {"InvalidMandatoryInformation", NetworkRegistration::InvalidInformation},
    {"MessageTypeNonExistentOrNotImplemented", NetworkRegistration::NoSuchMessage},
    {"ConditionalIEError", NetworkRegistration::ConditionalIEError},
    {"MessageTypeIncompatibleWithProtocolState", NetworkRegistration::IncompatibleMessage},
    {"UnspecifiedProtocolError", NetworkRegistration::UnspecifiedError},
};

// Unknown reject texts, the empty one included, are an unspecified error.
int rejectCodeOf(const QString &text)
{
    return lookup(rejectCodes, text, NetworkRegistration::UnspecifiedError);
}

const char Interrupted[] = "com.kelvo.hvt.CSNet.Error.Interrupted";

QList<AvailableOperator> convert(const OperatorList &list)
{
    QList<AvailableOperator> operators;
    operators.reserve(list.size());
    for (const OperatorStruct &op : list)
        operators.append(AvailableOperator::fromStruct(op));
    return operators;
}

} // namespace

class NetworkRegistrationPrivate : public QObject
{
public:
    explicit NetworkRegistrationPrivate(NetworkRegistration *q);
    ~NetworkRegistrationPrivate() override;

    void selectOperator();
    void selectOperator(const QString &mnc, const QString &mcc);
    void selectOperator(int index);
    void cancelRegister();
    void queryAvailableOperators();
    void cancelQuery();
    void scanOperators();
    void reset();

    NetworkRegistration *q_ptr;
    DBusIface *proxy = nullptr;
    Daemons *daemons = nullptr;
    int status = NetworkRegistration::UnknownStatus;
    int rejectCode = NetworkRegistration::UnspecifiedError;
    int mode = NetworkRegistration::UnknownMode;
    QList<AvailableOperator> results;
    bool scanPending = false;
    bool automaticSelectionPending = false;
    bool manualSelectionPending = false;

private:
    Q_DECLARE_PUBLIC(NetworkRegistration)
    using Reply = void (NetworkRegistrationPrivate::*)();
    using ListReply = void (NetworkRegistrationPrivate::*)(const OperatorList &);
    using Failure = void (NetworkRegistrationPrivate::*)(const QDBusError &);

    void onStatus(const QString &status, const QString &rejectCode);
    void onMode(const QString &mode);
    void onAvailableOperators(const OperatorList &list);
    void onAvailableOperatorsFailed(const QDBusError &error);
    void onOperators(const OperatorList &list);
    void onOperatorsFailed(const QDBusError &error);
    void onCancelQuery();
    void onCancelQueryFailed(const QDBusError &error);
    void onCancelRegister();
    void onCancelRegisterFailed(const QDBusError &error);
    void onAutomaticSelection();
    void onAutomaticSelectionFailed(const QDBusError &error);
    void onManualSelection();
    void onManualSelectionFailed(const QDBusError &error);

    // Sends one request; a request that cannot be sent fails at once.
    template <typename Handler>
    void send(Method method, const QVariantList &args, Handler onReply, Failure onError,
              int timeout = LongOperationTimeout);
    void selectionSucceeded();
    void selectionFailed(const char *logPrefix, const QDBusError &error);
};

NetworkRegistrationPrivate::NetworkRegistrationPrivate(NetworkRegistration *q)
    : QObject(q)
    , q_ptr(q)
{
    registerTypes();
    subscribe(Signal::NetworkRegistrationSelectionModeChanged, this, &NetworkRegistrationPrivate::onMode);
    subscribe(Signal::NetworkRegistrationRegistrationChanged, this, &NetworkRegistrationPrivate::onStatus);
    proxy = createProxy(Bus::NetworkRegistration, this);
    daemons = followDaemons({proxy}, this, q);
    daemons->keepProperties(getAllCall(Bus::NetworkRegistration), [this](const QVariantMap &properties) {
        onMode(properties.value(QStringLiteral("SelectionMode")).toString());
        onStatus(properties.value(QStringLiteral("RegistrationStatus")).toString(),
                 properties.value(QStringLiteral("RegistrationRejectCode")).toString());
    });
}

NetworkRegistrationPrivate::~NetworkRegistrationPrivate()
{
    // What is in progress is cancelled; nobody waits for the answers any more.
    if (scanPending)
        sendOnly(Method::NetworkRegistrationCancelQuery);
    if (manualSelectionPending)
        sendOnly(Method::NetworkRegistrationCancelRegister);
}

template <typename Handler>
void NetworkRegistrationPrivate::send(Method method, const QVariantList &args, Handler onReply,
                                      Failure onError, int timeout)
{
    if (!callAsync(methodCall(method, args), this, onReply,
                   onError, timeout))
        (this->*onError)(notSent());
}

void NetworkRegistrationPrivate::onMode(const QString &text)
{
    Q_Q(NetworkRegistration);
    const int value = lookup(modes, text);
    if (value == mode)
        return;
    mode = value;
    emit q->modeChanged(mode);
}

void NetworkRegistrationPrivate::onStatus(const QString &statusText, const QString &rejectText)
{
    Q_Q(NetworkRegistration);
    const int newStatus = lookup(statuses, statusText);
    const int newRejectCode = rejectCodeOf(rejectText);
    if (newStatus == status && newRejectCode == rejectCode)
        return;
    rejectCode = newRejectCode;
    if (newStatus != status) {
        status = newStatus;
        emit q->statusChanged(status);
    }
    emit q->statusWithRejectCodeChanged(status, rejectCode);
}

// ---- Scans ----

void NetworkRegistrationPrivate::queryAvailableOperators()
{
    scanPending = true;
    send(Method::NetworkRegistrationGetNetworks, {}, &NetworkRegistrationPrivate::onAvailableOperators,
         &NetworkRegistrationPrivate::onAvailableOperatorsFailed);
}

void NetworkRegistrationPrivate::onAvailableOperators(const OperatorList &list)
{
    Q_Q(NetworkRegistration);
    scanPending = false;
    emit q->availableOperators(true, convert(list), QString());
}

void NetworkRegistrationPrivate::onAvailableOperatorsFailed(const QDBusError &error)
{
    Q_Q(NetworkRegistration);
    scanPending = false;
    emit q->availableOperators(false, QList<AvailableOperator>(), error.message());
}

void NetworkRegistrationPrivate::scanOperators()
{
    scanPending = true;
    send(Method::NetworkRegistrationGetNetworks, {}, &NetworkRegistrationPrivate::onOperators,
         &NetworkRegistrationPrivate::onOperatorsFailed);
}

void NetworkRegistrationPrivate::onOperators(const OperatorList &list)
{
    Q_Q(NetworkRegistration);
    scanPending = false;
    results = convert(list);
    emit q->operatorsSuccess();
}

void NetworkRegistrationPrivate::onOperatorsFailed(const QDBusError &error)
{
    Q_Q(NetworkRegistration);
    scanPending = false;
    results.clear();
    if (error.name() == QLatin1String(Interrupted))
        emit q->operatorsCanceled();
    else
        emit q->operatorsFailure();
}

void NetworkRegistrationPrivate::cancelQuery()
{
    scanPending = false;
    send(Method::NetworkRegistrationCancelQuery, {}, &NetworkRegistrationPrivate::onCancelQuery,
         &NetworkRegistrationPrivate::onCancelQueryFailed);
}

void NetworkRegistrationPrivate::onCancelQuery()
{
    Q_Q(NetworkRegistration);
    emit q->availableOperatorsCanceled(true, QString());
}

void NetworkRegistrationPrivate::onCancelQueryFailed(const QDBusError &error)
{
    Q_Q(NetworkRegistration);
    emit q->availableOperatorsCanceled(false, error.message());
}

// ---- Selections ----

void NetworkRegistrationPrivate::selectOperator()
{
    automaticSelectionPending = true;
    send(Method::NetworkRegistrationSelectAnyOperator, {}, &NetworkRegistrationPrivate::onAutomaticSelection,
         &NetworkRegistrationPrivate::onAutomaticSelectionFailed);
}

void NetworkRegistrationPrivate::selectOperator(const QString &mnc, const QString &mcc)
{
    manualSelectionPending = true;
    send(Method::NetworkRegistrationSelectOperator, {mnc, mcc}, &NetworkRegistrationPrivate::onManualSelection,
         &NetworkRegistrationPrivate::onManualSelectionFailed);
}

void NetworkRegistrationPrivate::selectOperator(int index)
{
    Q_Q(NetworkRegistration);
    if (index < 0 || index >= results.size()) {
        emit q->selectionFailure();
        return;
    }
    const AvailableOperator &chosen = results.at(index);
    selectOperator(chosen.mnc(), chosen.mcc());
}

void NetworkRegistrationPrivate::onAutomaticSelection()
{
    automaticSelectionPending = false;
    selectionSucceeded();
}

void NetworkRegistrationPrivate::onAutomaticSelectionFailed(const QDBusError &error)
{
    automaticSelectionPending = false;
    selectionFailed("Automatic selection failed:", error);
}

void NetworkRegistrationPrivate::onManualSelection()
{
    manualSelectionPending = false;
    selectionSucceeded();
}

void NetworkRegistrationPrivate::onManualSelectionFailed(const QDBusError &error)
{
    manualSelectionPending = false;
    selectionFailed("Manual selection failed:", error);
}

void NetworkRegistrationPrivate::selectionSucceeded()
{
    Q_Q(NetworkRegistration);
    emit q->selectionCompleted(int(NetworkRegistration::Success));
    emit q->selectionCompleted(true, QString());
    emit q->selectionSuccess();
}

void NetworkRegistrationPrivate::selectionFailed(const char *logPrefix, const QDBusError &error)
{
    Q_Q(NetworkRegistration);
    // The daemon names the reject cause in the error message.
    logFailure(logPrefix, error.message());
    emit q->selectionCompleted(rejectCodeOf(error.message()));
    emit q->selectionCompleted(false, error.message());
    if (error.name() == QLatin1String(Interrupted))
        emit q->selectionCanceled();
    else
        emit q->selectionFailure();
}

void NetworkRegistrationPrivate::cancelRegister()
{
    automaticSelectionPending = false;
    manualSelectionPending = false;
    send(Method::NetworkRegistrationCancelRegister, {}, &NetworkRegistrationPrivate::onCancelRegister,
         &NetworkRegistrationPrivate::onCancelRegisterFailed, DefaultTimeout);
}

void NetworkRegistrationPrivate::onCancelRegister()
{
    Q_Q(NetworkRegistration);
    emit q->selectOperatorCanceled(true, QString());
}

void NetworkRegistrationPrivate::onCancelRegisterFailed(const QDBusError &error)
{
    Q_Q(NetworkRegistration);
    emit q->selectOperatorCanceled(false, error.message());
}

void NetworkRegistrationPrivate::reset()
{
    if (scanPending)
        cancelQuery();
    if (manualSelectionPending)
        cancelRegister();
}

// ---- Public object ----

NetworkRegistration::NetworkRegistration(QObject *parent)
    : QObject(parent)
    , d(new NetworkRegistrationPrivate(this))
{
}

NetworkRegistration::~NetworkRegistration() = default;

NetworkRegistration::Status NetworkRegistration::status() const { return Status(d->status); }
NetworkRegistration::RejectCode NetworkRegistration::rejectCode() const { return RejectCode(d->rejectCode); }
NetworkRegistration::Mode NetworkRegistration::mode() const { return Mode(d->mode); }
bool NetworkRegistration::isValid() const { return d->daemons->valid(); }
QList<AvailableOperator> NetworkRegistration::availableOperators() const { return d->results; }

void NetworkRegistration::selectOperator() { d->selectOperator(); }
void NetworkRegistration::selectOperator(const QString &mnc, const QString &mcc) { d->selectOperator(mnc, mcc); }
void NetworkRegistration::selectOperator(const AvailableOperator &oper) { d->selectOperator(oper.mnc(), oper.mcc()); }
void NetworkRegistration::selectOperator(int index) { d->selectOperator(index); }
void NetworkRegistration::cancelSelectOperator() { d->cancelRegister(); }
void NetworkRegistration::queryAvailableOperators() { d->queryAvailableOperators(); }
void NetworkRegistration::cancelQueryAvailableOperators() { d->cancelQuery(); }
void NetworkRegistration::scanOperators() { d->scanOperators(); }
void NetworkRegistration::reset() { d->reset(); }

} // namespace Ondrix

