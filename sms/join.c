/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Messages on their way in: PDUs decoded, segments ordered and checked,
 * and their user data joined into one message. */

#include "octets.h"
#include "sizing.h"
#include "tables.h"
#include "utf8.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

int32_t get_msg_concat_info(const sms_tpdu_t *tpdu, sms_concat_info_t *info)
{
    return sms_tpdu_get_concat_info(tpdu, info);
}

uint32_t get_msg_class_info(const sms_tpdu_t *tpdu)
{
    return sms_tpdu_get_class_info(tpdu);
}

/* One originator (or one destination): the same number and type of number. */
static int same_party(const sms_addr_t *a, const sms_addr_t *b)
{
    return a->ton == b->ton && a->npi == b->npi
        && strncmp(a->number, b->number, sizeof a->number) == 0;
}

/* Which element a segment's concatenation information comes from, as
 * sms_tpdu_get_concat_info() chooses it: an 8-bit and a 16-bit reference of
 * the same value are two messages. */
static uint32_t concat_kind(const sms_tpdu_t *t)
{
    const sms_info_t *ie = sms_info_list_get(t->info, SMS_IE_CONCAT_8BIT);
    return ie && ie->data && ie->len > 2 ? SMS_IE_CONCAT_8BIT : SMS_IE_CONCAT_16BIT;
}

/* Segments join only when they belong together: one reference of one kind,
 * one total equal to their count, sequence numbers 1..total each once (the
 * array is sorted), one type and one originator. A lone record without
 * concatenation information is a whole message; a lone segment of a longer
 * one is not. */
int32_t check_tpdu_array(const sms_tpdu_t *tpdus, uint32_t count)
{
    sms_concat_info_t first;
    if (!tpdus)
        return count < 2 ? SMS_OK : SMS_ERR_INVALID_PARAM;
    if (count == 0)
        return SMS_OK;
    if (sms_tpdu_get_concat_info(&tpdus[0], &first) != SMS_OK)
        return count == 1 ? SMS_OK : SMS_ERR_PARSE;
    for (uint32_t k = 0; k < count; k++) {
        sms_concat_info_t info;
        if (sms_tpdu_get_concat_info(&tpdus[k], &info) != SMS_OK)
            return SMS_ERR_PARSE;
        if (info.ref != first.ref || info.total != count || info.seq != k + 1
            || concat_kind(&tpdus[k]) != concat_kind(&tpdus[0]))
            return SMS_ERR_PARSE;
        if (tpdus[k].type != tpdus[0].type || !same_party(&tpdus[k].addr, &tpdus[0].addr))
            return SMS_ERR_PARSE;
    }
    return SMS_OK;
}

int32_t sms_msg_tpdu_sort(sms_tpdu_t *tpdus, uint32_t count)
{
    uint8_t seq[SMS_MAX_SEGMENTS];
    if (!tpdus || count == 0)
        return SMS_ERR_INVALID_PARAM;
    /* No message has more segments than a sequence number counts. */
    if (count > SMS_MAX_SEGMENTS)
        return SMS_ERR_PARSE;
    /* Insertion sort on the sequence numbers, each read once: segments
     * mostly arrive in order, and then nothing moves. A lone record may have
     * no sequence number at all. */
    for (uint32_t i = 0; count > 1 && i < count; i++) {
        sms_concat_info_t info;
        if (sms_tpdu_get_concat_info(&tpdus[i], &info) != SMS_OK)
            return SMS_ERR_PARSE;
        const sms_tpdu_t moving = tpdus[i];
        uint32_t j = i;
        for (; j > 0 && seq[j - 1] > info.seq; j--) {
            seq[j] = seq[j - 1];
            tpdus[j] = tpdus[j - 1];
        }
        seq[j] = (uint8_t)info.seq;
        tpdus[j] = moving;
    }
    return check_tpdu_array(tpdus, count);
}

int32_t sms_msg_decode(const sms_raw_pdu_t *raw, uint32_t count, sms_tpdu_t **tpdus)
{
    sms_tpdu_t *array;
    int32_t status;
    if (!raw || !count || !tpdus)
        return SMS_ERR_INVALID_PARAM;
    *tpdus = NULL;
    array = calloc(count, sizeof *array);
    if (!array)
        return SMS_ERR_NO_MEMORY;
    for (uint32_t i = 0; i < count; i++) {
        status = sms_tpdu_decode(raw[i].data, raw[i].len, &array[i]);
        if (status != SMS_OK) {
            sms_msg_tpdu_destroy(array, i + 1);
            return status;
        }
    }
    status = sms_msg_tpdu_sort(array, count);
    if (status != SMS_OK) {
        sms_msg_tpdu_destroy(array, count);
        return status;
    }
    *tpdus = array;
    return SMS_OK;
}

