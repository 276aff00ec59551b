/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The data coding scheme of a TPDU: its alphabet and its message class
 * (3GPP TS 23.038 clause 4). */

#include "ondrix-qt/smscodec.h"

uint32_t sms_tpdu_get_encoding(const sms_tpdu_t *t)
{
    if (!t)
        return SMS_ENCODING_GSM_7BIT;
    const uint8_t dcs = t->dcs;
    switch (dcs >> 4) {
    case 0x0: case 0x1: case 0x2: case 0x3:
    case 0x4: case 0x5: case 0x6: case 0x7:
        /* General data coding; the compression bit is not looked at. */
        switch ((dcs >> 2) & 0x03) {
        case 1: return SMS_ENCODING_8BIT;
        case 2: return SMS_ENCODING_UCS2;
        default: return SMS_ENCODING_GSM_7BIT;
        }
    case 0xE:
        return SMS_ENCODING_UCS2;
    case 0xF:
        return (dcs & 0x04) ? SMS_ENCODING_8BIT : SMS_ENCODING_GSM_7BIT;
    default:
        return SMS_ENCODING_GSM_7BIT;
    }
}

uint32_t sms_tpdu_get_class_info(const sms_tpdu_t *t)
{
    if (!t)
        return SMS_CLASS_NONE;
    if ((t->dcs < 0x80 && (t->dcs & 0x10)) || t->dcs >= 0xF0)
        return 16u + (t->dcs & 0x03);
    return SMS_CLASS_NONE;
}
