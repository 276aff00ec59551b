// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_QML_SMSCOUNTER_H
#define ONDRIX_QML_SMSCOUNTER_H

#include <ondrix-qt/smsmessage.h>

#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <QtQml/qqml.h>

namespace Ondrix {
namespace Qml {

// The segment counter under a message editor.
class SmsCounter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The national language whose tables the text may use (Language: SmsCounter.Turkish, SmsCounter.Cheapest,
    // ...). Changes announced by changed(). Writable (setLanguage()).
    Q_PROPERTY(int language READ language WRITE setLanguage NOTIFY changed)
    // The message being written. Changes announced by changed(). Writable (setText()).
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY changed)
    // How many messages the text takes. Changes announced by changed(). Read-only.
    Q_PROPERTY(int segments READ segments NOTIFY changed)
    // Characters left in the last message. Changes announced by changed(). Read-only.
    Q_PROPERTY(int remaining READ remaining NOTIFY changed)
    // What one message holds in the encoding the text needs (160, 70, ...). Changes announced by changed().
    // Read-only.
    Q_PROPERTY(int maxLength READ maxLength NOTIFY changed)
    // The locking shift table the text is sent with. Changes announced by changed(). Read-only.
    Q_PROPERTY(int lockingLanguage READ lockingLanguage NOTIFY changed)
    // The single shift table the text is sent with. Changes announced by changed(). Read-only.
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
    QML_ELEMENT
    QML_SINGLETON
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
