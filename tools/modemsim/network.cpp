// SPDX-License-Identifier: LGPL-2.1-or-later
// The network side of the modem: registration and operator selection, the
// registered operator, and the signal strength.

#include "service.h"
#include "simulator.h"

#include <QRandomGenerator>
#include <QTimer>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>

namespace {

const char BusName[] = "com.kelvo.hvt.CSNet";
const char Path[] = "/com/kelvo/hvt/csnet";
const char RegistrationInterface[] = "com.kelvo.hvt.CSNet.NetworkRegistration";
const char OperatorInterface[] = "com.kelvo.hvt.CSNet.NetworkOperator";
const char Interrupted[] = "com.kelvo.hvt.CSNet.Error.Interrupted";
const char Rejected[] = "com.kelvo.hvt.CSNet.Error.Rejected";

// Property names of the three interfaces.
const QString RegistrationStatus = QStringLiteral("RegistrationStatus");
const QString RejectCode = QStringLiteral("RegistrationRejectCode");
const QString SelectionMode = QStringLiteral("SelectionMode");
const QString OperatorName = QStringLiteral("OperatorName");
const QString OperatorMnc = QStringLiteral("OperatorMNC");
const QString OperatorMcc = QStringLiteral("OperatorMCC");
const QString SignalBars = QStringLiteral("SignalBars");
const QString SignalPercent = QStringLiteral("SignalPercent");
const QString SignalDecibels = QStringLiteral("SignalDecibels");

// The networks a phone in Helsinki might see.
QList<Network> networksInRange()
{
    return {
        {QStringLiteral("Ondrix Mobile"), QStringLiteral("Current"), QStringLiteral("Home"),
         QStringLiteral("GSM_900_1800"), QStringLiteral("05"), QStringLiteral("244"), true},
        {QStringLiteral("Nordic Wave"), QStringLiteral("Available"), QStringLiteral("Preferred"),
         QStringLiteral("AllSupported"), QStringLiteral("91"), QStringLiteral("244"), true},
        {QStringLiteral("Baltic Link"), QStringLiteral("Available"), QStringLiteral("Preferred"),
         QStringLiteral("GSM_900_1800"), QStringLiteral("01"), QStringLiteral("248"), false},
        {QStringLiteral("Tundra Telecom"), QStringLiteral("Forbidden"), QStringLiteral("Forbidden"),
         QStringLiteral("GSM_850_1900"), QStringLiteral("12"), QStringLiteral("244"), false},
    };
}

} // namespace

Q_DECLARE_METATYPE(Network)
Q_DECLARE_METATYPE(QList<Network>)

QDBusArgument &operator<<(QDBusArgument &arg, const Network &n)
{
    arg.beginStructure();
    arg << n.name << n.availability << n.preference << n.band << n.mnc << n.mcc << n.umts;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, Network &n)
{
    arg.beginStructure();
    arg >> n.name >> n.availability >> n.preference >> n.band >> n.mnc >> n.mcc >> n.umts;
    arg.endStructure();
    return arg;
}

QVariant marshalled(const QList<Network> &networks)
{
    qDBusRegisterMetaType<Network>();
    qDBusRegisterMetaType<QList<Network>>();
    return QVariant::fromValue(networks);
}

namespace {

class NetworkOperatorService : public Service
{
public:
    explicit NetworkOperatorService(Simulator *sim)
        : Service(sim, BusName, Path, OperatorInterface)
    {
    }

    void reset() override
    {
        const Network home = networksInRange().first();
        setDefaults({
            {OperatorName, home.name},
            {OperatorMnc, home.mnc},
            {OperatorMcc, home.mcc},
        });
    }

    bool call(const QDBusMessage &) override { return false; }

    // A new operator: its codes in one "OperatorChanged", then its name.
    void registerTo(const Network &network)
    {
        if (property(OperatorMnc) != network.mnc
            || property(OperatorMcc) != network.mcc) {
            store(OperatorMnc, network.mnc);
            store(OperatorMcc, network.mcc);
            announceCodes();
            networkRegistered(sim, network.mcc, network.mnc);
        }
        setProperty(OperatorName, network.name);
    }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == OperatorName)
            emitSignal(QStringLiteral("OperatorNameChanged"), {value.toString()});
        else if (name == OperatorMnc || name == OperatorMcc)
            announceCodes();
    }

private:
    void announceCodes()
    {
        emitSignal(QStringLiteral("OperatorChanged"),
                   {property(OperatorMnc).toString(),
                    property(OperatorMcc).toString()});
    }
};

class RegistrationService : public Service
{
public:
    explicit RegistrationService(Simulator *sim)
        : Service(sim, BusName, Path, RegistrationInterface)
    {
        scanTimer.setSingleShot(true);
        QObject::connect(&scanTimer, &QTimer::timeout, sim, [this] { finishScans(); });
    }

