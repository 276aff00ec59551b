/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* How much room a message takes: its text counted in the alphabet and with
 * the tables it goes in, read with the conversion tables themselves. */

#include "octets.h"
#include "sizing.h"
#include "tables.h"
#include "utf8.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

/* The header with the concatenation element added: 5 octets, 6 when it is the first. */
static uint32_t with_concat(uint32_t hdr_len)
{
    return hdr_len + (hdr_len ? 5 : 6);
}

/* Units a boundary-respecting split adds: a segment that would end on the
 * first half of a pair (an escape and its code, or a surrogate pair) ends one
 * unit early. */
static uint32_t split_extra(const uint8_t *codes, const uint16_t *units, uint32_t count, uint32_t per)
{
    uint32_t extra = 0;
    if (per < 2)
        return 0;
    for (uint32_t i = per - 1; i + 1 < count;) {
        const int first_half = codes ? codes[i] == GSM_ESCAPE : (units[i] & 0xFC00) == 0xD800;
        if (first_half) {
            extra++;
            i += per - 1;
        } else {
            i += per;
        }
    }
    return extra;
}

static int32_t finish(sms_msg_size_t *size, uint32_t units)
{
    size->segments = units ? ceil_div(units, size->per_segment) : 1;
    size->free = size->per_segment * size->segments - units;
    return size->segments > SMS_MAX_SEGMENTS ? SMS_ERR_TOO_MANY_SEGMENTS : SMS_OK;
}

int32_t sms_size_split_units(sms_msg_size_t *size, int32_t format, uint32_t capacity, uint32_t unit_bits,
                             uint32_t hdr_len, uint32_t units, uint32_t extra)
{
    uint32_t h = ceil_div(hdr_len * 8, unit_bits);
    if (h + units > capacity)
        h = ceil_div(with_concat(hdr_len) * 8, unit_bits);
    if (h >= capacity)
        return SMS_ERR_INVALID_PARAM;
    size->per_segment = capacity - h;
    size->format = (uint32_t)format;
    return finish(size, units > size->per_segment ? units + extra : units);
}

uint32_t sms_units_per_segment(uint32_t capacity, uint32_t unit_bits, uint32_t hdr_len)
{
    const uint32_t h = ceil_div(with_concat(hdr_len) * 8, unit_bits);
    return h < capacity ? capacity - h : 0;
}

int32_t sms_size_units(sms_msg_size_t *size, int32_t format, uint32_t capacity, uint32_t unit_bits,
                       uint32_t hdr_len, uint32_t units, const uint8_t *codes, const uint16_t *ucs2)
{
    const uint32_t per = sms_units_per_segment(capacity, unit_bits, hdr_len);
    const uint32_t extra = units > per && (codes || ucs2) ? split_extra(codes, ucs2, units, per) : 0;
    return sms_size_split_units(size, format, capacity, unit_bits, hdr_len, units, extra);
}

/* The units a split loses before pairs (an escape and its code, a surrogate
 * pair): a segment of `per` units that would end on a pair's first half ends
 * one unit early. `at` is where the pair starts, lost units counted. */
static inline uint32_t lost_before_pair(uint32_t at, uint32_t per)
{
    return at % per == per - 1;
}

/* The septets of the text with the context's tables, and the septets a split
 * loses; 0 when a character has no code, -1 when the text is not UTF-8. One
 * pass, nothing converted; runs of ASCII characters of one septet each are
 * counted whole. */
static int32_t count_septets(const uint8_t *in, uint32_t len, const sms_conv_ctx_t *ctx, uint32_t per,
                             uint32_t *septets, uint32_t *lost)
{
    uint32_t n = 0, extra = 0;
    for (uint32_t i = 0; i < len;) {
        if (in[i] < 0x80) {
            const uint32_t run = sms_conv_single_septet_run(ctx, in + i, len - i);
            n += run;
            i += run;
            if (i == len)
                break;
        }
        uint32_t step = 0;
        const int32_t cp = sms_utf8_next(in + i, len - i, &step);
        if (cp < 0)
            return -1;
        if (!step)
            break;   /* cut inside a character: up to it */
        i += step;
        const int septets_of = sms_conv_septets_of(ctx, (uint32_t)cp);
        if (!septets_of)
            return 0;
        if (septets_of == 2)
            extra += lost_before_pair(n + extra, per);
        n += (uint32_t)septets_of;
    }
    *septets = n;
    *lost = extra;
    return 1;
}

