/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Text conversion between UTF-8, UCS-2 and GSM 7-bit codes, and septet packing. */

#include "octets.h"
#include "tables.h"
#include "utf8.h"

#include <errno.h>
#include <iconv.h>
#include <stdlib.h>
#include <string.h>


/* UCS-2 in host byte order. The UTF-16 names keep the order explicit and let
 * characters outside the Basic Multilingual Plane through as surrogate pairs. */
static const char *ucs2_host_name(void)
{
    const uint16_t probe = 1;
    return *(const uint8_t *)&probe ? "UTF-16LE" : "UTF-16BE";
}

/* The tables of one language: its alphabet (locking shift) and its extension
 * (single shift). A language without one of them uses the default's. */
typedef struct {
    int32_t lang;
    const sms_conv_rev_t *rev;
    uint32_t rev_count;
    const char *const *fwd;
    const uint8_t (*fwd_utf8)[5];
    const sms_conv_rev_t *ext_rev;
    uint32_t ext_rev_count;
    const sms_conv_ext_t *ext_fwd;
    uint32_t ext_fwd_count;
} lang_tables_t;

#define TABLE(t) t, SMS_COUNT(t)

static const lang_tables_t lang_tables[] = {
    {SMS_LANG_DEFAULT, TABLE(sms_default_rev), sms_default_fwd, sms_default_fwd_utf8,
     TABLE(sms_default_ext_rev), TABLE(sms_default_ext_fwd)},
    {SMS_LANG_TURKISH, TABLE(sms_turkish_rev), sms_turkish_fwd, sms_turkish_fwd_utf8,
     TABLE(sms_turkish_ext_rev), TABLE(sms_turkish_ext_fwd)},
    {SMS_LANG_SPANISH, TABLE(sms_default_rev), sms_default_fwd, sms_default_fwd_utf8,
     TABLE(sms_spanish_ext_rev), TABLE(sms_spanish_ext_fwd)},
    {SMS_LANG_PORTUGUESE, TABLE(sms_portuguese_rev), sms_portuguese_fwd, sms_portuguese_fwd_utf8,
     TABLE(sms_portuguese_ext_rev), TABLE(sms_portuguese_ext_fwd)},
    /* Letters outside the alphabet map onto it; the extension is the default's. */
    {SMS_LANG_TRANSLITERATE, TABLE(sms_translit_rev), sms_default_fwd, sms_default_fwd_utf8,
     TABLE(sms_default_ext_rev), TABLE(sms_default_ext_fwd)},
};

static const lang_tables_t *tables_of(int32_t lang)
{
    for (uint32_t i = 0; i < SMS_COUNT(lang_tables); i++) {
        if (lang_tables[i].lang == lang)
            return &lang_tables[i];
    }
    return &lang_tables[0];
}

void sms_conv_tables_select(sms_conv_ctx_t *ctx, int32_t locking_lang, int32_t single_lang)
{
    const lang_tables_t *locking = tables_of(locking_lang);
    const lang_tables_t *single = tables_of(single_lang);
    memset(ctx, 0, sizeof *ctx);
    ctx->locking_lang = locking_lang;
    ctx->single_lang = single_lang;
    ctx->base_rev = locking->rev;
    ctx->base_rev_count = locking->rev_count;
    ctx->base_fwd = locking->fwd;
    ctx->base_fwd_count = 128;
    ctx->base_fwd_utf8 = locking->fwd_utf8;
    ctx->ext_rev = single->ext_rev;
    ctx->ext_rev_count = single->ext_rev_count;
    ctx->ext_fwd = single->ext_fwd;
    ctx->ext_fwd_count = single->ext_fwd_count;
}

/* The direct table of the first 256 characters, which most texts keep to:
 * the extension first, so that the alphabet wins where both have a character. */
static void fill_latin1(sms_conv_ctx_t *ctx)
{
    for (uint32_t i = 0; i < 256; i++)
        ctx->latin1[i] = NO_CODE;
    for (uint32_t i = 0; i < ctx->ext_rev_count && ctx->ext_rev[i].ucs2 < 256; i++)
        ctx->latin1[ctx->ext_rev[i].ucs2] = (uint16_t)(EXTENDED | ctx->ext_rev[i].gsm);
    for (uint32_t i = 0; i < ctx->base_rev_count && ctx->base_rev[i].ucs2 < 256; i++)
        ctx->latin1[ctx->base_rev[i].ucs2] = ctx->base_rev[i].gsm;
    ctx->latin1_ready = 1;
}

