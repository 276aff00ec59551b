// SPDX-License-Identifier: LGPL-2.1-or-later
// Registration and operator selection, the operator, the signal, the serving
// cell, the radio's technology and network time, from oFono's network
// registration, its operators, radio settings and network time.

#include "bridge.h"
#include "records.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusObjectPath>
#include <QTimer>

namespace {

const char BusName[] = "com.kelvo.hvt.CSNet";
const char Path[] = "/com/kelvo/hvt/csnet";
const char Modem[] = "org.ofono.Modem";
const char NetworkRegistration[] = "org.ofono.NetworkRegistration";
const char SimManager[] = "org.ofono.SimManager";
const char RadioSettings[] = "org.ofono.RadioSettings";
const char NetworkTime[] = "org.ofono.NetworkTime";
const char Interrupted[] = "com.kelvo.hvt.CSNet.Error.Interrupted";

QString registration(const Ofono *ofono)
{
    return ofono->value(QLatin1String(NetworkRegistration), QStringLiteral("Status")).toString();
}

class Registration : public BridgeService
{
public:
    Registration(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, BusName, Path, "com.kelvo.hvt.CSNet.NetworkRegistration")
    {
        errorPrefix = QStringLiteral("com.kelvo.hvt.CSNet.Error.");
    }

    void reset() override
    {
        interruptAll(QStringLiteral("The modem went away"));
        setDefaults({{QStringLiteral("RegistrationStatus"), QStringLiteral("PowerOff")},
                     {QStringLiteral("RegistrationRejectCode"), QString()},
                     {QStringLiteral("SelectionMode"), QStringLiteral("Auto")}});
    }

    void follow() override
    {
        static const QMap<QString, QString> modes{{QStringLiteral("auto"), QStringLiteral("Auto")},
                                                  {QStringLiteral("manual"), QStringLiteral("Manual")},
                                                  {QStringLiteral("auto-only"), QStringLiteral("Forced")}};
        const QString mode = ofonoValue(NetworkRegistration, "Mode").toString();
        setProperty(QStringLiteral("SelectionMode"), modes.value(mode, property(QStringLiteral("SelectionMode")).toString()));
        show(statusNow(), QString());
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (member == QLatin1String("GetNetworks")) {
            const quint64 id = ++calls;
            scans.insert(id, message);
            forward(message, NetworkRegistration, "Scan", {}, [this, message, id](const QDBusMessage &reply) {
                if (!scans.remove(id))
                    return;   // cancelled
                const QList<Network> networks = networksOf(reply);
                server->reply(message, {marshalled(networks)});
            });
            if (!ofono->ready() || !offers(NetworkRegistration))
                scans.remove(id);   // answered already
        } else if (member == QLatin1String("CancelQuery")) {
            // oFono's scan cannot be stopped: its answer is dropped.
            for (const QDBusMessage &scan : qAsConst(scans))
                server->replyError(scan, QLatin1String(Interrupted), QStringLiteral("Scan cancelled"));
            scans.clear();
            server->reply(message);
        } else if (member == QLatin1String("SelectOperator")) {
            if (signatureOf(message) != QLatin1String("ss")) {
                server->replyError(message, QStringLiteral("com.kelvo.hvt.CSNet.Error.InvalidArgs"),
                                   QStringLiteral("SelectOperator takes the MNC and the MCC"));
                return true;
            }
            const QString mnc = message.arguments().at(0).toString();
            const QString mcc = message.arguments().at(1).toString();
            select(message, ofono->modem() + QStringLiteral("/operator/") + mcc + mnc, mcc + mnc);
        } else if (member == QLatin1String("SelectAnyOperator")) {
            select(message, QString(), QString());
        } else if (member == QLatin1String("CancelRegister")) {
            // oFono's selection cannot be stopped either: it is answered as interrupted.
            if (selection.type() == QDBusMessage::MethodCallMessage)
                server->replyError(selection, QLatin1String(Interrupted), QStringLiteral("Selection cancelled"));
            selection = QDBusMessage();
            server->reply(message);
        } else {
            return false;
        }
        return true;
    }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == QLatin1String("SelectionMode"))
            emitSignal(QStringLiteral("SelectionModeChanged"), {value.toString()});
    }

