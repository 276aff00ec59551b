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

/** @file availableoperator.h
 * @brief The operators of a scan, on the wire and as values. */

/** One operator of a scan as the daemon sends it: D-Bus (ssssssb). */
struct OperatorStruct {
    QString name;           /**< the operator's name */
    QString availability;   /**< "Available", "Current", "Forbidden" */
    QString preference;     /**< "Home", "Preferred", "Forbidden" */
    QString band;           /**< "AllSupported", "GSM_900_1800", "GSM_850_1900" */
    QString mnc;            /**< mobile network code, as text */
    QString mcc;            /**< mobile country code, as text */
    bool umts = false;      /**< the network offers 3G */
};
/** The reply of a scan: D-Bus a(ssssssb). */
typedef QList<OperatorStruct> OperatorList;

Q_DECLARE_METATYPE(OperatorStruct)
Q_DECLARE_METATYPE(OperatorList)

/** Marshals a scan record as (ssssssb). */
ONDRIX_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const OperatorStruct &op);
/** Demarshals a scan record from (ssssssb). */
ONDRIX_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, OperatorStruct &op);

namespace Ondrix {

class AvailableOperatorData;

/**
 * @brief An operator found by a scan.
 *
 * Copies share one record: a setter called on any copy is seen through every
 * copy.
 */
class ONDRIX_EXPORT AvailableOperator
{
    Q_GADGET
    Q_PROPERTY(QString name READ name)
    Q_PROPERTY(QString mnc READ mnc)
    Q_PROPERTY(QString mcc READ mcc)
    Q_PROPERTY(Availability availability READ availability)
    Q_PROPERTY(Preference preference READ preference)
    Q_PROPERTY(Band band READ band)
    Q_PROPERTY(bool umts READ umts)
    Q_PROPERTY(QString availabilityName READ availabilityName)
    Q_PROPERTY(QString preferenceName READ preferenceName)
    Q_PROPERTY(QString bandName READ bandName)
public:
    /** Whether the network may be selected. */
    enum Availability {
        UnknownAvailability = -1, /**< a text outside the table */
        Available = 0, /**< may be selected ("Available") */
        Current = 1, /**< the network registered to ("Current") */
        Forbidden = 2, /**< may not be selected ("Forbidden") */
    };
    Q_ENUM(Availability)

    /** The network's standing on the SIM. */
    enum Preference {
        UnknownPreference = -1, /**< a text outside the table */
        HomeOperator = 0, /**< the home network ("Home") */
        PreferredOperator = 1, /**< a preferred network ("Preferred") */
        ForbiddenOperator = 2, /**< a forbidden network ("Forbidden") */
    };
    Q_ENUM(Preference)

    /** The frequency bands the network uses. */
    enum Band {
        UnknownBand = -1, /**< a text outside the table */
        AllBands = 0, /**< every band the phone supports ("AllSupported") */
        Gsm900Gsm1800 = 1, /**< GSM 900 and GSM 1800 ("GSM_900_1800") */
        Gsm850Gsm1900 = 2, /**< GSM 850 and GSM 1900 ("GSM_850_1900") */
    };
    Q_ENUM(Band)

    /** An operator with empty codes and unknown values. */
    AvailableOperator();
    /** An operator of the given values. */
    AvailableOperator(const QString &mnc, const QString &mcc, const QString &name, Band band,
                      Availability availability, Preference preference, bool umts);
    /** A copy that shares the record of `other`. */
    AvailableOperator(const AvailableOperator &other);
    /** Shares the record of `other`. */
    AvailableOperator &operator=(const AvailableOperator &other);
    ~AvailableOperator();

    /** The operator of one scan record, its texts mapped to the enumerations. */
    static AvailableOperator fromStruct(const OperatorStruct &op);

    /** The operator's name. */
    QString name() const;
    /** The mobile network code, leading zeros kept. */
    QString mnc() const;
    /** The mobile country code. */
    QString mcc() const;
    /** Whether the network may be selected. */
    Availability availability() const;
    /** The network's standing on the SIM. */
    Preference preference() const;
    /** The network's bands. */
    Band band() const;
    /** True when the network offers 3G. */
    bool umts() const;

    /** Sets the name, for every copy. */
    void setName(const QString &name);
    /** Sets the network code, for every copy. */
    void setMnc(const QString &mnc);
    /** Sets the country code, for every copy. */
    void setMcc(const QString &mcc);
    /** Sets the availability, for every copy. */
    void setAvailability(Availability availability);
    /** Sets the preference, for every copy. */
    void setPreference(Preference preference);
    /** Sets the band, for every copy. */
    void setBand(Band band);
    /** Sets whether the network offers 3G, for every copy. */
    void setUmts(bool umts);

    /** "Available", "Current", "Forbidden"; "Unknown" otherwise. */
    QString availabilityName() const;
    /** "Home", "Preferred", "Forbidden"; "Unknown" otherwise. */
    QString preferenceName() const;
    /** "All supported", "GSM 900 / GSM 1800", "GSM 850 / GSM 1900"; "Unknown" otherwise. */
    QString bandName() const;

private:
    QExplicitlySharedDataPointer<AvailableOperatorData> d;
};

/** Writes the multi-line form: name, mnc, mcc, availability, preference, band, umts. */
ONDRIX_EXPORT QDebug operator<<(QDebug debug, const AvailableOperator &op);

} // namespace Ondrix

Q_DECLARE_METATYPE(Ondrix::AvailableOperator)

#endif
