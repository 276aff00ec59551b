/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Any text through the whole send and receive path: what serializes must
 * deserialize to the same text, whatever falls on a segment boundary. Some
 * inputs go with the cheapest shift tables, which must take as many segments
 * as were chosen. */
#include <ondrix-qt/smscodec.h>

#include <stdlib.h>
#include <string.h>

/* Well-formed UTF-8 without surrogates and without the no-break space (which
 * the GSM alphabet carries as a plain space). */
static int exact_utf8(const uint8_t *s, size_t n)
{
    for (size_t i = 0; i < n;) {
        const uint8_t c = s[i];
        size_t len;
        uint32_t cp;
        if (c < 0x80) {
            i++;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return 0;
        }
        if (i + len > n)
            return 0;
        for (size_t k = 1; k < len; k++) {
            if ((s[i + k] & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)
            || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xA0)
            return 0;
        i += len;
    }
    return 1;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int32_t langs[] = {0, 1, 2, 3, -1};
    sms_msg_t *msg, *back;
    sms_raw_pdu_t *raw = NULL;
    uint32_t count = 0;
    char *text;
    if (size < 1)
        return 0;
    text = malloc(size);
    memcpy(text, data + 1, size - 1);
    text[size - 1] = 0;
    msg = sms_msg_new_txt_message("+358401234567", text);
    msg->lang = langs[data[0] % 5];
    msg->srr = data[0] >> 7;
    sms_lang_choice_t choice;
    const int cheapest = (data[0] & 0x60) == 0x60 && sms_msg_choose_lang(msg, SMS_LANGS_NATIONAL, &choice) == SMS_OK;
    if (cheapest)
        msg->lang = choice.lang;
    if (sms_msg_serialize(msg, &raw, &count, data[0]) == SMS_OK) {
        sms_msg_size_t size_info;
        if (sms_msg_get_size(msg, &size_info, NULL) != SMS_OK || size_info.segments != count
            || (cheapest && choice.size.segments != count))
            abort();
        back = sms_msg_new();
        /* Received in reverse order. */
        for (uint32_t i = 0; i < count / 2; i++) {
            const sms_raw_pdu_t swap = raw[i];
            raw[i] = raw[count - 1 - i];
            raw[count - 1 - i] = swap;
        }
        /* A text that begins like the "//SCK" port header reads as one on
         * reception, and its concatenation fields may name a longer message:
         * such a lone segment is refused, never joined. */
        const int text_header = strncmp(text, "//SCK", 5) == 0;
        const int32_t status = sms_msg_deserialize(raw, count, back);
        if (status != SMS_OK && !(text_header && status == SMS_ERR_PARSE))
            abort();
        if (msg->lang != -1 && exact_utf8((const uint8_t *)text, strlen(text)) && !text_header
            && (!back->text || strcmp(back->text, text) != 0))
            abort();
        sms_msg_destroy(back);
        sms_msg_raw_destroy(raw, count);
    }
    sms_msg_destroy(msg);
    free(text);
    return 0;
}
