/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Service-centre time stamps, discharge times and validity periods. */

#include "octets.h"

#include <stdlib.h>
#include <time.h>

#define TIMESTAMP_OCTETS 7
#define ENHANCED_OCTETS 7

/* Days before each month in a common year. */
static const int32_t days_before_month[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

/* 2000-01-01 00:00:00 and 2099-12-31 23:59:59 UTC, and the first zone offset out of reach. */
#define FIRST_SECOND INT64_C(946684800)
#define LAST_SECOND INT64_C(4102444799)
#define MAX_ZONE_SECONDS (80 * 900)

static uint32_t days_in_month(uint32_t yy, uint32_t month)
{
    static const uint8_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return days[month - 1] + (month == 2 && yy % 4 == 0 ? 1 : 0);
}

/* Seconds since the epoch of a date of 2000-2099 (every fourth year a leap year). */
static int64_t seconds_of(uint32_t yy, uint32_t month, uint32_t day, uint32_t hour,
                          uint32_t minute, uint32_t second)
{
    const int64_t year = 2000 + (int64_t)yy;
    /* 2000-01-01 is 10957 days after the epoch; leap days before `year` since then. */
    int64_t days = 10957 + ((int64_t)yy * 365) + ((int64_t)yy + 3) / 4;
    days += days_before_month[(month - 1) % 12];
    if (month > 2 && year % 4 == 0)
        days += 1;
    days += (int64_t)day - 1;
    return ((days * 24 + hour) * 60 + minute) * 60 + second;
}

/* A semi-octet pair: tens digit in the low nibble, units in the high one. */
static uint8_t swapped_bcd(uint32_t value)
{
    return (uint8_t)(((value % 10) << 4) | (value / 10 % 10));
}

/* The value of a semi-octet pair, or -1 when a nibble is not a digit. */
static int bcd_value(uint8_t octet)
{
    const int tens = octet & 0x0F, units = octet >> 4;
    return tens > 9 || units > 9 ? -1 : tens * 10 + units;
}

int32_t sms_time_decode(sms_cursor_t *c, sms_time_t *t)
{
    int fields[6];
    if (!t || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    if (sms_cursor_len(c) < TIMESTAMP_OCTETS)
        return SMS_ERR_BUFFER_OVERRUN;
    for (int i = 0; i < 6; i++) {
        fields[i] = bcd_value(c->pos[i]);
        if (fields[i] < 0)
            return SMS_ERR_PARSE;
    }
    if (fields[1] < 1 || fields[1] > 12)
        return SMS_ERR_PARSE;
    const uint8_t zone = c->pos[6];
    const int zone_tens = zone & 0x07, zone_units = zone >> 4;
    if (zone_units > 9)
        return SMS_ERR_PARSE;
    int32_t tz = (zone_tens * 10 + zone_units) * 900;
    if (zone & 0x08)
        tz = -tz;
    t->tz = tz;
    t->utc = seconds_of((uint32_t)fields[0], (uint32_t)fields[1], (uint32_t)fields[2],
                        (uint32_t)fields[3], (uint32_t)fields[4], (uint32_t)fields[5]) - tz;
    sms_cursor_incr_by(c, TIMESTAMP_OCTETS);
    return SMS_OK;
}

int32_t sms_time_encode(const sms_time_t *t, sms_cursor_t *c)
{
    struct tm local;
    time_t seconds;
    if (!t || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    if (sms_cursor_len(c) < TIMESTAMP_OCTETS)
        return SMS_ERR_BUFFER_OVERRUN;
    /* The zone field holds up to 79 quarter hours, the date field the years
     * 2000-2099; both are tested before any arithmetic can overflow. */
    if (t->tz <= -MAX_ZONE_SECONDS || t->tz >= MAX_ZONE_SECONDS)
        return SMS_ERR_INVALID_PARAM;
    if (t->utc < FIRST_SECOND - MAX_ZONE_SECONDS || t->utc > LAST_SECOND + MAX_ZONE_SECONDS)
        return SMS_ERR_INVALID_PARAM;
    seconds = (time_t)(t->utc + t->tz);
    if (!gmtime_r(&seconds, &local) || local.tm_year < 100 || local.tm_year > 199)
        return SMS_ERR_INVALID_PARAM;
    const uint32_t quarters = (uint32_t)(t->tz < 0 ? -t->tz : t->tz) / 900;
    const uint8_t octets[TIMESTAMP_OCTETS] = {
        swapped_bcd((uint32_t)local.tm_year - 100), swapped_bcd((uint32_t)local.tm_mon + 1),
        swapped_bcd((uint32_t)local.tm_mday),       swapped_bcd((uint32_t)local.tm_hour),
        swapped_bcd((uint32_t)local.tm_min),        swapped_bcd((uint32_t)local.tm_sec),
        (uint8_t)(((quarters % 10) << 4) | (quarters / 10) | (t->tz < 0 ? 0x08 : 0)),
    };
    for (int i = 0; i < TIMESTAMP_OCTETS; i++)
        write_octet(c, octets[i]);
    return SMS_OK;
}

int32_t sms_time_set_from_tuple(sms_time_t *t, uint32_t yy, uint32_t month, uint32_t day,
                                uint32_t hour, uint32_t minute, uint32_t second, int32_t tz)
{
    if (!t)
        return SMS_ERR_INVALID_PARAM;
    /* Fields outside the calendar are refused, not folded into another date. */
    if (yy > 99 || month < 1 || month > 12 || day < 1 || day > days_in_month(yy, month)
        || hour > 23 || minute > 59 || second > 59 || tz <= -MAX_ZONE_SECONDS
        || tz >= MAX_ZONE_SECONDS)
        return SMS_ERR_INVALID_PARAM;
    t->utc = seconds_of(yy, month, day, hour, minute, second);
    t->tz = tz;
    return SMS_OK;
}

/* ---- Validity period ---- */

/* The enhanced format: a functionality indicator octet, the value, zeros up to seven octets. */
static int32_t encode_enhanced(const sms_tpdu_t *tpdu, sms_cursor_t *c)
{
    uint8_t octets[ENHANCED_OCTETS] = {0};
    const uint8_t indicator = (uint8_t)(tpdu->vp & 0x7F);   /* no extension octets */
    const int64_t value = tpdu->scts.utc;
    octets[0] = indicator;
    switch (indicator & 0x07) {
    case SMS_EVPF_NONE:
        break;
    case SMS_EVPF_RELATIVE:
    case SMS_EVPF_SECONDS:
        if (value < 0 || value > 255)
            return SMS_ERR_INVALID_PARAM;
        octets[1] = (uint8_t)value;
        break;
    case SMS_EVPF_HHMMSS:
        if (value < 0 || value >= 100 * 3600)
            return SMS_ERR_INVALID_PARAM;
        octets[1] = swapped_bcd((uint32_t)(value / 3600));
        octets[2] = swapped_bcd((uint32_t)(value / 60 % 60));
        octets[3] = swapped_bcd((uint32_t)(value % 60));
        break;
    default:
        return SMS_ERR_UNSUPPORTED;
    }
    if (sms_cursor_len(c) < ENHANCED_OCTETS)
        return SMS_ERR_BUFFER_OVERRUN;
    for (int i = 0; i < ENHANCED_OCTETS; i++)
        write_octet(c, octets[i]);
    return SMS_OK;
}

static int32_t decode_enhanced(sms_cursor_t *c, sms_tpdu_t *tpdu)
{
    const uint8_t *field = c->pos;
    int at = 0;
    if (sms_cursor_len(c) < ENHANCED_OCTETS)
        return SMS_ERR_BUFFER_OVERRUN;
    const uint8_t indicator = field[0];
    /* Further indicator octets follow while the extension bit is set. */
    while ((field[at] & 0x80) && at < ENHANCED_OCTETS - 1)
        at++;
    at++;
    int64_t value = 0;
    switch (indicator & 0x07) {
    case SMS_EVPF_NONE:
        break;
    case SMS_EVPF_RELATIVE:
    case SMS_EVPF_SECONDS:
        if (at >= ENHANCED_OCTETS)
            return SMS_ERR_PARSE;
        value = field[at];
        break;
    case SMS_EVPF_HHMMSS: {
        if (at + 3 > ENHANCED_OCTETS)
            return SMS_ERR_PARSE;
        const int hours = bcd_value(field[at]), minutes = bcd_value(field[at + 1]),
                  seconds = bcd_value(field[at + 2]);
        if (hours < 0 || minutes < 0 || seconds < 0 || minutes > 59 || seconds > 59)
            return SMS_ERR_PARSE;
        value = (int64_t)hours * 3600 + minutes * 60 + seconds;
        break;
    }
    default:
        return SMS_ERR_UNSUPPORTED;
    }
    tpdu->vp = indicator;
    tpdu->scts.utc = value;
    tpdu->scts.tz = 0;
    sms_cursor_incr_by(c, ENHANCED_OCTETS);
    return SMS_OK;
}

int32_t encode_validity_period(const sms_tpdu_t *tpdu, sms_cursor_t *c)
{
    if (!tpdu || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    switch (tpdu->vpf) {
    case SMS_VPF_NONE:
        return SMS_OK;
    case SMS_VPF_RELATIVE:
        return write_octet(c, (uint8_t)tpdu->vp) ? SMS_OK : SMS_ERR_BUFFER_OVERRUN;
    case SMS_VPF_ABSOLUTE:
        return sms_time_encode(&tpdu->scts, c);
    case SMS_VPF_ENHANCED:
        return encode_enhanced(tpdu, c);
    default:
        return SMS_ERR_UNSUPPORTED;
    }
}

int32_t decode_validity_period(sms_cursor_t *c, sms_tpdu_t *tpdu)
{
    if (!tpdu || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    switch (tpdu->vpf) {
    case SMS_VPF_NONE:
        tpdu->vp = 0;
        return SMS_OK;
    case SMS_VPF_RELATIVE:
        if (c->pos >= c->end)
            return SMS_ERR_BUFFER_OVERRUN;
        tpdu->vp = *c->pos;
        return sms_cursor_incr(c) ? SMS_OK : SMS_ERR_BUFFER_OVERRUN;
    case SMS_VPF_ABSOLUTE:
        tpdu->vp = 0;
        return sms_time_decode(c, &tpdu->scts);
    case SMS_VPF_ENHANCED:
        return decode_enhanced(c, tpdu);
    default:
        return SMS_ERR_UNSUPPORTED;
    }
}

uint32_t sms_tpdu_get_validity_relative(const sms_tpdu_t *tpdu)
{
    if (!tpdu)
        return 0;
    const int32_t vp = tpdu->vp;
    if (vp < 0 || vp > 255)
        return 0;
    if (vp <= 143)
        return (uint32_t)(vp + 1) * 300;
    if (vp <= 167)
        return 43200 + (uint32_t)(vp - 143) * 1800;
    if (vp <= 196)
        return (uint32_t)(vp - 166) * 86400;
    return (uint32_t)(vp - 192) * 604800;
}

const sms_time_t *sms_tpdu_get_validity_absolute(const sms_tpdu_t *tpdu)
{
    return tpdu && tpdu->vpf == SMS_VPF_ABSOLUTE ? &tpdu->scts : NULL;
}

int32_t sms_validity_seconds_to_relative(uint32_t s)
{
    if (s == 0)
        return 0;
    if (s <= 43200)
        return (int32_t)ceil_div(s, 300) - 1;
    if (s <= 86400)
        return 143 + (int32_t)ceil_div(s - 43200, 1800);
    if (s <= 2592000)
        return 166 + (int32_t)ceil_div(s, 86400);
    if (s <= 3024000)
        return 197;
    if (s <= 38102400)
        return 192 + (int32_t)ceil_div(s, 604800);
    return 255;
}
