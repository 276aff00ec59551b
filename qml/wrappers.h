// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_QML_WRAPPERS_H
#define ONDRIX_QML_WRAPPERS_H

// What QML needs beside the C++ classes: value types as lists and maps, and
// the segment counter as an object. Each wrapper is the C++ class itself,
// with the values QML cannot read made readable.

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/emergencynumbers.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/networktime.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/smsmessage.h>
#include <ondrix-qt/supplementaryservices.h>

#include <QVariantList>
#include <memory>

namespace Ondrix {
namespace Qml {

// The operators of the last scan as a list QML can index (each one an AvailableOperator).
class NetworkRegistration : public Ondrix::NetworkRegistration
{
    Q_OBJECT
    Q_PROPERTY(QVariantList operators READ operators NOTIFY operatorsChanged)
public:
    explicit NetworkRegistration(QObject *parent = nullptr);
    QVariantList operators() const;
Q_SIGNALS:
    void operatorsChanged();
};

// Diversions as maps: basicService, active, telephoneNumber, forwardDelay. A
// USSD dialogue the network left open when the object goes is released.
class SupplementaryServices : public Ondrix::SupplementaryServices
{
    Q_OBJECT
public:
    explicit SupplementaryServices(QObject *parent = nullptr);
    ~SupplementaryServices() override;
    // Whether a dialled string carries a code (see the C++ class).
    Q_INVOKABLE bool carriesCode(const QString &command) const
    {
        return Ondrix::SupplementaryServices::carriesCode(command);
    }
    // The name of an Error value ("NotProvisioned"), for a message on screen.
    Q_INVOKABLE QString errorName(int error) const;
Q_SIGNALS:
    void divertsChecked(const QVariantList &diversions, int error);
    // Every call service operation's completion in one signal: `operation` is
    // the member that started it ("checkDivert", "activateBarring", ...);
    // `result` what a check found (diversions as in divertsChecked, basic
    // services as a list of codes, a bool, a ClirStatus), else undefined.
    void serviceCompleted(const QString &operation, int error, const QVariant &result);
private:
    bool m_dialogue = false;   // the network asked or told something and has not released
    void forward(void (Ondrix::SupplementaryServices::*completed)(Error), const char *operation);
    template <typename Result>
    void forward(void (Ondrix::SupplementaryServices::*completed)(Result, Error), const char *operation);
};

// The timers as a map (last, dialled, received, total), read once without
// blocking, again whenever the daemon returns, and kept by its announcements.
class CallTimers : public Ondrix::CallTimers
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap timers READ timerMap NOTIFY timersChanged)
public:
    explicit CallTimers(QObject *parent = nullptr);
    QVariantMap timerMap() const;
Q_SIGNALS:
    void timersChanged();
private:
    void keep(const CallTimersInfo &timers);
    CallTimersInfo m_timers;
};

// The network's last time report, read once without blocking, again whenever
// the daemon returns, and kept by its announcements.
class NetworkTime : public Ondrix::NetworkTime
{
    Q_OBJECT
    Q_PROPERTY(Ondrix::NetworkTimeInfo timeInfo READ cachedTimeInfo NOTIFY timeInfoKept)
public:
    explicit NetworkTime(QObject *parent = nullptr);
    NetworkTimeInfo cachedTimeInfo() const { return m_info; }
Q_SIGNALS:
    // The report timeInfo holds changed (timeInfoChanged() carries each report).
    void timeInfoKept();
private:
    NetworkTimeInfo m_info;
};

// The SIM card as a lock screen needs it: its state, the code it waits for
// and the attempts left, read at start and followed. Codes go to the card
// and are kept nowhere.
class SimCard : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool valid READ valid NOTIFY validChanged)
    Q_PROPERTY(Ondrix::SIM::SIMStatus::Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(Code codeNeeded READ codeNeeded NOTIFY statusChanged)
    Q_PROPERTY(int pinAttemptsLeft READ pinAttemptsLeft NOTIFY attemptsChanged)
    Q_PROPERTY(int pukAttemptsLeft READ pukAttemptsLeft NOTIFY attemptsChanged)
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

// The numbers with their attributes as maps: number, firstValue, secondValue.
class EmergencyNumbers : public Ondrix::EmergencyNumbers
{
    Q_OBJECT
public:
    using Ondrix::EmergencyNumbers::EmergencyNumbers;
    Q_INVOKABLE QVariantList numbersWithInfo() const;
};

// The segment counter under a message editor.
class SmsCounter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int language READ language WRITE setLanguage NOTIFY changed)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY changed)
    Q_PROPERTY(int segments READ segments NOTIFY changed)
    Q_PROPERTY(int remaining READ remaining NOTIFY changed)
    Q_PROPERTY(int maxLength READ maxLength NOTIFY changed)
    Q_PROPERTY(int lockingLanguage READ lockingLanguage NOTIFY changed)
    Q_PROPERTY(int singleLanguage READ singleLanguage NOTIFY changed)
public:
    enum Language {
        Default = SMSMessage::LanguageDefault,
        Turkish = SMSMessage::LanguageTurkish,
        Spanish = SMSMessage::LanguageSpanish,
        Portuguese = SMSMessage::LanguagePortuguese,
        Transliterated = SMSMessage::LanguageTransliterated,
        Cheapest = 5,   // the tables of any national language, whichever need the fewest segments
    };
    Q_ENUM(Language)

    explicit SmsCounter(QObject *parent = nullptr);
    int language() const { return m_language; }
    void setLanguage(int language);
    QString text() const { return m_text; }
    void setText(const QString &text);
    int segments() const { return int(m_segments); }
    int remaining() const { return int(m_remaining); }
    int maxLength() const { return int(m_maxLength); }
    // The tables the count is with (Language values; Spanish has no locking shift table).
    int lockingLanguage() const { return m_locking; }
    int singleLanguage() const { return m_single; }

Q_SIGNALS:
    void changed();

private:
    void measure();

    int m_language = Default;
    QString m_text;
    unsigned int m_segments = 0, m_remaining = 0, m_maxLength = 0;
    int m_locking = Default, m_single = Default;
};

// The SMS codec for QML: a text into PDUs, PDUs into a message, a cell broadcast page.
class SmsCodec : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // {pdus: [hex, ...], error}; `language` as SmsCounter's (Cheapest too).
    Q_INVOKABLE QVariantMap encode(const QString &to, const QString &text, int language = 0, int reference = 0) const;
    // {from, to, text, error}, the segments in any order.
    Q_INVOKABLE QVariantMap decode(const QStringList &pdus) const;
    // {messageId, page, pages, popup, alert, text, error}.
    Q_INVOKABLE QVariantMap decodeCellBroadcast(const QString &page) const;
};

} // namespace Qml
} // namespace Ondrix

#endif
