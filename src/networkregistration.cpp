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

void registerOperatorEnums()
{
    qRegisterMetaType<AvailableOperator::Availability>("AvailableOperator::Availability");
    qRegisterMetaType<AvailableOperator::Band>("AvailableOperator::Band");
    qRegisterMetaType<AvailableOperator::Preference>("AvailableOperator::Preference");
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
    registerOperatorEnums();
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
    Q_OBJECT
public:
    explicit NetworkRegistrationPrivate(NetworkRegistration *parent);
    ~NetworkRegistrationPrivate() override;

    void selectOperator();
    void selectOperator(const QString &mnc, const QString &mcc);
    void selectOperator(int index);
    void cancelRegister();
    void queryAvailableOperators();
    void cancelQuery();
    void scanOperators();
    void reset();

    DBusIface *proxy = nullptr;
    int status = NetworkRegistration::UnknownStatus;
    int rejectCode = NetworkRegistration::UnspecifiedError;
    int mode = NetworkRegistration::UnknownMode;
    QList<AvailableOperator> results;
    bool scanPending = false;
    bool automaticSelectionPending = false;
    bool manualSelectionPending = false;

Q_SIGNALS:
    void statusChanged(int status);
    void statusWithRejectCodeChanged(int status, int rejectCode);
    void modeChanged(int mode);
    void availableOperators(bool success, const QList<AvailableOperator> &operators,
                            const QString &reason);
    void selectionCompleted(bool success, const QString &reason);
    void selectionCompleted(int code);
    void availableOperatorsCanceled(bool success, const QString &reason);
    void selectOperatorCanceled(bool success, const QString &reason);
    void operatorsSuccess();
    void operatorsFailure();
    void operatorsCanceled();
    void selectionSuccess();
    void selectionFailure();
    void selectionCanceled();

private Q_SLOTS:
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

private:
    void send(const char *method, const QVariantList &args, const char *replySlot,
              const char *errorSlot, int timeout = LongOperationTimeout);
    void selectionSucceeded();
    void selectionFailed(const char *logPrefix, const QDBusError &error);
};

NetworkRegistrationPrivate::NetworkRegistrationPrivate(NetworkRegistration *parent)
    : QObject(parent)
{
    qDBusRegisterMetaType<OperatorStruct>();
    qDBusRegisterMetaType<OperatorList>();
    qRegisterMetaType<OperatorList>("OperatorList");
    proxy = createProxy(Bus::NetworkRegistration, this);
    subscribe(Bus::NetworkRegistration, "SelectionModeChanged", this, SLOT(onMode(QString)));
    subscribe(Bus::NetworkRegistration, "RegistrationChanged", this, SLOT(onStatus(QString,QString)));

    QVariantMap properties;
    if (readProperties(getAllCall(Bus::NetworkRegistration), properties)) {
        mode = lookup(modes, properties.value(QStringLiteral("SelectionMode")).toString());
        status = lookup(statuses, properties.value(QStringLiteral("RegistrationStatus")).toString());
        rejectCode = rejectCodeOf(properties.value(QStringLiteral("RegistrationRejectCode")).toString());
    }
}

NetworkRegistrationPrivate::~NetworkRegistrationPrivate()
{
    reset();
    results.clear();
}

void NetworkRegistrationPrivate::send(const char *method, const QVariantList &args,
                                      const char *replySlot, const char *errorSlot, int timeout)
{
    callAsync(methodCall(Bus::NetworkRegistration, QLatin1String(method), args), this, replySlot,
              errorSlot, timeout);
}

void NetworkRegistrationPrivate::onMode(const QString &text)
{
    const int value = lookup(modes, text);
    if (value == mode)
        return;
    mode = value;
    emit modeChanged(mode);
}

void NetworkRegistrationPrivate::onStatus(const QString &statusText, const QString &rejectText)
{
    const int newStatus = lookup(statuses, statusText);
    const int newRejectCode = rejectCodeOf(rejectText);
    if (newStatus == status && newRejectCode == rejectCode)
        return;
    rejectCode = newRejectCode;
    if (newStatus != status) {
        status = newStatus;
        emit statusChanged(status);
    }
    emit statusWithRejectCodeChanged(status, rejectCode);
}

// ---- Scans ----

void NetworkRegistrationPrivate::queryAvailableOperators()
{
    send("GetNetworks", {}, SLOT(onAvailableOperators(OperatorList)),
         SLOT(onAvailableOperatorsFailed(QDBusError)));
    scanPending = true;
}

void NetworkRegistrationPrivate::onAvailableOperators(const OperatorList &list)
{
    scanPending = false;
    emit availableOperators(true, convert(list), QString());
}

void NetworkRegistrationPrivate::onAvailableOperatorsFailed(const QDBusError &error)
{
    scanPending = false;
    emit availableOperators(false, QList<AvailableOperator>(), error.message());
}

void NetworkRegistrationPrivate::scanOperators()
{
    send("GetNetworks", {}, SLOT(onOperators(OperatorList)), SLOT(onOperatorsFailed(QDBusError)));
    scanPending = true;
}

void NetworkRegistrationPrivate::onOperators(const OperatorList &list)
{
    scanPending = false;
    results = convert(list);
    emit operatorsSuccess();
}

