/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* TPDU records: life cycle, the SUBMIT encoder, the DELIVER, SUBMIT and
 * STATUS-REPORT decoders, the user data header around the elements, and the
 * concatenation element's accessor. */

#include "octets.h"

#include <stdlib.h>
#include <string.h>

#define MAX_UD_OCTETS 140

sms_tpdu_t *sms_tpdu_new(void)
{
    return calloc(1, sizeof(sms_tpdu_t));
}

void sms_tpdu_destroy(sms_tpdu_t *tpdu)
{
    if (!tpdu)
        return;
    sms_info_list_destroy(&tpdu->info);
    free(tpdu->ud);
    free(tpdu);
}

int32_t sms_tpdu_clone(sms_tpdu_t *dst, const sms_tpdu_t *src)
{
    if (!dst || !src)
        return SMS_ERR_INVALID_PARAM;
    *dst = *src;
    dst->info = sms_info_list_clone(src->info);
    /* Each record owns its user data: a shared buffer would be freed twice. */
    dst->ud = NULL;
    if (src->ud && src->udl) {
        dst->ud = malloc((size_t)src->udl + 1);
        if (!dst->ud) {
            sms_info_list_destroy(&dst->info);
            dst->udl = 0;
            return SMS_ERR_NO_MEMORY;
        }
        memcpy(dst->ud, src->ud, src->udl);
        dst->ud[src->udl] = 0;
    }
    return SMS_OK;
}

static int32_t left(const sms_cursor_t *c)
{
    return (int32_t)sms_cursor_len(c);
}

/* ---- Header coders ---- */

int32_t encode_submit_hdr(const sms_tpdu_t *t, sms_cursor_t *c)
{
    int32_t status;
    if (!t || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    if ((status = encode_bitfield(t, c)) != SMS_OK)
        return status;
    if (!write_octet(c, (uint8_t)t->mr))
        return SMS_ERR_BUFFER_OVERRUN;
    if ((status = sms_addr_encode(&t->addr, c)) != SMS_OK)
        return status;
    if (!write_octet(c, t->pid) || !write_octet(c, t->dcs))
        return SMS_ERR_BUFFER_OVERRUN;
    return encode_validity_period(t, c);
}

/* What every received type begins with: the first octet, TP-MR where the
 * type has one, and the address. */
static int32_t decode_leading(sms_cursor_t *c, sms_tpdu_t *t, int with_mr)
{
    int32_t status;
    uint8_t mr = 0;
    if (!t || !sms_cursor_check(c))
        return SMS_ERR_INVALID_PARAM;
    if ((status = decode_bitfield(c, t)) != SMS_OK)
        return status;
    if (left(c) < 1)
        return SMS_ERR_BUFFER_OVERRUN;
    if (with_mr) {
        read_octet(c, &mr);
        t->mr = mr;
    }
    return sms_addr_decode(c, &t->addr);
}

static int32_t decode_udl(sms_cursor_t *c, sms_tpdu_t *t)
{
    uint8_t udl = 0;
    if (!read_octet(c, &udl))
        return SMS_ERR_BUFFER_OVERRUN;
    t->udl = udl;
    return SMS_OK;
}

int32_t decode_submit_hdr(sms_cursor_t *c, sms_tpdu_t *t)
{
    int32_t status = decode_leading(c, t, 1);
    if (status != SMS_OK)
        return status;
    if (left(c) < 3)
        return SMS_ERR_BUFFER_OVERRUN;
    read_octet(c, &t->pid);
    read_octet(c, &t->dcs);
    if (t->vpf && (status = decode_validity_period(c, t)) != SMS_OK)
        return status;
    return decode_udl(c, t);
}

int32_t decode_deliver_hdr(sms_cursor_t *c, sms_tpdu_t *t)
{
    int32_t status = decode_leading(c, t, 0);
    if (status != SMS_OK)
        return status;
    if (left(c) < 10)
        return SMS_ERR_BUFFER_OVERRUN;
    read_octet(c, &t->pid);
    read_octet(c, &t->dcs);
    if ((status = sms_time_decode(c, &t->scts)) != SMS_OK)
        return status;
    return decode_udl(c, t);
}

int32_t decode_status_report_hdr(sms_cursor_t *c, sms_tpdu_t *t)
{
    uint8_t octet = 0;
    int32_t status = decode_leading(c, t, 1);
    if (status != SMS_OK)
        return status;
    if (left(c) < 15)
        return SMS_ERR_BUFFER_OVERRUN;
    if ((status = sms_time_decode(c, &t->scts)) != SMS_OK)
        return status;
    if ((status = sms_time_decode(c, &t->discharge_time)) != SMS_OK)
        return status;
    read_octet(c, &t->status);
    if (!read_octet(c, &t->pi))
        return SMS_OK;   /* the optional fields are absent */
    const int optional = (t->pi & 1) + ((t->pi >> 1) & 1) + ((t->pi >> 2) & 1);
    if (optional > left(c))
        return SMS_ERR_PARSE;
    if (t->pi & 0x01)
        read_octet(c, &t->pid);
    if (t->pi & 0x02)
        read_octet(c, &t->dcs);
    if (t->pi & 0x04) {
        read_octet(c, &octet);
        t->udl = octet;
    }
    return SMS_OK;
}

int32_t encode_deliver_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor)
{
    (void)tpdu;
    (void)cursor;
    return SMS_ERR_NOT_IMPLEMENTED;
}

