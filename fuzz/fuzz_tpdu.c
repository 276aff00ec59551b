/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* TPDUs from the network: decode anything; what decodes as a SUBMIT must
 * encode again without trouble. */
#include <ondrix-qt/smscodec.h>

#include <stdlib.h>
#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sms_tpdu_t *tpdu = sms_tpdu_new();
    sms_tpdu_t copy;
    sms_concat_info_t concat;
    uint8_t *pdu = NULL;
    uint32_t len = 0;
    if (!tpdu)
        return 0;
    if (sms_tpdu_decode(data, (uint32_t)size, tpdu) == SMS_OK) {
        if (!memchr(tpdu->addr.number, 0, sizeof tpdu->addr.number))
            abort();
        (void)sms_tpdu_get_concat_info(tpdu, &concat);
        (void)sms_tpdu_get_class_info(tpdu);
        if (tpdu->type == SMS_TYPE_SUBMIT && sms_tpdu_encode(tpdu, &pdu, &len) == SMS_OK) {
            if (len > SMS_TPDU_MAX_LEN)
                abort();
            free(pdu);
        }
        if (sms_tpdu_clone(&copy, tpdu) == SMS_OK) {
            sms_info_list_destroy(&copy.info);
            free(copy.ud);
        }
    }
    sms_tpdu_destroy(tpdu);
    return 0;
}