sms_conv_ctx_t *sms_conv_ctx_open_locked(int32_t locking_lang, int32_t single_lang)
{
    sms_conv_ctx_t *ctx = malloc(sizeof *ctx);
    if (!ctx)
        return NULL;
    sms_conv_tables_select(ctx, locking_lang, single_lang);
    fill_latin1(ctx);
    return ctx;
}

sms_conv_ctx_t *sms_conv_ctx_open(int32_t lang)
{
    int32_t locking, single;
    sms_lang_split(lang, &locking, &single);
    return sms_conv_ctx_open_locked(locking, single);
}

int32_t sms_conv_lang_tables(int32_t lang, int32_t *locking_lang, int32_t *single_lang)
{
    int32_t locking, single;
    if (!locking_lang || !single_lang)
        return SMS_ERR_INVALID_PARAM;
    sms_lang_split(lang, &locking, &single);
    if (lang != locking || lang != single) {   /* a pair: only real tables */
        if (single < SMS_LANG_DEFAULT || single > SMS_LANG_PORTUGUESE
            || (locking != SMS_LANG_DEFAULT && locking != SMS_LANG_TURKISH && locking != SMS_LANG_PORTUGUESE))
            return SMS_ERR_INVALID_PARAM;
        *locking_lang = locking;
        *single_lang = single;
        return SMS_OK;
    }
    if (lang < SMS_LANG_TRANSLITERATE || lang > SMS_LANG_PORTUGUESE)
        return SMS_ERR_INVALID_PARAM;
    *single_lang = lang;
    *locking_lang = lang == SMS_LANG_SPANISH ? SMS_LANG_DEFAULT : lang;
    return SMS_OK;
}

void sms_conv_ctx_close(sms_conv_ctx_t *ctx)
{
    free(ctx);
}

int32_t sms_conv_ctx_locking_lang(const sms_conv_ctx_t *ctx)
{
    return ctx ? ctx->locking_lang : SMS_LANG_DEFAULT;
}

int32_t sms_conv_ctx_single_lang(const sms_conv_ctx_t *ctx)
{
    return ctx ? ctx->single_lang : SMS_LANG_DEFAULT;
}

/* ---- Lookups ---- */

static int compare_ext(const void *key, const void *entry)
{
    const uint32_t code = *(const uint8_t *)key;
    const uint32_t other = ((const sms_conv_ext_t *)entry)->code;
    return code < other ? -1 : code > other;
}

/* Binary search of a table sorted by character. */
static uint16_t reverse_lookup(const sms_conv_rev_t *table, uint32_t count, uint16_t unit)
{
    uint32_t low = 0, high = count;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        if (table[mid].ucs2 < unit)
            low = mid + 1;
        else
            high = mid;
    }
    return low < count && table[low].ucs2 == unit ? table[low].gsm : NO_CODE;
}

/* The GSM codes of one UCS-2 unit, written to `out` when given; returns how
 * many (1, or 2 with the escape), 0 when the unit has none. */
static SMS_ALWAYS_INLINE int gsm_codes_of(const sms_conv_ctx_t *ctx, uint16_t unit, uint8_t *out)
{
    uint16_t code;
    if (unit < 256 && ctx->latin1_ready) {
        code = ctx->latin1[unit];
        if (code == NO_CODE)
            return 0;
        if (!(code & EXTENDED)) {
            if (out)
                out[0] = (uint8_t)code;
            return 1;
        }
        if (out) {
            out[0] = GSM_ESCAPE;
            out[1] = (uint8_t)code;
        }
        return 2;
    }
    code = reverse_lookup(ctx->base_rev, ctx->base_rev_count, unit);
    if (code != NO_CODE) {
        if (out)
            out[0] = (uint8_t)code;
        return 1;
    }
    code = reverse_lookup(ctx->ext_rev, ctx->ext_rev_count, unit);
    if (code == NO_CODE)
        return 0;
    if (out) {
        out[0] = GSM_ESCAPE;
        out[1] = (uint8_t)code;
    }
    return 2;
}

