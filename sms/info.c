/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* User data header information elements, the header itself, and the "//SCK"
 * text header of port addressing. */

#include "octets.h"

#include <stdlib.h>
#include <string.h>

#define MAX_IE_DATA 140

sms_info_t *sms_info_new(void)
{
    return calloc(1, sizeof(sms_info_t));
}

void sms_info_destroy(sms_info_t *node)
{
    if (!node)
        return;
    free(node->data);
    free(node);
}

sms_info_t *sms_info_new_from_data(uint32_t id, const uint8_t *data, uint32_t len)
{
    sms_info_t *node;
    if (!data || len == 0 || len >= MAX_IE_DATA)
        return NULL;
    node = sms_info_new();
    if (!node)
        return NULL;
    node->data = malloc(len);
    if (!node->data) {
        free(node);
        return NULL;
    }
    memcpy(node->data, data, len);
    node->id = id;
    node->len = len;
    return node;
}

sms_info_t *sms_info_clone(const sms_info_t *src)
{
    sms_info_t *node;
    if (!src)
        return NULL;
    node = sms_info_new();
    if (!node)
        return NULL;
    node->id = src->id;
    if (src->data && src->len) {
        node->data = malloc(src->len);
        if (!node->data) {
            free(node);
            return NULL;
        }
        memcpy(node->data, src->data, src->len);
        node->len = src->len;
    }
    return node;
}

int32_t sms_info_list_add(sms_info_t **head, sms_info_t *node)
{
    if (!head || !node)
        return SMS_ERR_INVALID_PARAM;
    while (*head)
        head = &(*head)->next;
    *head = node;
    return SMS_OK;
}

sms_info_t *sms_info_list_get(sms_info_t *head, uint32_t id)
{
    for (; head; head = head->next) {
        if (head->id == id)
            return head;
    }
    return NULL;
}

int32_t sms_info_list_del(sms_info_t **head, uint32_t id)
{
    if (!head || !*head)
        return SMS_ERR_INVALID_PARAM;
    for (; *head; head = &(*head)->next) {
        if ((*head)->id == id) {
            sms_info_t *gone = *head;
            *head = gone->next;
            sms_info_destroy(gone);
            return SMS_OK;
        }
    }
    return SMS_ERR_NOT_FOUND;
}

void sms_info_list_destroy(sms_info_t **head)
{
    if (!head)
        return;
    while (*head) {
        sms_info_t *next = (*head)->next;
        sms_info_destroy(*head);
        *head = next;
    }
}

sms_info_t *sms_info_list_clone(const sms_info_t *head)
{
    sms_info_t *copy = NULL, **tail = &copy;
    for (; head; head = head->next) {
        sms_info_t *node = sms_info_clone(head);
        if (node) {
            *tail = node;
            tail = &node->next;
        }
    }
    return copy;
}

uint32_t sms_info_list_size(const sms_info_t *head)
{
    uint32_t size = 0;
    for (; head; head = head->next)
        size += head->len + 2;
    return size;
}

const char *sms_info_id_name(const sms_info_t *node)
{
    static const char *const names[] = {
        "CONCAT_SM_REF_8BIT", "SPECIAL_MSG_IND", "RESERVED", "NOT_USED", "APP_PORT_8BIT",
        "APP_PORT_16BIT", "SMSC_CTRL_PARAMS", "UDH_SOURCE_IND", "CONCAT_SM_REF_16BIT", "WCMP",
        "TXT_FORMAT", "PREDEFINED_SND", "USER_DEFINED_SND", "PREDEFINED_ANIM", "LARGE_ANIM",
        "SMALL_ANIM", "LARGE_PIC", "SMALL_PIC", "VARIABLE_PIC", "USER_PROMPT_IND", "EXTENDED_OBJ",
        "REUSED_EXTENDED_OBJ", "COMPRESSION_CTRL", "OBJ_DISTR_IND", "STD_WVG_OBJ",
        "CHAR_SIZE_WVG_OBJ", "EXT_OBJ_DATA_REQ_CMD", "RESERV_EMS_START",
    };
    /* Ranges have names at their two ends only. */
    static const struct { uint32_t id; const char *name; } ends[] = {
        {31, "RESERV_EMS_END"}, {32, "EMAIL_HEADER"}, {33, "HYPERLINK"}, {34, "REPLY_ADDR"},
        {35, "EVM_INFO"}, {36, "NATL_LANG_SINGLE"}, {37, "NATL_LANG_LOCKING"},
        {38, "RESERV_FUTURE_START"}, {111, "RESERV_FUTURE_END"}, {112, "SIM_TK_SEC_HDR_START"},
        {127, "SIM_TK_SEC_HDR_END"}, {128, "SME2SME_USE_START"}, {143, "SME2SME_USE_END"},
        {160, "RESERV_FUTURE2_START"}, {191, "RESERV_FUTURE2_END"}, {192, "SC_USE_START"},
        {223, "SC_USE_END"}, {224, "RESERV_FUTURE3_START"}, {255, "RESERV_FUTURE3_END"},
    };
    if (!node)
        return "<UNKNOWN>";
    if (node->id < sizeof names / sizeof names[0])
        return names[node->id];
    for (size_t i = 0; i < sizeof ends / sizeof ends[0]; i++) {
        if (ends[i].id == node->id)
            return ends[i].name;
    }
    return "<UNKNOWN>";
}

