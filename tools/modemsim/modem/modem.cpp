// SPDX-License-Identifier: LGPL-2.1-or-later
#include "modem.h"

#include "simulator.h"

bool camped(const QString &status)
{
    static const QStringList statuses = {QStringLiteral("Home"), QStringLiteral("Roaming"), QStringLiteral("NoSim"),
                                         QStringLiteral("Rejected")};
    return statuses.contains(status);
}

bool inService(const QString &status)
{
    return status == QLatin1String("Home") || status == QLatin1String("Roaming");
}

void installModem(Simulator *sim, ModemEvents *events)
{
    QList<Service *> parts{createSystemState(sim, events), createCSNet(sim, events), createSmsSim(sim, events)};
    parts += createNetwork(sim, events);
    parts += createCard(sim, events);
    parts += createSupplementaryServices(sim, events);
    parts += createDevice(sim, events);
    for (Service *part : parts)
        sim->addService(part);
}

int ModemService::setting(const QString &name) const
{
    return sim->setting(name).toInt();
}
