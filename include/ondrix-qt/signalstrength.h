// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SIGNALSTRENGTH_H
#define ONDRIX_SIGNALSTRENGTH_H

#include "ondrix_global.h"

#include <QObject>

namespace Ondrix {

class SignalStrengthPrivate;

/**
 * @brief Received signal strength as bars, percent and dBm.
 *
 * The values are read at construction. The options choose which of them are
 * kept current: an object without options never follows the daemon.
 *
 * While its daemon is away (valid() false) the object still holds the bars, percent and dBm it
 * last had, or neutral values when it never read any: they are not the modem's state, so a screen
 * should not show them as live. The object reads them again when the daemon returns.
 */
class ONDRIX_EXPORT SignalStrength : public QObject
{
    Q_OBJECT
    /** The signal in bars, 0 to 5 (followed with the BarsOption). Changes announced by barsChanged().
     *  Read-only. */
    Q_PROPERTY(int bars READ bars NOTIFY barsChanged)
    /** The signal in percent (followed with the PercentOption). Changes announced by percentChanged().
     *  Read-only. */
    Q_PROPERTY(int percent READ percent NOTIFY percentChanged)
    /** The signal in dBm (followed with the DbmOption). Changes announced by dbmChanged(). Read-only. */
    Q_PROPERTY(int dbm READ dbm NOTIFY dbmChanged)
    /** Whether the network daemon is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
    /** Which of the values above the object follows (Options). No change signal. Writable (setOptions()). */
    Q_PROPERTY(Options options READ options WRITE setOptions)

public:
    /** Which values an object follows. */
    enum Option {
        BarsOption = 0x1, /**< follow the bars */
        PercentOption = 0x2, /**< follow percent (and dBm, which arrive together) */
        DbmOption = 0x4, /**< follow dBm (and percent) */
    };
    /** A combination of Option values. */
    Q_DECLARE_FLAGS(Options, Option)
    Q_FLAG(Options)

    /** Reads the values (250 ms at most) and follows none of them. */
    explicit SignalStrength(QObject *parent = nullptr);
    /** Reads the values and follows those `options` name. */
    explicit SignalStrength(QFlags<Ondrix::SignalStrength::Option> options, QObject *parent = nullptr);
    ~SignalStrength() override;

    /** Signal bars, 0-5. */
    int bars() const;
    /** Signal level in percent. */
    int percent() const;
    /** Signal level in dBm. */
    int dbm() const;
    /** True while the network daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;
    /** The values followed. */
    Options options() const;
    /** Follows bar updates with BarsOption, percent and dBm with either of the others. */
    void setOptions(QFlags<Ondrix::SignalStrength::Option> options);

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The bars changed. */
    void barsChanged(int bars);
    /** The level in percent changed. */
    void percentChanged(int percent);
    /** The level in dBm changed. */
    void dbmChanged(int dbm);

private:
    Q_DECLARE_PRIVATE_D(d, SignalStrength)
    SignalStrengthPrivate *d;
};

} // namespace Ondrix

Q_DECLARE_OPERATORS_FOR_FLAGS(Ondrix::SignalStrength::Options)

#endif
