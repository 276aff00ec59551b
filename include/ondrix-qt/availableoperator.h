// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_AVAILABLEOPERATOR_H
#define ONDRIX_AVAILABLEOPERATOR_H

#include "ondrix_global.h"

#include <QDebug>
#include <QExplicitlySharedDataPointer>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QtDBus/QDBusArgument>

/* One operator of a scan as the daemon sends it: D-Bus (ssssssb). */
struct OperatorStruct {
    QString name;
    QString availability;   /* "Available", "Current", "Forbidden" */
    QString preference;     /* "Home", "Preferred", "Forbidden" */
    QString band;           /* "AllSupported", "GSM_900_1800", "GSM_850_1900" */
    QString mnc;
    QString mcc;
    bool umts = false;
};
typedef QList<OperatorStruct> OperatorList;

Q_DECLARE_METATYPE(OperatorStruct)
Q_DECLARE_METATYPE(OperatorList)

ONDRIX_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const OperatorStruct &op);
ONDRIX_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, OperatorStruct &op);

namespace Ondrix {

class AvailableOperatorData;

/* An operator found by a scan.
 *
 * Copies share one record: a setter called on any copy is seen through every
 * copy. */
class ONDRIX_EXPORT AvailableOperator
{
    Q_GADGET
public:
    enum Availability {
        UnknownAvailability = -1,
        Available = 0,
        Current = 1,
        Forbidden = 2,
    };
    Q_ENUM(Availability)

    enum Preference {
        UnknownPreference = -1,
        HomeOperator = 0,
        PreferredOperator = 1,
        ForbiddenOperator = 2,
    };
    Q_ENUM(Preference)

    enum Band {
        UnknownBand = -1,
        AllBands = 0,
        Gsm900Gsm1800 = 1,
        Gsm850Gsm1900 = 2,
    };
    Q_ENUM(Band)

    AvailableOperator();
    AvailableOperator(const QString &mnc, const QString &mcc, const QString &name, Band band,
                      Availability availability, Preference preference, bool umts);
    AvailableOperator(const AvailableOperator &other);
    AvailableOperator &operator=(const AvailableOperator &other);
    ~AvailableOperator();

    /* The operator of one scan record, its texts mapped to the enumerations. */
    static AvailableOperator fromStruct(const OperatorStruct &op);

    QString name() const;
    QString mnc() const;
    QString mcc() const;
    Availability availability() const;
    Preference preference() const;
    Band band() const;
    bool umts() const;

    void setName(const QString &name);
    void setMnc(const QString &mnc);
    void setMcc(const QString &mcc);
    void setAvailability(Availability availability);
    void setPreference(Preference preference);
    void setBand(Band band);
    void setUmts(bool umts);

    /* "Available", "Home", "GSM 900 / GSM 1800", ...; "Unknown" otherwise. */
    QString availabilityName() const;
    QString preferenceName() const;
    QString bandName() const;

private:
    QExplicitlySharedDataPointer<AvailableOperatorData> d;
};

/* Multi-line form: name, mnc, mcc, availability, preference, band, umts. */
ONDRIX_EXPORT QDebug operator<<(QDebug debug, const AvailableOperator &op);

} // namespace Ondrix

Q_DECLARE_METATYPE(Ondrix::AvailableOperator)

#endif
