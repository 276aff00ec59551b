/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The codec's header compiles as C99 and its functions link from C. */
#include <ondrix-qt/smscodec.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(void)
{
    static const uint8_t hello[] = {'h', 'e', 'l', 'l', 'o'};
    static const uint8_t expected[] = {0xE8, 0x32, 0x9B, 0xFD, 0x06};
    uint8_t packed[8];
    sms_addr_t addr;
    uint8_t field[12];
    sms_cursor_t cursor;
    sms_conv_ctx_t *ctx;
    uint16_t *ucs2 = NULL;
    uint32_t bytes = 0;

    if (sms_conv_pack(hello, packed, 5, 0) != 5 || memcmp(packed, expected, 5) != 0) {
        fprintf(stderr, "c_check: packing failed\n");
        return 1;
    }
    memset(&addr, 0, sizeof addr);
    addr.ton = 1;
    addr.npi = 1;
    if (sms_addr_set_from_string(&addr, "+4412345") != SMS_OK
        || !sms_cursor_init(&cursor, field, sizeof field)
        || sms_addr_encode(&addr, &cursor) != SMS_OK || sms_cursor_used(&cursor) != 6) {
        fprintf(stderr, "c_check: address failed\n");
        return 1;
    }
    ctx = sms_conv_ctx_open(SMS_LANG_DEFAULT);
    if (!ctx || sms_conv_utf8_to_ucs2("hi", 2, &ucs2, &bytes, ctx) != SMS_OK || bytes != 4) {
        fprintf(stderr, "c_check: conversion failed\n");
        return 1;
    }
    free(ucs2);
    sms_conv_ctx_close(ctx);
    printf("c_check: %s\n", sms_str_error(SMS_OK));
    return 0;
}
