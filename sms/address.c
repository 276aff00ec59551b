/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Address fields (TP-OA, TP-DA, TP-RA) and the number utilities. */

#include "octets.h"
#include "tables.h"

#include <stdlib.h>
#include <string.h>

#define TON_INTERNATIONAL 1
#define TON_ALPHANUMERIC 5
#define MAX_DIGITS 20
#define MAX_ADDRESS_OCTETS 10

static const char digits[] = "0123456789*#abc";

static int digit_value(char ch)
{
    const char *hit = ch ? strchr(digits, ch) : NULL;
    return hit ? (int)(hit - digits) : -1;
}

int32_t sms_addr_encode(const sms_addr_t *addr, sms_cursor_t *c)
{
    uint8_t *length_octet;
    const char *text;
    uint8_t digit_count = 0;
    if (!addr || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    length_octet = c->pos;
    if (!sms_cursor_incr(c))
        return SMS_ERR_BUFFER_OVERRUN;
    if (!write_octet(c, (uint8_t)(0x80 | ((addr->ton & 0x07) << 4) | (addr->npi & 0x0F))))
        return SMS_ERR_BUFFER_OVERRUN;
    text = addr->number;
    if (addr->ton == TON_INTERNATIONAL && text[0] == '+')
        text++;
    if (addr->ton == TON_ALPHANUMERIC)
        return SMS_ERR_NOT_IMPLEMENTED;
    /* `number` need not be terminated: never read past the field. */
    const size_t room = sizeof addr->number - (size_t)(text - addr->number);
    for (size_t i = 0; i < room && text[i]; i++) {
        const int value = digit_value(text[i]);
        if (value < 0 || digit_count == MAX_DIGITS)
            return SMS_ERR_INVALID_ADDRESS;
        if (c->pos >= c->end)
            return SMS_ERR_BUFFER_OVERRUN;
        if (i % 2 == 0) {
            *c->pos = (uint8_t)value;
        } else {
            *c->pos |= (uint8_t)(value << 4);
            if (!sms_cursor_incr(c))
                return SMS_ERR_BUFFER_OVERRUN;
        }
        digit_count++;
    }
    if (digit_count % 2) {
        *c->pos |= 0xF0;
        if (!sms_cursor_incr(c))
            return SMS_ERR_BUFFER_OVERRUN;
    }
    *length_octet = digit_count;
    return SMS_OK;
}

/* Indication flags of an alphanumeric address of `semi_octets` whose type octet is at `type`. */
static uint32_t alphanumeric_flags(const sms_cursor_t *c, const uint8_t *type, uint8_t semi_octets)
{
    static const uint8_t special[] = {0xD0, 0x40, 0x4D, 0x64, 0xD3, 0x50, 0x00};
    uint32_t flags = 0;
    if (semi_octets == 4) {
        const uint8_t b = c->pos[0];
        if ((b & 0x7E) == 0x10 || (b & 0x7E) == 0x00) {
            flags = SMS_ADDR_FLAG_MWI | ((b & 0x01) ? SMS_ADDR_FLAG_MWI_ACTIVE : 0);
            if (b & 0x80)
                flags |= SMS_ADDR_FLAG_MWI_LINE2;
        }
    }
    if (semi_octets == 11 && c->end - c->pos > 6 && memcmp(type, special, sizeof special) == 0)
        flags |= SMS_ADDR_FLAG_SPECIAL;
    return flags;
}

static int32_t decode_alphanumeric(sms_cursor_t *c, sms_addr_t *addr, size_t used, uint8_t semi_octets)
{
    uint8_t codes[MAX_DIGITS];
    const int32_t septets = (4 * semi_octets) / 7;
    const int32_t octets = (4 * semi_octets + 7) / 8;
    char *text = NULL;
    uint32_t text_len = 0;
    int32_t status;
    if (c->end - c->pos < octets)
        return SMS_ERR_BUFFER_OVERRUN;
    if (septets > 0 && sms_conv_unpack(c->pos, codes, septets, 0) != septets)
        return SMS_ERR_PARSE;
    if (septets > 0) {
        sms_conv_ctx_t tables;
        sms_conv_tables_select(&tables, SMS_LANG_DEFAULT, SMS_LANG_DEFAULT);
        status = sms_conv_gsm_to_utf8(codes, (uint32_t)septets, &text, &text_len, &tables);
        if (status != SMS_OK)
            return status;
    }
    /* The text and its terminator must fit the field. */
    if (used + text_len >= sizeof addr->number) {
        free(text);
        return SMS_ERR_INVALID_ADDRESS;
    }
    if (text_len)
        memcpy(addr->number + used, text, text_len);
    addr->number[used + text_len] = '\0';
    free(text);
    sms_cursor_incr_by(c, octets);
    return SMS_OK;
}

int32_t sms_addr_decode(sms_cursor_t *c, sms_addr_t *addr)
{
    uint8_t semi_octets, type;
    const uint8_t *type_pos;
    const char *terminator;
    size_t used;
    if (!addr || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    terminator = memchr(addr->number, '\0', MAX_ADDRESS_OCTETS);
    if (!terminator)
        return SMS_ERR_PARSE;
    used = (size_t)(terminator - addr->number);

    if (c->pos >= c->end)
        return SMS_ERR_INVALID_ADDRESS;
    semi_octets = *c->pos;
    if (!sms_cursor_incr(c) || c->pos >= c->end)
        return SMS_ERR_INVALID_ADDRESS;
    type_pos = c->pos;
    type = *c->pos;
    if (!sms_cursor_incr(c))
        return SMS_ERR_INVALID_ADDRESS;
    addr->ton = (type >> 4) & 0x07;
    addr->npi = type & 0x0F;
    if (semi_octets == 0)
        return SMS_OK;
    if ((uint32_t)(semi_octets + 1) / 2 > sms_cursor_len(c))
        return SMS_ERR_BUFFER_OVERRUN;
    if ((semi_octets + 1) / 2 > MAX_ADDRESS_OCTETS)
        return SMS_ERR_INVALID_ADDRESS;

    if (addr->ton == TON_ALPHANUMERIC) {
        addr->flags |= alphanumeric_flags(c, type_pos, semi_octets);
        return decode_alphanumeric(c, addr, used, semi_octets);
    }

    if (addr->ton == TON_INTERNATIONAL) {
        if (used + 1 >= sizeof addr->number)
            return SMS_ERR_INVALID_ADDRESS;
        addr->number[used++] = '+';
    }
    for (uint8_t i = 0; i < semi_octets; i++) {
        const uint8_t nibble = (i % 2 == 0) ? (*c->pos & 0x0F) : (*c->pos >> 4);
        if (nibble != 0x0F) {
            if (used + 1 >= sizeof addr->number)
                return SMS_ERR_INVALID_ADDRESS;
            addr->number[used++] = digits[nibble];
        }
        if (i % 2 == 1 && !sms_cursor_incr(c))
            return SMS_ERR_INVALID_ADDRESS;
    }
    addr->number[used] = '\0';
    if (semi_octets % 2 && !sms_cursor_incr(c))
        return SMS_ERR_INVALID_ADDRESS;
    return SMS_OK;
}

int sms_addr_string_is_valid(const char *text)
{
    size_t length;
    if (!text)
        return 0;
    if (text[0] == '+')
        text++;
    length = strlen(text);
    return length >= 1 && length <= MAX_DIGITS && strspn(text, digits) == length;
}

int32_t sms_addr_set_from_string(sms_addr_t *addr, const char *text)
{
    if (!addr || !sms_addr_string_is_valid(text))
        return SMS_ERR_INVALID_PARAM;
    memset(addr->number, 0, sizeof addr->number);
    strncpy(addr->number, text, MAX_DIGITS + 1);
    return SMS_OK;
}

int sms_addr_match(const char *a, const char *b)
{
    size_t la, lb;
    if (!a || !b)
        return 0;
    la = strlen(a);
    lb = strlen(b);
    if (la <= 6 || lb <= 6)
        return 0;
    return strcmp(a, b) == 0 || strcmp(a + la - 6, b + lb - 6) == 0;
}
