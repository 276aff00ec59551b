// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_QML_SIMCARD_H
#define ONDRIX_QML_SIMCARD_H

#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>

#include <QObject>
#include <QtQml/qqml.h>

namespace Ondrix {
namespace Qml {

// The SIM card as a lock screen needs it: its state, the code it waits for
// and the attempts left, read at start and followed. Codes go to the card
// and are kept nowhere.
class SimCard : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // Whether the SIM daemon is on the bus. Changes announced by validChanged(). Read-only.
    Q_PROPERTY(bool valid READ valid NOTIFY validChanged)
    // The card's state (SIMStatus.Status). Changes announced by statusChanged(). Read-only.
    Q_PROPERTY(Ondrix::SIM::SIMStatus::Status status READ status NOTIFY statusChanged)
    // The code the card waits for (Code): none, PIN or PUK. Changes announced by statusChanged(). Read-only.
    Q_PROPERTY(Code codeNeeded READ codeNeeded NOTIFY statusChanged)
    // PIN attempts left, -1 when unknown. Changes announced by attemptsChanged(). Read-only.
    Q_PROPERTY(int pinAttemptsLeft READ pinAttemptsLeft NOTIFY attemptsChanged)
    // PUK attempts left, -1 when unknown. Changes announced by attemptsChanged(). Read-only.
    Q_PROPERTY(int pukAttemptsLeft READ pukAttemptsLeft NOTIFY attemptsChanged)
    // Whether a code is being checked by the card. Changes announced by busyChanged(). Read-only.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
public:
    enum Code {
        NoCode,     // the card is open, absent or unusable
        PinCode,    // the card waits for its PIN
        PukCode,    // the PIN is blocked: the card waits for its PUK and a new PIN
    };
    Q_ENUM(Code)

    explicit SimCard(QObject *parent = nullptr);
    bool valid() const { return m_status.isValid(); }
    SIM::SIMStatus::Status status() const { return m_state; }
    Code codeNeeded() const;
    int pinAttemptsLeft() const { return m_pinAttempts; }
    int pukAttemptsLeft() const { return m_pukAttempts; }
    bool busy() const { return m_busy; }

    // Each answered by codeEntered().
    Q_INVOKABLE void enterPin(const QString &pin);
    Q_INVOKABLE void enterPuk(const QString &puk, const QString &newPin);
    // Reads the state and the attempts again.
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void validChanged();
    void statusChanged();
    void attemptsChanged();
    void busyChanged();
    // The card's answer to enterPin() or enterPuk().
    void codeEntered(bool accepted, Ondrix::SIM::SIMError error);

private:
    void setState(SIM::SIMStatus::Status state);
    void readAttempts();
    void setBusy(bool busy);
    void setAttempts(int *field, int attempts);
    void entered(bool accepted, SIM::SIMError error);

    SIM::SIMStatus m_status;
    SIM::SIMSecurity m_security;
    SIM::SIMStatus::Status m_state = SIM::SIMStatus::UnknownStatus;
    int m_pinAttempts = -1, m_pukAttempts = -1;
    bool m_busy = false;
};

} // namespace Qml
} // namespace Ondrix

#endif
