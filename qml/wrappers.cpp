// SPDX-License-Identifier: LGPL-2.1-or-later
#include "wrappers.h"

#include <ondrix-qt/smscodec.h>

#include <cstdlib>

namespace Ondrix {
namespace Qml {

NetworkRegistration::NetworkRegistration(QObject *parent)
    : Ondrix::NetworkRegistration(parent)
{
    connect(this, &Ondrix::NetworkRegistration::operatorsSuccess, this, &NetworkRegistration::operatorsChanged);
    connect(this, &Ondrix::NetworkRegistration::operatorsFailure, this, &NetworkRegistration::operatorsChanged);
    connect(this, &Ondrix::NetworkRegistration::operatorsCanceled, this, &NetworkRegistration::operatorsChanged);
}

QVariantList NetworkRegistration::operators() const
{
    QVariantList list;
    for (const AvailableOperator &op : availableOperators())
        list << QVariant::fromValue(op);
    return list;
}

SupplementaryServices::SupplementaryServices(QObject *parent)
    : Ondrix::SupplementaryServices(parent)
{
    connect(this, &Ondrix::SupplementaryServices::checkDivertCompleted, this,
            [this](const DivertServiceList &diversions, Error error) {
                QVariantList list;
                for (const DivertService &d : diversions) {
                    list << QVariantMap{{QStringLiteral("basicService"), int(d.basicService)},
                                        {QStringLiteral("active"), d.active},
                                        {QStringLiteral("telephoneNumber"), d.telephoneNumber},
                                        {QStringLiteral("forwardDelay"), d.forwardDelay}};
                }
                emit divertsChecked(list, error);
            });
}

CallTimers::CallTimers(QObject *parent)
    : Ondrix::CallTimers(parent)
{
    connect(this, &Ondrix::CallTimers::timersUpdated, this, &CallTimers::timersChanged);
}

QVariantMap CallTimers::timerMap() const
{
    const CallTimersInfo t = timers();
    return {{QStringLiteral("last"), t.last}, {QStringLiteral("dialled"), t.dialled},
            {QStringLiteral("received"), t.received}, {QStringLiteral("total"), t.total}};
}

QVariantList EmergencyNumbers::numbersWithInfo() const
{
    QVariantList list;
    for (const EmergencyNumberInfo &info : Ondrix::EmergencyNumbers::numbersWithInfo()) {
        list << QVariantMap{{QStringLiteral("number"), info.number}, {QStringLiteral("firstValue"), info.firstValue},
                            {QStringLiteral("secondValue"), info.secondValue}};
    }
    return list;
}

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
    SMSMessage message(SMSMessage::Language(m_language), m_text);
    message.getSize(m_segments, m_remaining, m_maxLength);
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
    sms_msg_t *msg = sms_msg_new_txt_message(to.toUtf8().constData(), text.toUtf8().constData());
    if (!msg)
        return failure(SMS_ERR_INVALID_PARAM);
    msg->lang = language == SMSMessage::LanguageTransliterated ? SMS_LANG_TRANSLITERATE : language;
    sms_raw_pdu_t *raw = nullptr;
    uint32_t count = 0;
    const int32_t status = sms_msg_serialize(msg, &raw, &count, uint32_t(reference));
    QStringList pdus;
    for (uint32_t i = 0; i < count; i++)
        pdus << QString::fromLatin1(QByteArray(reinterpret_cast<char *>(raw[i].data), int(raw[i].len)).toHex().toUpper());
    sms_msg_raw_destroy(raw, count);
    sms_msg_destroy(msg);
    if (status != SMS_OK)
        return failure(status);
    return {{QStringLiteral("pdus"), pdus}, {QStringLiteral("error"), QString()}};
}

QVariantMap SmsCodec::decode(const QStringList &pdus) const
{
    QList<QByteArray> octets;
    QVector<sms_raw_pdu_t> raw;
    for (const QString &pdu : pdus)
        octets << QByteArray::fromHex(pdu.toLatin1());
    for (QByteArray &o : octets)
        raw.append({reinterpret_cast<uint8_t *>(o.data()), uint32_t(o.size())});
    if (raw.isEmpty())
        return failure(SMS_ERR_INVALID_PARAM);
    sms_msg_t *msg = sms_msg_new();
    const int32_t status = sms_msg_deserialize(raw.data(), uint32_t(raw.size()), msg);
    QVariantMap result = failure(status);
    if (status == SMS_OK) {
        result = {{QStringLiteral("from"), QString::fromUtf8(msg->from)},
                  {QStringLiteral("to"), QString::fromUtf8(msg->to)},
                  {QStringLiteral("text"), QString::fromUtf8(msg->text)},
                  {QStringLiteral("error"), QString()}};
    }
    sms_msg_destroy(msg);
    return result;
}

QVariantMap SmsCodec::decodeCellBroadcast(const QString &page) const
{
    const QByteArray octets = QByteArray::fromHex(page.toLatin1());
    sms_cbs_page_t p;
    const int32_t status = sms_cbs_decode(reinterpret_cast<const uint8_t *>(octets.constData()), uint32_t(octets.size()), &p);
    if (status != SMS_OK)
        return failure(status);
    char *text = nullptr;
    uint32_t len = 0;
    const QString content = sms_cbs_get_text(&p, &text, &len) == SMS_OK ? QString::fromUtf8(text, int(len)) : QString();
    std::free(text);
    return {{QStringLiteral("messageId"), p.message_id}, {QStringLiteral("page"), p.page_number},
            {QStringLiteral("pages"), p.total_pages}, {QStringLiteral("popup"), bool(sms_cbs_is_popup(&p))},
            {QStringLiteral("alert"), bool(sms_cbs_is_user_alert(&p))}, {QStringLiteral("text"), content},
            {QStringLiteral("error"), QString()}};
}

} // namespace Qml
} // namespace Ondrix
