// SPDX-License-Identifier: LGPL-2.1-or-later
// The network object's own interface: what the radio is busy with.

#include "service.h"
#include "simulator.h"

namespace {

class CSNet : public Service
{
public:
    explicit CSNet(Simulator *sim)
        : Service(sim, "com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet")
    {
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

Service *createCSNet(Simulator *sim)
{
    return new CSNet(sim);
}