int32_t encode_status_report_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor)
{
    (void)tpdu;
    (void)cursor;
    return SMS_ERR_NOT_IMPLEMENTED;
}

int32_t encode_command_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor)
{
    (void)tpdu;
    (void)cursor;
    return SMS_ERR_NOT_IMPLEMENTED;
}

int32_t decode_command_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu)
{
    (void)tpdu;
    (void)cursor;
    return SMS_ERR_NOT_IMPLEMENTED;
}

/* ---- User data header ---- */

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

/* ---- Whole TPDUs ---- */

int32_t sms_tpdu_decode(const uint8_t *pdu, uint32_t len, sms_tpdu_t *t)
{
    sms_cursor_t c;
    int32_t status;
    if (len == 0 || len > SMS_TPDU_MAX_LEN)
        return SMS_ERR_BUFFER_OVERRUN;
    if (!pdu || !t)
        return SMS_ERR_INVALID_PARAM;
    /* The decoders only read through the cursor. */
    sms_cursor_init(&c, (uint8_t *)pdu, len);

    switch (pdu[0] & 0x03) {
    case 0x01:
        t->type = SMS_TYPE_SUBMIT;
        status = decode_submit_hdr(&c, t);
        break;
    case 0x02:
        t->type = SMS_TYPE_STATUS_REPORT;
        status = decode_status_report_hdr(&c, t);
        break;
    default:
        t->type = SMS_TYPE_DELIVER;
        status = decode_deliver_hdr(&c, t);
        break;
    }
    if (status != SMS_OK || t->udl == 0)
        return status;
    if (t->udhi) {
        status = decode_user_data_hdr(&c, t);
        if (status != SMS_OK || t->udl == 0)
            return status;
    }

    if (sms_tpdu_get_encoding(t) == SMS_ENCODING_GSM_7BIT) {
        if (sms_cursor_len(&c) < ceil_div(t->fill_bits + 7 * t->udl, 8))
            return SMS_ERR_BUFFER_OVERRUN;
        t->ud = calloc((size_t)t->udl + 1, 1);
        if (!t->ud)
            return SMS_ERR_NO_MEMORY;
        if (sms_conv_unpack(c.pos, t->ud, (int32_t)t->udl, t->fill_bits) != (int32_t)t->udl)
            return SMS_ERR_PARSE;
    } else {
        if (sms_cursor_len(&c) < t->udl)
            return SMS_ERR_BUFFER_OVERRUN;
        t->ud = calloc((size_t)t->udl + 2, 1);
        if (!t->ud)
            return SMS_ERR_NO_MEMORY;
        if (sms_tpdu_get_encoding(t) == SMS_ENCODING_UCS2) {
            uint16_t *units = (uint16_t *)(void *)t->ud;
            for (uint32_t i = 0; i < t->udl / 2; i++)
                units[i] = (uint16_t)((c.pos[2 * i] << 8) | c.pos[2 * i + 1]);
            if (t->udl % 2)
                t->ud[t->udl - 1] = c.pos[t->udl - 1];
        } else {
            memcpy(t->ud, c.pos, t->udl);
        }
    }
    if (!t->udhi)
        decode_nbs_hdr(t);   /* a text header is optional: its absence is no failure */
    return SMS_OK;
}

/* Writes the user data after a header of `header` octets and returns TP-UDL
 * in `udl`: septets for GSM 7-bit (the header padded to a septet boundary),
 * octets otherwise. Room is checked before anything is written; the field
 * holds 140 octets whatever room the buffer has left. */
