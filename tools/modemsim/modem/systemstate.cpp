// SPDX-License-Identifier: LGPL-2.1-or-later
// The system-state controller's modem interface: radio power and service level.

#include "modem.h"
#include "simulator.h"

#include <QTimer>

namespace {

class SystemState : public ModemService
{
public:
    SystemState(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, "com.kelvo.YKM.Modem", "/com/kelvo/ykm/modem", "com.kelvo.YKM.Modem")
    {
        QObject::connect(events, &ModemEvents::registrationChanged, sim, [this](const QString &status) { follow(status); });
        QObject::connect(events, &ModemEvents::flightModeSet, sim, [this](bool on) { setFlightMode(on); });
    }

    void reset() override
    {
        setDefaults({
            {QStringLiteral("RequestedMode"), QStringLiteral("Active")},
            {QStringLiteral("ModemState"), QStringLiteral("Normal")},
            {QStringLiteral("ServiceState"), QStringLiteral("Normal")},
        });
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (member == QLatin1String("GetProperties")) {
            sim->reply(message, {properties()});
        } else if (member == QLatin1String("RequestRadio")) {
            if (signatureOf(message) != QLatin1String("bb")) {
                sim->replyError(message, QStringLiteral("com.kelvo.YKM.Modem.Error.InvalidArgs"),
                                QStringLiteral("RequestRadio takes two booleans"));
                return true;
            }
            sim->reply(message);
            requestRadio(message.arguments().at(0).toBool());
        } else {
            return false;
        }
        return true;
    }

protected:
    // Every change goes out as a "PropertiesChanged" holding just that key.
    void announce(const QString &name, const QVariant &value) override
    {
        emitSignal(QStringLiteral("PropertiesChanged"), {QVariantMap{{name, value}}});
    }

private:
    // The request is acknowledged at once; the radio follows after the switch
    // time. Switched on, the modem has no service until it registers.
    void requestRadio(bool on)
    {
        setProperty(QStringLiteral("RequestedMode"),
                    on ? QStringLiteral("Active") : QStringLiteral("Inactive"));
        const quint64 token = ++switches;
        QTimer::singleShot(setting(QStringLiteral("RadioSwitchTime")), sim, [this, on, token] {
            if (token == switches)
                switchRadio(on, false);
        });
    }

    void switchRadio(bool on, bool flight)
    {
        QVariantMap changed{
            {QStringLiteral("ModemState"), on ? QStringLiteral("Normal") : QStringLiteral("Inactive")},
            {QStringLiteral("ServiceState"), QStringLiteral("NoCoverage")},
        };
        if (flight || on)
            changed.insert(QStringLiteral("RequestedMode"), on ? QStringLiteral("Active") : QStringLiteral("Inactive"));
        for (auto it = changed.begin(); it != changed.end();) {
            if (property(it.key()) == it.value()) {
                it = changed.erase(it);
            } else {
                store(it.key(), it.value());
                ++it;
            }
        }
        if (!changed.isEmpty())
            emitSignal(QStringLiteral("PropertiesChanged"), {changed});
        emit events->radioSwitched(on, flight);
    }

    // Flight mode: the controller takes the radio down at once, and brings it back.
    void setFlightMode(bool on)
    {
        ++switches;
        switchRadio(!on, on);
    }

    // The service level follows the registration while the modem is up: full
    // at home or abroad, emergency calls only where the network refuses the
    // card, none without a network.
    void follow(const QString &status)
    {
        if (property(QStringLiteral("ModemState")) != QLatin1String("Normal"))
            return;
        setProperty(QStringLiteral("ServiceState"),
                    inService(status) ? QStringLiteral("Normal")
                    : status == QLatin1String("NoSim") || status == QLatin1String("Rejected") ? QStringLiteral("EmergencyOnly")
                                                                                               : QStringLiteral("NoCoverage"));
    }

    quint64 switches = 0;
};

} // namespace

Service *createSystemState(Simulator *sim, ModemEvents *events)
{
    return new SystemState(sim, events);
}
