// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_NETWORKOPERATOR_H
#define ONDRIX_NETWORKOPERATOR_H

#include "ondrix_global.h"

#include <QObject>
#include <QString>

namespace Ondrix {

class NetworkOperatorPrivate;

/* The operator the modem is registered with: its codes (as text, leading
 * zeros kept) and its name. */
class ONDRIX_EXPORT NetworkOperator : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name)
    Q_PROPERTY(QString mnc READ mnc)
    Q_PROPERTY(QString mcc READ mcc)
    Q_PROPERTY(bool valid READ isValid)

public:
    explicit NetworkOperator(QObject *parent = nullptr);
    ~NetworkOperator() override;

    QString name() const;
    QString mnc() const;
    QString mcc() const;
    bool isValid() const;

    /* Country initials ("FI") of a mobile country code and network code, from
     * the platform's operator information; empty when unknown. */
    QString country(QString mcc, QString mnc) const;

Q_SIGNALS:
    void operatorChanged(const QString &mnc, const QString &mcc);
    void nameChanged(const QString &name);

private:
    Q_DECLARE_PRIVATE_D(d, NetworkOperator)
    NetworkOperatorPrivate *d;
};

} // namespace Ondrix

#endif
