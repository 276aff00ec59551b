/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The first octet of a TPDU: its message type and flags (3GPP TS 23.040 clause 9.2.3). */

#include "ondrix-qt/smscodec.h"

int32_t encode_bitfield(const sms_tpdu_t *t, sms_cursor_t *c)
{
    uint8_t octet;
    if (!t || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    switch (t->type) {
    case SMS_TYPE_SUBMIT:
        octet = 0x01 | (t->reply_path ? 0x80 : 0) | (t->udhi ? 0x40 : 0) | (t->srr ? 0x20 : 0)
              | (t->vpf & 0x18) | (t->reject_duplicates ? 0x04 : 0);
        break;
    case SMS_TYPE_DELIVER:
        octet = 0x00 | (t->reply_path ? 0x80 : 0) | (t->udhi ? 0x40 : 0) | (t->srr ? 0x20 : 0)
              | (t->mms ? 0x04 : 0);
        break;
    case SMS_TYPE_STATUS_REPORT:
        octet = 0x02 | (t->udhi ? 0x40 : 0) | (t->srr ? 0x20 : 0) | (t->mms ? 0x04 : 0);
        break;
    default:
        return SMS_ERR_UNSUPPORTED;
    }
    if (c->pos >= c->end)
        return SMS_ERR_BUFFER_OVERRUN;
    *c->pos = octet;
    return sms_cursor_incr(c) ? SMS_OK : SMS_ERR_BUFFER_OVERRUN;
}

int32_t decode_bitfield(sms_cursor_t *c, sms_tpdu_t *t)
{
    uint8_t octet;
    if (!t || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    if (t->type > SMS_TYPE_STATUS_REPORT)
        return SMS_ERR_UNSUPPORTED;
    if (c->pos >= c->end)
        return SMS_ERR_BUFFER_OVERRUN;
    octet = *c->pos;
    t->udhi = (octet >> 6) & 1;
    t->srr = (octet >> 5) & 1;
    switch (t->type) {
    case SMS_TYPE_SUBMIT:
        t->reply_path = (octet >> 7) & 1;
        t->vpf = octet & 0x18;
        t->reject_duplicates = (octet >> 2) & 1;
        break;
    case SMS_TYPE_DELIVER:
        t->reply_path = (octet >> 7) & 1;
        t->mms = (octet >> 2) & 1;
        break;
    default:
        t->mms = (octet >> 2) & 1;
        break;
    }
    return sms_cursor_incr(c) ? SMS_OK : SMS_ERR_BUFFER_OVERRUN;
}