static int32_t encode_user_data(const sms_tpdu_t *t, sms_cursor_t *c, uint32_t header, uint32_t *udl)
{
    const uint32_t encoding = sms_tpdu_get_encoding(t);
    const int septets = encoding == SMS_ENCODING_GSM_7BIT;
    const uint32_t fill = septets && (header * 8) % 7 ? 7 - (header * 8) % 7 : 0;
    *udl = septets ? ceil_div(header * 8, 7) : header;
    if (!t->ud || !t->udl)
        return SMS_OK;
    const uint32_t octets = septets ? ceil_div(fill + 7 * t->udl, 8)
                                    : (encoding == SMS_ENCODING_UCS2 ? t->udl / 2 * 2 : t->udl);
    if (octets > sms_cursor_len(c) || header + octets > MAX_UD_OCTETS)
        return SMS_ERR_BUFFER_OVERRUN;
    if (septets) {
        sms_conv_pack(t->ud, c->pos, (int32_t)t->udl, fill);
    } else if (encoding == SMS_ENCODING_UCS2) {
        const uint16_t *units = (const uint16_t *)(const void *)t->ud;
        for (uint32_t i = 0; i < t->udl / 2; i++) {
            c->pos[2 * i] = (uint8_t)(units[i] >> 8);
            c->pos[2 * i + 1] = (uint8_t)units[i];
        }
    } else {
        memcpy(c->pos, t->ud, t->udl);
    }
    *udl += septets ? t->udl : octets;
    sms_cursor_incr_by(c, (int32_t)octets);
    return SMS_OK;
}

int32_t sms_tpdu_encode(const sms_tpdu_t *t, uint8_t **pdu, uint32_t *len)
{
    sms_cursor_t c;
    uint8_t *buffer, *udl_pos;
    uint32_t header = 0, udl = 0;
    int32_t status;
    if (!t || !pdu || !len)
        return SMS_ERR_INVALID_PARAM;
    *pdu = NULL;
    *len = 0;
    /* The header flag promises a header: without an element there is none. */
    if (t->udhi && sms_info_list_size(t->info) == 0)
        return SMS_ERR_INVALID_PARAM;
    buffer = calloc(SMS_TPDU_MAX_LEN, 1);
    if (!buffer)
        return SMS_ERR_NO_MEMORY;
    sms_cursor_init(&c, buffer, SMS_TPDU_MAX_LEN);

    if (t->type == SMS_TYPE_SUBMIT)
        status = encode_submit_hdr(t, &c);
    else if (t->type == SMS_TYPE_STATUS_REPORT)
        status = encode_command_hdr(t, &c);
    else
        status = encode_deliver_hdr(t, &c);
    if (status != SMS_OK)
        goto failed;

    udl_pos = c.pos;
    if (!sms_cursor_incr(&c)) {
        status = SMS_ERR_BUFFER_OVERRUN;
        goto failed;
    }
    if (t->udhi && t->info) {
        uint8_t *start = c.pos;
        if ((status = encode_user_data_hdr(t, &c)) != SMS_OK)
            goto failed;
        header = (uint32_t)(c.pos - start);
        /* A header alone may not pass the user data field either. */
        if (header > MAX_UD_OCTETS) {
            status = SMS_ERR_BUFFER_OVERRUN;
            goto failed;
        }
    }
    if ((status = encode_user_data(t, &c, header, &udl)) != SMS_OK)
        goto failed;
    *udl_pos = (uint8_t)udl;
    *pdu = buffer;
    *len = sms_cursor_used(&c);
    return SMS_OK;

failed:
    free(buffer);
    return status;
}

/* ---- Concatenation ---- */

int32_t sms_tpdu_get_concat_info(const sms_tpdu_t *t, sms_concat_info_t *info)
{
    const sms_info_t *ie;
    if (!t || !info)
        return SMS_ERR_PARSE;
    ie = sms_info_list_get(t->info, SMS_IE_CONCAT_8BIT);
    if (ie && ie->data && ie->len > 2) {
        info->ref = ie->data[0];
        info->total = ie->data[1];
        info->seq = ie->data[2];
        return SMS_OK;
    }
    ie = sms_info_list_get(t->info, SMS_IE_CONCAT_16BIT);
    if (ie && ie->data && ie->len >= 4) {
        info->ref = (uint16_t)(ie->data[0] | (ie->data[1] << 8));
        info->total = ie->data[2];
        info->seq = ie->data[3];
        return SMS_OK;
    }
    return SMS_ERR_PARSE;
}
