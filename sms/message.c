/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Whole messages: sizing, segmentation and serialization, and the reverse
 * path of decoding, ordering, checking and joining segments. */

#include "octets.h"
#include "sizing.h"
#include "tables.h"
#include "utf8.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>


static char *copy_text(const char *text)
{
    const size_t n = strlen(text);
    char *copy = malloc(n + 1);
    if (copy)
        memcpy(copy, text, n + 1);
    return copy;
}

/* ---- Records ---- */

sms_msg_t *sms_msg_new(void)
{
    sms_msg_t *msg = calloc(1, sizeof *msg);
    if (msg)
        msg->mwi_type = SMS_SPECIAL_NONE_WAIT;
    return msg;
}

static sms_msg_t *new_submit(const char *address)
{
    sms_msg_t *msg;
    if (!sms_addr_string_is_valid(address))
        return NULL;
    msg = sms_msg_new();
    if (!msg)
        return NULL;
    msg->type = SMS_TYPE_SUBMIT;
    msg->to = copy_text(address);
    if (!msg->to) {
        sms_msg_destroy(msg);
        return NULL;
    }
    return msg;
}

sms_msg_t *sms_msg_new_txt_message(const char *address, const char *text)
{
    sms_msg_t *msg;
    if (!text)
        return NULL;
    msg = new_submit(address);
    if (!msg)
        return NULL;
    msg->text = copy_text(text);
    if (!msg->text) {
        sms_msg_destroy(msg);
        return NULL;
    }
    msg->data_len = (uint32_t)strlen(text);
    return msg;
}

sms_msg_t *sms_msg_new_bin_message(const char *address, const uint8_t *data, uint32_t len,
                                   const sms_ports_t *ports)
{
    sms_msg_t *msg;
    if (!data)
        return NULL;
    msg = new_submit(address);
    if (!msg)
        return NULL;
    msg->data = malloc((size_t)len + 1);
    if (ports)
        msg->ports = malloc(sizeof *msg->ports);
    if (!msg->data || (ports && !msg->ports)) {
        sms_msg_destroy(msg);
        return NULL;
    }
    memcpy(msg->data, data, len);
    msg->data[len] = 0;
    msg->data_len = len;
    if (ports)
        *msg->ports = *ports;
    return msg;
}

static const sms_ports_t vcard_ports = {9204, 0};
static const sms_ports_t vcalendar_ports = {9205, 0};

sms_msg_t *sms_msg_new_bin_message_with_mime(const char *address, const uint8_t *data, uint32_t len,
                                             const char *mime_type)
{
    if (!mime_type || !data)
        return NULL;
    if (strcasecmp(mime_type, "text/plain") == 0) {
        char *text = malloc((size_t)len + 1);
        sms_msg_t *msg;
        if (!text)
            return NULL;
        memcpy(text, data, len);
        text[len] = 0;
        msg = sms_msg_new_txt_message(address, text);
        free(text);
        if (msg)
            msg->data_len = len;
        return msg;
    }
    if (strcasecmp(mime_type, "text/x-vcard") == 0)
        return sms_msg_new_bin_message(address, data, len, &vcard_ports);
    if (strcasecmp(mime_type, "text/x-vcalendar") == 0)
        return sms_msg_new_bin_message(address, data, len, &vcalendar_ports);
    return NULL;
}

sms_msg_t *sms_msg_new_txt_message_with_mime(const char *address, const char *text,
                                             const char *mime_type)
{
    if (!mime_type || !text)
        return NULL;
    if (strcasecmp(mime_type, "text/plain") == 0)
        return sms_msg_new_txt_message(address, text);
    if (strcasecmp(mime_type, "text/x-vcard") == 0)
        return sms_msg_new_bin_message(address, (const uint8_t *)text, (uint32_t)strlen(text), &vcard_ports);
    if (strcasecmp(mime_type, "text/x-vcalendar") == 0)
        return sms_msg_new_bin_message(address, (const uint8_t *)text, (uint32_t)strlen(text),
                                       &vcalendar_ports);
    return NULL;
}

void sms_msg_destroy(sms_msg_t *msg)
{
    if (!msg)
        return;
    free(msg->from);
    free(msg->to);
    free(msg->data);
    free(msg->text);
    free(msg->ports);
    free(msg);
}

void sms_msg_raw_destroy(sms_raw_pdu_t *raw, uint32_t count)
{
    if (!raw)
        return;
    for (uint32_t i = 0; i < count; i++)
        free(raw[i].data);
    free(raw);
}

void sms_msg_tpdu_destroy(sms_tpdu_t *tpdus, uint32_t count)
{
    if (!tpdus)
        return;
    for (uint32_t i = 0; i < count; i++) {
        sms_info_list_destroy(&tpdus[i].info);
        free(tpdus[i].ud);
    }
    free(tpdus);
}