int get_msg_compressed(const sms_tpdu_t *tpdu)
{
    (void)tpdu;
    return 0;
}

uint32_t get_tpdu_array_ud_size(const sms_tpdu_t *tpdus, uint32_t count)
{
    uint32_t total = 0;
    for (uint32_t i = 0; tpdus && i < count; i++)
        total += tpdus[i].udl;
    return total;
}

int32_t get_msg_proto_info(const sms_tpdu_t *tpdu)
{
    if (!tpdu)
        return SMS_PROTO_NORMAL;
    if (tpdu->pid >= 0x41 && tpdu->pid <= 0x47)
        return SMS_PROTO_REPLACE;
    if (tpdu->pid == 0x5F)
        return SMS_PROTO_RETURN_CALL;
    if (tpdu->pid >= 0x40 && tpdu->pid <= 0x7F)
        return SMS_PROTO_NORMAL;
    return sms_info_list_get(tpdu->info, SMS_IE_SPECIAL_MSG) ? SMS_PROTO_RETURN_CALL : SMS_PROTO_NORMAL;
}

static int32_t element_octet(const sms_tpdu_t *tpdu, uint32_t id)
{
    const sms_info_t *ie = tpdu ? sms_info_list_get(tpdu->info, id) : NULL;
    return ie && ie->data && ie->len >= 1 ? ie->data[0] : 0;
}

int32_t get_msg_lang_shifted_info(const sms_tpdu_t *tpdu)
{
    return element_octet(tpdu, SMS_IE_LANG_SINGLE);
}

int32_t get_msg_lang_locking_info(const sms_tpdu_t *tpdu)
{
    return element_octet(tpdu, SMS_IE_LANG_LOCKING);
}

int32_t get_msg_lang_info(const sms_tpdu_t *tpdu)
{
    if (!tpdu || !tpdu->info)
        return SMS_LANG_DEFAULT;
    const int32_t locking = get_msg_lang_locking_info(tpdu);
    return locking ? locking : get_msg_lang_shifted_info(tpdu);
}

int32_t get_msg_port_info(const sms_tpdu_t *tpdu, sms_msg_t *msg)
{
    const sms_info_t *p8, *p16;
    if (!tpdu || !msg)
        return SMS_ERR_INVALID_PARAM;
    p8 = sms_info_list_get(tpdu->info, SMS_IE_PORT_8BIT);
    p16 = sms_info_list_get(tpdu->info, SMS_IE_PORT_16BIT);
    const int ok8 = p8 && p8->data && p8->len == 2;
    const int ok16 = p16 && p16->data && p16->len == 4;
    if ((p8 && p16) || (!ok8 && !ok16))
        return SMS_ERR_NOT_FOUND;
    sms_ports_t *ports = malloc(sizeof *ports);
    if (!ports)
        return SMS_ERR_NO_MEMORY;
    if (ok8) {
        ports->dst = p8->data[0];
        ports->src = p8->data[1];
    } else {
        ports->dst = (uint16_t)((p16->data[0] << 8) | p16->data[1]);
        ports->src = (uint16_t)((p16->data[2] << 8) | p16->data[3]);
    }
    free(msg->ports);
    msg->ports = ports;
    return SMS_OK;
}

int32_t get_msg_format_info(const sms_tpdu_t *tpdu)
{
    return format_of_encoding(sms_tpdu_get_encoding(tpdu));
}

int get_msg_format_mixed_gsm_ucs2(const sms_tpdu_t *tpdus, uint32_t count)
{
    if (!tpdus || count < 2)
        return 0;
    const int32_t first = get_msg_format_info(&tpdus[0]);
    if (first == SMS_FORMAT_8BIT)
        return 0;
    const int32_t other = first == SMS_FORMAT_UCS2 ? SMS_FORMAT_GSM_7BIT : SMS_FORMAT_UCS2;
    for (uint32_t i = 1; i < count; i++) {
        if (get_msg_format_info(&tpdus[i]) == other)
            return 1;
    }
    return 0;
}