/* The UTF-16 units of the text and the units a split loses; -1 when the text
 * is not UTF-8. A character cut at the end is left out. */
static int32_t count_units(const uint8_t *in, uint32_t len, uint32_t per, uint32_t *units, uint32_t *lost)
{
    uint32_t n = 0, extra = 0;
    for (uint32_t i = 0; i < len;) {
        if (in[i] < 0x80) {   /* a run of ASCII: a unit each */
            uint32_t run = i + 1;
            while (run < len && in[run] < 0x80)
                run++;
            n += run - i;
            i = run;
            continue;
        }
        if (sms_utf8_two_octets(in + i, len - i) >= 0) {
            n++;
            i += 2;
            continue;
        }
        uint32_t step = 0;
        const int32_t cp = sms_utf8_char(in + i, len - i, &step);
        if (cp < 0)
            return -1;
        if (!step)
            break;
        if (cp >= 0x10000) {
            extra += lost_before_pair(n + extra, per);
            n++;
        }
        n++;
        i += step;
    }
    *units = n;
    *lost = extra;
    return 0;
}

/* Sizes a text without converting it: GSM 7-bit when every character has a
 * code with the context's tables, else UCS-2. */
static int32_t size_text_in_place(const sms_msg_t *msg, const sms_conv_ctx_t *ctx, uint32_t hdr_len,
                                  sms_msg_size_t *size)
{
    const uint8_t *in = (const uint8_t *)msg->text;
    uint32_t len = (uint32_t)strlen(msg->text);
    const uint32_t gsm_per = sms_units_per_segment(GSM_PER_TPDU, 7, hdr_len);
    const uint32_t ucs2_per = sms_units_per_segment(UCS2_PER_TPDU, 16, hdr_len);
    uint32_t count = 0, lost = 0;
    if (len > MAX_TEXT_OCTETS)
        len = MAX_TEXT_OCTETS;
    if (!gsm_per || !ucs2_per)
        return SMS_ERR_INVALID_PARAM;
    const int32_t gsm = count_septets(in, len, ctx, gsm_per, &count, &lost);
    if (gsm < 0)
        return SMS_ERR_CONVERSION;
    if (gsm > 0 && count)
        return sms_size_split_units(size, SMS_FORMAT_GSM_7BIT, GSM_PER_TPDU, 7, hdr_len, count, lost);
    if (count_units(in, len, ucs2_per, &count, &lost) < 0)
        return SMS_ERR_CONVERSION;
    return sms_size_split_units(size, SMS_FORMAT_UCS2, UCS2_PER_TPDU, 16, hdr_len, count, lost);
}

/* Gives `buffer` (`len` octets) to the caller as the payload, when one is
 * wanted; returns 1 when it was taken. */
static int hand_over(uint8_t **payload, uint32_t *payload_len, void *buffer, uint32_t len)
{
    if (!payload)
        return 0;
    *payload = buffer;
    if (payload_len)
        *payload_len = len;
    return 1;
}

static int32_t size_octets(const sms_msg_t *msg, uint32_t hdr_len, sms_msg_size_t *size,
                           uint8_t **payload, uint32_t *payload_len)
{
    const uint32_t length = msg->data_len;
    const int32_t status = sms_size_units(size, SMS_FORMAT_8BIT, OCTETS_PER_TPDU, 8, hdr_len, length, NULL, NULL);
    if (status != SMS_OK || !payload)
        return status;
    uint8_t *copy = malloc((size_t)length + 1);
    if (!copy)
        return SMS_ERR_NO_MEMORY;
    memcpy(copy, msg->data, length);
    copy[length] = 0;
    hand_over(payload, payload_len, copy, length);
    return SMS_OK;
}

/* GSM 7-bit when every character has a code, else UCS-2, where pairs of
 * UTF-16 units count as two. The payload is the codes or the units. */
