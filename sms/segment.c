/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A message on its way out: split into TPDUs with their header elements,
 * and the TPDUs encoded into PDUs. */

#include "octets.h"
#include "sizing.h"
#include "tables.h"
#include "utf8.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

int32_t set_msg_concat_info(sms_tpdu_t *tpdu, uint32_t ref, uint32_t total)
{
    const uint8_t data[3] = {(uint8_t)ref, (uint8_t)total, 0};
    sms_info_t *ie;
    if (!tpdu)
        return SMS_ERR_INVALID_PARAM;
    ie = sms_info_new_from_data(SMS_IE_CONCAT_8BIT, data, 3);
    if (!ie)
        return SMS_ERR_NO_MEMORY;
    sms_info_list_add(&tpdu->info, ie);
    tpdu->udhi = 1;
    return SMS_OK;
}

static int32_t add_element(sms_tpdu_t *tpdu, uint32_t id, const uint8_t *data, uint32_t len)
{
    sms_info_t *ie = sms_info_new_from_data(id, data, len);
    if (!ie)
        return SMS_ERR_NO_MEMORY;
    sms_info_list_add(&tpdu->info, ie);
    tpdu->udhi = 1;
    return SMS_OK;
}

int32_t set_msg_port_info(sms_tpdu_t *tpdu, const sms_msg_t *msg)
{
    if (!tpdu || !msg)
        return SMS_ERR_INVALID_PARAM;
    if (!msg->ports)
        return SMS_OK;
    const uint8_t data[4] = {(uint8_t)(msg->ports->dst >> 8), (uint8_t)msg->ports->dst,
                             (uint8_t)(msg->ports->src >> 8), (uint8_t)msg->ports->src};
    return add_element(tpdu, SMS_IE_PORT_16BIT, data, 4);
}

int32_t set_msg_control_info(sms_tpdu_t *tpdu, const sms_msg_t *msg)
{
    if (!tpdu || !msg)
        return SMS_ERR_INVALID_PARAM;
    if (!msg->smsc_ctrl)
        return SMS_OK;
    const uint8_t data = (uint8_t)msg->smsc_ctrl;
    return add_element(tpdu, SMS_IE_SMSC_CTRL, &data, 1);
}

int32_t set_msg_lang_info(sms_tpdu_t *tpdu, const sms_msg_t *msg)
{
    int32_t status;
    if (!tpdu || !msg)
        return SMS_ERR_INVALID_PARAM;
    if (msg->lang < 1)
        return SMS_OK;
    /* A language gives both elements (Spanish too); a pair only those of its
     * tables that are not the default's. */
    int32_t locking, single;
    sms_lang_split(msg->lang, &locking, &single);
    const int pair = msg->lang != single || msg->lang != locking;
    const uint8_t single_octet = (uint8_t)single, locking_octet = (uint8_t)locking;
    if ((!pair || single > 0) && (status = add_element(tpdu, SMS_IE_LANG_SINGLE, &single_octet, 1)) != SMS_OK)
        return status;
    if (!pair || locking > 0)
        return add_element(tpdu, SMS_IE_LANG_LOCKING, &locking_octet, 1);
    return SMS_OK;
}

/* The units segment `i` of `size` takes from `at` on: a full segment, or what
 * is left for the last one; a segment ends before the first half of a pair
 * (an escape and its code, a surrogate pair). SHORT_PAYLOAD when the payload
 * cannot fill an earlier segment. */
#define SHORT_PAYLOAD UINT32_MAX
static uint32_t segment_chunk(const sms_msg_size_t *size, const uint8_t *payload, uint32_t payload_len,
                              uint32_t at, uint32_t i)
{
    const uint32_t unit = size->format == SMS_FORMAT_UCS2 ? 2 : 1;
    const int last = i + 1 == size->segments;
    uint32_t chunk = (last ? size->per_segment - size->free : size->per_segment) * unit;
    if (payload_len - at < chunk) {
        /* The last segment takes what is left when earlier ones ended early. */
        return last ? payload_len - at : SHORT_PAYLOAD;
    }
    if (!last) {
        if (size->format == SMS_FORMAT_GSM_7BIT && payload[at + chunk - 1] == GSM_ESCAPE) {
            chunk -= 1;
        } else if (size->format == SMS_FORMAT_UCS2) {
            uint16_t end;
            memcpy(&end, payload + at + chunk - 2, 2);
            if ((end & 0xFC00) == 0xD800)
                chunk -= 2;
        }
    }
    return chunk;
}

/* Segment `i` of `count`: the working record with its sequence number and its share of the data. */
static int32_t make_segment(sms_tpdu_t *t, const sms_tpdu_t *work, uint32_t i, uint32_t count,
                            const uint8_t *data, uint32_t len)
{
    int32_t status = sms_tpdu_clone(t, work);
    if (status != SMS_OK)
        return status;
    sms_info_t *concat = sms_info_list_get(t->info, SMS_IE_CONCAT_8BIT);
    if (concat && concat->len > 2)
        concat->data[2] = (uint8_t)(i + 1);
    if (i + 1 < count)
        t->srr = 0;   /* only the last segment asks for a report */
    t->ud = malloc((size_t)len + 2);
    if (!t->ud)
        return SMS_ERR_NO_MEMORY;
    memcpy(t->ud, data, len);
    t->ud[len] = t->ud[len + 1] = 0;
    t->udl = len;
    return SMS_OK;
}