void get_msg_mwi_info(const sms_tpdu_t *t, sms_msg_t *msg)
{
    const sms_info_t *special;
    if (!t || !msg)
        return;
    special = sms_info_list_get(t->info, SMS_IE_SPECIAL_MSG);
    if (special && special->data && special->len >= 2) {
        const uint8_t kind = special->data[0];
        msg->mwi_store = kind >> 7;
        msg->mwi_type = kind & 0x03;
        if (msg->mwi_type == SMS_SPECIAL_EXTENDED_WAIT && (kind & 0x7C) == 0x04)
            msg->mwi_type = SMS_SPECIAL_VIDEOMAIL_WAIT;
        msg->mwi_count = special->data[1];
        msg->mwi_active = special->data[1] != 0;
    } else if ((t->addr.flags & (SMS_ADDR_FLAG_MWI | SMS_ADDR_FLAG_SPECIAL)) == SMS_ADDR_FLAG_MWI) {
        msg->mwi_type = SMS_SPECIAL_VOICEMAIL_WAIT;
        msg->mwi_line2 = (t->addr.flags & SMS_ADDR_FLAG_MWI_LINE2) != 0;
        if (t->addr.flags & SMS_ADDR_FLAG_MWI_ACTIVE) {
            msg->mwi_active = 1;
            msg->mwi_count = 255;
        }
        msg->mwi_store = t->udl >= 2 ? 1 : (t->udl == 1 ? (t->ud && t->ud[0] != ' ') : 0);
    } else if ((t->dcs >> 4) >= 0xC && (t->dcs >> 4) <= 0xE) {
        msg->mwi_type = t->dcs & 0x03;
        msg->mwi_active = (t->dcs >> 3) & 1;
        if (msg->mwi_active)
            msg->mwi_count = 255;
        msg->mwi_store = (t->dcs >> 4) != 0xC;
    }
}

/* UTF-8 of one record's or several records' user data, with the language
 * tables of `langs`. UCS-2 of odd length ends in half a unit, shown as
 * U+FFFD rather than dropped. */
static int32_t to_text(const uint8_t *ud, uint32_t len, int32_t format, const sms_tpdu_t *langs,
                       char **text, uint32_t *text_len)
{
    *text = NULL;
    *text_len = 0;
    if (len == 0) {
        *text = calloc(1, 1);
        return *text ? SMS_OK : SMS_ERR_NO_MEMORY;
    }
    if (format == SMS_FORMAT_UCS2) {
        static const char replacement[] = "\xEF\xBF\xBD";
        int32_t status = len > 1 ? sms_conv_ucs2_to_utf8((const uint16_t *)(const void *)ud, len & ~1u, text, text_len)
                                 : SMS_OK;
        if (status != SMS_OK || !(len & 1))
            return status;
        char *longer = realloc(*text, (size_t)*text_len + sizeof replacement);
        if (!longer) {
            free(*text);
            *text = NULL;
            return SMS_ERR_NO_MEMORY;
        }
        memcpy(longer + *text_len, replacement, sizeof replacement);
        *text = longer;
        *text_len += sizeof replacement - 1;
        return SMS_OK;
    }
    sms_conv_ctx_t tables;
    sms_conv_tables_select(&tables, get_msg_lang_locking_info(langs), get_msg_lang_shifted_info(langs));
    return sms_conv_gsm_to_utf8(ud, len, text, text_len, &tables);
}

/* Whether the records' user data can be joined into one stream and decoded
 * at once: all of one format, in whole UCS-2 units, and with the same
 * language tables (each record's elements hold for that record alone). */
static int records_agree(const sms_tpdu_t *tpdus, uint32_t count)
{
    const int32_t format = get_msg_format_info(&tpdus[0]);
    const int32_t locking = get_msg_lang_locking_info(&tpdus[0]);
    const int32_t single = get_msg_lang_shifted_info(&tpdus[0]);
    for (uint32_t i = 0; i < count; i++) {
        if (get_msg_format_info(&tpdus[i]) != format)
            return 0;
        if (format == SMS_FORMAT_UCS2 && (tpdus[i].udl & 1) && i + 1 < count)
            return 0;
        if (format == SMS_FORMAT_GSM_7BIT && (get_msg_lang_locking_info(&tpdus[i]) != locking
                                              || get_msg_lang_shifted_info(&tpdus[i]) != single))
            return 0;
    }
    return 1;
}

