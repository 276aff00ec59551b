// SPDX-License-Identifier: LGPL-2.1-or-later
// The system-state controller's modem interface: radio power and service level.

#include "service.h"
#include "simulator.h"

#include <QTimer>

namespace {

class SystemState : public Service
{
public:
    explicit SystemState(Simulator *sim)
        : Service(sim, "com.kelvo.YKM.Modem", "/com/kelvo/ykm/modem", "com.kelvo.YKM.Modem")
    {
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
            if (message.signature() != QLatin1String("bb")) {
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
    // The request is acknowledged at once; the radio follows after the switch time.
    void requestRadio(bool on)
    {
        setProperty(QStringLiteral("RequestedMode"),
                    on ? QStringLiteral("Active") : QStringLiteral("Inactive"));
        QTimer::singleShot(setting(QStringLiteral("RadioSwitchTime")), sim, [this, on] {
            QVariantMap changed{
                {QStringLiteral("ModemState"), on ? QStringLiteral("Normal") : QStringLiteral("Inactive")},
                {QStringLiteral("ServiceState"), on ? QStringLiteral("Normal") : QStringLiteral("NoCoverage")},
            };
            for (auto it = changed.cbegin(); it != changed.cend(); ++it)
                store(it.key(), it.value());
            emitSignal(QStringLiteral("PropertiesChanged"), {changed});
            radioSwitched(sim, on);
        });
    }
};

} // namespace

Service *createSystemState(Simulator *sim)
{
    return new SystemState(sim);
}
