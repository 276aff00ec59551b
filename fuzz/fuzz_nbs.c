/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The "//SCK" text header: user data that is not terminated. */
#include <ondrix-qt/smscodec.h>

#include <stdlib.h>
#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sms_tpdu_t *tpdu = sms_tpdu_new();
    if (!tpdu)
        return 0;
    /* Exactly `size` octets: a read past udl is out of bounds. */
    tpdu->ud = malloc(size ? size : 1);
    memcpy(tpdu->ud, data, size);
    tpdu->udl = (uint32_t)size;
    if (decode_nbs_hdr(tpdu) == SMS_OK && tpdu->udl > size)
        abort();
    sms_tpdu_destroy(tpdu);
    return 0;
}