static int32_t join_user_data(const sms_tpdu_t *tpdus, uint32_t count, sms_msg_t *msg)
{
    const uint32_t total = get_tpdu_array_ud_size(tpdus, count);
    char *text = NULL;
    uint32_t text_len = 0;
    int32_t status;

    if (!records_agree(tpdus, count)) {
        /* Each record by itself, then the texts joined; data joins no text. */
        char *joined = calloc((size_t)total * 4 + 1, 1);
        size_t used = 0;
        if (!joined)
            return SMS_ERR_NO_MEMORY;
        for (uint32_t i = 0; i < count; i++) {
            const int32_t format = get_msg_format_info(&tpdus[i]);
            if (format == SMS_FORMAT_8BIT) {
                free(joined);
                return SMS_ERR_PARSE;
            }
            status = to_text(tpdus[i].ud, tpdus[i].ud ? tpdus[i].udl : 0, format, &tpdus[i], &text, &text_len);
            if (status != SMS_OK) {
                free(joined);
                return status;
            }
            memcpy(joined + used, text, text_len);
            used += text_len;
            free(text);
        }
        free(msg->text);
        msg->text = joined;
        msg->data_len = (uint32_t)used;
        return SMS_OK;
    }

    uint8_t *all = calloc((size_t)total + 2, 1);
    uint32_t at = 0;
    if (!all)
        return SMS_ERR_NO_MEMORY;
    for (uint32_t i = 0; i < count; i++) {
        if (tpdus[i].ud && tpdus[i].udl) {
            memcpy(all + at, tpdus[i].ud, tpdus[i].udl);
            at += tpdus[i].udl;
        }
    }
    if (msg->format == SMS_FORMAT_8BIT) {
        free(msg->data);
        msg->data = all;
        msg->data_len = at;
        return SMS_OK;
    }
    status = to_text(all, at, msg->format, &tpdus[0], &text, &text_len);
    free(all);
    if (status != SMS_OK)
        return status;
    free(msg->text);
    msg->text = text;
    msg->data_len = text_len;
    return SMS_OK;
}

int32_t sms_msg_compose(const sms_tpdu_t *tpdus, uint32_t count, sms_msg_t *msg)
{
    const sms_tpdu_t *t1;
    char *address;
    if (!tpdus || !count || !msg)
        return SMS_ERR_INVALID_PARAM;
    t1 = &tpdus[0];
    msg->type = t1->type;
    msg->reply_path = t1->reply_path;
    msg->mr = (int32_t)t1->mr;
    msg->timestamp = t1->scts.utc;
    msg->srr = tpdus[count - 1].srr;
    msg->msg_class = (int32_t)sms_tpdu_get_class_info(t1);
    msg->validity = t1->vpf == SMS_VPF_RELATIVE ? (int32_t)sms_tpdu_get_validity_relative(t1) : 300;
    msg->format = get_msg_format_info(t1);

    /* The field is terminated within its 24 octets by every decoder. */
    address = malloc(sizeof t1->addr.number);
    if (!address)
        return SMS_ERR_NO_MEMORY;
    memcpy(address, t1->addr.number, sizeof t1->addr.number);
    address[sizeof t1->addr.number - 1] = 0;
    if (t1->type == SMS_TYPE_DELIVER) {
        free(msg->from);
        msg->from = address;
    } else {
        free(msg->to);
        msg->to = address;
    }
    msg->proto = get_msg_proto_info(t1);
    msg->lang = get_msg_lang_info(t1);
    get_msg_port_info(t1, msg);
    get_msg_mwi_info(t1, msg);
    return join_user_data(tpdus, count, msg);
}

int32_t sms_msg_deserialize(const sms_raw_pdu_t *raw, uint32_t count, sms_msg_t *msg)
{
    sms_tpdu_t *tpdus = NULL;
    int32_t status;
    if (!raw || !count || !msg)
        return SMS_ERR_INVALID_PARAM;
    status = sms_msg_decode(raw, count, &tpdus);
    if (status != SMS_OK)
        return status;
    status = get_msg_compressed(tpdus) ? SMS_ERR_UNSUPPORTED : sms_msg_compose(tpdus, count, msg);
    sms_msg_tpdu_destroy(tpdus, count);
    return status;
}
