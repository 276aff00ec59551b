/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Octet helpers shared by the codec's coders. Internal to the codec. */
#ifndef SMS_OCTETS_H
#define SMS_OCTETS_H

#include "ondrix-qt/smscodec.h"

/* Writes one octet at the cursor and steps over it; 0 when the buffer is used up. */
static inline int write_octet(sms_cursor_t *c, uint8_t octet)
{
    if (c->pos >= c->end)
        return 0;
    *c->pos = octet;
    return sms_cursor_incr(c);
}

/* Reads one octet at the cursor and steps over it; 0 when nothing is left. */
static inline int read_octet(sms_cursor_t *c, uint8_t *octet)
{
    if (c->pos >= c->end)
        return 0;
    *octet = *c->pos;
    return sms_cursor_incr(c);
}

static inline uint32_t ceil_div(uint32_t a, uint32_t b)
{
    return (a + b - 1) / b;
}

#endif