    void reset() override
    {
        networks = networksInRange();
        scanTimer.stop();
        scans.clear();
        selection = QDBusMessage();
        ++selectionToken;
        setDefaults({
            {RegistrationStatus, QStringLiteral("Home")},
            {RejectCode, QString()},
            {SelectionMode, QStringLiteral("Auto")},
        });
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (member == QLatin1String("GetNetworks")) {
            scans << message;
            if (!scanTimer.isActive())
                scanTimer.start(setting(QStringLiteral("ScanTime")));
        } else if (member == QLatin1String("CancelQuery")) {
            scanTimer.stop();
            for (const QDBusMessage &scan : qAsConst(scans))
                sim->replyError(scan, QLatin1String(Interrupted), QStringLiteral("Scan cancelled"));
            scans.clear();
            sim->reply(message);
        } else if (member == QLatin1String("SelectOperator")) {
            if (message.signature() != QLatin1String("ss")) {
                sim->replyError(message, QStringLiteral("com.kelvo.hvt.CSNet.Error.InvalidArgs"),
                                QStringLiteral("SelectOperator takes the MNC and the MCC"));
                return true;
            }
            const QVariantList args = message.arguments();
            select(message, QStringLiteral("Manual"), args.at(0).toString(), args.at(1).toString());
        } else if (member == QLatin1String("SelectAnyOperator")) {
            const Network home = networksInRange().first();
            select(message, QStringLiteral("Auto"), home.mnc, home.mcc);
        } else if (member == QLatin1String("CancelRegister")) {
            if (selection.type() == QDBusMessage::MethodCallMessage) {
                sim->replyError(selection, QLatin1String(Interrupted), QStringLiteral("Selection cancelled"));
                selection = QDBusMessage();
                ++selectionToken;
                setRegistration(statusBeforeSelection, QString());
            }
            sim->reply(message);
        } else {
            return false;
        }
        return true;
    }

    // The modem finds itself registered (or not) without being asked: it
    // moved, lost coverage or found it again. With a network given, the
    // operator follows.
    void registerTo(const QString &status, const Network &network)
    {
        if (!network.mcc.isEmpty()) {
            static_cast<NetworkOperatorService *>(sim->service(QLatin1String(OperatorInterface)))
                ->registerTo(network);
        }
        setRegistration(status, QString());
    }

    // The SIM card came ready: a modem that waited for it registers at home.
    void simReady()
    {
        if (property(RegistrationStatus) != QLatin1String("NoSim"))
            return;
        setRegistration(QStringLiteral("Searching"), QString());
        const quint64 token = ++selectionToken;
        QTimer::singleShot(setting(QStringLiteral("SelectionTime")), sim, [this, token] {
            const Network home = networksInRange().first();
            if (token == selectionToken)
                registerNetwork(sim, QStringLiteral("Home"), home.mcc, home.mnc, home.name);
        });
    }

    // The radio went off or came back.
    void radioSwitched(bool on)
    {
        if (!on) {
            statusBeforeOff = property(RegistrationStatus).toString();
            setRegistration(QStringLiteral("PowerOff"), QString());
        } else if (property(RegistrationStatus) == QLatin1String("PowerOff")) {
            setRegistration(statusBeforeOff.isEmpty() ? QStringLiteral("Home") : statusBeforeOff, QString());
        }
    }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == SelectionMode)
            emitSignal(QStringLiteral("SelectionModeChanged"), {value.toString()});
        else
            announceRegistration();
    }

private:
    void announceRegistration()
    {
        emitSignal(QStringLiteral("RegistrationChanged"),
                   {property(RegistrationStatus).toString(),
                    property(RejectCode).toString()});
    }

    // Status and reject code change together, in one "RegistrationChanged".
    void setRegistration(const QString &status, const QString &rejectCode)
    {
        if (property(RegistrationStatus) == status
            && property(RejectCode) == rejectCode)
            return;
        store(RegistrationStatus, status);
        store(RejectCode, rejectCode);
        announceRegistration();
    }

    void finishScans()
    {
        const QVariant list = marshalled(networks);
        for (const QDBusMessage &scan : qAsConst(scans))
            sim->reply(scan, {list});
        scans.clear();
    }

    // Searches for a while, then registers or is refused.
    void select(const QDBusMessage &message, const QString &mode, const QString &mnc, const QString &mcc)
    {
        if (selection.type() == QDBusMessage::MethodCallMessage)
            sim->replyError(selection, QLatin1String(Interrupted), QStringLiteral("Another selection began"));
        else
            statusBeforeSelection = property(RegistrationStatus).toString();
        selection = message;
        const quint64 token = ++selectionToken;
        setProperty(SelectionMode, mode);
        setRegistration(QStringLiteral("Searching"), QString());
        QTimer::singleShot(setting(QStringLiteral("SelectionTime")), sim, [this, token, mnc, mcc] {
            if (token == selectionToken)
                finishSelection(mnc, mcc);
        });
    }

    void finishSelection(const QString &mnc, const QString &mcc)
    {
        const QDBusMessage call = selection;
        selection = QDBusMessage();
        int found = -1;
        for (int i = 0; i < networks.size(); i++) {
            if (networks[i].mnc == mnc && networks[i].mcc == mcc)
                found = i;
        }
        QString cause;
        if (found < 0)
            cause = QStringLiteral("NoSuitableCellsInLocationArea");
        else if (networks[found].availability == QLatin1String("Forbidden"))
            cause = QStringLiteral("PLMNNotAllowed");
        if (!cause.isEmpty()) {
            setRegistration(statusBeforeSelection, cause);
            sim->replyError(call, QLatin1String(Rejected), cause);
            return;
        }
        for (Network &network : networks) {
            if (network.availability == QLatin1String("Current"))
                network.availability = QStringLiteral("Available");
        }
        networks[found].availability = QStringLiteral("Current");
        static_cast<NetworkOperatorService *>(sim->service(QLatin1String(OperatorInterface)))
            ->registerTo(networks[found]);
        setRegistration(networks[found].preference == QLatin1String("Home") ? QStringLiteral("Home")
                                                                            : QStringLiteral("Roaming"),
                        QString());
        sim->reply(call);
    }

    QList<Network> networks;
    QList<QDBusMessage> scans;
    QTimer scanTimer;
    QDBusMessage selection;
    quint64 selectionToken = 0;
    QString statusBeforeSelection;
    QString statusBeforeOff;
};

