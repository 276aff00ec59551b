/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The octet cursor: a position in a buffer that never leaves it. */

#define SMS_CURSOR_DEFINITIONS
#include "cursor.h"

#include <stddef.h>

int sms_cursor_check(const sms_cursor_t *c)
{
    return cursor_check(c);
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
    return cursor_incr_by(c, count);
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
    return cursor_len(c);
}

uint32_t sms_cursor_used(const sms_cursor_t *c)
{
    return sms_cursor_check(c) ? (uint32_t)(c->pos - c->start) : UINT32_MAX;
}

uint32_t sms_cursor_total(const sms_cursor_t *c)
{
    return sms_cursor_check(c) ? (uint32_t)(c->end - c->start) : UINT32_MAX;
}
