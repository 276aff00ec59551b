// SPDX-License-Identifier: LGPL-2.1-or-later
// The modem itself and its radio: emergency numbers, call timers that run
// during a simulated call (property "InCall" of com.kelvo.hvt.Call, or
// "ctl call start|end"), IMEI and software versions, radio mode and data
// technology, packet data, the serving cell, and network time reports.

#include "calltimers.h"
#include "modem.h"
#include "simulator.h"

#include <QDateTime>
#include <QTimer>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>

namespace {

const char CSNetBus[] = "com.kelvo.hvt.CSNet";
const char CSNetPath[] = "/com/kelvo/hvt/csnet";

} // namespace

namespace {

// ---- Calls: emergency numbers and call timers ----

class CallService : public WithCallTimers<ModemService>
{
public:
    CallService(Simulator *sim, ModemEvents *events)
        : WithCallTimers(sim, events, "com.kelvo.hvt.Call", "/com/kelvo/hvt/call", "com.kelvo.hvt.Call")
    {
    }

    void reset() override
    {
        QVariantMap defaults = timerDefaults();
        defaults.insert(QStringLiteral("InCall"), false);
        defaults.insert(QStringLiteral("Incoming"), false);
        setDefaults(defaults);
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetEmergencyNumbers"))
            return callTimerMethod(message);
        sim->reply(message, {marshalled(emergencyNumbers())});
        return true;
    }

protected:
    // A call starts or ends: the radio is busy with it and the timers run.
    void announce(const QString &name, const QVariant &value) override
    {
        if (name != QLatin1String("InCall"))
            return;
        emit events->callActive(value.toBool());
        callConnected(value.toBool());
    }

private:
    // The modem's own numbers without a SIM (3GPP TS 22.101); with one, 112, 911 and the card's.
    QList<EmergencyNumber> emergencyNumbers() const
    {
        if (events->cardStatus == QLatin1String("NoSIM")) {
            QList<EmergencyNumber> list;
            for (const char *n : {"112", "911", "000", "08", "110", "118", "119", "999"})
                list.append({QLatin1String(n), 0, 0});
            return list;
        }
        return {{QStringLiteral("112"), 0, 0}, {QStringLiteral("911"), 0, 0}, {QStringLiteral("10022"), 0x01, 1}};
    }

};

// ---- IMEI and software versions ----

class InfoService : public ModemService
{
public:
    InfoService(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, "com.kelvo.hvt.Info", "/com/kelvo/hvt/info", "com.kelvo.hvt.Info")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("IMEINumber"), QStringLiteral("356938035643809")},
                     {QStringLiteral("MCUSWVersion"), QStringLiteral("ONDRIX-MCU 2.4.1")},
                     {QStringLiteral("DSPSWVersion"), QStringLiteral("ONDRIX-DSP 1.9.0")},
                     {QStringLiteral("HSXPASetting"), true}});
    }

    bool call(const QDBusMessage &message) override { return answerGetter(message); }
};

// ---- Radio access and packet data ----

class RadioAccessService : public ModemService
{
public:
    RadioAccessService(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, CSNetBus, CSNetPath, "com.kelvo.hvt.CSNet.RadioAccess")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("SelectionMode"), QStringLiteral("Dual")},
                     {QStringLiteral("DataTechnology"), QStringLiteral("HSPA")},
                     {QStringLiteral("Channel"), 10700},
                     {QStringLiteral("RadioIdle"), true},
                     {QStringLiteral("AllocatedHSDPA"), false},
                     {QStringLiteral("AllocatedHSUPA"), false},
                     {QStringLiteral("SupportedModes"), QStringList{QStringLiteral("Dual"), QStringLiteral("GSM"),
                                                                    QStringLiteral("UMTS")}}});
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("SetSelectionMode"))
            return false;
        const QString mode = message.arguments().value(0).toString();
        if (signatureOf(message) != QLatin1String("s")
            || !property(QStringLiteral("SupportedModes")).toStringList().contains(mode)) {
            sim->replyError(message, QStringLiteral("com.kelvo.hvt.CSNet.Error.NotSupported"),
                            QStringLiteral("The modem has no mode \"%1\"").arg(mode));
            return true;
        }
        sim->reply(message);
        setProperty(QStringLiteral("SelectionMode"), mode);
        // 2G brings EDGE on a GSM channel, 3G HSPA on a UMTS one.
        const bool twoG = mode == QLatin1String("GSM");
        setProperty(QStringLiteral("DataTechnology"), twoG ? QStringLiteral("EGPRS") : QStringLiteral("HSPA"));
        setProperty(QStringLiteral("Channel"), twoG ? 62 : 10700);
        return true;
    }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == QLatin1String("SelectionMode"))
            emitSignal(QStringLiteral("SelectionModeChanged"), {value.toString()});
        else if (name == QLatin1String("DataTechnology"))
            emitSignal(QStringLiteral("DataTechnologyChanged"), {value.toString()});
        else if (name == QLatin1String("Channel"))
            emitSignal(QStringLiteral("ChannelChanged"), {value.toInt()});
        else if (name == QLatin1String("RadioIdle") || name.startsWith(QLatin1String("Allocated"))) {
            emitSignal(QStringLiteral("RadioIdle"), {property(QStringLiteral("RadioIdle")).toBool(),
                                                     property(QStringLiteral("AllocatedHSDPA")).toBool(),
                                                     property(QStringLiteral("AllocatedHSUPA")).toBool()});
        }
    }
};

