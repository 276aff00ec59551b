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
    registerOperatorTypes();
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

class NetworkRegistrationPrivate : public ServicePrivate<NetworkRegistration>
{
public:
    explicit NetworkRegistrationPrivate(NetworkRegistration *q)
        : ServicePrivate(q, {Bus::NetworkRegistration},
                         {on(Signal::NetworkRegistrationSelectionModeChanged, &NetworkRegistrationPrivate::onMode),
                          on(Signal::NetworkRegistrationRegistrationChanged, &NetworkRegistrationPrivate::onStatus)})
    {
        keep<QVariantMap>(getAllCall(Bus::NetworkRegistration), [this](const QVariantMap &properties) {
            onMode(properties.value(QStringLiteral("SelectionMode")).toString());
            onStatus(properties.value(QStringLiteral("RegistrationStatus")).toString(),
                     properties.value(QStringLiteral("RegistrationRejectCode")).toString());
        });
    }

    ~NetworkRegistrationPrivate() override
    {
        // What is in progress is cancelled; nobody waits for the answers any more.
        if (scanPending)
            sendOnly(Method::NetworkRegistrationCancelQuery);
        if (manualSelectionPending)
            sendOnly(Method::NetworkRegistrationCancelRegister);
    }

    void onMode(const QString &text) { update(mode, lookup(modes, text), q_ptr, &NetworkRegistration::modeChanged); }
    void onStatus(const QString &status, const QString &rejectCode);

    // A scan: `done` takes the operators found, `failed` the error.
    template <typename Done, typename Failed>
    void scan(Done done, Failed failed);
    void select(Method method, const QVariantList &args, bool NetworkRegistrationPrivate::*pending,
                const char *logPrefix);
    // A cancel: `signal` with true, or with false and the daemon's text.
    void cancel(Method method, void (NetworkRegistration::*signal)(bool, const QString &), int timeout);

    int status = NetworkRegistration::UnknownStatus;
    int rejectCode = NetworkRegistration::UnspecifiedError;
    int mode = NetworkRegistration::UnknownMode;
    QList<AvailableOperator> results;
    bool scanPending = false;
    bool automaticSelectionPending = false;
    bool manualSelectionPending = false;
};

void NetworkRegistrationPrivate::onStatus(const QString &statusText, const QString &rejectText)
{
    const int newStatus = lookup(statuses, statusText);
    const int newRejectCode = rejectCodeOf(rejectText);
    if (newStatus == status && newRejectCode == rejectCode)
        return;
    rejectCode = newRejectCode;
    update(status, newStatus, q_ptr, &NetworkRegistration::statusChanged);
    emit q_ptr->statusWithRejectCodeChanged(status, rejectCode);
}

template <typename Done, typename Failed>
void NetworkRegistrationPrivate::scan(Done done, Failed failed)
{
    scanPending = true;
    operate<OperatorList>(
        methodCall(Method::NetworkRegistrationGetNetworks), this,
        [this, done](const OperatorList &list) {
            scanPending = false;
            done(convert(list));
        },
        [this, failed](const QDBusError &error) {
            scanPending = false;
            failed(error);
        },
        LongOperationTimeout);
}

// The daemon names the reject cause in the error message.
void NetworkRegistrationPrivate::select(Method method, const QVariantList &args,
                                        bool NetworkRegistrationPrivate::*pending, const char *logPrefix)
{
    this->*pending = true;
    NetworkRegistration *q = q_ptr;
    operate<>(
        methodCall(method, args), this,
        [this, q, pending] {
            this->*pending = false;
            emit q->selectionCompleted(int(NetworkRegistration::Success));
            emit q->selectionCompleted(true, QString());
            emit q->selectionSuccess();
        },
        [this, q, pending, logPrefix](const QDBusError &error) {
            this->*pending = false;
            logFailure(logPrefix, error.message());
            emit q->selectionCompleted(rejectCodeOf(error.message()));
            emit q->selectionCompleted(false, error.message());
            if (error.name() == QLatin1String(Interrupted))
                emit q->selectionCanceled();
            else
                emit q->selectionFailure();
        },
        LongOperationTimeout);
}

void NetworkRegistrationPrivate::cancel(Method method, void (NetworkRegistration::*signal)(bool, const QString &),
                                        int timeout)
{
    NetworkRegistration *q = q_ptr;
    operate<>(
        methodCall(method), this, [q, signal] { emit (q->*signal)(true, QString()); },
        [q, signal](const QDBusError &error) { emit (q->*signal)(false, error.message()); }, timeout);
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
bool NetworkRegistration::isValid() const { return d->isValid(); }
QList<AvailableOperator> NetworkRegistration::availableOperators() const { return d->results; }

void NetworkRegistration::selectOperator()
{
    d->select(Method::NetworkRegistrationSelectAnyOperator, {}, &NetworkRegistrationPrivate::automaticSelectionPending,
              "Automatic selection failed:");
}

void NetworkRegistration::selectOperator(const QString &mnc, const QString &mcc)
{
    d->select(Method::NetworkRegistrationSelectOperator, {mnc, mcc}, &NetworkRegistrationPrivate::manualSelectionPending,
              "Manual selection failed:");
}

void NetworkRegistration::selectOperator(const AvailableOperator &oper) { selectOperator(oper.mnc(), oper.mcc()); }

void NetworkRegistration::selectOperator(int index)
{
    if (index < 0 || index >= d->results.size()) {
        emit selectionFailure();
        return;
    }
    const AvailableOperator chosen = d->results.at(index);
    selectOperator(chosen.mnc(), chosen.mcc());
}

void NetworkRegistration::cancelSelectOperator()
{
    d->automaticSelectionPending = false;
    d->manualSelectionPending = false;
    d->cancel(Method::NetworkRegistrationCancelRegister, &NetworkRegistration::selectOperatorCanceled, DefaultTimeout);
}

void NetworkRegistration::queryAvailableOperators()
{
    d->scan([this](const QList<AvailableOperator> &found) { emit availableOperators(true, found, QString()); },
            [this](const QDBusError &error) { emit availableOperators(false, {}, error.message()); });
}

void NetworkRegistration::cancelQueryAvailableOperators()
{
    d->scanPending = false;
    d->cancel(Method::NetworkRegistrationCancelQuery, &NetworkRegistration::availableOperatorsCanceled,
              LongOperationTimeout);
}

void NetworkRegistration::scanOperators()
{
    d->scan(
        [this](const QList<AvailableOperator> &found) {
            d->results = found;
            emit operatorsSuccess();
        },
        [this](const QDBusError &error) {
            d->results.clear();
            if (error.name() == QLatin1String(Interrupted))
                emit operatorsCanceled();
            else
                emit operatorsFailure();
        });
}

void NetworkRegistration::reset()
{
    if (d->scanPending)
        cancelQueryAvailableOperators();
    if (d->manualSelectionPending)
        cancelSelectOperator();
}

} // namespace Ondrix

