/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The names of the codec's values, for people to read. */

#include "ondrix-qt/smscodec.h"

#include <stddef.h>

static const char *name_of(const char *const *names, uint32_t count, uint32_t value,
                           const char *unknown)
{
    return value < count && names[value] ? names[value] : unknown;
}

#define COUNT(a) ((uint32_t)(sizeof(a) / sizeof((a)[0])))

const char *sms_str_error(uint32_t status)
{
    static const char *const texts[] = {
        "OK", "invalid parameter", "buffer overrun", "parsing failed", "address was invalid",
        "unsupported", "not implemented", "run out of memory", "unknown character",
        "encoding failed", "conversion failed", "object not found",
        "serialize to too many segments",
    };
    const int32_t code = (int32_t)status;
    /* Status codes are 0 and negative: index by their magnitude. */
    return code > 0 || code <= -(int32_t)COUNT(texts) ? "unknown error" : texts[-code];
}

const char *sms_str_msg_type(uint32_t type)
{
    static const char *const names[] = {"DELIVER", "SUBMIT", "STATUS_REPORT"};
    return name_of(names, COUNT(names), type, "UNKNOWN");
}

const char *sms_str_msg_format(uint32_t format)
{
    static const char *const names[] = {"GSM_7BIT", "8BIT", "UCS2"};
    return name_of(names, COUNT(names), format, "UNKNOWN");
}

const char *sms_str_msg_special(uint32_t special)
{
    static const char *const names[] = {"VOICEMAIL_WAIT", "FAX_WAIT", "E_MAIL_WAIT",
                                        "EXTENDED_WAIT", "VIDEOMAIL_WAIT", "NONE_WAIT"};
    return name_of(names, COUNT(names), special, "UNKNOWN");
}

const char *sms_str_msg_proto(uint32_t proto)
{
    static const char *const names[] = {"NORMAL", "FAX_3", "EMAIL", "PAGING", "RETURN_CALL"};
    return name_of(names, COUNT(names), proto, "UNKNOWN");
}

const char *sms_str_msg_class(uint32_t msg_class)
{
    static const char *const names[] = {"Class 0", "Class 1", "Class 2", "Class 3"};
    if (msg_class == SMS_CLASS_NONE)
        return "None";
    return msg_class >= SMS_CLASS_0 ? name_of(names, COUNT(names), msg_class - SMS_CLASS_0, "UNKNOWN")
                                    : "UNKNOWN";
}

const char *sms_str_msg_lang(uint32_t lang)
{
    static const char *const names[] = {"Default", "Turkish", "Spanish", "Portuguese"};
    return name_of(names, COUNT(names), lang, "Unknown");
}

const char *sms_str_tpdu_status(uint32_t status)
{
    if (status == 0)
        return "OK";
    if (status & 0x20)
        return "TRYING";
    if (status & 0xE0)
        return "GIVEUP";
    return "Unknown";
}
