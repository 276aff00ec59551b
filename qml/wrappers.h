// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_QML_WRAPPERS_H
#define ONDRIX_QML_WRAPPERS_H

// What QML needs beside the C++ classes: value types as lists and maps, and
// the segment counter as an object. Each wrapper is the C++ class itself,
// with the values QML cannot read made readable.

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/emergencynumbers.h>
#include <ondrix-qt/networkregistration.h>
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

// Diversions as maps: basicService, active, telephoneNumber, forwardDelay.
class SupplementaryServices : public Ondrix::SupplementaryServices
{
    Q_OBJECT
public:
    explicit SupplementaryServices(QObject *parent = nullptr);
    // Whether a dialled string carries a code (see the C++ class).
    Q_INVOKABLE bool carriesCode(const QString &command) const
    {
        return Ondrix::SupplementaryServices::carriesCode(command);
    }
Q_SIGNALS:
    void divertsChecked(const QVariantList &diversions, int error);
};

// The timers as a map: last, dialled, received, total.
class CallTimers : public Ondrix::CallTimers
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap timers READ timerMap NOTIFY timersChanged)
public:
    explicit CallTimers(QObject *parent = nullptr);
    QVariantMap timerMap() const;
Q_SIGNALS:
    void timersChanged();
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
public:
    enum Language {
        Default = SMSMessage::LanguageDefault,
        Turkish = SMSMessage::LanguageTurkish,
        Spanish = SMSMessage::LanguageSpanish,
        Portuguese = SMSMessage::LanguagePortuguese,
        Transliterated = SMSMessage::LanguageTransliterated,
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

Q_SIGNALS:
    void changed();

private:
    void measure();

    int m_language = Default;
    QString m_text;
    unsigned int m_segments = 0, m_remaining = 0, m_maxLength = 0;
};

// The SMS codec for QML: a text into PDUs, PDUs into a message, a cell broadcast page.
class SmsCodec : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // {pdus: [hex, ...], error}; `language` as SmsCounter's.
    Q_INVOKABLE QVariantMap encode(const QString &to, const QString &text, int language = 0, int reference = 0) const;
    // {from, to, text, error}, the segments in any order.
    Q_INVOKABLE QVariantMap decode(const QStringList &pdus) const;
    // {messageId, page, pages, popup, alert, text, error}.
    Q_INVOKABLE QVariantMap decodeCellBroadcast(const QString &page) const;
};

} // namespace Qml
} // namespace Ondrix

#endif
