// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/smsmessage.h"

#include "codec.h"

namespace Ondrix {

namespace {
// A fixed address: the message is measured, never sent.
const char Placeholder[] = "+12345";
} // namespace

class SMSMessagePrivate
{
public:
    sms_msg_t *message = nullptr;
    sms_conv_ctx_t *context = nullptr;
    int32_t singleLanguage = SMS_LANG_DEFAULT;
    int32_t lockingLanguage = SMS_LANG_DEFAULT;
    // The languages whose tables getSize() may choose from; none: the context's.
    uint32_t cheapest = 0;
    // The tables the last getSize() counted with.
    int32_t countedLocking = SMS_LANG_DEFAULT;
    int32_t countedSingle = SMS_LANG_DEFAULT;
};

SMSMessage::SMSMessage()
    : SMSMessage(LanguageDefault)
{
}

SMSMessage::SMSMessage(Language language)
    : d(new SMSMessagePrivate)
{
    if (sms_conv_lang_tables(Codec::languageOf(language), &d->lockingLanguage, &d->singleLanguage) != SMS_OK)
        d->lockingLanguage = d->singleLanguage = SMS_LANG_DEFAULT;
    d->context = sms_conv_ctx_open_locked(d->lockingLanguage, d->singleLanguage);
}

SMSMessage::SMSMessage(Language language, const QString &text)
    : SMSMessage(language)
{
    setText(text);
}

SMSMessage::SMSMessage(const QString &text)
    : SMSMessage(LanguageDefault, text)
{
}

SMSMessage::~SMSMessage()
{
    sms_conv_ctx_close(d->context);
    sms_msg_destroy(d->message);
    delete d;
}

void SMSMessage::setText(const QString &text)
{
    sms_msg_destroy(d->message);
    d->message = sms_msg_new_txt_message(Placeholder, text.toUtf8().constData());
}

QString SMSMessage::text() const
{
    return d->message ? QString::fromUtf8(d->message->text, int(d->message->data_len)) : QString();
}

int SMSMessage::getSize(unsigned int &segments, unsigned int &remaining, unsigned int &maxLength) const
{
    segments = remaining = maxLength = 0;
    if (!d->message || !d->context)
        return 1;
    sms_msg_size_t size;
    int32_t status;
    if (d->cheapest) {
        const Codec::Size cheapest = Codec::sizeOf(d->message, SMS_LANG_DEFAULT, d->cheapest);
        size = cheapest.size;
        status = cheapest.status;
        d->countedLocking = cheapest.lockingLang;
        d->countedSingle = cheapest.singleLang;
    } else {
        status = sms_msg_get_size(d->message, &size, d->context);
        d->countedLocking = d->lockingLanguage;
        d->countedSingle = d->singleLanguage;
    }
    switch (status) {
    case SMS_OK:
        segments = size.segments;
        remaining = size.free;
        maxLength = size.per_segment * SMS_MAX_SEGMENTS;
        return 0;
    case SMS_ERR_TOO_MANY_SEGMENTS:
        segments = SMS_MAX_SEGMENTS;
        maxLength = size.per_segment * SMS_MAX_SEGMENTS;
        return 2;
    case SMS_ERR_CONVERSION:
        return 3;
    default:
        return 4;
    }
}

void SMSMessage::setCheapestAmong(const QList<Language> &languages)
{
    d->cheapest = 0;
    for (const Language language : languages) {
        if (language >= LanguageTurkish && language <= LanguagePortuguese)
            d->cheapest |= SMS_LANG_BIT(Codec::languageOf(language));
    }
    // The default tables alone are a choice too.
    if (!languages.isEmpty())
        d->cheapest |= SMS_LANG_BIT(SMS_LANG_DEFAULT);
}

SMSMessage::Language SMSMessage::lockingLanguage() const
{
    return Codec::messageLanguageOf(d->countedLocking);
}

SMSMessage::Language SMSMessage::singleLanguage() const
{
    return Codec::messageLanguageOf(d->countedSingle);
}

} // namespace Ondrix