/* ---- Queries ---- */

const char *sms_msg_get_mime_type(const sms_msg_t *msg)
{
    if (!msg)
        return NULL;
    if (msg->ports && msg->text && msg->ports->dst == 0)
        return msg->ports->src ? "application/octet-stream" : "text/plain";
    if (msg->ports) {
        switch (msg->ports->dst) {
        case 226: case 9204: return "text/x-vcard";
        case 228: case 9205: return "text/x-vcalendar";
        default: return "application/octet-stream";
        }
    }
    return msg->text ? "text/plain" : "application/octet-stream";
}

int32_t sms_msg_get_lang_from_system(void)
{
    const char *lang = getenv("LANG");
    if (!lang)
        return SMS_LANG_DEFAULT;
    if (strstr(lang, "tr"))
        return SMS_LANG_TURKISH;
    if (strstr(lang, "es"))
        return SMS_LANG_SPANISH;
    if (strstr(lang, "pt"))
        return SMS_LANG_PORTUGUESE;
    return SMS_LANG_DEFAULT;
}

/* ---- Sizing ---- */

/* The header with the concatenation element added: 5 octets, 6 when it is the first. */
static uint32_t with_concat(uint32_t hdr_len)
{
    return hdr_len + (hdr_len ? 5 : 6);
}

/* Units a boundary-respecting split adds: a segment that would end on the
 * first half of a pair (an escape and its code, or a surrogate pair) ends one
 * unit early. */
static uint32_t split_extra(const uint8_t *codes, const uint16_t *units, uint32_t count, uint32_t per)
{
    uint32_t extra = 0;
    if (per < 2)
        return 0;
    for (uint32_t i = per - 1; i + 1 < count;) {
        const int first_half = codes ? codes[i] == GSM_ESCAPE : (units[i] & 0xFC00) == 0xD800;
        if (first_half) {
            extra++;
            i += per - 1;
        } else {
            i += per;
        }
    }
    return extra;
}

static int32_t finish(sms_msg_size_t *size, uint32_t units)
{
    size->segments = units ? ceil_div(units, size->per_segment) : 1;
    size->free = size->per_segment * size->segments - units;
    return size->segments > SMS_MAX_SEGMENTS ? SMS_ERR_TOO_MANY_SEGMENTS : SMS_OK;
}

int32_t sms_size_split_units(sms_msg_size_t *size, int32_t format, uint32_t capacity, uint32_t unit_bits,
                             uint32_t hdr_len, uint32_t units, uint32_t extra)
{
    uint32_t h = ceil_div(hdr_len * 8, unit_bits);
    if (h + units > capacity)
        h = ceil_div(with_concat(hdr_len) * 8, unit_bits);
    if (h >= capacity)
        return SMS_ERR_INVALID_PARAM;
    size->per_segment = capacity - h;
    size->format = (uint32_t)format;
    return finish(size, units > size->per_segment ? units + extra : units);
}

uint32_t sms_units_per_segment(uint32_t capacity, uint32_t unit_bits, uint32_t hdr_len)
{
    const uint32_t h = ceil_div(with_concat(hdr_len) * 8, unit_bits);
    return h < capacity ? capacity - h : 0;
}

int32_t sms_size_units(sms_msg_size_t *size, int32_t format, uint32_t capacity, uint32_t unit_bits,
                       uint32_t hdr_len, uint32_t units, const uint8_t *codes, const uint16_t *ucs2)
{
    const uint32_t per = sms_units_per_segment(capacity, unit_bits, hdr_len);
    const uint32_t extra = units > per && (codes || ucs2) ? split_extra(codes, ucs2, units, per) : 0;
    return sms_size_split_units(size, format, capacity, unit_bits, hdr_len, units, extra);
}

/* The units a split loses before pairs (an escape and its code, a surrogate
 * pair): a segment of `per` units that would end on a pair's first half ends
 * one unit early. `at` is where the pair starts, lost units counted. */
static inline uint32_t lost_before_pair(uint32_t at, uint32_t per)
{
    return at % per == per - 1;
}

/* The code point of a valid two-octet UTF-8 sequence at `in`, or -1: the
 * common case of texts beyond ASCII (Latin, Greek, Cyrillic), decoded inline. */
static inline int32_t two_octets(const uint8_t *in, uint32_t left)
{
    if (left >= 2 && in[0] >= 0xC2 && in[0] < 0xE0 && (in[1] & 0xC0) == 0x80)
        return (int32_t)((in[0] & 0x1Fu) << 6 | (in[1] & 0x3Fu));
    return -1;
}