private:
    // Status and reject code change together, in one "RegistrationChanged".
    void show(const QString &status, const QString &rejectCode)
    {
        if (property(QStringLiteral("RegistrationStatus")) == status && property(QStringLiteral("RegistrationRejectCode")) == rejectCode)
            return;
        store(QStringLiteral("RegistrationStatus"), status);
        store(QStringLiteral("RegistrationRejectCode"), rejectCode);
        emitSignal(QStringLiteral("RegistrationChanged"), {status, rejectCode});
    }

    QString statusNow() const
    {
        static const QMap<QString, QString> statuses{
            {QStringLiteral("registered"), QStringLiteral("Home")},
            {QStringLiteral("roaming"), QStringLiteral("Roaming")},
            {QStringLiteral("searching"), QStringLiteral("Searching")},
            {QStringLiteral("denied"), QStringLiteral("Rejected")},
        };
        if (!ofono->ready() || !ofonoValue(Modem, "Online").toBool())
            return QStringLiteral("PowerOff");
        if (offers(SimManager) && !ofonoValue(SimManager, "Present").toBool())
            return QStringLiteral("NoSim");
        if (!offers(NetworkRegistration))
            return QStringLiteral("Searching");
        return statuses.value(registration(ofono), QStringLiteral("NoCoverage"));
    }

    // oFono's operators (a(oa{sv})) as the contract's networks: the card's
    // home network is "Home", a forbidden one "Forbidden", others
    // "Preferred"; oFono tells no band.
    QList<Network> networksOf(const QDBusMessage &reply)
    {
        QList<Network> networks;
        if (reply.signature() != QLatin1String("a(oa{sv})"))
            return networks;
        const QString home = ofonoValue(SimManager, "MobileCountryCode").toString()
                             + ofonoValue(SimManager, "MobileNetworkCode").toString();
        const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
        forbidden.clear();
        arg.beginArray();
        while (!arg.atEnd()) {
            QDBusObjectPath path;
            QVariantMap op;
            arg.beginStructure();
            arg >> path >> op;
            arg.endStructure();
            static const QMap<QString, QString> availability{{QStringLiteral("current"), QStringLiteral("Current")},
                                                             {QStringLiteral("available"), QStringLiteral("Available")},
                                                             {QStringLiteral("forbidden"), QStringLiteral("Forbidden")}};
            Network network;
            network.name = op.value(QStringLiteral("Name")).toString();
            network.mcc = op.value(QStringLiteral("MobileCountryCode")).toString();
            network.mnc = op.value(QStringLiteral("MobileNetworkCode")).toString();
            network.availability = availability.value(op.value(QStringLiteral("Status")).toString(), QStringLiteral("Available"));
            network.preference = network.availability == QLatin1String("Forbidden") ? QStringLiteral("Forbidden")
                                 : network.mcc + network.mnc == home                 ? QStringLiteral("Home")
                                                                                     : QStringLiteral("Preferred");
            const QStringList technologies = op.value(QStringLiteral("Technologies")).toStringList();
            network.umts = technologies.contains(QStringLiteral("umts")) || technologies.contains(QStringLiteral("hspa"));
            if (network.availability == QLatin1String("Forbidden"))
                forbidden << network.mcc + network.mnc;
            networks << network;
        }
        arg.endArray();
        return networks;
    }

    // A manual selection (`path`, the operator's object) or an automatic one
    // (empty). A refusal is answered with the cause, which the registration
    // shows until it changes again.
    void select(const QDBusMessage &message, const QString &path, const QString &plmn)
    {
        if (selection.type() == QDBusMessage::MethodCallMessage)
            server->replyError(selection, QLatin1String(Interrupted), QStringLiteral("Another selection began"));
        selection = message;
        const quint64 id = selectionId = ++calls;
        auto done = [this, message, plmn, id](const QDBusMessage &reply) {
            if (selection.type() != QDBusMessage::MethodCallMessage || selectionId != id)
                return;   // interrupted
            selection = QDBusMessage();
            if (reply.type() != QDBusMessage::ErrorMessage) {
                server->reply(message);
                return;
            }
            // Refused, then back to what oFono has, as a modem reports it.
            const QString cause = forbidden.contains(plmn) ? QStringLiteral("PLMNNotAllowed")
                                                           : QStringLiteral("NoSuitableCellsInLocationArea");
            show(QStringLiteral("Rejected"), cause);
            server->replyError(message, QStringLiteral("com.kelvo.hvt.CSNet.Error.Rejected"), cause);
            QTimer::singleShot(0, server, [this] { follow(); });
        };
        if (!ofono->ready() || !offers(NetworkRegistration)) {
            selection = QDBusMessage();
            notSupported(message, QStringLiteral("The modem has no network registration now"));
        } else if (path.isEmpty()) {
            ofono->call(QLatin1String(NetworkRegistration), QStringLiteral("Register"), {}, done);
        } else {
            ofono->call(QStringLiteral("org.ofono.NetworkOperator"), QStringLiteral("Register"), {}, done, path);
        }
    }

    void interruptAll(const QString &why)
    {
        for (const QDBusMessage &scan : qAsConst(scans))
            server->replyError(scan, QLatin1String(Interrupted), why);
        scans.clear();
        if (selection.type() == QDBusMessage::MethodCallMessage)
            server->replyError(selection, QLatin1String(Interrupted), why);
        selection = QDBusMessage();
    }

    QMap<quint64, QDBusMessage> scans;
    QDBusMessage selection;
    quint64 selectionId = 0;
    quint64 calls = 0;
    QStringList forbidden;   // MCC and MNC of the networks the last scan found forbidden
};

