// SPDX-License-Identifier: LGPL-2.1-or-later
// The system-state controller's modem interface, the radio's activity, the
// device's facts, packet data and calls, from oFono's modem, its connection
// manager and its voice call manager.

#include "bridge.h"
#include "records.h"

#include <QTimer>

namespace {

const char Modem[] = "org.ofono.Modem";
const char NetworkRegistration[] = "org.ofono.NetworkRegistration";
const char SimManager[] = "org.ofono.SimManager";
const char ConnectionManager[] = "org.ofono.ConnectionManager";
const char CallManager[] = "org.ofono.VoiceCallManager";

// Radio power: "RequestedMode" is what was asked (oFono's Online), the modem
// state whether the radio is up, the service level the registration's.
class SystemState : public BridgeService
{
public:
    SystemState(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, "com.kelvo.YKM.Modem", "/com/kelvo/ykm/modem", "com.kelvo.YKM.Modem")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("RequestedMode"), QStringLiteral("Inactive")},
                     {QStringLiteral("ModemState"), QStringLiteral("Inactive")},
                     {QStringLiteral("ServiceState"), QStringLiteral("NoCoverage")}});
    }

    void follow() override
    {
        const bool online = ofonoValue(Modem, "Online").toBool();
        const bool up = online && ofonoValue(Modem, "Powered").toBool();
        const QString status = ofonoValue(NetworkRegistration, "Status").toString();
        const bool card = ofonoValue(SimManager, "Present").toBool();
        const QString service = !up                                               ? QStringLiteral("NoCoverage")
                                : inService(status)                               ? QStringLiteral("Normal")
                                : !card || status == QLatin1String("denied")      ? QStringLiteral("EmergencyOnly")
                                                                                  : QStringLiteral("NoCoverage");
        // One "PropertiesChanged" with every key that changed, as the controller sends it.
        QVariantMap changed;
        const QVariantMap now{{QStringLiteral("RequestedMode"), online ? QStringLiteral("Active") : QStringLiteral("Inactive")},
                              {QStringLiteral("ModemState"), up ? QStringLiteral("Normal") : QStringLiteral("Inactive")},
                              {QStringLiteral("ServiceState"), service}};
        for (auto it = now.begin(); it != now.end(); ++it) {
            if (property(it.key()) != it.value()) {
                store(it.key(), it.value());
                changed.insert(it.key(), it.value());
            }
        }
        if (!changed.isEmpty())
            emitSignal(QStringLiteral("PropertiesChanged"), {changed});
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() == QLatin1String("GetProperties")) {
            server->reply(message, {properties()});
        } else if (message.member() == QLatin1String("RequestRadio")) {
            if (signatureOf(message) != QLatin1String("bb")) {
                server->replyError(message, QStringLiteral("com.kelvo.YKM.Modem.Error.InvalidArgs"),
                                   QStringLiteral("RequestRadio takes two booleans"));
                return true;
            }
            forwardSet(message, Modem, "Online", message.arguments().at(0).toBool());
        } else {
            return false;
        }
        return true;
    }

protected:
    QString errorFor(const QDBusMessage &error) const override
    {
        return QStringLiteral("com.kelvo.YKM.Modem.Error.") + error.errorName().section(QLatin1Char('.'), -1);
    }
};

// The radio's activity: a call, else idle (oFono does not tell signalling
// or data activity).
class Activity : public BridgeService
{
public:
    Activity(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, "com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet")
    {
    }

    void reset() override { setDefaults({{QStringLiteral("Activity"), QStringLiteral("Idle")}}); }

    void follow() override
    {
        setProperty(QStringLiteral("Activity"), ofono->calls().isEmpty() ? QStringLiteral("Idle") : QStringLiteral("Call"));
    }

    bool call(const QDBusMessage &) override { return false; }

protected:
    void announce(const QString &, const QVariant &value) override
    {
        emitSignal(QStringLiteral("ActivityChanged"), {value.toString()});
    }
};

// The device's identity and software: oFono's serial number and revision.
// oFono has no DSP version or HSxPA setting: they read empty and false.
class Info : public BridgeService
{
public:
    Info(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, "com.kelvo.hvt.Info", "/com/kelvo/hvt/info", "com.kelvo.hvt.Info")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("IMEINumber"), QString()}, {QStringLiteral("MCUSWVersion"), QString()},
                     {QStringLiteral("DSPSWVersion"), QString()}, {QStringLiteral("HSXPASetting"), false}});
    }

    void follow() override
    {
        update({{QStringLiteral("IMEINumber"), ofonoValue(Modem, "Serial").toString()},
                {QStringLiteral("MCUSWVersion"), ofonoValue(Modem, "Revision").toString()}});
    }

    bool call(const QDBusMessage &message) override
    {
        const QString name = message.member().mid(3);   // "Get..."
        if (!message.member().startsWith(QLatin1String("Get")) || !properties().contains(name))
            return false;
        server->reply(message, {property(name)});
        return true;
    }
};

