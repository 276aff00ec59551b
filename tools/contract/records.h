// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef CONTRACT_RECORDS_H
#define CONTRACT_RECORDS_H

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVariant>

class QDBusArgument;

// The structures the daemons' replies carry, as every server of the
// interfaces writes them.

// One network in range, as "GetNetworks" reports it: (ssssssb).
struct Network {
    QString name;
    QString availability;   // "Current", "Available", "Forbidden"
    QString preference;     // "Home", "Preferred", "Forbidden"
    QString band;
    QString mnc;
    QString mcc;
    bool umts = false;
};

// One diversion as "CheckDivert" reports it: (sbsu).
struct Diversion {
    QString basic;
    bool active = false;
    QString number;
    uint delay = 0;
};

// One emergency number as "GetEmergencyNumbers" reports it: (suu).
struct EmergencyNumber {
    QString number;
    uint categories = 0;    // 3GPP TS 22.101 service categories; 0: unspecified
    uint source = 0;        // 0: the modem's own list, 1: the SIM
};

// The services a cell offers, as "GetServices" reports them: a{sb}.
typedef QMap<QString, bool> ServiceMap;

QDBusArgument &operator<<(QDBusArgument &arg, const Network &n);
const QDBusArgument &operator>>(const QDBusArgument &arg, Network &n);
QDBusArgument &operator<<(QDBusArgument &arg, const Diversion &d);
const QDBusArgument &operator>>(const QDBusArgument &arg, Diversion &d);
QDBusArgument &operator<<(QDBusArgument &arg, const EmergencyNumber &e);
const QDBusArgument &operator>>(const QDBusArgument &arg, EmergencyNumber &e);

// The values above travel as themselves inside a server (the simulator's AT
// port reads them from the modem's answers) and as these on the wire.
Q_DECLARE_METATYPE(Network)
Q_DECLARE_METATYPE(QList<Network>)
Q_DECLARE_METATYPE(Diversion)
Q_DECLARE_METATYPE(QList<Diversion>)
Q_DECLARE_METATYPE(EmergencyNumber)
Q_DECLARE_METATYPE(QList<EmergencyNumber>)
Q_DECLARE_METATYPE(ServiceMap)

// Registers the types above with QtDBus; once is enough, more is harmless.
void registerRecords();

// A list as the reply argument that carries it.
QVariant marshalled(const QList<Network> &networks);
QVariant marshalled(const QList<Diversion> &diversions);
QVariant marshalled(const QList<EmergencyNumber> &numbers);

#endif
