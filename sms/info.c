/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* User data header information elements: the element list and each
 * element's coding (3GPP TS 23.040 clause 9.2.3.24). */

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