static int32_t size_text(const sms_msg_t *msg, sms_conv_ctx_t *ctx, uint32_t hdr_len, sms_msg_size_t *size,
                         uint8_t **payload, uint32_t *payload_len)
{
    uint16_t *ucs2 = NULL;
    uint8_t *codes = NULL;
    uint32_t ucs2_bytes = 0, count = 0;
    uint32_t text_len = (uint32_t)strlen(msg->text);
    if (text_len > MAX_TEXT_OCTETS)
        text_len = MAX_TEXT_OCTETS;
    int32_t status = sms_conv_utf8_to_ucs2(msg->text, text_len, &ucs2, &ucs2_bytes, ctx);
    if (status != SMS_OK)
        return status;

    if (ucs2_bytes == 0 || sms_conv_ucs2_to_gsm(ucs2, ucs2_bytes, &codes, &count, ctx) != SMS_OK) {
        status = sms_size_units(size, SMS_FORMAT_UCS2, UCS2_PER_TPDU, 16, hdr_len, ucs2_bytes / 2, NULL, ucs2);
        if (status == SMS_OK && hand_over(payload, payload_len, ucs2, ucs2_bytes))
            ucs2 = NULL;
        free(ucs2);
        return status;
    }
    free(ucs2);
    status = sms_size_units(size, SMS_FORMAT_GSM_7BIT, GSM_PER_TPDU, 7, hdr_len, count, codes, NULL);
    /* The codes themselves; segments take their split into account. */
    if (status == SMS_OK && hand_over(payload, payload_len, codes, count))
        codes = NULL;
    free(codes);
    return status;
}

int32_t get_msg_size_and_data(const sms_msg_t *msg, sms_conv_ctx_t *ctx, uint32_t hdr_len,
                              sms_msg_size_t *size, uint8_t **payload, uint32_t *payload_len)
{
    if (!msg || !size || !ctx)
        return SMS_ERR_INVALID_PARAM;
    if (payload)
        *payload = NULL;
    if (payload_len)
        *payload_len = 0;
    if (msg->data)
        return size_octets(msg, hdr_len, size, payload, payload_len);
    if (!msg->text || !msg->text[0]) {
        size->segments = 1;
        size->format = SMS_FORMAT_GSM_7BIT;
        size->per_segment = size->free = GSM_PER_TPDU - ceil_div(hdr_len * 8, 7);
        return SMS_OK;
    }
    /* Sizing alone needs no converted text. */
    return payload ? size_text(msg, ctx, hdr_len, size, payload, payload_len)
                   : size_text_in_place(msg, ctx, hdr_len, size);
}

uint32_t sms_msg_header_octets(const sms_msg_t *msg, int32_t locking_lang, int32_t single_lang)
{
    uint32_t hdr = 0;
#define ADD_ELEMENT(octets) (hdr += (octets) + (hdr ? 0 : 1))
    if (msg->smsc_ctrl)
        ADD_ELEMENT(3);
    if (locking_lang > 0)
        ADD_ELEMENT(3);
    if (single_lang > 0)
        ADD_ELEMENT(3);
    if (msg->ports)
        ADD_ELEMENT(6);
#undef ADD_ELEMENT
    return hdr;
}

int32_t sms_msg_get_size(const sms_msg_t *msg, sms_msg_size_t *size, sms_conv_ctx_t *ctx)
{
    sms_conv_ctx_t *own = NULL;
    uint32_t hdr = 0;
    int32_t status;
    if (!msg || !size)
        return SMS_ERR_INVALID_PARAM;
    memset(size, 0, sizeof *size);
    if (!ctx) {
        own = ctx = sms_conv_ctx_open(msg->lang);
        if (!ctx)
            return SMS_ERR_NO_MEMORY;
    }
    hdr = sms_msg_header_octets(msg, sms_conv_ctx_locking_lang(ctx), sms_conv_ctx_single_lang(ctx));
    status = get_msg_size_and_data(msg, ctx, hdr, size, NULL, NULL);
    sms_conv_ctx_close(own);
    return status;
}
