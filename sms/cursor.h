/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The octet cursor's checks and steps, inline: the coders call them once an
 * octet. cursor.c gives the same as the exported functions. Internal to the
 * codec. */
#ifndef SMS_CURSOR_H
#define SMS_CURSOR_H

#include "ondrix-qt/smscodec.h"

static inline int cursor_check(const sms_cursor_t *c)
{
    return c && c->start && c->end && c->pos && c->start <= c->pos && c->pos <= c->end;
}

static inline int cursor_incr_by(sms_cursor_t *c, int32_t count)
{
    if (!cursor_check(c) || count < 0 || c->end - c->pos < count)
        return 0;
    c->pos += count;
    return 1;
}

static inline uint32_t cursor_len(const sms_cursor_t *c)
{
    return cursor_check(c) ? (uint32_t)(c->end - c->pos) : UINT32_MAX;
}

/* Elsewhere in the codec the exported names stand for the inline steps. */
#ifndef SMS_CURSOR_DEFINITIONS
#define sms_cursor_check(c) cursor_check(c)
#define sms_cursor_incr(c) cursor_incr_by((c), 1)
#define sms_cursor_incr_by(c, n) cursor_incr_by((c), (n))
#define sms_cursor_len(c) cursor_len(c)
#endif

#endif
