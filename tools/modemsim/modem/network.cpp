// SPDX-License-Identifier: LGPL-2.1-or-later
// The network side of the modem: registration and operator selection, the
// registered operator, and the signal strength.

#include "modem.h"
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


namespace {

class NetworkOperatorService : public ModemService
{
public:
    NetworkOperatorService(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, BusName, Path, OperatorInterface)
    {
        // In service the operator is the network; out of it there is none.
        QObject::connect(events, &ModemEvents::registrationChanged, sim,
                         [this](const QString &status, const QString &mcc, const QString &mnc, const QString &name) {
                             Network network;
                             if (inService(status)) {
                                 network.mcc = mcc;
                                 network.mnc = mnc;
                                 network.name = name;
                             }
                             registerTo(network);
                         });
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

class RegistrationService : public ModemService
{
public:
    RegistrationService(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, BusName, Path, RegistrationInterface)
    {
        scanTimer.setSingleShot(true);
        QObject::connect(&scanTimer, &QTimer::timeout, sim, [this] { finishScans(); });
        QObject::connect(events, &ModemEvents::radioSwitched, sim, [this](bool on, bool flight) { radioSwitched(on, flight); });
        QObject::connect(events, &ModemEvents::cardStatusChanged, sim, [this](const QString &status) { cardChanged(status); });
        QObject::connect(events, &ModemEvents::registrationFound, sim,
                         [this](const QString &status, const QString &mcc, const QString &mnc, const QString &name) {
                             Network network;
                             network.mcc = mcc;
                             network.mnc = mnc;
                             network.name = name;
                             registerTo(status, network);
                         });
    }

    void reset() override
    {
        networks = networksInRange();
        scanTimer.stop();
        for (const QDBusMessage &scan : qAsConst(scans))
            sim->replyError(scan, QLatin1String(Interrupted), QStringLiteral("The modem was reset"));
        scans.clear();
        abandonSelection("The modem was reset");
        ++selectionToken;
        current = networks.first();
        statusBeforeOff.clear();
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
            if (signatureOf(message) != QLatin1String("ss")) {
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
        if (!network.mcc.isEmpty())
            current = network;
        const QString now = property(RegistrationStatus).toString();
        if (now == QLatin1String("PowerOff") || now == QLatin1String("Offline")) {
            // With the radio off the modem finds nothing yet: this is where it
            // registers once the radio is back.
            statusBeforeOff = status;
            return;
        }
        abandonSelection("The modem registered by itself");
        ++selectionToken;
        setRegistration(status, QString(), true);
    }

private:
    // The card came ready: a modem that waited for it searches and registers
    // where it was. A card that went away leaves emergency service only.
    void cardChanged(const QString &status)
    {
        const QString now = property(RegistrationStatus).toString();
        if (now == QLatin1String("PowerOff") || now == QLatin1String("Offline"))
            return;
        if (status == QLatin1String("Ok") && now == QLatin1String("NoSim"))
            searchThen(inService(statusBeforeOff) ? statusBeforeOff : QStringLiteral("Home"));
        else if (status == QLatin1String("NoSIM") && now != QLatin1String("NoSim")) {
            statusBeforeOff = now;
            abandonSelection("The card went away");
            ++selectionToken;
            setRegistration(QStringLiteral("NoSim"), QString(), true);
        }
    }

    // The radio went off (flight mode: "Offline") or came back: the modem
    // searches, then registers where it was.
    void radioSwitched(bool on, bool flight)
    {
        const QString now = property(RegistrationStatus).toString();
        const bool off = now == QLatin1String("PowerOff") || now == QLatin1String("Offline");
        if (!on) {
            if (!off)
                statusBeforeOff = now;
            abandonSelection("The radio went off");
            ++selectionToken;
            setRegistration(flight ? QStringLiteral("Offline") : QStringLiteral("PowerOff"), QString(), true);
        } else if (off) {
            if (events->cardStatus != QLatin1String("Ok") && events->cardStatus != QLatin1String("NotReady"))
                setRegistration(QStringLiteral("NoSim"), QString(), true);
            else
                searchThen(statusBeforeOff.isEmpty() || statusBeforeOff == QLatin1String("Searching")
                               ? QStringLiteral("Home") : statusBeforeOff);
        }
    }

    // "Searching" now, `status` on the current network after the selection time.
    void searchThen(const QString &status)
    {
        abandonSelection("The modem searches again");
        setRegistration(QStringLiteral("Searching"), QString(), true);
        const quint64 token = ++selectionToken;
        QTimer::singleShot(setting(QStringLiteral("SelectionTime")), sim, [this, token, status] {
            if (token == selectionToken)
                setRegistration(status, QString(), true);
        });
    }

public:

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

    // Status and reject code change together, in one "RegistrationChanged";
    // the rest of the modem follows. `force` tells the rest also when the
    // status stays but the network may have changed.
    void setRegistration(const QString &status, const QString &rejectCode, bool force = false)
    {
        const bool same = property(RegistrationStatus) == status && property(RejectCode) == rejectCode;
        if (!same) {
            store(RegistrationStatus, status);
            store(RejectCode, rejectCode);
            announceRegistration();
        }
        if (!same || force)
            emit events->registrationChanged(status, current.mcc, current.mnc, current.name);
    }

    void finishScans()
    {
        const QVariant list = marshalled(networks);
        for (const QDBusMessage &scan : qAsConst(scans))
            sim->reply(scan, {list});
        scans.clear();
    }

    // A selection the modem gives up, because the radio went off, the card
    // went away or it registered by itself: its caller hears at once, as from
    // a modem, instead of at the call's time-out.
    void abandonSelection(const char *why)
    {
        if (selection.type() != QDBusMessage::MethodCallMessage)
            return;
        sim->replyError(selection, QLatin1String(Interrupted), QLatin1String(why));
        selection = QDBusMessage();
    }

    // Searches for a while, then registers or is refused.
    void select(const QDBusMessage &message, const QString &mode, const QString &mnc, const QString &mcc)
    {
        if (selection.type() == QDBusMessage::MethodCallMessage)
            sim->replyError(selection, QLatin1String(Interrupted), QStringLiteral("Another selection began"));
        else {
            statusBeforeSelection = property(RegistrationStatus).toString();
            modeBeforeSelection = property(SelectionMode).toString();
        }
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
            // Refused, then back on the network it had, or searching.
            setRegistration(QStringLiteral("Rejected"), cause);
            sim->replyError(call, QLatin1String(Rejected), cause);
            setProperty(SelectionMode, modeBeforeSelection);
            const QString back = inService(statusBeforeSelection) ? statusBeforeSelection : QStringLiteral("Searching");
            QTimer::singleShot(0, sim, [this, back, token = selectionToken] {
                if (token == selectionToken)
                    setRegistration(back, QString(), true);
            });
            return;
        }
        for (Network &network : networks) {
            if (network.availability == QLatin1String("Current"))
                network.availability = QStringLiteral("Available");
        }
        networks[found].availability = QStringLiteral("Current");
        current = networks[found];
        setRegistration(networks[found].preference == QLatin1String("Home") ? QStringLiteral("Home")
                                                                            : QStringLiteral("Roaming"),
                        QString(), true);
        sim->reply(call);
    }

    QList<Network> networks;
    QList<QDBusMessage> scans;
    QTimer scanTimer;
    QDBusMessage selection;
    quint64 selectionToken = 0;
    QString statusBeforeSelection;
    QString modeBeforeSelection;
    QString statusBeforeOff;   // before the radio went off or the card away
    Network current;           // the network registered last
};

class SignalStrengthService : public ModemService
{
public:
    SignalStrengthService(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, BusName, Path, "com.kelvo.hvt.CSNet.SignalStrength")
    {
        QObject::connect(&drift, &QTimer::timeout, sim, [this] { wander(); });
        QObject::connect(events, &ModemEvents::signalLevelSet, sim, [this](int dbm) { setLevel(dbm); });
        // Camped on a cell the modem reads its level; otherwise it reads nothing.
        QObject::connect(events, &ModemEvents::registrationChanged, sim, [this](const QString &status) {
            reading = camped(status);
            show(reading ? level : NoSignal);
            configure();
        });
    }

    void reset() override
    {
        level = -75;
        reading = true;
        setDefaults(levelOf(level));
        configure();
    }

    void configure() override
    {
        const int interval = setting(QStringLiteral("SignalDriftInterval"));
        if (interval > 0 && reading)
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
    // The radio environment's level: shown while the modem reads one.
    void setLevel(int dbm)
    {
        level = qBound(-113, dbm, -51);
        if (reading)
            show(level);
    }

private:
    static constexpr int NoSignal = -113;

    // A level announced as the modem would: the strength, then the bars if they changed.
    void show(int dbm)
    {
        if (dbm == property(SignalDecibels).toInt())
            return;
        const QVariantMap shown = levelOf(dbm);
        store(SignalDecibels, dbm);
        store(SignalPercent, shown.value(SignalPercent));
        announce(SignalDecibels, dbm);
        setProperty(SignalBars, shown.value(SignalBars));
    }

    // A step of a random walk.
    void wander()
    {
        setLevel(level + QRandomGenerator::global()->bounded(-3, 4));
    }

    QTimer drift;
    int level = -75;
    bool reading = true;
};

} // namespace

QList<Service *> createNetwork(Simulator *sim, ModemEvents *events)
{
    // The registration tells the others: it comes first.
    return {new RegistrationService(sim, events), new NetworkOperatorService(sim, events),
            new SignalStrengthService(sim, events)};
}
