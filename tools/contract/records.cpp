// SPDX-License-Identifier: LGPL-2.1-or-later
#include "records.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>

QDBusArgument &operator<<(QDBusArgument &arg, const Network &n)
{
    arg.beginStructure();
    arg << n.name << n.availability << n.preference << n.band << n.mnc << n.mcc << n.umts;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, Network &n)
{
    arg.beginStructure();
    arg >> n.name >> n.availability >> n.preference >> n.band >> n.mnc >> n.mcc >> n.umts;
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const Diversion &d)
{
    arg.beginStructure();
    arg << d.basic << d.active << d.number << d.delay;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, Diversion &d)
{
    arg.beginStructure();
    arg >> d.basic >> d.active >> d.number >> d.delay;
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const EmergencyNumber &e)
{
    arg.beginStructure();
    arg << e.number << e.categories << e.source;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, EmergencyNumber &e)
{
    arg.beginStructure();
    arg >> e.number >> e.categories >> e.source;
    arg.endStructure();
    return arg;
}

void registerRecords()
{
    qDBusRegisterMetaType<Network>();
    qDBusRegisterMetaType<QList<Network>>();
    qDBusRegisterMetaType<Diversion>();
    qDBusRegisterMetaType<QList<Diversion>>();
    qDBusRegisterMetaType<EmergencyNumber>();
    qDBusRegisterMetaType<QList<EmergencyNumber>>();
    qDBusRegisterMetaType<ServiceMap>();
}

QVariant marshalled(const QList<Network> &networks)
{
    registerRecords();
    return QVariant::fromValue(networks);
}

QVariant marshalled(const QList<Diversion> &diversions)
{
    registerRecords();
    return QVariant::fromValue(diversions);
}

QVariant marshalled(const QList<EmergencyNumber> &numbers)
{
    registerRecords();
    return QVariant::fromValue(numbers);
}
