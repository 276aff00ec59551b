/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Choosing the national language shift tables that send a text in the
 * fewest segments (3GPP TS 23.038 annex A).
 *
 * One pass counts the characters by the set of tables that hold them (a
 * seven-bit mask, so 128 counters). Every pair of tables is then priced from
 * those counts alone: a character its locking shift table holds costs one
 * septet, one only its single shift table holds costs two, any other rules
 * the pair out. Those prices ignore the septet a split loses before an
 * escape, so they are lower bounds: the pairs are sized exactly in order of
 * price until no cheaper one can remain (a pair without escapes needs no
 * second look: its price is exact). */

#include "sizing.h"
#include "tables.h"
#include "utf8.h"

#include <string.h>

/* The tables that hold the code point, as a mask (tables.h). */
static uint8_t tables_holding(uint32_t cp)
{
    if (cp < 0x400)
        return sms_shift_tables_low[cp];
    for (uint32_t i = 0; i < SMS_COUNT(sms_shift_tables_high); i++) {
        if (sms_shift_tables_high[i].ucs2 == cp)
            return (uint8_t)sms_shift_tables_high[i].gsm;
    }
    return 0;
}

/* Counts the characters of `text` by mask; 0 counts those no table holds,
 * surrogate pairs among them. -1 when the text is not UTF-8. */
static int count_masks(const char *text, uint32_t len, uint32_t counts[128])
{
    const uint8_t *in = (const uint8_t *)text;
    memset(counts, 0, 128 * sizeof counts[0]);
    for (uint32_t i = 0; i < len;) {
        if (in[i] < 0x80) {
            /* Most characters are in every alphabet: counted apart, in a register. */
            uint32_t everywhere = 0;
            for (; i < len && in[i] < 0x80; i++) {
                const uint8_t mask = sms_shift_tables_low[in[i]];
                if (mask == SMS_IN_EVERY_ALPHABET)
                    everywhere++;
                else
                    counts[mask]++;
            }
            counts[SMS_IN_EVERY_ALPHABET] += everywhere;
            continue;
        }
        uint32_t n = 0;
        const int32_t cp = sms_utf8_char(in + i, len - i, &n);
        if (cp == 0)
            break;   /* cut inside a character: as the conversion, up to it */
        if (cp < 0)
            return -1;
        counts[tables_holding((uint32_t)cp)]++;
        i += n;
    }
    return 0;
}

typedef struct candidate {
    int32_t locking, single;
    uint32_t header;    /* octets before concatenation */
    uint32_t least;     /* segments at the least: the price */
    uint32_t septets;
    uint32_t pairs;     /* characters of two septets: without them the price is exact */
    int taken;          /* sized exactly already */
} candidate_t;

/* The septets of the text with tables `locking` and `single`, or UINT32_MAX
 * when a character is in neither; `*pairs` the characters that take two. */
static uint32_t septets_with(const uint32_t counts[128], int32_t locking, int32_t single, uint32_t *pairs)
{
    const uint8_t in_alphabet = sms_alphabet_bit(locking), in_extension = sms_extension_bit(single);
    uint32_t septets = 0;
    *pairs = 0;
    for (uint32_t mask = 0; mask < 128; mask++) {
        if (!counts[mask])
            continue;
        if (mask & in_alphabet) {
            septets += counts[mask];
        } else if (mask & in_extension) {
            septets += 2 * counts[mask];
            *pairs += counts[mask];
        } else {
            return UINT32_MAX;
        }
    }
    return septets;
}

/* Whether `a` is the better choice: fewer segments, then fewer header
 * octets, then the default tables, then the lower languages. */
static int better(const candidate_t *a, uint32_t a_segments, const candidate_t *b, uint32_t b_segments)
{
    if (a_segments != b_segments)
        return a_segments < b_segments;
    if (a->header != b->header)
        return a->header < b->header;
    if ((a->locking == 0 && a->single == 0) != (b->locking == 0 && b->single == 0))
        return a->locking == 0 && a->single == 0;
    return a->locking != b->locking ? a->locking < b->locking : a->single < b->single;
}

static int32_t lang_value(int32_t locking, int32_t single)
{
    return locking == single ? locking : SMS_LANG_PAIR(locking, single);
}

