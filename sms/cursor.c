/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The octet cursor, the first octet of a TPDU, and the names of the codec's values. */

#include "ondrix-qt/smscodec.h"

#include <stddef.h>

int sms_cursor_check(const sms_cursor_t *c)
{
    return c && c->start && c->end && c->pos && c->start <= c->pos && c->pos <= c->end;
}

int sms_cursor_init(sms_cursor_t *c, uint8_t *buffer, uint32_t length)
{
    if (!c)
        return 0;
    c->start = c->pos = buffer;
    c->end = buffer ? buffer + length : NULL;
    return sms_cursor_check(c);
}

int sms_cursor_reset(sms_cursor_t *c)
{
    if (!sms_cursor_check(c))
        return 0;
    c->pos = c->start;
    return 1;
}

int sms_cursor_incr(sms_cursor_t *c)
{
    return sms_cursor_incr_by(c, 1);
}

int sms_cursor_decr(sms_cursor_t *c)
{
    return sms_cursor_decr_by(c, 1);
}

int sms_cursor_incr_by(sms_cursor_t *c, int32_t count)
{
    if (!sms_cursor_check(c) || count < 0 || c->end - c->pos < count)
        return 0;
    c->pos += count;
    return 1;
}

int sms_cursor_decr_by(sms_cursor_t *c, int32_t count)
{
    if (!sms_cursor_check(c) || count < 0 || c->pos - c->start < count)
        return 0;
    c->pos -= count;
    return 1;
}

uint32_t sms_cursor_len(const sms_cursor_t *c)
{
    return sms_cursor_check(c) ? (uint32_t)(c->end - c->pos) : UINT32_MAX;
}

uint32_t sms_cursor_used(const sms_cursor_t *c)
{
    return sms_cursor_check(c) ? (uint32_t)(c->pos - c->start) : UINT32_MAX;
}

uint32_t sms_cursor_total(const sms_cursor_t *c)
{
    return sms_cursor_check(c) ? (uint32_t)(c->end - c->start) : UINT32_MAX;
}

/* ---- First octet ---- */

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

/* ---- Names ---- */

static const char *name_of(const char *const *names, uint32_t count, uint32_t value,
                           const char *unknown)
{
    return value < count && names[value] ? names[value] : unknown;
}

#define COUNT(a) ((uint32_t)(sizeof(a) / sizeof((a)[0])))

const char *sms_str_error(uint32_t status)
{
    static const char *const texts[] = {
        "OK", "invalid parameter", "buffer overrun", "parsing failed", "address was invalid",
        "unsupported", "not implemented", "run out of memory", "unknown character",
        "encoding failed", "conversion failed", "object not found",
        "serialize to too many segments",
    };
    const int32_t code = (int32_t)status;
    /* Status codes are 0 and negative: index by their magnitude. */
    return code > 0 || code <= -(int32_t)COUNT(texts) ? "unknown error" : texts[-code];
}

const char *sms_str_msg_type(uint32_t type)
{
    static const char *const names[] = {"DELIVER", "SUBMIT", "STATUS_REPORT"};
    return name_of(names, COUNT(names), type, "UNKNOWN");
}

const char *sms_str_msg_format(uint32_t format)
{
    static const char *const names[] = {"GSM_7BIT", "8BIT", "UCS2"};
    return name_of(names, COUNT(names), format, "UNKNOWN");
}

const char *sms_str_msg_special(uint32_t special)
{
    static const char *const names[] = {"VOICEMAIL_WAIT", "FAX_WAIT", "E_MAIL_WAIT",
                                        "EXTENDED_WAIT", "VIDEOMAIL_WAIT", "NONE_WAIT"};
    return name_of(names, COUNT(names), special, "UNKNOWN");
}

const char *sms_str_msg_proto(uint32_t proto)
{
    static const char *const names[] = {"NORMAL", "FAX_3", "EMAIL", "PAGING", "RETURN_CALL"};
    return name_of(names, COUNT(names), proto, "UNKNOWN");
}

const char *sms_str_msg_class(uint32_t msg_class)
{
    static const char *const names[] = {"Class 0", "Class 1", "Class 2", "Class 3"};
    if (msg_class == SMS_CLASS_NONE)
        return "None";
    return msg_class >= SMS_CLASS_0 ? name_of(names, COUNT(names), msg_class - SMS_CLASS_0, "UNKNOWN")
                                    : "UNKNOWN";
}

const char *sms_str_msg_lang(uint32_t lang)
{
    static const char *const names[] = {"Default", "Turkish", "Spanish", "Portuguese"};
    return name_of(names, COUNT(names), lang, "Unknown");
}

const char *sms_str_tpdu_status(uint32_t status)
{
    if (status == 0)
        return "OK";
    if (status & 0x20)
        return "TRYING";
    if (status & 0xE0)
        return "GIVEUP";
    return "Unknown";
}
