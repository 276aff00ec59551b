// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_EMERGENCYNUMBERS_H
#define ONDRIX_EMERGENCYNUMBERS_H

#include "ondrix_global.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QStringList>
#include <QtDBus/QDBusArgument>

namespace Ondrix {

class EmergencyNumbersPrivate;

/**
 * @brief The emergency numbers the modem knows now.
 *
 * A dialler asks before it calls without a SIM or without registration.
 * Both queries block for the daemon's answer; every failure gives an empty list.
 */
class ONDRIX_EXPORT EmergencyNumbers : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** One emergency number; D-Bus (suu). */
    struct EmergencyNumberInfo {
        QString number;             /**< the number, as dialled */
        unsigned int firstValue = 0;  /**< the daemon's first attribute (the service categories), passed through */
        unsigned int secondValue = 0; /**< the daemon's second attribute (where the number comes from), passed through */
    };
    /** The daemon's list; D-Bus a(suu). */
    typedef QList<EmergencyNumberInfo> EmergencyNumbersList;

    /** Makes no call. */
    explicit EmergencyNumbers(QObject *parent = nullptr);
    ~EmergencyNumbers() override;

    /** True while the call daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;
    /** The numbers with their attributes, in the daemon's order; empty on failure. */
    EmergencyNumbersList numbersWithInfo() const;
    /** The numbers only. */
    Q_INVOKABLE QStringList numbers() const;

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);

private:
    Q_DECLARE_PRIVATE_D(d, EmergencyNumbers)
    EmergencyNumbersPrivate *d;
};

/** Marshals an emergency number as (suu). */
ONDRIX_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const EmergencyNumbers::EmergencyNumberInfo &info);
/** Demarshals an emergency number from (suu). */
ONDRIX_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, EmergencyNumbers::EmergencyNumberInfo &info);

} // namespace Ondrix

Q_DECLARE_METATYPE(Ondrix::EmergencyNumbers::EmergencyNumberInfo)

#endif
