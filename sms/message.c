/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Whole messages: their records and what a record tells. Sizing is in
 * sizing.c, the way out (segments, PDUs) in segment.c, the way in (decoding,
 * ordering, checking and joining segments) in join.c. */

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
