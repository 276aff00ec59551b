// SPDX-License-Identifier: LGPL-2.1-or-later
#include "simcard.h"

namespace Ondrix {
namespace Qml {

SimCard::SimCard(QObject *parent)
    : QObject(parent)
{
    using SIM::SIMSecurity;
    using SIM::SIMStatus;
    connect(&m_status, &SIMStatus::statusChanged, this, &SimCard::setState);
    connect(&m_status, &SIMStatus::statusComplete, this, [this](SIMStatus::Status state, SIM::SIMError error) {
        if (error == SIM::NoError)
            setState(state);
    });
    connect(&m_status, &SIMStatus::validChanged, this, [this](bool valid) {
        emit validChanged();
        if (valid)
            refresh();
        else
            setState(SIMStatus::UnknownStatus);
    });
    connect(&m_security, &SIMSecurity::verifyPINRequired, this, [this](SIMSecurity::PINType type) {
        if (type == SIMSecurity::PIN)
            setState(SIMStatus::PINRequired);
    });
    connect(&m_security, &SIMSecurity::pinAttemptsLeftComplete, this, [this](int attempts, SIM::SIMError error) {
        setAttempts(&m_pinAttempts, error == SIM::NoError ? attempts : -1);
    });
    connect(&m_security, &SIMSecurity::pukAttemptsLeftComplete, this, [this](int attempts, SIM::SIMError error) {
        setAttempts(&m_pukAttempts, error == SIM::NoError ? attempts : -1);
    });
    connect(&m_security, &SIMSecurity::verifyPINComplete, this, &SimCard::entered);
    connect(&m_security, &SIMSecurity::verifyPUKComplete, this, &SimCard::entered);
    refresh();
}

SimCard::Code SimCard::codeNeeded() const
{
    switch (m_state) {
    case SIM::SIMStatus::PINRequired: return PinCode;
    case SIM::SIMStatus::PUKRequired: return PukCode;
    default: return NoCode;
    }
}

void SimCard::refresh()
{
    m_status.status();
    readAttempts();
}

void SimCard::readAttempts()
{
    m_security.pinAttemptsLeft(SIM::SIMSecurity::PIN);
    m_security.pukAttemptsLeft(SIM::SIMSecurity::PUK);
}

void SimCard::setState(SIM::SIMStatus::Status state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit statusChanged();
    if (codeNeeded() != NoCode)
        readAttempts();
}

void SimCard::setAttempts(int *field, int attempts)
{
    if (*field == attempts)
        return;
    *field = attempts;
    emit attemptsChanged();
}

void SimCard::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged();
}

void SimCard::enterPin(const QString &pin)
{
    setBusy(true);
    m_security.verifyPIN(SIM::SIMSecurity::PIN, pin);
}

void SimCard::enterPuk(const QString &puk, const QString &newPin)
{
    setBusy(true);
    m_security.verifyPUK(SIM::SIMSecurity::PUK, puk, newPin);
}

void SimCard::entered(bool accepted, SIM::SIMError error)
{
    setBusy(false);
    // A wrong code costs an attempt, and may block the PIN; a right one opens the card.
    readAttempts();
    m_status.status();
    emit codeEntered(accepted, error);
}

} // namespace Qml
} // namespace Ondrix