class GprsService : public ModemService
{
public:
    GprsService(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, "com.kelvo.hvt.GPRS", "/com/kelvo/hvt/gprs", "com.kelvo.hvt.GPRS")
    {
        // Packet data needs service: it goes with it and comes back with it.
        QObject::connect(events, &ModemEvents::registrationChanged, sim, [this](const QString &status) {
            const bool up = inService(status);
            if (up != property(QStringLiteral("Attached")).toBool()) {
                store(QStringLiteral("Attached"), up);
                if (up)
                    setProperty(QStringLiteral("Available"), true);
                else if (property(QStringLiteral("Available")).toBool()) {
                    store(QStringLiteral("Available"), false);
                    emitSignal(QStringLiteral("Suspended"), {5u, QStringLiteral("No service")});
                }
            }
        });
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("Attached"), true}, {QStringLiteral("Available"), true}});
    }

    bool call(const QDBusMessage &) override { return false; }

protected:
    // Packet data comes back, or the network suspends it (cause 8).
    void announce(const QString &name, const QVariant &value) override
    {
        if (name != QLatin1String("Available"))
            return;
        if (value.toBool())
            emitSignal(QStringLiteral("Available"), {});
        else
            emitSignal(QStringLiteral("Suspended"), {8u, QStringLiteral("Suspended by the network")});
    }
};

// ---- The serving cell ----

class CellService : public ModemService
{
public:
    CellService(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, CSNetBus, CSNetPath, "com.kelvo.hvt.CSNet.NetworkCell")
    {
        registerRecords();
        // Camped, the modem serves from its cell; otherwise it has none.
        QObject::connect(events, &ModemEvents::registrationChanged, sim, [this](const QString &status) {
            if (camped(status) == onCell)
                return;
            onCell = camped(status);
            if (!onCell)
                servingCell = properties();
            show(onCell ? servingCell : noCell());
        });
    }

    // A WCDMA cell in central Helsinki.
    void reset() override
    {
        onCell = true;
        setDefaults({{QStringLiteral("CellId"), 6699}, {QStringLiteral("CellLac"), 3841},
                     {QStringLiteral("CellType"), QStringLiteral("WCDMA")}, {QStringLiteral("CellBand"), 1},
                     {QStringLiteral("CellName"), QStringLiteral("Kamppi")},
                     {QStringLiteral("CellNameDisplayEnabled"), false},
                     {QStringLiteral("Services"), QStringList{QStringLiteral("HasCSServices"),
                                                              QStringLiteral("HasGPRSServices"),
                                                              QStringLiteral("SupportsHSDPA"),
                                                              QStringLiteral("SupportsHSUPA")}}});
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetServices"))
            return false;
        sim->reply(message, {QVariant::fromValue(services())});
        return true;
    }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == QLatin1String("CellName")) {
            emitSignal(QStringLiteral("CellNameChanged"), {value.toString()});
        } else if (name == QLatin1String("CellNameDisplayEnabled")) {
            emitSignal(QStringLiteral("CellNameDisplayEnabledChanged"), {value.toBool()});
        } else if (name == QLatin1String("Services")) {
            emitSignal(QStringLiteral("ServicesChanged"), {QVariant::fromValue(services())});
        } else if (name.startsWith(QLatin1String("Cell"))) {
            emitSignal(QStringLiteral("CellChanged"),
                       {property(QStringLiteral("CellType")).toString(), property(QStringLiteral("CellId")).toInt(),
                        property(QStringLiteral("CellLac")).toInt(), property(QStringLiteral("CellBand")).toInt()});
        }
    }

