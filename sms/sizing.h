/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* How much room a message takes: the rules sizing and choosing share.
 * Internal to the codec. */
#ifndef SMS_SIZING_H
#define SMS_SIZING_H

#include "ondrix-qt/smscodec.h"

#define GSM_PER_TPDU 160u
#define OCTETS_PER_TPDU 140u
#define UCS2_PER_TPDU 70u
#define MAX_TEXT_OCTETS (255u * 160u * 3u)

/* The user data header octets (its length octet included; 0 for none) a
 * message needs before concatenation, with these shift tables. */
uint32_t sms_msg_header_octets(const sms_msg_t *msg, int32_t locking_lang, int32_t single_lang);

/* Sizes `units` units of one alphabet, of which a TPDU holds `capacity`, each
 * `unit_bits` wide, after a header of `hdr_len` octets. The header grows by
 * the concatenation element when one segment is not enough, and a split never
 * ends between the halves of a pair of `codes` or `ucs2` (either may be null:
 * then no pair is split). */
int32_t sms_size_units(sms_msg_size_t *size, int32_t format, uint32_t capacity, uint32_t unit_bits,
                       uint32_t hdr_len, uint32_t units, const uint8_t *codes, const uint16_t *ucs2);

/* As sms_size_units, with the units a boundary-respecting split adds
 * already counted in `extra` (for more than one segment). */
int32_t sms_size_split_units(sms_msg_size_t *size, int32_t format, uint32_t capacity, uint32_t unit_bits,
                             uint32_t hdr_len, uint32_t units, uint32_t extra);

/* The units one concatenated segment of an alphabet carries after a header
 * of `hdr_len` octets (without the concatenation element). */
uint32_t sms_units_per_segment(uint32_t capacity, uint32_t unit_bits, uint32_t hdr_len);

#endif