static int32_t size_with(const sms_msg_t *msg, int32_t locking, int32_t single, sms_msg_size_t *size)
{
    sms_conv_ctx_t *ctx = sms_conv_ctx_open_locked(locking, single);
    if (!ctx)
        return SMS_ERR_NO_MEMORY;
    const int32_t status = sms_msg_get_size(msg, size, ctx);
    sms_conv_ctx_close(ctx);
    return status;
}

int32_t sms_msg_choose_lang(const sms_msg_t *msg, uint32_t allowed, sms_lang_choice_t *choice)
{
    static const int32_t lockings[] = {SMS_LANG_DEFAULT, SMS_LANG_TURKISH, SMS_LANG_PORTUGUESE};
    static const int32_t singles[] = {SMS_LANG_DEFAULT, SMS_LANG_TURKISH, SMS_LANG_SPANISH, SMS_LANG_PORTUGUESE};
    candidate_t candidates[SMS_COUNT(lockings) * SMS_COUNT(singles)];
    uint32_t counts[128], count = 0;
    if (!msg || !choice)
        return SMS_ERR_INVALID_PARAM;
    memset(choice, 0, sizeof *choice);
    if (msg->data || !msg->text || !msg->text[0])
        return size_with(msg, SMS_LANG_DEFAULT, SMS_LANG_DEFAULT, &choice->size);
    uint32_t len = (uint32_t)strlen(msg->text);
    if (len > MAX_TEXT_OCTETS)
        len = MAX_TEXT_OCTETS;
    if (count_masks(msg->text, len, counts) < 0)
        return SMS_ERR_CONVERSION;

    allowed |= SMS_LANG_BIT(SMS_LANG_DEFAULT);
    for (uint32_t l = 0; l < SMS_COUNT(lockings); l++) {
        for (uint32_t s = 0; s < SMS_COUNT(singles); s++) {
            candidate_t *c = &candidates[count];
            if (!(allowed & SMS_LANG_BIT(lockings[l])) || !(allowed & SMS_LANG_BIT(singles[s])))
                continue;
            uint32_t pairs;
            const uint32_t septets = septets_with(counts, lockings[l], singles[s], &pairs);
            if (septets == UINT32_MAX)
                continue;
            sms_msg_size_t least;
            c->locking = lockings[l];
            c->single = singles[s];
            c->header = sms_msg_header_octets(msg, c->locking, c->single);
            if (sms_size_units(&least, SMS_FORMAT_GSM_7BIT, GSM_PER_TPDU, 7, c->header, septets, NULL, NULL)
                == SMS_ERR_INVALID_PARAM)
                continue;
            c->least = least.segments;
            c->septets = septets;
            c->pairs = pairs;
            c->taken = 0;
            count++;
        }
    }

    /* Exact sizes, cheapest price first, while a cheaper one may remain. */
    const candidate_t *best = NULL;
    uint32_t best_segments = UINT32_MAX;
    for (uint32_t sized = 0; sized < count; sized++) {
        candidate_t *next = NULL;
        for (uint32_t i = 0; i < count; i++) {
            if (!candidates[i].taken && (!next || better(&candidates[i], candidates[i].least, next, next->least)))
                next = &candidates[i];
        }
        if (best && !better(next, next->least, best, best_segments))
            break;
        next->taken = 1;
        sms_msg_size_t size;
        /* Without characters of two septets no split loses one: the price is the size. */
        const int32_t status = next->pairs ? size_with(msg, next->locking, next->single, &size)
                                           : sms_size_split_units(&size, SMS_FORMAT_GSM_7BIT, GSM_PER_TPDU, 7,
                                                                  next->header, next->septets, 0);
        if (status != SMS_OK && status != SMS_ERR_TOO_MANY_SEGMENTS)
            return status;
        if (size.format == SMS_FORMAT_GSM_7BIT && (!best || better(next, size.segments, best, best_segments))) {
            best = next;
            best_segments = size.segments;
            choice->size = size;
        }
    }
    if (!best)   /* no allowed table holds the text */
        return size_with(msg, SMS_LANG_DEFAULT, SMS_LANG_DEFAULT, &choice->size);
    choice->locking_lang = best->locking;
    choice->single_lang = best->single;
    choice->lang = lang_value(best->locking, best->single);
    return best_segments > SMS_MAX_SEGMENTS ? SMS_ERR_TOO_MANY_SEGMENTS : SMS_OK;
}
