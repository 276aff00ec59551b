// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SIGNALSTRENGTH_H
#define ONDRIX_SIGNALSTRENGTH_H

#include "ondrix_global.h"

#include <QObject>

namespace Ondrix {

class SignalStrengthPrivate;

/* Received signal strength as bars, percent and dBm.
 *
 * The values are read at construction. The options choose which of them are
 * kept current: an object without options never follows the daemon. */
class ONDRIX_EXPORT SignalStrength : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int bars READ bars)
    Q_PROPERTY(int percent READ percent)
    Q_PROPERTY(int dbm READ dbm)
    Q_PROPERTY(bool valid READ isValid)
    Q_PROPERTY(Options options READ options WRITE setOptions)

public:
    enum Option {
        BarsOption = 0x1,
        PercentOption = 0x2,
        DbmOption = 0x4,
    };
    Q_DECLARE_FLAGS(Options, Option)
    Q_FLAG(Options)

    explicit SignalStrength(QObject *parent = nullptr);
    explicit SignalStrength(QFlags<Ondrix::SignalStrength::Option> options, QObject *parent = nullptr);
    ~SignalStrength() override;

    int bars() const;
    int percent() const;
    int dbm() const;
    bool isValid() const;
    Options options() const;
    /* Follows bar updates with BarsOption, percent and dBm with either of the others. */
    void setOptions(QFlags<Ondrix::SignalStrength::Option> options);

Q_SIGNALS:
    void barsChanged(int bars);
    void percentChanged(int percent);
    void dbmChanged(int dbm);

private:
    Q_DECLARE_PRIVATE_D(d, SignalStrength)
    SignalStrengthPrivate *d;
};

} // namespace Ondrix

Q_DECLARE_OPERATORS_FOR_FLAGS(Ondrix::SignalStrength::Options)

#endif
