/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Reading UTF-8 one character at a time. Internal to the codec. */
#ifndef SMS_UTF8_H
#define SMS_UTF8_H

#include <stddef.h>
#include <stdint.h>

/* The code point of the multi-octet UTF-8 sequence at `in` (`left` octets
 * available) and its length in `*len`: 0 when the input ends inside the
 * sequence, -1 when it is not UTF-8 (a stray continuation, an overlong form,
 * a surrogate, beyond U+10FFFF). ASCII is the caller's. */
static inline int32_t sms_utf8_char(const uint8_t *in, size_t left, uint32_t *len)
{
    static const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    const uint8_t lead = in[0];
    uint32_t n, cp;
    if (lead < 0xC2 || lead > 0xF4)
        return -1;   /* continuations, C0, C1 and F5..FF are never leads */
    n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    cp = lead & (0x7F >> n);
    for (uint32_t i = 1; i < n; i++) {
        if (i >= left)
            return 0;
        if ((in[i] & 0xC0) != 0x80)
            return -1;
        cp = cp << 6 | (in[i] & 0x3F);
    }
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    *len = n;
    return (int32_t)cp;
}

/* The code point of a valid two-octet sequence at `in`, or -1: the common
 * case of texts beyond ASCII (Latin, Greek, Cyrillic), decoded inline. */
static inline int32_t sms_utf8_two_octets(const uint8_t *in, size_t left)
{
    if (left >= 2 && in[0] >= 0xC2 && in[0] < 0xE0 && (in[1] & 0xC0) == 0x80)
        return (int32_t)((in[0] & 0x1Fu) << 6 | (in[1] & 0x3Fu));
    return -1;
}

/* The code point of the UTF-8 character at `in` (`left` octets, at least
 * one) and its length in `*len`, with the same 0 and -1 as sms_utf8_char. */
static inline int32_t sms_utf8_next(const uint8_t *in, size_t left, uint32_t *len)
{
    int32_t cp;
    if (in[0] < 0x80) {
        *len = 1;
        return in[0];
    }
    if ((cp = sms_utf8_two_octets(in, left)) >= 0) {
        *len = 2;
        return cp;
    }
    return sms_utf8_char(in, left, len);
}

#endif