private:
    QVariantMap noCell() const
    {
        return {{QStringLiteral("CellId"), 0}, {QStringLiteral("CellLac"), 0}, {QStringLiteral("CellType"), QString()},
                {QStringLiteral("CellBand"), 0}, {QStringLiteral("CellName"), QString()},
                {QStringLiteral("Services"), QStringList()}};
    }

    // Another cell, announced as the modem does: the identity once, then the
    // name and the services where they changed.
    void show(const QVariantMap &cell)
    {
        bool identity = false;
        for (const char *key : {"CellId", "CellLac", "CellType", "CellBand"}) {
            const QString name = QLatin1String(key);
            identity = identity || property(name) != cell.value(name);
            store(name, cell.value(name));
        }
        if (identity)
            announce(QStringLiteral("CellId"), property(QStringLiteral("CellId")));
        setProperty(QStringLiteral("CellName"), cell.value(QStringLiteral("CellName")));
        setProperty(QStringLiteral("Services"), cell.value(QStringLiteral("Services")));
    }

    bool onCell = true;
    QVariantMap servingCell;

    // The property lists the services offered; on the wire every known one is a flag.
    ServiceMap services() const
    {
        ServiceMap map;
        const QStringList offered = property(QStringLiteral("Services")).toStringList();
        for (const char *key : {"HasCSServices", "HasGPRSServices", "SupportsGPRS", "SupportsEGPRS", "SupportsDTM",
                                "SupportsHSDPA", "SupportsHSUPA"})
            map.insert(QLatin1String(key), offered.contains(QLatin1String(key)));
        return map;
    }
};

// ---- Network time ----

// Local time zone of a country, in quarter hours east of UTC.
int zoneOf(const QString &mcc)
{
    if (mcc == QLatin1String("240"))
        return 4;   // Sweden
    if (mcc.startsWith(QLatin1String("31")))
        return -20; // the United States, eastern
    return 8;       // Finland and Estonia
}

class TimeService : public ModemService
{
public:
    TimeService(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, CSNetBus, CSNetPath, "com.kelvo.hvt.CSNet.NetworkTime")
    {
        // Registering with another network brings its time report.
        QObject::connect(events, &ModemEvents::registrationChanged, sim,
                         [this](const QString &status, const QString &mcc, const QString &mnc) {
                             if (inService(status) && !mcc.isEmpty())
                                 setProperty(QStringLiteral("Network"), QStringList{mcc, mnc});
                         });
    }

    // The network that sent the time: its country and network codes.
    void reset() override
    {
        setDefaults({{QStringLiteral("Network"), QStringList{QStringLiteral("244"), QStringLiteral("05")}}});
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetRawNetworkTime"))
            return false;
        sim->reply(message, {report()});
        return true;
    }

protected:
    // Registering with another network brings its time report.
    void announce(const QString &, const QVariant &) override
    {
        emitSignal(QStringLiteral("RawNetworkTimeChanged"), {report()});
    }

private:
    QVariantMap report() const
    {
        const qint64 ms = QDateTime::currentMSecsSinceEpoch();
        const QStringList network = property(QStringLiteral("Network")).toStringList();
        const QString mcc = network.value(0);
        return {{QStringLiteral("Timezone"), zoneOf(mcc)}, {QStringLiteral("UTC"), ms / 1000},
                {QStringLiteral("DST"), 0u}, {QStringLiteral("MobileCountryCode"), mcc},
                {QStringLiteral("MobileNetworkCode"), network.value(1)},
                {QStringLiteral("ReceivedSecs"), ms / 1000}, {QStringLiteral("ReceivedNSecs"), (ms % 1000) * 1000000}};
    }
};

} // namespace

QList<Service *> createDevice(Simulator *sim, ModemEvents *events)
{
    return {new CallService(sim, events), new InfoService(sim, events), new RadioAccessService(sim, events), new GprsService(sim, events),
            new CellService(sim, events), new TimeService(sim, events)};
}