void NetworkRegistrationPrivate::onOperatorsFailed(const QDBusError &error)
{
    scanPending = false;
    results.clear();
    if (error.name() == QLatin1String(Interrupted))
        emit operatorsCanceled();
    else
        emit operatorsFailure();
}

void NetworkRegistrationPrivate::cancelQuery()
{
    send("CancelQuery", {}, SLOT(onCancelQuery()), SLOT(onCancelQueryFailed(QDBusError)));
    scanPending = false;
}

void NetworkRegistrationPrivate::onCancelQuery()
{
    emit availableOperatorsCanceled(true, QString());
}

void NetworkRegistrationPrivate::onCancelQueryFailed(const QDBusError &error)
{
    emit availableOperatorsCanceled(false, error.message());
}

// ---- Selections ----

void NetworkRegistrationPrivate::selectOperator()
{
    send("SelectAnyOperator", {}, SLOT(onAutomaticSelection()),
         SLOT(onAutomaticSelectionFailed(QDBusError)));
    automaticSelectionPending = true;
}

void NetworkRegistrationPrivate::selectOperator(const QString &mnc, const QString &mcc)
{
    send("SelectOperator", {mnc, mcc}, SLOT(onManualSelection()),
         SLOT(onManualSelectionFailed(QDBusError)));
    manualSelectionPending = true;
}

void NetworkRegistrationPrivate::selectOperator(int index)
{
    if (index < 0 || index >= results.size()) {
        emit selectionFailure();
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
    emit selectionCompleted(int(NetworkRegistration::Success));
    emit selectionCompleted(true, QString());
    emit selectionSuccess();
}

void NetworkRegistrationPrivate::selectionFailed(const char *logPrefix, const QDBusError &error)
{
    // The daemon names the reject cause in the error message.
    qDebug() << logPrefix << error.message();
    emit selectionCompleted(rejectCodeOf(error.message()));
    emit selectionCompleted(false, error.message());
    if (error.name() == QLatin1String(Interrupted))
        emit selectionCanceled();
    else
        emit selectionFailure();
}

void NetworkRegistrationPrivate::cancelRegister()
{
    send("CancelRegister", {}, SLOT(onCancelRegister()), SLOT(onCancelRegisterFailed(QDBusError)),
         DefaultTimeout);
    automaticSelectionPending = false;
    manualSelectionPending = false;
}

void NetworkRegistrationPrivate::onCancelRegister()
{
    emit selectOperatorCanceled(true, QString());
}

void NetworkRegistrationPrivate::onCancelRegisterFailed(const QDBusError &error)
{
    emit selectOperatorCanceled(false, error.message());
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
    qRegisterMetaType<NetworkRegistration::Status>("NetworkRegistration::Status");
    qRegisterMetaType<NetworkRegistration::RejectCode>("NetworkRegistration::RejectCode");
    qRegisterMetaType<NetworkRegistration::Mode>("NetworkRegistration::Mode");
    qRegisterMetaType<QList<AvailableOperator>>("QList<AvailableOperator>");

    connect(d, SIGNAL(statusChanged(int)), this, SIGNAL(statusChanged(int)));
    connect(d, SIGNAL(statusWithRejectCodeChanged(int,int)), this,
            SIGNAL(statusWithRejectCodeChanged(int,int)));
    connect(d, SIGNAL(modeChanged(int)), this, SIGNAL(modeChanged(int)));
    connect(d, SIGNAL(availableOperators(bool,QList<AvailableOperator>,QString)), this,
            SIGNAL(availableOperators(bool,QList<AvailableOperator>,QString)));
    connect(d, SIGNAL(selectionCompleted(bool,QString)), this, SIGNAL(selectionCompleted(bool,QString)));
    connect(d, SIGNAL(selectionCompleted(int)), this, SIGNAL(selectionCompleted(int)));
    connect(d, SIGNAL(availableOperatorsCanceled(bool,QString)), this,
            SIGNAL(availableOperatorsCanceled(bool,QString)));
    connect(d, SIGNAL(selectOperatorCanceled(bool,QString)), this,
            SIGNAL(selectOperatorCanceled(bool,QString)));
    connect(d, SIGNAL(operatorsSuccess()), this, SIGNAL(operatorsSuccess()));
    connect(d, SIGNAL(operatorsFailure()), this, SIGNAL(operatorsFailure()));
    connect(d, SIGNAL(operatorsCanceled()), this, SIGNAL(operatorsCanceled()));
    connect(d, SIGNAL(selectionSuccess()), this, SIGNAL(selectionSuccess()));
    connect(d, SIGNAL(selectionFailure()), this, SIGNAL(selectionFailure()));
    connect(d, SIGNAL(selectionCanceled()), this, SIGNAL(selectionCanceled()));
}

NetworkRegistration::~NetworkRegistration() = default;

NetworkRegistration::Status NetworkRegistration::status() const { return Status(d->status); }
NetworkRegistration::RejectCode NetworkRegistration::rejectCode() const { return RejectCode(d->rejectCode); }
NetworkRegistration::Mode NetworkRegistration::mode() const { return Mode(d->mode); }
bool NetworkRegistration::isValid() const { return allValid({d->proxy}); }
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

#include "networkregistration.moc"