uint32_t sms_conv_single_septet_run(const sms_conv_ctx_t *ctx, const uint8_t *in, uint32_t len)
{
    uint32_t run = 0;
    if (!ctx->latin1_ready)
        return 0;
    while (run < len && in[run] < 0x80 && ctx->latin1[in[run]] != NO_CODE && !(ctx->latin1[in[run]] & EXTENDED))
        run++;
    return run;
}

int sms_conv_septets_of(const sms_conv_ctx_t *ctx, uint32_t cp)
{
    if (cp < 256 && ctx->latin1_ready)
        return gsm_codes_of(ctx, (uint16_t)cp, NULL);
    /* Below U+0400, a context of the standard tables reads the masks instead
     * of searching its tables. */
    if (cp < 0x400 && ctx->locking_lang >= SMS_LANG_DEFAULT && ctx->locking_lang <= SMS_LANG_PORTUGUESE
        && ctx->single_lang >= SMS_LANG_DEFAULT && ctx->single_lang <= SMS_LANG_PORTUGUESE
        && ctx->base_rev == tables_of(ctx->locking_lang)->rev && ctx->ext_rev == tables_of(ctx->single_lang)->ext_rev) {
        const uint8_t mask = sms_shift_tables_low[cp];
        if (mask & sms_alphabet_bit(ctx->locking_lang))
            return 1;
        return mask & sms_extension_bit(ctx->single_lang) ? 2 : 0;
    }
    return cp < 0x10000 ? gsm_codes_of(ctx, (uint16_t)cp, NULL) : 0;
}

/* ---- Conversions ---- */

uint32_t sms_conv_gsm_chars_required(const uint16_t *ucs2, uint32_t byte_count,
                                     const sms_conv_ctx_t *ctx)
{
    uint32_t required = 0;
    if (!ucs2 || !ctx)
        return 0;
    for (uint32_t i = 0; i < byte_count / 2; i++) {
        const int n = gsm_codes_of(ctx, ucs2[i], NULL);
        if (n == 0)
            return UINT32_MAX;
        required += (uint32_t)n;
    }
    return required;
}

int32_t sms_conv_ucs2_to_gsm(const uint16_t *ucs2, uint32_t byte_count, uint8_t **codes,
                             uint32_t *code_count, const sms_conv_ctx_t *ctx)
{
    const uint32_t units = byte_count / 2;
    uint32_t n = 0;
    uint8_t *out, *shrunk;
    if (!ucs2 || byte_count == 0 || !codes || !code_count || !ctx)
        return SMS_ERR_INVALID_PARAM;
    *codes = NULL;
    *code_count = 0;
    /* One pass: room for two codes a unit, cut to size at the end. */
    out = malloc((size_t)units * 2 + 1);
    if (!out)
        return SMS_ERR_NO_MEMORY;
    for (uint32_t i = 0; i < units; i++) {
        const int step = gsm_codes_of(ctx, ucs2[i], out + n);
        if (step == 0) {
            free(out);
            return SMS_ERR_BAD_CHAR;
        }
        n += (uint32_t)step;
    }
    out[n] = 0;
    shrunk = realloc(out, (size_t)n + 1);
    *codes = shrunk ? shrunk : out;
    *code_count = n;
    return SMS_OK;
}