int32_t sms_info_encode(const sms_info_t *head, sms_cursor_t *c)
{
    if (!head || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    for (; head; head = head->next) {
        if (!head->data && head->len)
            return SMS_ERR_ENCODING;
        if (!write_octet(c, (uint8_t)head->id) || !write_octet(c, (uint8_t)head->len))
            return SMS_ERR_BUFFER_OVERRUN;
        if (head->data) {
            if (sms_cursor_len(c) < head->len)
                return SMS_ERR_BUFFER_OVERRUN;
            memcpy(c->pos, head->data, head->len);
            sms_cursor_incr_by(c, (int32_t)head->len);
        }
    }
    return SMS_OK;
}

int32_t sms_info_decode(sms_cursor_t *c, sms_info_t *node)
{
    uint8_t id, len;
    if (!node || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    if (sms_cursor_len(c) < 2)
        return SMS_ERR_BUFFER_OVERRUN;
    id = c->pos[0];
    len = c->pos[1];
    sms_cursor_incr_by(c, 2);
    if (len == 0 && id != 26 && !(id >= 112 && id <= 127))
        return SMS_ERR_PARSE;
    if (sms_cursor_len(c) < len)
        return SMS_ERR_BUFFER_OVERRUN;
    node->id = id;
    node->len = len;
    if (len) {
        node->data = malloc(len);
        if (!node->data)
            return SMS_ERR_NO_MEMORY;
        memcpy(node->data, c->pos, len);
        sms_cursor_incr_by(c, len);
    }
    return SMS_OK;
}

int32_t encode_user_data_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *c)
{
    uint32_t size;
    if (!tpdu || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    if (!tpdu->info || !tpdu->udhi)
        return SMS_OK;
    size = sms_info_list_size(tpdu->info);
    if (size >= sms_cursor_len(c) || size > 255)
        return SMS_ERR_BUFFER_OVERRUN;
    write_octet(c, (uint8_t)size);
    return sms_info_encode(tpdu->info, c);
}

int32_t decode_user_data_hdr(sms_cursor_t *c, sms_tpdu_t *tpdu)
{
    uint8_t udhl;
    const uint8_t *header_end;
    if (!tpdu || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    if (c->pos >= c->end)
        return SMS_ERR_BUFFER_OVERRUN;
    udhl = *c->pos;
    sms_cursor_incr(c);
    if (udhl > sms_cursor_len(c) || udhl < 2)
        return SMS_ERR_PARSE;
    header_end = c->pos + udhl;
    /* The last element may reach past the header's end, but not past the TPDU. */
    while (c->pos < header_end) {
        sms_info_t *node = sms_info_new();
        int32_t status;
        if (!node)
            return SMS_ERR_NO_MEMORY;
        status = sms_info_decode(c, node);
        if (status != SMS_OK) {
            sms_info_destroy(node);
            return status;
        }
        sms_info_list_add(&tpdu->info, node);
    }
    /* The user data length no longer counts the header. */
    if (sms_tpdu_get_encoding(tpdu) == SMS_ENCODING_GSM_7BIT) {
        const uint32_t bits = (udhl + 1u) * 8;
        const uint32_t septets = ceil_div(bits, 7);
        if (septets > tpdu->udl)
            return SMS_ERR_PARSE;
        tpdu->udl -= septets;
        tpdu->fill_bits = bits % 7 ? 7 - bits % 7 : 0;
    } else {
        if (udhl + 1u > tpdu->udl)
            return SMS_ERR_PARSE;
        tpdu->udl -= udhl + 1u;
    }
    return SMS_OK;
}

/* ---- "//SCK" ---- */

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
