// SPDX-License-Identifier: LGPL-2.1-or-later
#include "smscounter.h"

#include "codec.h"

namespace Ondrix {
namespace Qml {

SmsCounter::SmsCounter(QObject *parent)
    : QObject(parent)
{
}

void SmsCounter::setLanguage(int language)
{
    m_language = language;
    measure();
}

void SmsCounter::setText(const QString &text)
{
    m_text = text;
    measure();
}

void SmsCounter::measure()
{
    const bool cheapest = m_language == Cheapest;
    SMSMessage message(cheapest ? SMSMessage::LanguageDefault : SMSMessage::Language(m_language), m_text);
    if (cheapest)
        message.setCheapestAmong({SMSMessage::LanguageTurkish, SMSMessage::LanguageSpanish, SMSMessage::LanguagePortuguese});
    message.getSize(m_segments, m_remaining, m_maxLength);
    m_maxLength /= 255;   // getSize() gives the room of 255 messages; one message's is shown
    m_locking = message.lockingLanguage();
    m_single = message.singleLanguage();
    emit changed();
}

namespace {

QVariantMap failure(int32_t status)
{
    return {{QStringLiteral("error"), QString::fromLatin1(sms_str_error(uint32_t(status)))}};
}

} // namespace

QVariantMap SmsCodec::encode(const QString &to, const QString &text, int language, int reference) const
{
    const Codec::Message msg(sms_msg_new_txt_message(to.toUtf8().constData(), text.toUtf8().constData()));
    if (!msg)
        return failure(SMS_ERR_INVALID_PARAM);
    msg->lang = language == SmsCounter::Cheapest ? Codec::sizeOf(msg.get(), SMS_LANG_DEFAULT, SMS_LANGS_NATIONAL).lang
                                                  : Codec::sentAs(Codec::languageOf(language));
    QStringList pdus;
    const int32_t status = Codec::encode(msg.get(), uint32_t(reference), pdus);
    if (status != SMS_OK)
        return failure(status);
    return {{QStringLiteral("pdus"), pdus}, {QStringLiteral("error"), QString()}};
}

QVariantMap SmsCodec::decode(const QStringList &pdus) const
{
    QList<QByteArray> octets;
    for (const QString &pdu : pdus) {
        QByteArray one;
        if (!Codec::fromHex(pdu, one))
            return failure(SMS_ERR_INVALID_PARAM);
        octets << one;
    }
    Codec::Message msg;
    const int32_t status = Codec::decode(octets, msg);
    if (status != SMS_OK)
        return failure(status);
    return {{QStringLiteral("from"), QString::fromUtf8(msg->from)},
            {QStringLiteral("to"), QString::fromUtf8(msg->to)},
            {QStringLiteral("text"), QString::fromUtf8(msg->text, int(msg->data_len))},
            {QStringLiteral("error"), QString()}};
}

QVariantMap SmsCodec::decodeCellBroadcast(const QString &page) const
{
    QByteArray octets;
    sms_cbs_page_t p;
    QString text;
    const int32_t status = Codec::fromHex(page, octets) ? Codec::decodeCellBroadcast(octets, p, text) : SMS_ERR_INVALID_PARAM;
    if (status != SMS_OK)
        return failure(status);
    return {{QStringLiteral("messageId"), p.message_id}, {QStringLiteral("page"), p.page_number},
            {QStringLiteral("pages"), p.total_pages}, {QStringLiteral("popup"), bool(sms_cbs_is_popup(&p))},
            {QStringLiteral("alert"), bool(sms_cbs_is_user_alert(&p))}, {QStringLiteral("text"), text},
            {QStringLiteral("error"), QString()}};
}

} // namespace Qml
} // namespace Ondrix