// Packet data: attached as oFono's connection manager is; available while
// attached, suspended with oFono's "Suspended".
class Gprs : public BridgeService
{
public:
    Gprs(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, "com.kelvo.hvt.GPRS", "/com/kelvo/hvt/gprs", "com.kelvo.hvt.GPRS")
    {
    }

    void reset() override { setDefaults({{QStringLiteral("Attached"), false}, {QStringLiteral("Available"), false}}); }

    void follow() override
    {
        const bool attached = ofonoValue(ConnectionManager, "Attached").toBool();
        update({{QStringLiteral("Attached"), attached},
                {QStringLiteral("Available"), attached && !ofonoValue(ConnectionManager, "Suspended").toBool()}});
    }

    bool call(const QDBusMessage &) override { return false; }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name != QLatin1String("Available"))
            return;
        if (value.toBool())
            emitSignal(QStringLiteral("Available"), {});
        else
            emitSignal(QStringLiteral("Suspended"), {0u, QStringLiteral("Suspended by the network")});
    }
};

// Calls: whether there is one and whether it came in, the emergency numbers,
// and the call timers, which the bridge keeps itself (oFono keeps none):
// seconds of the last call, of dialled and received calls and in all.
class Calls : public BridgeService
{
public:
    Calls(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, "com.kelvo.hvt.Call", "/com/kelvo/hvt/call", "com.kelvo.hvt.Call")
    {
        QObject::connect(&clock, &QTimer::timeout, server, [this] { tick(); });
    }

    void reset() override
    {
        clock.stop();
        setDefaults({{QStringLiteral("InCall"), false}, {QStringLiteral("Incoming"), false},
                     {QStringLiteral("CallUpdateTime"), 1u}, {QStringLiteral("Last"), 0u},
                     {QStringLiteral("Dialled"), 0u}, {QStringLiteral("Received"), 0u}, {QStringLiteral("Total"), 0u}});
    }

    void follow() override
    {
        const auto calls = ofono->calls();
        bool active = false;
        bool incoming = property(QStringLiteral("Incoming")).toBool();
        for (const QVariantMap &call : calls) {
            const QString state = call.value(QStringLiteral("State")).toString();
            active = active || state == QLatin1String("active") || state == QLatin1String("held");
            if (state == QLatin1String("incoming") || state == QLatin1String("waiting"))
                incoming = true;
            else if (state == QLatin1String("dialing") || state == QLatin1String("alerting"))
                incoming = false;
        }
        if (calls.isEmpty())
            incoming = false;
        update({{QStringLiteral("Incoming"), incoming}, {QStringLiteral("InCall"), !calls.isEmpty()}});
        // The timers run while a call is connected.
        if (active && !clock.isActive()) {
            store(QStringLiteral("Last"), 0u);
            seconds = 0;
            clock.start(1000);
        } else if (!active && clock.isActive()) {
            clock.stop();
            emitSignal(QStringLiteral("CallTimers"), timers());
        }
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (member == QLatin1String("GetEmergencyNumbers")) {
            QList<EmergencyNumber> numbers;
            for (const QString &number : ofonoValue(CallManager, "EmergencyNumbers").toStringList())
                numbers.append({number, 0, 0});
            server->reply(message, {marshalled(numbers)});
        } else if (member == QLatin1String("GetCallTimers")) {
            server->reply(message, timers());
        } else if (member == QLatin1String("ClearCallTimers")) {
            for (const char *name : {"Last", "Dialled", "Received", "Total"})
                store(QLatin1String(name), 0u);
            server->reply(message);
        } else if (member == QLatin1String("SetCallUpdateTime") && signatureOf(message) == QLatin1String("u")) {
            store(QStringLiteral("CallUpdateTime"), message.arguments().at(0).toUInt());
            server->reply(message);
        } else if (member == QLatin1String("GetCallUpdateTime")) {
            server->reply(message, {property(QStringLiteral("CallUpdateTime")).toUInt()});
        } else {
            return false;
        }
        return true;
    }

private:
    QVariantList timers() const
    {
        return {property(QStringLiteral("Last")).toUInt(), property(QStringLiteral("Dialled")).toUInt(),
                property(QStringLiteral("Received")).toUInt(), property(QStringLiteral("Total")).toUInt()};
    }

    void tick()
    {
        const QString direction = property(QStringLiteral("Incoming")).toBool() ? QStringLiteral("Received")
                                                                                : QStringLiteral("Dialled");
        for (const QString &name : {QStringLiteral("Last"), direction, QStringLiteral("Total")})
            store(name, property(name).toUInt() + 1);
        if (++seconds % qMax(1u, property(QStringLiteral("CallUpdateTime")).toUInt()) == 0)
            emitSignal(QStringLiteral("CallTimers"), timers());
    }

    QTimer clock;
    uint seconds = 0;
};

} // namespace

QList<BridgeService *> createSystem(ContractServer *server, Ofono *ofono)
{
    return {new SystemState(server, ofono), new Activity(server, ofono), new Info(server, ofono),
            new Gprs(server, ofono), new Calls(server, ofono)};
}
