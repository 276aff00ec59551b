/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Octet helpers shared by the codec's coders. Internal to the codec. */
#ifndef SMS_OCTETS_H
#define SMS_OCTETS_H

#include "cursor.h"

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

/* For the few helpers a per-character loop calls: inlined however many
 * callers they have. */
#if defined(__GNUC__)
#define SMS_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define SMS_ALWAYS_INLINE inline
#endif

/* The GSM 7-bit escape to the extension table. */
#define GSM_ESCAPE 0x1B

/* A message format (SMS_FORMAT_) and the alphabet bits of a DCS
 * (SMS_ENCODING_) are one scale: 7-bit, 8-bit, UCS-2. */
static inline uint32_t encoding_of_format(uint32_t format)
{
    return format * 4;
}

static inline int32_t format_of_encoding(uint32_t encoding)
{
    return encoding == SMS_ENCODING_8BIT ? SMS_FORMAT_8BIT
           : encoding == SMS_ENCODING_UCS2 ? SMS_FORMAT_UCS2 : SMS_FORMAT_GSM_7BIT;
}

static inline uint32_t ceil_div(uint32_t a, uint32_t b)
{
    return (a + b - 1) / b;
}

#endif
