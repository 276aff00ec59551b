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

/* The page's text: GSM 7-bit (93 septets) or UCS-2 (41 units), without the
 * carriage returns, spaces and zeros that pad a page. */
int32_t sms_cbs_get_text(const sms_cbs_page_t *page, char **text, uint32_t *len)
{
    uint8_t codes[93];
    int32_t status;
    if (!page || !text || !len)
        return SMS_ERR_INVALID_PARAM;
    *text = NULL;
    *len = 0;
    switch (sms_cbs_get_encoding(page)) {
    case SMS_ENCODING_GSM_7BIT: {
        sms_conv_ctx_t tables;
        sms_conv_tables_select(&tables, SMS_LANG_DEFAULT, SMS_LANG_DEFAULT);
        sms_conv_unpack(page->content, codes, 93, 0);
        status = sms_conv_gsm_to_utf8(codes, 93, text, len, &tables);
        break;
    }
    case SMS_ENCODING_UCS2: {
        uint16_t units[41];
        for (uint32_t i = 0; i < 41; i++)
            units[i] = (uint16_t)((page->content[2 * i] << 8) | page->content[2 * i + 1]);
        status = sms_conv_ucs2_to_utf8(units, sizeof units, text, len);
        break;
    }
    default:
        return SMS_ERR_ENCODING;
    }
    if (status != SMS_OK)
        return status;
    while (*len > 0 && strchr("\r\n ", (*text)[*len - 1]))   /* NUL too: strchr finds the terminator */
        (*text)[--*len] = 0;
    return SMS_OK;
}