// The operator while the modem has service; none out of it.
class NetworkOperator : public BridgeService
{
public:
    NetworkOperator(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, BusName, Path, "com.kelvo.hvt.CSNet.NetworkOperator")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("OperatorName"), QString()}, {QStringLiteral("OperatorMNC"), QString()},
                     {QStringLiteral("OperatorMCC"), QString()}});
    }

    void follow() override
    {
        const bool service = ofonoValue(Modem, "Online").toBool() && inService(registration(ofono));
        const QString mnc = service ? ofonoValue(NetworkRegistration, "MobileNetworkCode").toString() : QString();
        const QString mcc = service ? ofonoValue(NetworkRegistration, "MobileCountryCode").toString() : QString();
        // A new operator: its codes in one "OperatorChanged", then its name.
        if (property(QStringLiteral("OperatorMNC")) != mnc || property(QStringLiteral("OperatorMCC")) != mcc) {
            store(QStringLiteral("OperatorMNC"), mnc);
            store(QStringLiteral("OperatorMCC"), mcc);
            emitSignal(QStringLiteral("OperatorChanged"), {mnc, mcc});
        }
        setProperty(QStringLiteral("OperatorName"), service ? ofonoValue(NetworkRegistration, "Name").toString() : QString());
    }

    bool call(const QDBusMessage &) override { return false; }

protected:
    void announce(const QString &, const QVariant &value) override
    {
        emitSignal(QStringLiteral("OperatorNameChanged"), {value.toString()});
    }
};