/* The septets of the text with the context's tables, and the septets a split
 * loses; 0 when a character has no code, -1 when the text is not UTF-8. One
 * pass, nothing converted: the first 256 characters, most of most texts,
 * straight through the context's direct table. */
static int32_t count_septets(const uint8_t *in, uint32_t len, const sms_conv_ctx_t *ctx, uint32_t per,
                             uint32_t *septets, uint32_t *lost)
{
    const uint16_t *direct = ctx->latin1_ready ? ctx->latin1 : NULL;
    uint32_t n = 0, extra = 0;
    for (uint32_t i = 0; i < len;) {
        /* A run of ASCII characters of the alphabet. */
        if (direct) {
            uint32_t run = i;
            while (run < len && in[run] < 0x80 && !(direct[in[run]] & EXTENDED))
                run++;
            n += run - i;
            i = run;
            if (i == len)
                break;
        }
        int32_t cp = in[i];
        uint32_t step = 1;
        if (cp >= 0x80 && (cp = two_octets(in + i, len - i)) >= 0) {
            step = 2;
        } else if (cp < 0) {
            cp = sms_utf8_char(in + i, len - i, &step);
            if (cp < 0)
                return -1;
            if (cp == 0)
                break;   /* cut inside a character: up to it */
        }
        i += step;
        const int septets_of = sms_conv_septets_of(ctx, (uint32_t)cp);
        if (!septets_of)
            return 0;
        if (septets_of == 2)
            extra += lost_before_pair(n + extra, per);
        n += (uint32_t)septets_of;
    }
    *septets = n;
    *lost = extra;
    return 1;
}

/* The UTF-16 units of the text and the units a split loses; -1 when the text
 * is not UTF-8. A character cut at the end is left out. */
static int32_t count_units(const uint8_t *in, uint32_t len, uint32_t per, uint32_t *units, uint32_t *lost)
{
    uint32_t n = 0, extra = 0;
    for (uint32_t i = 0; i < len;) {
        if (in[i] < 0x80) {
            uint32_t run = i + 1;
            while (run < len && in[run] < 0x80)
                run++;
            n += run - i;
            i = run;
            continue;
        }
        if (two_octets(in + i, len - i) >= 0) {
            n++;
            i += 2;
            continue;
        }
        uint32_t step = 0;
        const int32_t cp = sms_utf8_char(in + i, len - i, &step);
        if (cp == 0)
            break;
        if (cp < 0)
            return -1;
        if (cp >= 0x10000) {
            extra += lost_before_pair(n + extra, per);
            n++;
        }
        n++;
        i += step;
    }
    *units = n;
    *lost = extra;
    return 0;
}

/* Sizes a text without converting it: GSM 7-bit when every character has a
 * code with the context's tables, else UCS-2. */
static int32_t size_text_in_place(const sms_msg_t *msg, const sms_conv_ctx_t *ctx, uint32_t hdr_len,
                                  sms_msg_size_t *size)
{
    const uint8_t *in = (const uint8_t *)msg->text;
    uint32_t len = (uint32_t)strlen(msg->text);
    const uint32_t gsm_per = sms_units_per_segment(GSM_PER_TPDU, 7, hdr_len);
    const uint32_t ucs2_per = sms_units_per_segment(UCS2_PER_TPDU, 16, hdr_len);
    uint32_t count = 0, lost = 0;
    if (len > MAX_TEXT_OCTETS)
        len = MAX_TEXT_OCTETS;
    if (!gsm_per || !ucs2_per)
        return SMS_ERR_INVALID_PARAM;
    const int32_t gsm = count_septets(in, len, ctx, gsm_per, &count, &lost);
    if (gsm < 0)
        return SMS_ERR_CONVERSION;
    if (gsm > 0 && count)
        return sms_size_split_units(size, SMS_FORMAT_GSM_7BIT, GSM_PER_TPDU, 7, hdr_len, count, lost);
    if (count_units(in, len, ucs2_per, &count, &lost) < 0)
        return SMS_ERR_CONVERSION;
    return sms_size_split_units(size, SMS_FORMAT_UCS2, UCS2_PER_TPDU, 16, hdr_len, count, lost);
}

/* Gives `buffer` (`len` octets) to the caller as the payload, when one is
 * wanted; returns 1 when it was taken. */
static int hand_over(uint8_t **payload, uint32_t *payload_len, void *buffer, uint32_t len)
{
    if (!payload)
        return 0;
    *payload = buffer;
    if (payload_len)
        *payload_len = len;
    return 1;
}

