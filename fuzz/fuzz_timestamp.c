/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Time stamps and validity periods from the network: what decodes must
 * encode to the same instant. */
#include <ondrix-qt/smscodec.h>

#include <stdlib.h>
#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const uint8_t formats[] = {0x00, 0x08, 0x10, 0x18};
    sms_time_t t, back;
    sms_tpdu_t tpdu;
    sms_cursor_t c;
    uint8_t *copy, out[8];
    if (size < 1)
        return 0;
    copy = malloc(size);
    memcpy(copy, data, size);

    sms_cursor_init(&c, copy + 1, (uint32_t)(size - 1));
    if (sms_time_decode(&c, &t) == SMS_OK) {
        sms_cursor_t w, r;
        sms_cursor_init(&w, out, 7);
        if (sms_time_encode(&t, &w) == SMS_OK) {
            sms_cursor_init(&r, out, 7);
            if (sms_time_decode(&r, &back) != SMS_OK || back.utc != t.utc || back.tz != t.tz)
                abort();
        }
    }

    memset(&tpdu, 0, sizeof tpdu);
    tpdu.vpf = formats[copy[0] & 3];
    sms_cursor_init(&c, copy + 1, (uint32_t)(size - 1));
    if (decode_validity_period(&c, &tpdu) == SMS_OK) {
        sms_cursor_t w;
        sms_cursor_init(&w, out, sizeof out);
        encode_validity_period(&tpdu, &w);
        (void)sms_tpdu_get_validity_relative(&tpdu);
    }
    free(copy);
    return 0;
}
