// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_RADIOACCESS_H
#define ONDRIX_RADIOACCESS_H

#include "ondrix_global.h"

#include <QObject>

namespace Ondrix {

class RadioAccessPrivate;

/**
 * @brief Radio access: mode, data technology, channel, radio state and packet data.
 *
 * The values are read at construction and then follow the daemon's signals;
 * a change signal comes only when a value really changes. The radio state
 * is followed with the StatusUpdates option.
 *
 * While its daemon is away (valid() false) the object still holds the mode, technology, channel,
 * state and data availability it last had, or neutral values when it never read any: they are not
 * the modem's state, so a screen should not show them as live. The object reads them again when
 * the daemon returns.
 */
class ONDRIX_EXPORT RadioAccess : public QObject
{
    Q_OBJECT
    /** The packet data technology in use (Technology): GPRS, EDGE, UMTS or HSPA, None when there is none.
     *  Changes announced by technologyChanged(). Read-only. */
    Q_PROPERTY(Technology technology READ technology NOTIFY technologyChanged)
    /** The radio mode (Mode): dual, 2G only or 3G only; setting it asks the daemon. Changes announced by
     *  modeChanged(). Writable (setMode()). */
    Q_PROPERTY(Mode mode READ mode WRITE setMode NOTIFY modeChanged)
    /** The radio channel in use. Changes announced by channelChanged(). Read-only. */
    Q_PROPERTY(uint channel READ channel NOTIFY channelChanged)
    /** Whether packet data can be used now (not suspended by a call or the network). Changes announced by
     *  dataAvailabilityChanged(). Read-only. */
    Q_PROPERTY(bool dataAvailability READ isDataAvailable NOTIFY dataAvailabilityChanged)
    /** Whether the network and packet data daemons are on the bus. Changes announced by validChanged().
     *  Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
    /** Whether the object follows the radio state (Options). No change signal. Writable (setOptions()). */
    Q_PROPERTY(Options options READ options WRITE setOptions)

public:
    /** The radio mode, from the daemon's "SelectionMode". */
    enum Mode {
        Unknown = -1,       /**< not read yet, or a text outside the table */
        DualMode = 0,       /**< 2G and 3G ("Dual") */
        OnlyTwoG = 1,       /**< 2G only ("GSM") */
        OnlyThreeG = 2,     /**< 3G only ("UMTS") */
        ForcedDualMode = 3, /**< dual mode forced by the network ("Forced"); cannot be asked for */
    };
    Q_ENUM(Mode)

    /** The technology packet data uses, from the daemon's "DataTechnology". */
    enum Technology {
        None = -1,          /**< no data technology, or a text outside the table */
        TwoG = 0,           /**< GPRS ("GPRS") */
        TwoPointFiveG = 1,  /**< EDGE ("EGPRS") */
        ThreeG = 2,         /**< UMTS ("UMTS") */
        ThreePointFiveG = 3, /**< HSPA ("HSPA") */
    };
    Q_ENUM(Technology)

    /** The radio's state. */
    enum State {
        Idle = 1,               /**< the radio is idle */
        HighSpeedDownlink = 2,  /**< an HSDPA channel is allocated */
        HighSpeedUplink = 4,    /**< an HSUPA channel is allocated */
    };
    Q_ENUM(State)
    /** A combination of State values. */
    Q_DECLARE_FLAGS(Flags, State)
    Q_FLAG(Flags)

    /** What an object follows. */
    enum Option {
        StatusUpdates = 1,  /**< follow the radio state: statusChanged() */
    };
    Q_ENUM(Option)
    /** A combination of Option values. */
    Q_DECLARE_FLAGS(Options, Option)
    Q_FLAG(Options)

    /** Reads the values (two reads of 250 ms at most) and follows no radio state. */
    explicit RadioAccess(QObject *parent = nullptr);
    ~RadioAccess() override;

    /** The radio mode. */
    RadioAccess::Mode mode() const;
    /** The data technology. */
    RadioAccess::Technology technology() const;
    /** The radio state read at construction, then followed with StatusUpdates. */
    Q_INVOKABLE RadioAccess::Flags state() const;
    /** The radio channel. */
    uint channel() const;
    /** True when packet data can be used now. */
    bool isDataAvailable() const;
    /** The options in force. */
    QFlags<Ondrix::RadioAccess::Option> options() const;
    /** True while the network and packet-data daemons are on the bus. */
    Q_INVOKABLE bool isValid() const;
    /** Chooses what the object follows. */
    void setOptions(QFlags<Ondrix::RadioAccess::Option> options);

public Q_SLOTS:
    /** Asks for a radio mode; answered by modeChanged() or modeChangeFailed(). The
     * current mode is answered at once without a call. */
    void setMode(RadioAccess::Mode mode);

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The radio state changed (with StatusUpdates). */
    void statusChanged(RadioAccess::Flags flags);
    /** The mode changed, or a mode change succeeded (a Mode value). */
    void modeChanged(int mode);
    /** A mode change failed, with the daemon's message. */
    void modeChangeFailed(const QString &cause);
    /** The data technology changed (a Technology value). */
    void technologyChanged(int technology);
    /** The radio channel changed. */
    void channelChanged(int channel);
    /** Packet data became available or unavailable. */
    void dataAvailabilityChanged(bool available);

private:
    Q_DECLARE_PRIVATE_D(d, RadioAccess)
    RadioAccessPrivate *d;
};

} // namespace Ondrix

Q_DECLARE_OPERATORS_FOR_FLAGS(Ondrix::RadioAccess::Flags)
Q_DECLARE_OPERATORS_FOR_FLAGS(Ondrix::RadioAccess::Options)

#endif