static int32_t size_octets(const sms_msg_t *msg, uint32_t hdr_len, sms_msg_size_t *size,
                           uint8_t **payload, uint32_t *payload_len)
{
    const uint32_t length = msg->data_len;
    const int32_t status = sms_size_units(size, SMS_FORMAT_8BIT, OCTETS_PER_TPDU, 8, hdr_len, length, NULL, NULL);
    if (status != SMS_OK || !payload)
        return status;
    uint8_t *copy = malloc((size_t)length + 1);
    if (!copy)
        return SMS_ERR_NO_MEMORY;
    memcpy(copy, msg->data, length);
    copy[length] = 0;
    hand_over(payload, payload_len, copy, length);
    return SMS_OK;
}

/* GSM 7-bit when every character has a code, else UCS-2, where pairs of
 * UTF-16 units count as two. The payload is the codes or the units. */
static int32_t size_text(const sms_msg_t *msg, sms_conv_ctx_t *ctx, uint32_t hdr_len, sms_msg_size_t *size,
                         uint8_t **payload, uint32_t *payload_len)
{
    uint16_t *ucs2 = NULL;
    uint8_t *codes = NULL;
    uint32_t ucs2_bytes = 0, count = 0;
    uint32_t text_len = (uint32_t)strlen(msg->text);
    if (text_len > MAX_TEXT_OCTETS)
        text_len = MAX_TEXT_OCTETS;
    int32_t status = sms_conv_utf8_to_ucs2(msg->text, text_len, &ucs2, &ucs2_bytes, ctx);
    if (status != SMS_OK)
        return status;

    if (ucs2_bytes == 0 || sms_conv_ucs2_to_gsm(ucs2, ucs2_bytes, &codes, &count, ctx) != SMS_OK) {
        status = sms_size_units(size, SMS_FORMAT_UCS2, UCS2_PER_TPDU, 16, hdr_len, ucs2_bytes / 2, NULL, ucs2);
        if (status == SMS_OK && hand_over(payload, payload_len, ucs2, ucs2_bytes))
            ucs2 = NULL;
        free(ucs2);
        return status;
    }
    free(ucs2);
    status = sms_size_units(size, SMS_FORMAT_GSM_7BIT, GSM_PER_TPDU, 7, hdr_len, count, codes, NULL);
    /* The codes themselves; segments take their split into account. */
    if (status == SMS_OK && hand_over(payload, payload_len, codes, count))
        codes = NULL;
    free(codes);
    return status;
}

int32_t get_msg_size_and_data(const sms_msg_t *msg, sms_conv_ctx_t *ctx, uint32_t hdr_len,
                              sms_msg_size_t *size, uint8_t **payload, uint32_t *payload_len)
{
    if (!msg || !size || !ctx)
        return SMS_ERR_INVALID_PARAM;
    if (payload)
        *payload = NULL;
    if (payload_len)
        *payload_len = 0;
    if (msg->data)
        return size_octets(msg, hdr_len, size, payload, payload_len);
    if (!msg->text || !msg->text[0]) {
        size->segments = 1;
        size->format = SMS_FORMAT_GSM_7BIT;
        size->per_segment = size->free = GSM_PER_TPDU - ceil_div(hdr_len * 8, 7);
        return SMS_OK;
    }
    /* Sizing alone needs no converted text. */
    return payload ? size_text(msg, ctx, hdr_len, size, payload, payload_len)
                   : size_text_in_place(msg, ctx, hdr_len, size);
}

uint32_t sms_msg_header_octets(const sms_msg_t *msg, int32_t locking_lang, int32_t single_lang)
{
    uint32_t hdr = 0;
#define ADD_ELEMENT(octets) (hdr += (octets) + (hdr ? 0 : 1))
    if (msg->smsc_ctrl)
        ADD_ELEMENT(3);
    if (locking_lang > 0)
        ADD_ELEMENT(3);
    if (single_lang > 0)
        ADD_ELEMENT(3);
    if (msg->ports)
        ADD_ELEMENT(6);
#undef ADD_ELEMENT
    return hdr;
}

int32_t sms_msg_get_size(const sms_msg_t *msg, sms_msg_size_t *size, sms_conv_ctx_t *ctx)
{
    sms_conv_ctx_t *own = NULL;
    uint32_t hdr = 0;
    int32_t status;
    if (!msg || !size)
        return SMS_ERR_INVALID_PARAM;
    memset(size, 0, sizeof *size);
    if (!ctx) {
        own = ctx = sms_conv_ctx_open(msg->lang);
        if (!ctx)
            return SMS_ERR_NO_MEMORY;
    }
    hdr = sms_msg_header_octets(msg, sms_conv_ctx_locking_lang(ctx), sms_conv_ctx_single_lang(ctx));
    status = get_msg_size_and_data(msg, ctx, hdr, size, NULL, NULL);
    sms_conv_ctx_close(own);
    return status;
}

/* ---- Segmentation ---- */

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

/* ---- Reassembly ---- */

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