/* The template without concatenation elements, and the header octets left. */
static int32_t working_copy(const sms_tpdu_t *tmpl, sms_tpdu_t *work, uint32_t *hdr)
{
    const int32_t status = sms_tpdu_clone(work, tmpl);
    if (status != SMS_OK)
        return status;
    while (sms_info_list_del(&work->info, SMS_IE_CONCAT_8BIT) == SMS_OK) {}
    while (sms_info_list_del(&work->info, SMS_IE_CONCAT_16BIT) == SMS_OK) {}
    *hdr = sms_info_list_size(work->info);
    if (*hdr)
        *hdr += 1;
    return SMS_OK;
}

int32_t sms_msg_decompose(const sms_msg_t *msg, const sms_tpdu_t *tmpl, sms_tpdu_t **tpdus,
                          uint32_t *count, uint32_t ref)
{
    sms_tpdu_t work;
    sms_tpdu_t *array = NULL;
    sms_msg_size_t size;
    sms_conv_ctx_t *ctx;
    uint8_t *payload = NULL;
    uint32_t payload_len = 0, hdr, at = 0;
    int32_t status;
    if (!msg || !tmpl || !tpdus || !count)
        return SMS_ERR_INVALID_PARAM;
    *tpdus = NULL;
    *count = 0;
    memset(&size, 0, sizeof size);
    if ((status = working_copy(tmpl, &work, &hdr)) != SMS_OK)
        return status;

    ctx = sms_conv_ctx_open(msg->lang);
    status = ctx ? get_msg_size_and_data(msg, ctx, hdr, &size, &payload, &payload_len) : SMS_ERR_NO_MEMORY;
    sms_conv_ctx_close(ctx);
    if (status != SMS_OK)
        goto done;
    work.dcs |= (uint8_t)encoding_of_format(size.format);
    if (size.segments > 1 && (status = set_msg_concat_info(&work, ref, size.segments)) != SMS_OK)
        goto done;

    array = calloc(size.segments, sizeof *array);
    if (!array) {
        status = SMS_ERR_NO_MEMORY;
        goto done;
    }
    if (!payload || payload_len == 0) {
        status = sms_tpdu_clone(&array[0], &work);   /* one empty segment */
    } else {
        for (uint32_t i = 0; i < size.segments && status == SMS_OK; i++) {
            const uint32_t chunk = segment_chunk(&size, payload, payload_len, at, i);
            if (chunk == SHORT_PAYLOAD) {
                status = SMS_ERR_BUFFER_OVERRUN;
                break;
            }
            status = make_segment(&array[i], &work, i, size.segments, payload + at, chunk);
            at += chunk;
        }
        if (status == SMS_OK && at != payload_len)
            status = SMS_ERR_BUFFER_OVERRUN;   /* the split did not take every unit */
    }
    if (status == SMS_OK) {
        *tpdus = array;
        *count = payload_len ? size.segments : 1;
        array = NULL;
    }
done:
    sms_msg_tpdu_destroy(array, size.segments);
    sms_info_list_destroy(&work.info);
    free(work.ud);
    free(payload);
    return status;
}

int32_t sms_msg_encode(const sms_tpdu_t *tpdus, uint32_t count, sms_raw_pdu_t **raw)
{
    sms_raw_pdu_t *out;
    if (!tpdus || !count || !raw)
        return SMS_ERR_INVALID_PARAM;
    *raw = NULL;
    out = calloc(count, sizeof *out);
    if (!out)
        return SMS_ERR_NO_MEMORY;
    for (uint32_t i = 0; i < count; i++) {
        const int32_t status = sms_tpdu_encode(&tpdus[i], &out[i].data, &out[i].len);
        if (status != SMS_OK) {
            sms_msg_raw_destroy(out, i);
            return status;
        }
    }
    *raw = out;
    return SMS_OK;
}

int32_t sms_msg_serialize(const sms_msg_t *msg, sms_raw_pdu_t **raw, uint32_t *count, uint32_t ref)
{
    sms_tpdu_t tmpl;
    sms_tpdu_t *tpdus = NULL;
    int32_t status;
    if (!msg || !raw || !count)
        return SMS_ERR_INVALID_PARAM;
    *raw = NULL;
    *count = 0;
    memset(&tmpl, 0, sizeof tmpl);
    tmpl.type = (uint8_t)msg->type;
    if (!msg->to || sms_addr_set_from_string(&tmpl.addr, msg->to) != SMS_OK)
        return SMS_ERR_INVALID_PARAM;
    tmpl.addr.ton = msg->to[0] == '+' ? 1 : 0;
    tmpl.addr.npi = 1;
    tmpl.pid = (uint8_t)msg->proto;
    tmpl.dcs = (uint8_t)msg->msg_class;
    tmpl.srr = (uint8_t)msg->srr;
    tmpl.mr = (uint32_t)msg->mr;
    if (msg->validity >= 1) {
        tmpl.vpf = SMS_VPF_RELATIVE;
        tmpl.vp = sms_validity_seconds_to_relative((uint32_t)msg->validity);
    }
    if ((status = set_msg_lang_info(&tmpl, msg)) == SMS_OK
        && (status = set_msg_port_info(&tmpl, msg)) == SMS_OK
        && (status = set_msg_control_info(&tmpl, msg)) == SMS_OK
        && (status = sms_msg_decompose(msg, &tmpl, &tpdus, count, ref)) == SMS_OK) {
        status = sms_msg_encode(tpdus, *count, raw);
        sms_msg_tpdu_destroy(tpdus, *count);
        if (status != SMS_OK)
            *count = 0;
    }
    sms_info_list_destroy(&tmpl.info);
    return status;
}
