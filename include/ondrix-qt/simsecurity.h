// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SIMSECURITY_H
#define ONDRIX_SIMSECURITY_H

#include "ondrix_global.h"
#include "simerror.h"

#include <QObject>
#include <QString>

namespace Ondrix {
namespace SIM {

class SIMSecurityPrivate;

/**
 * @brief The SIM card's access codes: PIN, PIN2, PUK and PUK2.
 *
 * Verifies and changes codes, switches the PIN query, reads attempts left,
 * and reports when the card asks for a code. Every operation ends in exactly
 * one completion signal. Codes pass through to the daemon: the library keeps
 * no copy and never logs one.
 */
class ONDRIX_EXPORT SIMSecurity : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** A personal identification number ("pin", "pin2" on the wire). */
    enum PINType {
        PIN = 0,    /**< the PIN, which opens the card */
        PIN2 = 1,   /**< PIN2, which guards fixed dialling and other settings */
    };
    Q_ENUM(PINType)

    /** An unblocking key ("puk", "puk2" on the wire). */
    enum PUKType {
        PUK = 0,    /**< unblocks the PIN */
        PUK2 = 1,   /**< unblocks PIN2 */
    };
    Q_ENUM(PUKType)

    /** Whether the card asks for the PIN when it starts. */
    enum PINQuery {
        QueryUnknown = -1,  /**< reported with every failure */
        QueryEnabled = 0,   /**< the card asks for the PIN */
        QueryDisabled = 1,  /**< the card does not ask */
    };
    Q_ENUM(PINQuery)

    /** Makes no call; subscribes to the card's requests for codes. */
    explicit SIMSecurity(QObject *parent = nullptr);
    ~SIMSecurity() override;

    /** True while the SIM daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;

public Q_SLOTS:
    /** Verifies a PIN; answered by verifyPINComplete(). */
    void verifyPIN(SIMSecurity::PINType type, const QString &code);
    /** Unblocks with a PUK and sets a new PIN; answered by verifyPUKComplete(). */
    void verifyPUK(SIMSecurity::PUKType type, const QString &code, const QString &newPinCode);
    /** Changes a PIN; answered by changePINComplete(). */
    void changePIN(SIMSecurity::PINType type, const QString &oldCode, const QString &newCode);
    /** Switches the PIN query on; answered by enablePINQueryComplete(). */
    void enablePINQuery(SIMSecurity::PINType type, const QString &code);
    /** Switches the PIN query off; answered by disablePINQueryComplete(). */
    void disablePINQuery(SIMSecurity::PINType type, const QString &code);
    /** Reads the PIN query; answered by pinQueryStateComplete(). */
    void pinQueryState(SIMSecurity::PINType type);
    /** Reads the attempts left for a PIN; answered by pinAttemptsLeftComplete(). */
    void pinAttemptsLeft(SIMSecurity::PINType type);
    /** Reads the attempts left for a PUK; answered by pukAttemptsLeftComplete(). */
    void pukAttemptsLeft(SIMSecurity::PUKType type);
    /**
     * Runs a code procedure typed into a dialler against the card, never the
     * network: "**04*OLD*NEW*NEW#" (PIN) and "**042*...#" (PIN2) call
     * changePIN(), "**05*PUK*NEW*NEW#" (PUK) and "**052*...#" (PUK2) call
     * verifyPUK(). Returns true for any string with one of these service
     * codes; its answer is changePINComplete() or verifyPUKComplete(), at once
     * with InvalidParameter and nothing sent when the string is malformed (a
     * missing field, another prefix, a new code that differs from its
     * repetition). Returns false, and emits nothing, for every other string.
     */
    bool sendCodeRequest(const QString &command);

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The card asks for a PIN. */
    void verifyPINRequired(SIMSecurity::PINType type);
    /** The card asks for a PUK. */
    void verifyPUKRequired(SIMSecurity::PUKType type);
    /** The answer of changePIN(): whether the card took the new code. */
    void changePINComplete(bool success, SIMError error);
    /** The answer of disablePINQuery(). */
    void disablePINQueryComplete(SIMError error);
    /** The answer of enablePINQuery(). */
    void enablePINQueryComplete(SIMError error);
    /** The answer of pinQueryState(). */
    void pinQueryStateComplete(SIMSecurity::PINQuery state, SIMError error);
    /** The answer of verifyPIN(): whether the code was right. */
    void verifyPINComplete(bool success, SIMError error);
    /** The answer of verifyPUK(): whether the key was right. */
    void verifyPUKComplete(bool success, SIMError error);
    /** The answer of pinAttemptsLeft(); -1 on failure. */
    void pinAttemptsLeftComplete(int attempts, SIMError error);
    /** The answer of pukAttemptsLeft(); -1 on failure. */
    void pukAttemptsLeftComplete(int attempts, SIMError error);

private:
    Q_DECLARE_PRIVATE_D(d, SIMSecurity)
    SIMSecurityPrivate *d;
};

} // namespace SIM
} // namespace Ondrix

#endif
