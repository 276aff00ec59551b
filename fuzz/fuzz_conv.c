/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Septets and text from the network: unpack any octets, convert any codes
 * (septets or not) and any UTF-8 or UCS-2 through every table set. */
#include <ondrix-qt/smscodec.h>

#include <stdlib.h>
#include <string.h>

/* One septet at a time, as the bits lie: what the unpacker must give. */
static uint8_t septet_at(const uint8_t *packed, size_t bit)
{
    unsigned value = 0;
    for (unsigned k = 0; k < 7; k++, bit++)
        value |= (unsigned)((packed[bit / 8] >> (bit % 8)) & 1) << k;
    return (uint8_t)value;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int32_t langs[] = {0, 1, 2, 3, -1};
    sms_conv_ctx_t *ctx;
    uint8_t *codes, *gsm = NULL;
    uint16_t *ucs2 = NULL;
    char *text = NULL;
    uint32_t len = 0, fill, count, n = 0;
    const uint8_t *body = data + 1;
    const size_t body_size = size ? size - 1 : 0;
    if (size < 1)
        return 0;
    ctx = sms_conv_ctx_open_locked(langs[data[0] % 5], langs[(data[0] / 5) % 5]);
    if (!ctx)
        abort();
    fill = (data[0] >> 5) % 7;

    /* Packed septets. */
    count = body_size * 8 > fill ? (uint32_t)((body_size * 8 - fill) / 7) : 0;
    codes = malloc(count + 1);
    if (sms_conv_unpack(body, codes, (int32_t)count, fill) != (int32_t)count)
        abort();
    for (uint32_t i = 0; i < count; i++) {
        if (codes[i] != septet_at(body, fill + 7 * (size_t)i))
            abort();
    }
    if (count && sms_conv_gsm_to_utf8(codes, count, &text, &len, ctx) == SMS_OK) {
        if (text[len] != 0)
            abort();
        free(text);
        text = NULL;
    }
    free(codes);

    /* The octets as raw codes, some above 127: the packed table gives what
     * the table of texts gives. */
    if (body_size && sms_conv_gsm_to_utf8(body, (uint32_t)body_size, &text, &len, ctx) == SMS_OK) {
        sms_conv_ctx_t texts_only = *ctx;
        char *slow = NULL;
        uint32_t slow_len = 0;
        texts_only.base_fwd_utf8 = NULL;
        if (sms_conv_gsm_to_utf8(body, (uint32_t)body_size, &slow, &slow_len, &texts_only) != SMS_OK
            || slow_len != len || memcmp(slow, text, len) != 0)
            abort();
        free(slow);
        free(text);
    }
    text = NULL;

    /* The octets as UTF-8, then on to GSM and back to UTF-8. Accepted text
     * comes back octet for octet, but for a character cut at the end; the
     * direct Latin-1 table gives the codes the sorted tables give. */
    if (sms_conv_utf8_to_ucs2((const char *)body, (uint32_t)body_size, &ucs2, &len, ctx) == SMS_OK) {
        if (len && sms_conv_ucs2_to_gsm(ucs2, len, &gsm, &n, ctx) == SMS_OK) {
            sms_conv_ctx_t sorted_only = *ctx;
            uint8_t *again = NULL;
            uint32_t again_n = 0;
            sorted_only.latin1_ready = 0;
            if (n != sms_conv_gsm_chars_required(ucs2, len, ctx)
                || sms_conv_ucs2_to_gsm(ucs2, len, &again, &again_n, &sorted_only) != SMS_OK
                || again_n != n || memcmp(again, gsm, n) != 0)
                abort();
            free(again);
            free(gsm);
        }
        if (sms_conv_ucs2_to_utf8(ucs2, len, &text, &n) != SMS_OK || n > body_size || n + 3 < body_size
            || memcmp(text, body, n) != 0)
            abort();
        free(text);
        free(ucs2);
    }
    /* The octets as UCS-2. */
    if (body_size >= 2) {
        uint16_t *units = malloc(body_size);
        memcpy(units, body, body_size & ~(size_t)1);
        if (sms_conv_ucs2_to_utf8(units, (uint32_t)body_size, &text, &n) == SMS_OK)
            free(text);
        if (sms_conv_ucs2_to_gsm(units, (uint32_t)body_size, &gsm, &n, ctx) == SMS_OK)
            free(gsm);
        free(units);
    }
    sms_conv_ctx_close(ctx);
    return 0;
}
