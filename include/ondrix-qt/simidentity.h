// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SIMIDENTITY_H
#define ONDRIX_SIMIDENTITY_H

#include "ondrix_global.h"
#include "simerror.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Ondrix {
namespace SIM {

class SIMIdentityPrivate;

/**
 * @brief The identity data of the SIM card.
 *
 * IMSI, ICCID, home network, service provider name, preferred languages, and
 * the card's authentication algorithm. Every request goes to the daemon and
 * ends in exactly one completion signal; values travel unchanged.
 */
class ONDRIX_EXPORT SIMIdentity : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** Makes no call. */
    explicit SIMIdentity(QObject *parent = nullptr);
    ~SIMIdentity() override;

    /** True while the SIM daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;

public Q_SLOTS:
    /** Reads the home network's codes; answered by hplmnComplete(). */
    void hplmn();
    /** Reads the subscriber identity; answered by imsiComplete(). */
    void imsi();
    /** Reads the service provider name; answered by serviceProviderNameComplete(). */
    void serviceProviderName();
    /** Reads the preferred languages; answered by languagesComplete(). */
    void languages();
    /** Reads the card number; answered by iccidComplete(). */
    void iccid();
    /** Runs the authentication algorithm on the challenge `rand`; answered by authComplete(). */
    void auth(const QByteArray &rand);

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The home network's country and network codes; empty on failure. */
    void hplmnComplete(const QString &mcc, const QString &mnc, SIMError error);
    /** The IMSI; empty on failure. */
    void imsiComplete(const QString &imsi, SIMError error);
    /** The service provider name; empty on failure (and possibly on success). */
    void serviceProviderNameComplete(const QString &spn, SIMError error);
    /** The preferred languages in the card's order; empty on failure. */
    void languagesComplete(const QStringList &languages, SIMError error);
    /** The ICCID; empty on failure. */
    void iccidComplete(const QString &iccid, SIMError error);
    /** The response and keys of an authentication; four empty arrays on failure. */
    void authComplete(const QByteArray &res, const QByteArray &cipheringKey,
                      const QByteArray &eapCipheringKey, const QByteArray &eapIntegrityKey,
                      SIMError error);

private:
    Q_DECLARE_PRIVATE_D(d, SIMIdentity)
    SIMIdentityPrivate *d;
};

} // namespace SIM
} // namespace Ondrix

#endif
