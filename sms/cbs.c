/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Cell broadcast pages (3GPP TS 23.041 clause 9.4.1). */

#include "ondrix-qt/smscodec.h"

#include "tables.h"

#include <stdlib.h>
#include <string.h>

#define NO_ENCODING 255

int32_t sms_cbs_decode(const uint8_t *page, uint32_t len, sms_cbs_page_t *out)
{
    if (!page || !out || len != SMS_CBS_PAGE_LEN)
        return SMS_ERR_INVALID_PARAM;
    out->scope = page[0] >> 6;
    out->message_code = (uint16_t)(((page[0] & 0x3F) << 4) | (page[1] >> 4));
    out->update_number = page[1] & 0x0F;
    out->message_id = (uint16_t)((page[2] << 8) | page[3]);
    out->dcs = page[4];
    out->total_pages = page[5] & 0x0F;
    out->page_number = page[5] >> 4;
    if (out->total_pages == 0 || out->page_number == 0)
        out->total_pages = out->page_number = 1;
    memcpy(out->content, page + 6, sizeof out->content);
    return SMS_OK;
}

/* The alphabet bits of the groups that carry them. */
static uint32_t by_alphabet(uint8_t dcs)
{
    static const uint32_t encodings[4] = {SMS_ENCODING_GSM_7BIT, SMS_ENCODING_8BIT,
                                          SMS_ENCODING_UCS2, NO_ENCODING};
    return encodings[(dcs >> 2) & 0x03];
}

uint32_t sms_cbs_get_encoding(const sms_cbs_page_t *page)
{
    if (!page)
        return NO_ENCODING;
    const uint8_t dcs = page->dcs;
    switch (dcs >> 4) {
    case 0x0: case 0x2: case 0x3:
        return SMS_ENCODING_GSM_7BIT;
    case 0xF:   /* data coding / message class: bit 2 chooses 8-bit data */
        return (dcs & 0x04) ? SMS_ENCODING_8BIT : SMS_ENCODING_GSM_7BIT;
    case 0x1:
        if ((dcs & 0x0F) == 0)
            return SMS_ENCODING_GSM_7BIT;
        return (dcs & 0x0F) == 1 ? SMS_ENCODING_UCS2 : NO_ENCODING;
    case 0x4: case 0x5: case 0x6: case 0x7: case 0x9:
        return by_alphabet(dcs);
    default:
        return NO_ENCODING;
    }
}

int32_t sms_cbs_get_language(const sms_cbs_page_t *page)
{
    if (!page)
        return 15;
    const uint8_t dcs = page->dcs;
    switch (dcs >> 4) {
    case 0x0: case 0x2: case 0x3:
        return dcs;
    case 0x1:
        return (dcs & 0x0F) <= 1 ? -1 : 15;
    default:
        return 15;
    }
}

int sms_cbs_is_popup(const sms_cbs_page_t *page)
{
    return page && (page->message_code & 0x100) != 0;
}

int sms_cbs_is_user_alert(const sms_cbs_page_t *page)
{
    return page && (page->message_code & 0x200) != 0;
}

int32_t sms_cbs_get_language_code(const sms_cbs_page_t *page, char code[3])
{
    uint8_t codes[3];
    sms_conv_ctx_t tables;
    if (!page || !code)
        return SMS_ERR_INVALID_PARAM;
    if (sms_cbs_get_language(page) != -1)
        return SMS_ERR_NOT_FOUND;
    /* Both forms start with two packed default-alphabet characters. */
    sms_conv_unpack(page->content, codes, 2, 0);
    sms_conv_tables_select(&tables, SMS_LANG_DEFAULT, SMS_LANG_DEFAULT);
    for (uint32_t i = 0; i < 2; i++) {
        const char *text = tables.base_fwd[codes[i] & 0x7F];
        code[i] = text && text[0] > 0x20 && text[0] < 0x7F && !text[1] ? text[0] : '?';
    }
    code[2] = 0;
    return SMS_OK;
}

/* Where the text starts in a page's content: past the language of coding
 * group 0001, past the user data header of group 1001. In septets for GSM
 * 7-bit, in octets otherwise; -1 when a header runs past the page. */
static int32_t text_start(const sms_cbs_page_t *page, uint32_t encoding)
{
    const uint8_t dcs = page->dcs;
    if (dcs == 0x10)
        return 3;   /* "xx" and a carriage return */
    if (dcs == 0x11)
        return 2;   /* two septets padded to two octets */
    if ((dcs >> 4) == 0x9) {
        const uint32_t header = (uint32_t)page->content[0] + 1;
        if (header >= sizeof page->content)
            return -1;
        return (int32_t)(encoding == SMS_ENCODING_GSM_7BIT ? (header * 8 + 6) / 7 : header);
    }
    return 0;
}

/* The page's text: GSM 7-bit (93 septets) or UCS-2 (41 units), without the
 * carriage returns, spaces and zeros that pad a page. */
int32_t sms_cbs_get_text(const sms_cbs_page_t *page, char **text, uint32_t *len)
{
    uint8_t codes[93];
    int32_t status, start;
    if (!page || !text || !len)
        return SMS_ERR_INVALID_PARAM;
    *text = NULL;
    *len = 0;
    const uint32_t encoding = sms_cbs_get_encoding(page);
    if (encoding != SMS_ENCODING_GSM_7BIT && encoding != SMS_ENCODING_UCS2)
        return SMS_ERR_ENCODING;
    if ((start = text_start(page, encoding)) < 0)
        return SMS_ERR_PARSE;
    if (encoding == SMS_ENCODING_GSM_7BIT) {
        sms_conv_ctx_t tables;
        sms_conv_tables_select(&tables, SMS_LANG_DEFAULT, SMS_LANG_DEFAULT);
        sms_conv_unpack(page->content, codes, 93, 0);
        status = sms_conv_gsm_to_utf8(codes + start, (uint32_t)(93 - start), text, len, &tables);
    } else {
        uint16_t units[41];
        const uint32_t count = (uint32_t)(sizeof page->content - (uint32_t)start) / 2;
        for (uint32_t i = 0; i < count; i++)
            units[i] = (uint16_t)((page->content[start + 2 * i] << 8) | page->content[start + 2 * i + 1]);
        status = sms_conv_ucs2_to_utf8(units, count * 2, text, len);
    }
    if (status != SMS_OK)
        return status;
    while (*len > 0 && strchr("\r\n ", (*text)[*len - 1]))   /* NUL too: strchr finds the terminator */
        (*text)[--*len] = 0;
    return SMS_OK;
}