// The signal from oFono's strength in percent: the level in dBm on the
// scale of -113 to -51, five bars.
class SignalStrength : public BridgeService
{
public:
    SignalStrength(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, BusName, Path, "com.kelvo.hvt.CSNet.SignalStrength")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("SignalBars"), 0}, {QStringLiteral("SignalPercent"), 0},
                     {QStringLiteral("SignalDecibels"), -113}});
    }

    void follow() override
    {
        const int percent = ofonoValue(Modem, "Online").toBool()
                                ? qBound(0, ofonoValue(NetworkRegistration, "Strength").toInt(), 100) : 0;
        if (percent == property(QStringLiteral("SignalPercent")).toInt())
            return;
        // The strength, then the bars if they changed, as the daemon announces them.
        store(QStringLiteral("SignalPercent"), percent);
        store(QStringLiteral("SignalDecibels"), -113 + (percent * 62 + 50) / 100);
        emitSignal(QStringLiteral("SignalStrengthChanged"), {percent, property(QStringLiteral("SignalDecibels")).toInt()});
        setProperty(QStringLiteral("SignalBars"), (percent + 19) / 20);
    }

    bool call(const QDBusMessage &) override { return false; }

protected:
    void announce(const QString &, const QVariant &value) override
    {
        emitSignal(QStringLiteral("SignalBarsChanged"), {value.toInt()});
    }
};

// The serving cell from the registration's cell fields. oFono has no cell
// name, band or cell services: they read empty, 0 and none.
class Cell : public BridgeService
{
public:
    Cell(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, BusName, Path, "com.kelvo.hvt.CSNet.NetworkCell")
    {
        registerRecords();
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("CellId"), 0}, {QStringLiteral("CellLac"), 0}, {QStringLiteral("CellType"), QString()},
                     {QStringLiteral("CellBand"), 0}, {QStringLiteral("CellName"), QString()},
                     {QStringLiteral("CellNameDisplayEnabled"), false}, {QStringLiteral("Services"), QStringList()}});
    }

    void follow() override
    {
        const bool camped = ofonoValue(Modem, "Online").toBool()
                            && (inService(registration(ofono)) || registration(ofono) == QLatin1String("denied"));
        const QString technology = ofonoValue(NetworkRegistration, "Technology").toString();
        const QString type = !camped                                                                 ? QString()
                             : technology == QLatin1String("gsm") || technology == QLatin1String("edge") ? QStringLiteral("GSM")
                                                                                                       : QStringLiteral("WCDMA");
        const int id = camped ? int(ofonoValue(NetworkRegistration, "CellId").toUInt()) : 0;
        const int lac = camped ? int(ofonoValue(NetworkRegistration, "LocationAreaCode").toUInt()) : 0;
        if (property(QStringLiteral("CellType")) != type || property(QStringLiteral("CellId")) != id
            || property(QStringLiteral("CellLac")) != lac) {
            store(QStringLiteral("CellType"), type);
            store(QStringLiteral("CellId"), id);
            store(QStringLiteral("CellLac"), lac);
            emitSignal(QStringLiteral("CellChanged"), {type, id, lac, 0});
        }
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetServices"))
            return false;
        server->reply(message, {QVariant::fromValue(ServiceMap())});
        return true;
    }
};