int32_t sms_conv_gsm_to_utf8(const uint8_t *codes, uint32_t code_count, char **text,
                             uint32_t *byte_len, const sms_conv_ctx_t *ctx)
{
    char *work, *shrunk;
    size_t len = 0;
    if (!codes || code_count == 0 || !text || !byte_len || !ctx)
        return SMS_ERR_INVALID_PARAM;
    *text = NULL;
    *byte_len = 0;
    const uint8_t(*packed)[5] = ctx->base_fwd_utf8;
    /* No table text is longer than 4 octets, and each code gives at most one. */
    work = malloc((size_t)code_count * 4 + 1);
    if (!work)
        return SMS_ERR_NO_MEMORY;
    for (uint32_t i = 0; i < code_count; i++) {
        const char *piece = " ";
        /* The common case: runs of four codes that are neither escapes nor
         * above 127, each stored as four octets at once with its length
         * counted (the buffer has four per code). */
        while (packed && code_count - i >= 4) {
            uint32_t four;
            memcpy(&four, codes + i, 4);
            const uint32_t escapes = four ^ 0x1B1B1B1Bu;
            if ((four & 0x80808080u) || ((escapes - 0x01010101u) & ~escapes & 0x80808080u))
                break;
            const uint8_t *a = packed[codes[i]], *b = packed[codes[i + 1]];
            const uint8_t *c = packed[codes[i + 2]], *d = packed[codes[i + 3]];
            memcpy(work + len, a, 4);
            len += a[4];
            memcpy(work + len, b, 4);
            len += b[4];
            memcpy(work + len, c, 4);
            len += c[4];
            memcpy(work + len, d, 4);
            len += d[4];
            i += 4;
        }
        if (i == code_count)
            break;
        if (codes[i] < 128 && codes[i] != GSM_ESCAPE && packed) {
            memcpy(work + len, packed[codes[i]], 4);
            len += packed[codes[i]][4];
            continue;
        }
        if (codes[i] != GSM_ESCAPE) {
            /* Codes above 127 are not septets: they read as a space. */
            if (codes[i] < 128)
                piece = ctx->base_fwd[codes[i]];
        } else if (i + 1 < code_count) {
            const uint8_t next = codes[++i];
            if (next != GSM_ESCAPE) {
                const sms_conv_ext_t *hit = bsearch(&next, ctx->ext_fwd, ctx->ext_fwd_count,
                                                    sizeof *ctx->ext_fwd, compare_ext);
                if (hit && hit->text)
                    piece = hit->text;
            }
        }
        /* Table texts are a few octets: copied in place, without a call. */
        while (*piece)
            work[len++] = *piece++;
    }
    work[len] = '\0';
    shrunk = realloc(work, len + 1);
    *text = shrunk ? shrunk : work;
    *byte_len = (uint32_t)len;
    return SMS_OK;
}

/* Runs `cd` over the input into a buffer of `capacity` octets (plus two zero
 * octets). Input that ends inside a character converts up to it. */
static int32_t run_iconv(iconv_t cd, const char *in, size_t in_len, size_t capacity,
                         char **out, uint32_t *out_len)
{
    char *buffer = calloc(capacity + 2, 1);
    char *inp = (char *)in, *outp = buffer, *shrunk;
    size_t inleft = in_len, outleft = capacity;
    if (!buffer)
        return SMS_ERR_NO_MEMORY;
    if (iconv(cd, &inp, &inleft, &outp, &outleft) == (size_t)-1 && errno != EINVAL) {
        free(buffer);
        return SMS_ERR_CONVERSION;
    }
    const size_t produced = capacity - outleft;
    shrunk = realloc(buffer, produced + 2);
    *out = shrunk ? shrunk : buffer;
    (*out)[produced] = (*out)[produced + 1] = 0;
    *out_len = (uint32_t)produced;
    return SMS_OK;
}

int32_t sms_conv_ucs2_to_utf8(const uint16_t *ucs2, uint32_t byte_count, char **text,
                              uint32_t *byte_len)
{
    iconv_t cd;
    int32_t status;
    if (!ucs2 || !text || !byte_len)
        return SMS_ERR_INVALID_PARAM;
    *text = NULL;
    *byte_len = 0;
    cd = iconv_open("UTF-8", ucs2_host_name());
    if (cd == (iconv_t)-1)
        return SMS_ERR_CONVERSION;
    status = run_iconv(cd, (const char *)ucs2, byte_count & ~1u,
                       (size_t)(byte_count / 2) * 3, text, byte_len);
    iconv_close(cd);
    return status;
}

