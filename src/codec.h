// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_CODEC_H
#define ONDRIX_CODEC_H

// The SMS codec as the C++ side uses it: the library's SMSMessage, the QML
// module and the command-line client. Owning types for what the codec hands
// out, hexadecimal text, PDUs in and out, and the language values. Internal:
// header-only over the codec's exported functions.

#include <ondrix-qt/smscodec.h>
#include <ondrix-qt/smsmessage.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <memory>
#include <vector>

namespace Ondrix {
namespace Codec {

struct Release {
    void operator()(sms_msg_t *msg) const { sms_msg_destroy(msg); }
    void operator()(sms_conv_ctx_t *ctx) const { sms_conv_ctx_close(ctx); }
    void operator()(char *text) const { std::free(text); }
};
using Message = std::unique_ptr<sms_msg_t, Release>;
using Context = std::unique_ptr<sms_conv_ctx_t, Release>;
using Text = std::unique_ptr<char, Release>;

// The codec language of an SMSMessage language.
inline int32_t languageOf(int language)
{
    switch (language) {
    case SMSMessage::LanguageTurkish: return SMS_LANG_TURKISH;
    case SMSMessage::LanguageSpanish: return SMS_LANG_SPANISH;
    case SMSMessage::LanguagePortuguese: return SMS_LANG_PORTUGUESE;
    case SMSMessage::LanguageTransliterated: return SMS_LANG_TRANSLITERATE;
    default: return SMS_LANG_DEFAULT;
    }
}

// The SMSMessage language of a codec table's language.
inline SMSMessage::Language messageLanguageOf(int32_t lang)
{
    return lang == SMS_LANG_TRANSLITERATE ? SMSMessage::LanguageTransliterated
           : lang >= SMS_LANG_DEFAULT && lang <= SMS_LANG_PORTUGUESE ? SMSMessage::Language(lang)
                                                                        : SMSMessage::LanguageDefault;
}

inline QString hexOf(const uint8_t *data, uint32_t len, char separator = '\0')
{
    const QByteArray octets = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(len));
    return QString::fromLatin1((separator ? octets.toHex(separator) : octets.toHex()).toUpper());
}

// Hexadecimal text as octets; false for anything else (odd length, other characters, nothing).
inline bool fromHex(const QString &text, QByteArray &octets)
{
    const QByteArray latin = text.toLatin1();
    octets = QByteArray::fromHex(latin);
    return !octets.isEmpty() && octets.toHex() == latin.toLower();
}

// The message's PDUs as SUBMITs with reference `reference`, in hexadecimal.
inline int32_t encode(const sms_msg_t *msg, uint32_t reference, QStringList &pdus)
{
    sms_raw_pdu_t *raw = nullptr;
    uint32_t count = 0;
    const int32_t status = sms_msg_serialize(msg, &raw, &count, reference);
    for (uint32_t i = 0; status == SMS_OK && i < count; i++)
        pdus << hexOf(raw[i].data, raw[i].len);
    sms_msg_raw_destroy(raw, count);
    return status;
}

// The message the PDUs (in any order) make together.
inline int32_t decode(const QList<QByteArray> &pdus, Message &msg)
{
    std::vector<sms_raw_pdu_t> raw;
    for (const QByteArray &pdu : pdus)
        raw.push_back({reinterpret_cast<uint8_t *>(const_cast<char *>(pdu.constData())), uint32_t(pdu.size())});
    msg.reset(sms_msg_new());
    if (!msg)
        return SMS_ERR_NO_MEMORY;
    return raw.empty() ? SMS_ERR_INVALID_PARAM : sms_msg_deserialize(raw.data(), uint32_t(raw.size()), msg.get());
}

// One cell broadcast page and its text (empty where it carries none).
inline int32_t decodeCellBroadcast(const QByteArray &octets, sms_cbs_page_t &page, QString &text)
{
    const int32_t status =
        sms_cbs_decode(reinterpret_cast<const uint8_t *>(octets.constData()), uint32_t(octets.size()), &page);
    if (status != SMS_OK)
        return status;
    char *utf8 = nullptr;
    uint32_t len = 0;
    text = sms_cbs_get_text(&page, &utf8, &len) == SMS_OK ? QString::fromUtf8(utf8, int(len)) : QString();
    Text owned(utf8);
    return SMS_OK;
}

// The value for sms_msg_t.lang that sends a message with the tables of
// `lang` and with the shift elements its count has: a language with tables
// of its own as it is, Spanish (no locking-shift table) as the pair of the
// default alphabet and its single shift, which carries no locking element.
inline int32_t sentAs(int32_t lang)
{
    int32_t locking, single;
    if (sms_conv_lang_tables(lang, &locking, &single) != SMS_OK || (locking == lang && single == lang))
        return lang;
    return SMS_LANG_PAIR(locking, single);
}

// The room a message takes: with the tables of `lang`, or, when `cheapest`
// names languages (SMS_LANG_BIT values), with the cheapest tables among them.
struct Size {
    sms_msg_size_t size = {};
    int32_t lang = SMS_LANG_DEFAULT;            // the value that sends it so
    int32_t lockingLang = SMS_LANG_DEFAULT;
    int32_t singleLang = SMS_LANG_DEFAULT;
    int32_t status = SMS_ERR_INVALID_PARAM;
};

inline Size sizeOf(const sms_msg_t *msg, int32_t lang, uint32_t cheapest = 0)
{
    Size out;
    if (!msg)
        return out;
    if (cheapest) {
        sms_lang_choice_t choice;
        out.status = sms_msg_choose_lang(msg, cheapest, &choice);
        out.size = choice.size;
        out.lang = choice.lang;
        out.lockingLang = choice.locking_lang;
        out.singleLang = choice.single_lang;
        return out;
    }
    sms_conv_lang_tables(lang, &out.lockingLang, &out.singleLang);
    const Context ctx(sms_conv_ctx_open_locked(out.lockingLang, out.singleLang));
    out.lang = sentAs(lang);
    out.status = ctx ? sms_msg_get_size(msg, &out.size, ctx.get()) : SMS_ERR_NO_MEMORY;
    return out;
}

} // namespace Codec
} // namespace Ondrix

#endif
