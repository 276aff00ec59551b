/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Several PDUs joined into one message: the input is split into PDUs at
 * length prefixes (one octet each). */
#include <ondrix-qt/smscodec.h>

#include <stdlib.h>
#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sms_raw_pdu_t raw[8];
    uint32_t count = 0;
    size_t at = 0;
    while (at < size && count < 8) {
        const size_t len = data[at++];
        const size_t take = len <= size - at ? len : size - at;
        raw[count].data = malloc(take ? take : 1);
        memcpy(raw[count].data, data + at, take);
        raw[count].len = (uint32_t)take;
        count++;
        at += take;
    }
    if (count) {
        sms_msg_t *msg = sms_msg_new();
        if (sms_msg_deserialize(raw, count, msg) == SMS_OK) {
            if (msg->text && strlen(msg->text) > msg->data_len)
                abort();
            (void)sms_msg_get_mime_type(msg);
        }
        sms_msg_destroy(msg);
    }
    for (uint32_t i = 0; i < count; i++)
        free(raw[i].data);
    return 0;
}