int32_t sms_conv_utf8_to_ucs2(const char *utf8, uint32_t byte_count, uint16_t **ucs2,
                              uint32_t *byte_len, sms_conv_ctx_t *ctx)
{
    const uint8_t *in = (const uint8_t *)utf8;
    uint16_t *out, *shrunk;
    size_t n = 0;
    if (!utf8 || !ucs2 || !byte_len || !ctx)
        return SMS_ERR_INVALID_PARAM;
    *ucs2 = NULL;
    *byte_len = 0;
    /* Each octet gives at most one unit; a four-octet character gives two. */
    out = malloc(((size_t)byte_count + 1) * sizeof *out);
    if (!out)
        return SMS_ERR_NO_MEMORY;
    for (size_t i = 0; i < byte_count;) {
        if (in[i] < 0x80) {
            out[n++] = in[i++];
            continue;
        }
        uint32_t len = 0;
        const int32_t cp = sms_utf8_char(in + i, byte_count - i, &len);
        if (cp == 0)
            break;   /* the text ends inside a character: convert up to it */
        if (cp < 0) {
            free(out);
            return SMS_ERR_CONVERSION;
        }
        if (cp >= 0x10000) {
            out[n++] = (uint16_t)(0xD800 | ((uint32_t)(cp - 0x10000) >> 10));
            out[n++] = (uint16_t)(0xDC00 | (cp & 0x3FF));
        } else {
            out[n++] = (uint16_t)cp;
        }
        i += len;
    }
    out[n] = 0;
    shrunk = realloc(out, (n + 1) * sizeof *out);
    *ucs2 = shrunk ? shrunk : out;
    *byte_len = (uint32_t)(n * 2);
    return SMS_OK;
}

/* ---- Septets ---- */

int32_t sms_conv_pack(const uint8_t *codes, uint8_t *packed, int32_t count, uint32_t fill_bits)
{
    if (fill_bits > 6)
        fill_bits = 0;
    if (!packed || (count > 0 && !codes))
        return 0;
    if (count <= 0) {
        if (fill_bits == 0)
            return 0;
        packed[0] = 0;
        return 1;
    }
    const size_t octets = (fill_bits + 7 * (size_t)count + 7) / 8;
    memset(packed, 0, octets);
    size_t bit = fill_bits;
    for (int32_t i = 0; i < count; i++, bit += 7) {
        const unsigned septet = codes[i] & 0x7Fu;
        const unsigned shift = bit % 8;
        packed[bit / 8] |= (uint8_t)(septet << shift);
        if (shift > 1)
            packed[bit / 8 + 1] |= (uint8_t)(septet >> (8 - shift));
    }
    return (int32_t)octets;
}

int32_t sms_conv_unpack(const uint8_t *packed, uint8_t *codes, int32_t count, uint32_t fill_bits)
{
    if (!packed || !codes)
        return -1;
    if (count < 1)
        return 0;
    if (fill_bits > 6)
        fill_bits = 0;
    size_t bit = fill_bits;
    int32_t i = 0;
    while (i < count) {
        /* Eight septets are the next 56 bits: seven octets, and an eighth
         * one off an octet boundary (which the septets reach into). */
        if (count - i >= 8) {
            const uint8_t *in = packed + bit / 8;
            const unsigned shift = bit % 8;
            uint64_t octets;
            if (count - i >= 9) {
                /* A ninth septet follows: the eighth octet is there to load. */
                memcpy(&octets, in, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
                octets = __builtin_bswap64(octets);
#endif
                octets >>= shift;
            } else {
                octets = (uint64_t)in[0] | (uint64_t)in[1] << 8 | (uint64_t)in[2] << 16 | (uint64_t)in[3] << 24
                       | (uint64_t)in[4] << 32 | (uint64_t)in[5] << 40 | (uint64_t)in[6] << 48;
                if (shift)
                    octets = octets >> shift | (uint64_t)in[7] << (56 - shift);
            }
            /* Spread the 56 bits into eight octets in three halvings: four
             * septets to each 32-bit half, two to each 16-bit quarter, one to
             * each octet. */
            octets &= 0x00FFFFFFFFFFFFFFu;
            octets = (octets & 0x000000000FFFFFFFu) | ((octets << 4) & 0x0FFFFFFF00000000u);
            octets = (octets & 0x00003FFF00003FFFu) | ((octets << 2) & 0x3FFF00003FFF0000u);
            octets = (octets & 0x007F007F007F007Fu) | ((octets << 1) & 0x7F007F007F007F00u);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            octets = __builtin_bswap64(octets);
#endif
            memcpy(codes + i, &octets, 8);
            i += 8;
            bit += 56;
            continue;
        }
        const unsigned shift = bit % 8;
        unsigned value = packed[bit / 8] >> shift;
        if (shift > 1)
            value |= (unsigned)packed[bit / 8 + 1] << (8 - shift);
        codes[i++] = (uint8_t)(value & 0x7F);
        bit += 7;
    }
    return count;
}
