// SPDX-License-Identifier: LGPL-2.1-or-later
// The network object's own interface: what the radio is busy with.

#include "modem.h"
#include "simulator.h"

namespace {

class CSNet : public ModemService
{
public:
    CSNet(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, "com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet")
    {
        QObject::connect(events, &ModemEvents::callActive, sim, [this](bool active) {
            setProperty(QStringLiteral("Activity"), active ? QStringLiteral("Call") : QStringLiteral("Idle"));
        });
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("Activity"), QStringLiteral("Idle")}});
    }

    // Everything is read through the properties interface.
    bool call(const QDBusMessage &) override { return false; }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == QLatin1String("Activity"))
            emitSignal(QStringLiteral("ActivityChanged"), {value.toString()});
    }
};

} // namespace

Service *createCSNet(Simulator *sim, ModemEvents *events)
{
    return new CSNet(sim, events);
}
