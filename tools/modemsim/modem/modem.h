// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_MODEM_H
#define MODEMSIM_MODEM_H

#include "records.h"
#include "service.h"
#include "simulator.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>


// What the parts of the modelled modem tell each other. A part states a fact
// by emitting it; the parts it concerns follow. No part looks another up.
class ModemEvents : public QObject
{
    Q_OBJECT
public:
    // Where the card stands now ("Ok" when it is ready for service), for
    // parts that answer from it.
    QString cardStatus;

Q_SIGNALS:
    // The radio went off (in flight mode, or because an application asked)
    // or came back.
    void radioSwitched(bool on, bool flight);
    // The card's status changed ("Ok", "NoSIM", "PINRequired", ...).
    void cardStatusChanged(const QString &status);
    // The registration: its status ("Home", "Roaming", "Searching",
    // "NoCoverage", "PowerOff", ...) and, in service, the network.
    void registrationChanged(const QString &status, const QString &mcc, const QString &mnc,
                             const QString &name);
    // A call began or ended.
    void callActive(bool active);

    // Asked for from outside the modem (the control interface, scenarios):
    // the radio environment's signal level in dBm, and a registration the
    // modem finds by itself (moving, losing coverage), on a network if given.
    void signalLevelSet(int dbm);
    void registrationFound(const QString &status, const QString &mcc, const QString &mnc,
                           const QString &name);
    // Flight mode, as the system-state controller sets it.
    void flightModeSet(bool on);
};

// A daemon interface of the modelled modem.
class ModemService : public Service
{
public:
    ModemService(Simulator *sim, ModemEvents *events, const char *busName, const char *path,
                 const char *interface)
        : Service(sim, busName, path, interface)
        , sim(sim)
        , events(events)
    {
    }

protected:
    // One of the simulator's settings (a time in milliseconds).
    int setting(const QString &name) const;

    Simulator *sim;
    ModemEvents *events;
};

// Whether a registration status has the modem camped on a cell (it reads a
// signal and a cell), and whether it has service there.
bool camped(const QString &status);
bool inService(const QString &status);

// The parts, one factory per file.
Service *createSystemState(Simulator *sim, ModemEvents *events);
Service *createCSNet(Simulator *sim, ModemEvents *events);
// Registration, the operator and the signal strength.
QList<Service *> createNetwork(Simulator *sim, ModemEvents *events);
Service *createSmsSim(Simulator *sim, ModemEvents *events);
// The SIM card's five interfaces: status, security, identity, phonebooks, SIM lock.
QList<Service *> createCard(Simulator *sim, ModemEvents *events);
// Call services and USSD.
QList<Service *> createSupplementaryServices(Simulator *sim, ModemEvents *events);
// Calls, device facts, radio access, packet data, the cell and network time.
QList<Service *> createDevice(Simulator *sim, ModemEvents *events);

// Every interface of the modelled modem, added to `sim`.
void installModem(Simulator *sim, ModemEvents *events);

#endif