class SignalStrengthService : public Service
{
public:
    explicit SignalStrengthService(Simulator *sim)
        : Service(sim, BusName, Path, "com.kelvo.hvt.CSNet.SignalStrength")
    {
        QObject::connect(&drift, &QTimer::timeout, sim, [this] { wander(); });
    }

    void reset() override
    {
        setDefaults(levelOf(-75));
        configure();
    }

    void configure() override
    {
        const int interval = setting(QStringLiteral("SignalDriftInterval"));
        if (interval > 0)
            drift.start(interval);
        else
            drift.stop();
    }

    bool call(const QDBusMessage &) override { return false; }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == SignalBars) {
            emitSignal(QStringLiteral("SignalBarsChanged"), {value.toInt()});
        } else {
            emitSignal(QStringLiteral("SignalStrengthChanged"),
                       {property(SignalPercent).toInt(),
                        property(SignalDecibels).toInt()});
        }
    }

private:
    // Bars (0-5) and percent of a level between -113 and -51 dBm.
    static QVariantMap levelOf(int dbm)
    {
        const int percent = (dbm + 113) * 100 / 62;
        return {
            {SignalDecibels, dbm},
            {SignalPercent, percent},
            {SignalBars, (percent + 19) / 20},
        };
    }

public:
    // A new level, announced as the modem would: the strength, then the bars if they changed.
    void setLevel(int dbm)
    {
        dbm = qBound(-113, dbm, -51);
        if (dbm == property(SignalDecibels).toInt())
            return;
        const QVariantMap level = levelOf(dbm);
        store(SignalDecibels, dbm);
        store(SignalPercent, level.value(SignalPercent));
        announce(SignalDecibels, dbm);
        setProperty(SignalBars, level.value(SignalBars));
    }

private:
    // A step of a random walk.
    void wander()
    {
        setLevel(property(SignalDecibels).toInt() + QRandomGenerator::global()->bounded(-3, 4));
    }

    QTimer drift;
};

} // namespace

Service *createNetworkRegistration(Simulator *sim)
{
    return new RegistrationService(sim);
}

Service *createNetworkOperator(Simulator *sim)
{
    return new NetworkOperatorService(sim);
}

Service *createSignalStrength(Simulator *sim)
{
    return new SignalStrengthService(sim);
}

void radioSwitched(Simulator *sim, bool on)
{
    if (Service *registration = sim->service(QLatin1String(RegistrationInterface)))
        static_cast<RegistrationService *>(registration)->radioSwitched(on);
}

void setSignalLevel(Simulator *sim, int dbm)
{
    if (Service *strength = sim->service(QStringLiteral("com.kelvo.hvt.CSNet.SignalStrength")))
        static_cast<SignalStrengthService *>(strength)->setLevel(dbm);
}

void registerNetwork(Simulator *sim, const QString &status, const QString &mcc, const QString &mnc,
                     const QString &name)
{
    Network network;
    network.mcc = mcc;
    network.mnc = mnc;
    network.name = name;
    if (Service *registration = sim->service(QLatin1String(RegistrationInterface)))
        static_cast<RegistrationService *>(registration)->registerTo(status, network);
    // The system state's service follows: full at home or abroad, emergency
    // calls only where the network refuses the card, none without a network.
    Service *modem = sim->service(QStringLiteral("com.kelvo.YKM.Modem"));
    if (!modem || modem->property(QStringLiteral("ModemState")) != QLatin1String("Normal"))
        return;
    const QString service = status == QLatin1String("Home") || status == QLatin1String("Roaming") ? QStringLiteral("Normal")
        : status == QLatin1String("NoSim") || status == QLatin1String("Rejected") ? QStringLiteral("EmergencyOnly")
                                                                                    : QStringLiteral("NoCoverage");
    modem->setProperty(QStringLiteral("ServiceState"), service);
}

void simReady(Simulator *sim)
{
    if (Service *registration = sim->service(QLatin1String(RegistrationInterface)))
        static_cast<RegistrationService *>(registration)->simReady();
}
