// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_NETWORKOPERATOR_H
#define ONDRIX_NETWORKOPERATOR_H

#include "ondrix_global.h"

#include <QObject>
#include <QString>

namespace Ondrix {

class NetworkOperatorPrivate;

/**
 * @brief The operator the modem is registered with.
 *
 * Its codes (as text, leading zeros kept) and its name, read at construction
 * and then following the daemon's signals.
 *
 * While its daemon is away (valid() false) the object still holds the codes and name it last had,
 * or neutral values when it never read any: they are not the modem's state, so a screen should not
 * show them as live. The object reads them again when the daemon returns.
 */
class ONDRIX_EXPORT NetworkOperator : public QObject
{
    Q_OBJECT
    /** The registered network's name as the network gives it (shown with control characters made visible by the
     *  tools). Changes announced by nameChanged(). Read-only. */
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    /** The registered network's mobile network code. Changes announced by operatorChanged(). Read-only. */
    Q_PROPERTY(QString mnc READ mnc NOTIFY operatorChanged)
    /** The registered network's mobile country code. Changes announced by operatorChanged(). Read-only. */
    Q_PROPERTY(QString mcc READ mcc NOTIFY operatorChanged)
    /** Whether the network daemon is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)

public:
    /** Reads the operator (blocking for 250 ms at most). */
    explicit NetworkOperator(QObject *parent = nullptr);
    ~NetworkOperator() override;

    /** The operator's name. */
    QString name() const;
    /** The mobile network code. */
    QString mnc() const;
    /** The mobile country code. */
    QString mcc() const;
    /** True while the network daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;

    /** Country initials ("FI") of a mobile country code and network code, from
     * the platform's operator information; empty when unknown. */
    Q_INVOKABLE QString country(QString mcc, QString mnc) const;

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The modem registered with another operator. */
    void operatorChanged(const QString &mnc, const QString &mcc);
    /** The operator's name changed. */
    void nameChanged(const QString &name);

private:
    Q_DECLARE_PRIVATE_D(d, NetworkOperator)
    NetworkOperatorPrivate *d;
};

} // namespace Ondrix

#endif
