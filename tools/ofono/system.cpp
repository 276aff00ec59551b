// SPDX-License-Identifier: LGPL-2.1-or-later
// The system-state controller's modem interface, the radio's activity, the
// device's facts, packet data and calls, from oFono's modem, its connection
// manager and its voice call manager.

#include "bridge.h"
#include "calltimers.h"
#include "records.h"

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

    bool call(const QDBusMessage &message) override { return answerGetter(message); }
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
// and the call timers, which the bridge keeps itself (oFono keeps none).
class Calls : public WithCallTimers<BridgeService>
{
public:
    Calls(ContractServer *server, Ofono *ofono)
        : WithCallTimers(server, ofono, "com.kelvo.hvt.Call", "/com/kelvo/hvt/call", "com.kelvo.hvt.Call")
    {
    }

    void reset() override
    {
        QVariantMap defaults = timerDefaults();
        defaults.insert(QStringLiteral("InCall"), false);
        defaults.insert(QStringLiteral("Incoming"), false);
        setDefaults(defaults);
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
        update({{QStringLiteral("Incoming"), incoming && !calls.isEmpty()}, {QStringLiteral("InCall"), !calls.isEmpty()}});
        // The timers run while a call is connected.
        callConnected(active);
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetEmergencyNumbers"))
            return callTimerMethod(message);
        QList<EmergencyNumber> numbers;
        for (const QString &number : ofonoValue(CallManager, "EmergencyNumbers").toStringList())
            numbers.append({number, 0, 0});
        server->reply(message, {marshalled(numbers)});
        return true;
    }
};

} // namespace

QList<BridgeService *> createSystem(ContractServer *server, Ofono *ofono)
{
    return {new SystemState(server, ofono), new Activity(server, ofono), new Info(server, ofono),
            new Gprs(server, ofono), new Calls(server, ofono)};
}