// The radio's technology: the selection from oFono's radio settings (where
// the modem has them), the data technology from the registration's.
class RadioAccess : public BridgeService
{
public:
    RadioAccess(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, BusName, Path, "com.kelvo.hvt.CSNet.RadioAccess")
    {
        errorPrefix = QStringLiteral("com.kelvo.hvt.CSNet.Error.");
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("SelectionMode"), QString()}, {QStringLiteral("DataTechnology"), QString()},
                     {QStringLiteral("Channel"), 0}, {QStringLiteral("RadioIdle"), true},
                     {QStringLiteral("AllocatedHSDPA"), false}, {QStringLiteral("AllocatedHSUPA"), false},
                     {QStringLiteral("SupportedModes"), QStringList()}});
    }

    void follow() override
    {
        static const QMap<QString, QString> technologies{
            {QStringLiteral("gsm"), QStringLiteral("GPRS")}, {QStringLiteral("edge"), QStringLiteral("EGPRS")},
            {QStringLiteral("umts"), QStringLiteral("UMTS")}, {QStringLiteral("hspa"), QStringLiteral("HSPA")},
            {QStringLiteral("lte"), QStringLiteral("HSPA")}};
        const bool service = ofonoValue(Modem, "Online").toBool() && inService(registration(ofono));
        QStringList supported;
        if (offers(RadioSettings)) {
            supported << QStringLiteral("Dual");
            const QStringList available = ofonoValue(RadioSettings, "AvailableTechnologies").toStringList();
            if (available.contains(QStringLiteral("gsm")))
                supported << QStringLiteral("GSM");
            if (available.contains(QStringLiteral("umts")))
                supported << QStringLiteral("UMTS");
        }
        update({{QStringLiteral("SupportedModes"), supported},
                {QStringLiteral("SelectionMode"), modeOf(ofonoValue(RadioSettings, "TechnologyPreference").toString())},
                {QStringLiteral("DataTechnology"),
                 service ? technologies.value(ofonoValue(NetworkRegistration, "Technology").toString()) : QString()}});
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("SetSelectionMode"))
            return false;
        static const QMap<QString, QString> preferences{{QStringLiteral("Dual"), QStringLiteral("any")},
                                                        {QStringLiteral("GSM"), QStringLiteral("gsm")},
                                                        {QStringLiteral("UMTS"), QStringLiteral("umts")}};
        const QString mode = message.arguments().value(0).toString();
        if (!offers(RadioSettings))
            notSupported(message, QStringLiteral("The modem has no radio settings"));
        else if (signatureOf(message) != QLatin1String("s") || !property(QStringLiteral("SupportedModes")).toStringList().contains(mode))
            server->replyError(message, QStringLiteral("com.kelvo.hvt.CSNet.Error.NotSupported"),
                               QStringLiteral("The modem has no mode \"%1\"").arg(mode));
        else
            forwardSet(message, RadioSettings, "TechnologyPreference", preferences.value(mode));
        return true;
    }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == QLatin1String("SelectionMode"))
            emitSignal(QStringLiteral("SelectionModeChanged"), {value.toString()});
        else if (name == QLatin1String("DataTechnology"))
            emitSignal(QStringLiteral("DataTechnologyChanged"), {value.toString()});
    }

private:
    static QString modeOf(const QString &preference)
    {
        if (preference == QLatin1String("gsm"))
            return QStringLiteral("GSM");
        if (preference == QLatin1String("umts"))
            return QStringLiteral("UMTS");
        return preference.isEmpty() ? QString() : QStringLiteral("Dual");
    }
};

// Network time from oFono's network time interface, where the modem has
// one; the network from the registration.
class Time : public BridgeService
{
public:
    Time(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, BusName, Path, "com.kelvo.hvt.CSNet.NetworkTime")
    {
    }

    void reset() override { setDefaults({{QStringLiteral("Network"), QStringList()}}); }

    void follow() override
    {
        if (inService(registration(ofono)))
            setProperty(QStringLiteral("Network"), QStringList{ofonoValue(NetworkRegistration, "MobileCountryCode").toString(),
                                                               ofonoValue(NetworkRegistration, "MobileNetworkCode").toString()});
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetRawNetworkTime"))
            return false;
        forward(message, NetworkTime, "GetNetworkTime", {}, [this, message](const QDBusMessage &reply) {
            QVariantMap report;
            if (reply.signature() == QLatin1String("a{sv}"))
                reply.arguments().at(0).value<QDBusArgument>() >> report;
            server->reply(message, {report});
        });
        return true;
    }

protected:
    void announce(const QString &, const QVariant &) override {}
};

} // namespace

QList<BridgeService *> createNetwork(ContractServer *server, Ofono *ofono)
{
    return {new Registration(server, ofono), new NetworkOperator(server, ofono), new SignalStrength(server, ofono),
            new Cell(server, ofono), new RadioAccess(server, ofono), new Time(server, ofono)};
}
