// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_MODEM_H
#define MODEMSIM_MODEM_H

#include "service.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

class Simulator;

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
        , events(events)
    {
    }

protected:
    ModemEvents *events;
};

// Whether a registration status has the modem camped on a cell (it reads a
// signal and a cell), and whether it has service there.
bool camped(const QString &status);
bool inService(const QString &status);

// One network in range, as "GetNetworks" reports it: (ssssssb).
struct Network {
    QString name;
    QString availability;
    QString preference;
    QString band;
    QString mnc;
    QString mcc;
    bool umts = false;
};

// A list of networks as the reply argument of "GetNetworks".
QVariant marshalled(const QList<Network> &networks);

// One diversion as "CheckDivert" reports it: (sbsu).
struct Diversion {
    QString basic;
    bool active = false;
    QString number;
    uint delay = 0;
};

// A list of diversions as the reply argument of "CheckDivert".
QVariant marshalled(const QList<Diversion> &diversions);

// One emergency number as "GetEmergencyNumbers" reports it: (suu).
struct EmergencyNumber {
    QString number;
    uint categories = 0;    // 3GPP TS 22.101 service categories; 0: unspecified
    uint source = 0;        // 0: the modem's own list, 1: the SIM
};

// The values above travel as themselves inside the simulator (the AT port
// reads them from the modem's answers).
Q_DECLARE_METATYPE(Network)
Q_DECLARE_METATYPE(QList<Network>)
Q_DECLARE_METATYPE(Diversion)
Q_DECLARE_METATYPE(QList<Diversion>)
Q_DECLARE_METATYPE(EmergencyNumber)
Q_DECLARE_METATYPE(QList<EmergencyNumber>)

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
