/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Cell broadcast pages. */
#include <ondrix-qt/smscodec.h>

#include <stdlib.h>
#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sms_cbs_page_t page;
    if (sms_cbs_decode(data, (uint32_t)size, &page) == SMS_OK) {
        if (page.total_pages == 0 || page.page_number == 0)
            abort();
        (void)sms_cbs_get_encoding(&page);
        (void)sms_cbs_get_language(&page);
        (void)sms_cbs_is_popup(&page);
        char code[3];
        if (sms_cbs_get_language_code(&page, code) == SMS_OK && (code[2] != 0 || !code[0] || !code[1]))
            abort();
        char *text = NULL;
        uint32_t len = 0;
        if (sms_cbs_get_text(&page, &text, &len) == SMS_OK && (!text || text[len] != 0))
            abort();
        free(text);
    }
    return 0;
}
