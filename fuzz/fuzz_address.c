/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Address fields from the network: decode, then the result must be a
 * terminated text inside the field, and digits must encode again. */
#include <ondrix-qt/smscodec.h>

#include <stdlib.h>
#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sms_addr_t addr;
    sms_cursor_t cursor;
    uint8_t *copy;
    if (size < 1)
        return 0;
    memset(&addr, 0, sizeof addr);
    /* The first octet chooses text already in the field, as callers may leave it. */
    memcpy(addr.number, "123456789", data[0] % 10);
    copy = malloc(size - 1 ? size - 1 : 1);
    memcpy(copy, data + 1, size - 1);
    sms_cursor_init(&cursor, copy, (uint32_t)(size - 1));
    if (sms_addr_decode(&cursor, &addr) == SMS_OK) {
        if (!memchr(addr.number, 0, sizeof addr.number))
            abort();
        if (addr.ton != 5 && data[0] % 10 == 0 && sms_addr_string_is_valid(addr.number)) {
            uint8_t out[16];
            sms_cursor_t w;
            sms_cursor_init(&w, out, sizeof out);
            if (sms_addr_encode(&addr, &w) != SMS_OK)
                abort();
        }
    }
    if (cursor.pos < cursor.start || cursor.pos > cursor.end)
        abort();
    free(copy);
    return 0;
}
