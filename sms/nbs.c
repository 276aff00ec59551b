/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The "//SCK" text header of port addressing (the smart messaging text
 * header that precedes the text in the user data). */

#include "octets.h"

#include <stdlib.h>
#include <string.h>

static int hex_digit(uint8_t ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

/* The value of up to `width` hex characters at p; reading stops at the first
 * non-digit. */
static uint32_t hex_field(const uint8_t *p, int width)
{
    uint32_t value = 0;
    for (int i = 0; i < width; i++) {
        const int digit = hex_digit(p[i]);
        if (digit < 0)
            break;
        value = value * 16 + (uint32_t)digit;
    }
    return value;
}

static int starts_with(const uint8_t *p, const uint8_t *end, const char *text)
{
    const size_t n = strlen(text);
    return (size_t)(end - p) >= n && memcmp(p, text, n) == 0;
}

/* The ports of a "//SCK" header from `p` on: "L" and 16-bit ports in four hex
 * digits each, or 8-bit ports in two; the source port may be left out. Moves
 * `*p` past them; null when there is no room for a port. */
static sms_info_t *decode_nbs_ports(const uint8_t **p, const uint8_t *space)
{
    const uint8_t *at = *p;
    if (*at == 'L' && space - at >= 4) {
        uint8_t ports[4] = {0};
        const uint32_t dst = hex_field(at + 1, 4);
        uint32_t src = 0;
        at += space - (at + 1) >= 4 ? 5 : space - at;
        if (!starts_with(at, space, "//") && at < space && space - at >= 4) {
            src = hex_field(at, 4);
            at += 4;
        }
        ports[0] = (uint8_t)(dst >> 8);
        ports[1] = (uint8_t)dst;
        ports[2] = (uint8_t)(src >> 8);
        ports[3] = (uint8_t)src;
        *p = at;
        return sms_info_new_from_data(SMS_IE_PORT_16BIT, ports, 4);
    }
    if (space - at < 2)
        return NULL;
    uint8_t ports[2] = {(uint8_t)hex_field(at, 2), 0};
    at += 2;
    if (!starts_with(at, space, "//") && at < space && space - at >= 2) {
        ports[1] = (uint8_t)hex_field(at, 2);
        at += 2;
    }
    *p = at;
    return sms_info_new_from_data(SMS_IE_PORT_8BIT, ports, 2);
}

/* The concatenation fields (reference, total, sequence: two hex digits each)
 * that may follow the ports. SMS_OK with `*concat` null when there are none. */
static int32_t decode_nbs_concat(const uint8_t *p, const uint8_t *space, sms_info_t **concat)
{
    *concat = NULL;
    if (starts_with(p, space, "//") || p >= space)
        return SMS_OK;
    if (space - p < 6)
        return SMS_ERR_PARSE;
    const uint8_t fields[3] = {(uint8_t)hex_field(p, 2), (uint8_t)hex_field(p + 2, 2),
                               (uint8_t)hex_field(p + 4, 2)};
    p += 6;
    if (p != space && !starts_with(p, space, "//"))
        return SMS_ERR_PARSE;
    *concat = sms_info_new_from_data(SMS_IE_CONCAT_8BIT, fields, 3);
    return SMS_OK;
}

/* Leaves the user data after the header's terminating space. */
static int32_t drop_nbs_text(sms_tpdu_t *tpdu, const uint8_t *space)
{
    const uint32_t rest = tpdu->udl - (uint32_t)(space + 1 - tpdu->ud);
    uint8_t *remaining = NULL;
    if (rest) {
        remaining = malloc(rest + 1);
        if (!remaining)
            return SMS_ERR_NO_MEMORY;
        memcpy(remaining, space + 1, rest);
        remaining[rest] = 0;
    }
    free(tpdu->ud);
    tpdu->ud = remaining;
    tpdu->udl = rest;
    return SMS_OK;
}

int32_t decode_nbs_hdr(sms_tpdu_t *tpdu)
{
    sms_info_t *port, *concat = NULL;
    const uint8_t *d, *p, *space;
    if (!tpdu || !tpdu->ud)
        return SMS_ERR_PARSE;
    d = tpdu->ud;
    if (tpdu->udl < 8 || memcmp(d, "//SCK", 5) != 0)
        return SMS_ERR_PARSE;
    space = memchr(d, ' ', tpdu->udl);   /* the user data is not terminated: stay within udl */
    if (!space || space - d < 8)
        return SMS_ERR_PARSE;
    p = d + 5;
    if (starts_with(p, space, "//"))
        return SMS_ERR_PARSE;

    port = decode_nbs_ports(&p, space);
    if (decode_nbs_concat(p, space, &concat) != SMS_OK || drop_nbs_text(tpdu, space) != SMS_OK) {
        sms_info_destroy(port);
        sms_info_destroy(concat);
        return SMS_ERR_PARSE;
    }
    if (port)
        sms_info_list_add(&tpdu->info, port);
    if (concat)
        sms_info_list_add(&tpdu->info, concat);
    return SMS_OK;
}
