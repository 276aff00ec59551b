// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_NETWORKCELL_H
#define ONDRIX_NETWORKCELL_H

#include "ondrix_global.h"

#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QString>

/** The services a cell offers, as the daemon sends them: D-Bus a{sb}. */
typedef QMap<QString, bool> CellServiceMap;

namespace Ondrix {

class NetworkCellPrivate;

/**
 * @brief The serving cell: identity, name, services, and whether to show its name.
 *
 * The values are read at construction and then follow the daemon's signals;
 * a change signal comes only when a value really changes.
 *
 * While its daemon is away (valid() false) the object still holds the cell, name, services and
 * name display setting it last had, or neutral values when it never read any: they are not the
 * modem's state, so a screen should not show them as live. The object reads them again when the
 * daemon returns.
 */
class ONDRIX_EXPORT NetworkCell : public QObject
{
    Q_OBJECT
    /** The serving cell's kind (Type): GSM or WCDMA. Changes announced by cellChanged(). Read-only. */
    Q_PROPERTY(Type type READ type NOTIFY cellChanged)
    /** What the cell offers (Services): circuit-switched, packet data, HSDPA, .... Changes announced by
     *  servicesChanged(). Read-only. */
    Q_PROPERTY(Services services READ services NOTIFY servicesChanged)
    /** The serving cell's identity. Changes announced by cellChanged(). Read-only. */
    Q_PROPERTY(int id READ id NOTIFY cellChanged)
    /** The serving cell's location area code. Changes announced by cellChanged(). Read-only. */
    Q_PROPERTY(int lac READ lac NOTIFY cellChanged)
    /** The cell broadcast name of the cell. Changes announced by cellNameChanged(). Read-only. */
    Q_PROPERTY(QString name READ name NOTIFY cellNameChanged)
    /** Whether the cell name is to be shown; setting it writes the daemon's setting. Changes announced by
     *  cellNameDisplayEnabledChanged(). Writable (setNameDisplayEnabled()). */
    Q_PROPERTY(bool display READ nameDisplayEnabled WRITE setNameDisplayEnabled NOTIFY cellNameDisplayEnabledChanged)
    /** Whether the network daemon is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)

public:
    /** The cell's radio, from the daemon's text. */
    enum Type {
        UnknownType = -1,   /**< not read yet, or a text outside the table */
        GSMCell = 0,        /**< a GSM cell ("GSM") */
        WCDMACell = 1,      /**< a WCDMA cell ("WCDMA") */
    };
    Q_ENUM(Type)

    /** A service of the cell, from the keys of CellServiceMap. */
    enum Service {
        CSService = 1,      /**< circuit-switched services ("HasCSServices") */
        GPRSService = 2,    /**< packet services ("HasGPRSServices") */
        GPRSSupport = 4,    /**< GPRS ("SupportsGPRS") */
        EGPRSSupport = 8,   /**< EGPRS ("SupportsEGPRS") */
        DTMSupport = 16,    /**< dual transfer mode ("SupportsDTM") */
        HSDPASupport = 32,  /**< HSDPA ("SupportsHSDPA") */
        HSUPASupport = 64,  /**< HSUPA ("SupportsHSUPA") */
    };
    Q_ENUM(Service)
    /** A combination of Service values. */
    Q_DECLARE_FLAGS(Services, Service)
    Q_FLAG(Services)

    /** Reads the cell and its services (two reads of 250 ms at most). */
    explicit NetworkCell(QObject *parent = nullptr);
    ~NetworkCell() override;

    /** The cell id. */
    int id() const;
    /** The location area code. */
    int lac() const;
    /** The cell's radio. */
    NetworkCell::Type type() const;
    /** The services the cell offers. */
    NetworkCell::Services services() const;
    /** The name the cell broadcasts. */
    QString name() const;
    /** Whether the user wants the cell name shown. */
    bool nameDisplayEnabled() const;
    /** Asks the daemon to change the setting; the change arrives with
     * cellNameDisplayEnabledChanged(), a failure re-emits the old value. */
    void setNameDisplayEnabled(bool enabled);
    /** True while the network daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The serving cell changed (type is a Type value). */
    void cellChanged(int id, int lac, int type);
    /** The cell's name changed. */
    void cellNameChanged(const QString &name);
    /** The cell's services changed. */
    void servicesChanged(NetworkCell::Services flags);
    /** The setting changed; also the old value again after a failed change. */
    void cellNameDisplayEnabledChanged(bool value);

private:
    Q_DECLARE_PRIVATE_D(d, NetworkCell)
    NetworkCellPrivate *d;
};

} // namespace Ondrix

Q_DECLARE_OPERATORS_FOR_FLAGS(Ondrix::NetworkCell::Services)

#endif
