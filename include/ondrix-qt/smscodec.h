/* SPDX-License-Identifier: LGPL-2.1-or-later */
/**
 * @file smscodec.h
 * @brief The SMS codec: text conversion, TPDUs, messages and cell broadcast.
 *
 * GSM 7-bit and UCS-2 text conversion with the national language tables of
 * 3GPP TS 23.038; the address, time stamp and validity period fields and the
 * TPDUs of 3GPP TS 23.040 with their user data headers; splitting a message
 * into concatenated segments and joining them again; cell broadcast pages of
 * 3GPP TS 23.041.
 *
 * Plain C functions with unmangled names, usable from C99 and C++. Every
 * function that can fail returns one of the SMS_ status codes (0 is
 * success). Buffers handed out are allocated with calloc, belong to the
 * caller (release them with free or the matching destroy function) and carry
 * one zero octet after their reported length. The codec keeps no global
 * mutable state: separate conversion contexts may be used on separate
 * threads.
 */
#ifndef ONDRIX_SMSCODEC_H
#define ONDRIX_SMSCODEC_H

#include "ondrix_global.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes ------------------------------------------------------ */

/** Status codes: every function that can fail returns one (sms_str_error names it). */
enum {
    SMS_OK = 0,                     /**< success */
    SMS_ERR_INVALID_PARAM = -1,     /**< a null pointer, a value out of range or a record the field cannot hold */
    SMS_ERR_BUFFER_OVERRUN = -2,    /**< the input ends early, or the output has no room */
    SMS_ERR_PARSE = -3,             /**< malformed input, or segments that do not belong together */
    SMS_ERR_INVALID_ADDRESS = -4,   /**< an address that is malformed or does not fit its field */
    SMS_ERR_UNSUPPORTED = -5,       /**< a valid but unsupported coding */
    SMS_ERR_NOT_IMPLEMENTED = -6,   /**< a coder that does not exist (DELIVER and STATUS-REPORT encoding) */
    SMS_ERR_NO_MEMORY = -7,         /**< the allocator failed */
    SMS_ERR_BAD_CHAR = -8,          /**< a character without a GSM 7-bit code: send as UCS-2 */
    SMS_ERR_ENCODING = -9,          /**< an encoding the operation cannot handle */
    SMS_ERR_CONVERSION = -10,       /**< text that does not convert (malformed UTF-8, a lone surrogate) */
    SMS_ERR_NOT_FOUND = -11,        /**< no such element */
    SMS_ERR_TOO_MANY_SEGMENTS = -12 /**< the message needs more than SMS_MAX_SEGMENTS segments */
};

/* ---- Enumerations ------------------------------------------------------ */

/** Message type, TP-MTI (3GPP TS 23.040 clause 9.2.3.1). */
enum {
    SMS_TYPE_DELIVER = 0,       /**< SMS-DELIVER, network to phone */
    SMS_TYPE_SUBMIT = 1,        /**< SMS-SUBMIT, phone to network */
    SMS_TYPE_STATUS_REPORT = 2  /**< SMS-STATUS-REPORT */
};

/** Message format: the alphabet of the user data. */
enum {
    SMS_FORMAT_GSM_7BIT = 0,    /**< GSM 7-bit default alphabet with shift tables */
    SMS_FORMAT_8BIT = 1,        /**< 8-bit data */
    SMS_FORMAT_UCS2 = 2         /**< UCS-2, here UTF-16 with surrogate pairs */
};

/** Message waiting type (3GPP TS 23.040 clause 9.2.3.24.2). */
enum {
    SMS_SPECIAL_VOICEMAIL_WAIT = 0, /**< voice mail waiting */
    SMS_SPECIAL_FAX_WAIT = 1,       /**< fax waiting */
    SMS_SPECIAL_E_MAIL_WAIT = 2,    /**< e-mail waiting */
    SMS_SPECIAL_EXTENDED_WAIT = 3,  /**< other message waiting (extended type) */
    SMS_SPECIAL_VIDEOMAIL_WAIT = 4, /**< video mail waiting (extended type 1) */
    SMS_SPECIAL_NONE_WAIT = 5       /**< no message waiting */
};

/** Protocol of a message, from TP-PID (3GPP TS 23.040 clause 9.2.3.9). */
enum {
    SMS_PROTO_NORMAL = 0,       /**< a plain short message */
    SMS_PROTO_FAX_3 = 1,        /**< group 3 telefax */
    SMS_PROTO_EMAIL = 2,        /**< Internet electronic mail */
    SMS_PROTO_PAGING = 3,       /**< a paging system */
    SMS_PROTO_RETURN_CALL = 4,  /**< a return call message */
    SMS_PROTO_REPLACE = 5       /**< a replace short message type 1-7 */
};

/** Message class: a TP-DCS octet with the class bits set (3GPP TS 23.038 clause 4). */
enum {
    SMS_CLASS_NONE = 0,         /**< no class */
    SMS_CLASS_0 = 16,           /**< class 0: shown at once, not stored */
    SMS_CLASS_1 = 17,           /**< class 1: stored in the phone */
    SMS_CLASS_2 = 18,           /**< class 2: stored on the SIM */
    SMS_CLASS_3 = 19            /**< class 3: handed to the terminal equipment */
};

/** National language (3GPP TS 23.038 clause 6.2.1.2.4 identifiers). */
enum {
    SMS_LANG_TRANSLITERATE = -1, /**< the default alphabet with Latin-1, Latin Extended-A and Greek letters mapped onto it */
    SMS_LANG_DEFAULT = 0,        /**< the default alphabet and extension table */
    SMS_LANG_TURKISH = 1,        /**< Turkish locking and single shift tables */
    SMS_LANG_SPANISH = 2,        /**< Spanish single shift table */
    SMS_LANG_PORTUGUESE = 3      /**< Portuguese locking and single shift tables */
};

/** A language value that names a locking shift table and a single shift
 * table apart (each SMS_LANG_DEFAULT, _TURKISH, _SPANISH or _PORTUGUESE; only
 * Turkish and Portuguese have locking shift tables). It stands wherever a
 * language does: sms_msg_t.lang (a SUBMIT then carries a shift element only
 * for a table that is not the default), sms_conv_ctx_open and
 * sms_conv_lang_tables. sms_msg_choose_lang() gives one. */
#define SMS_LANG_PAIR(locking, single) ((int32_t)(0x100 | ((uint32_t)(locking) & 0xF) << 4 | ((uint32_t)(single) & 0xF)))
/** The bit of a national language in a set of allowed languages. */
#define SMS_LANG_BIT(lang) (1u << (uint32_t)(lang))
/** Every national language the codec has tables for. */
#define SMS_LANGS_NATIONAL (SMS_LANG_BIT(SMS_LANG_TURKISH) | SMS_LANG_BIT(SMS_LANG_SPANISH) | SMS_LANG_BIT(SMS_LANG_PORTUGUESE))

/** Validity period format, TP-VPF, as the masked bits of the first octet (3GPP TS 23.040 clause 9.2.3.3). */
enum {
    SMS_VPF_NONE = 0x00,        /**< no validity period */
    SMS_VPF_ENHANCED = 0x08,    /**< enhanced format, seven octets */
    SMS_VPF_RELATIVE = 0x10,    /**< relative format, one octet */
    SMS_VPF_ABSOLUTE = 0x18     /**< absolute format, a time stamp */
};

/* ---- Cursor ------------------------------------------------------------ */

/** A window over a caller-owned octet buffer. Valid while every pointer is
 * set and start <= pos <= end; every cursor function refuses (0, or all bits
 * set) an invalid cursor and leaves it alone. */
typedef struct sms_cursor {
    uint8_t *start;     /**< the first octet */
    uint8_t *end;       /**< one past the last octet */
    uint8_t *pos;       /**< the next octet to read or write */
} sms_cursor_t;

/** Sets a cursor over `length` octets of `buffer`; 1 when the cursor is valid. */
ONDRIX_EXPORT int sms_cursor_init(sms_cursor_t *cursor, uint8_t *buffer, uint32_t length);
/** Moves back to the start; 1 on success. */
ONDRIX_EXPORT int sms_cursor_reset(sms_cursor_t *cursor);
/** 1 when the cursor is valid. */
ONDRIX_EXPORT int sms_cursor_check(const sms_cursor_t *cursor);
/** Steps one octet forward; 0 (and no move) at the end. */
ONDRIX_EXPORT int sms_cursor_incr(sms_cursor_t *cursor);
/** Steps one octet back; 0 (and no move) at the start. */
ONDRIX_EXPORT int sms_cursor_decr(sms_cursor_t *cursor);
/** Steps `count` octets forward; a negative count or one past the end is refused (0). */
ONDRIX_EXPORT int sms_cursor_incr_by(sms_cursor_t *cursor, int32_t count);
/** Steps `count` octets back; a negative count or one before the start is refused (0). */
ONDRIX_EXPORT int sms_cursor_decr_by(sms_cursor_t *cursor, int32_t count);
/** Octets left; all bits set (-1 as signed) for an invalid cursor. */
ONDRIX_EXPORT uint32_t sms_cursor_len(const sms_cursor_t *cursor);
/** Octets used; all bits set for an invalid cursor. */
ONDRIX_EXPORT uint32_t sms_cursor_used(const sms_cursor_t *cursor);
/** Octets in all; all bits set for an invalid cursor. */
ONDRIX_EXPORT uint32_t sms_cursor_total(const sms_cursor_t *cursor);

/* ---- Addresses and time stamps ---------------------------------------- */

/** An address field: TP-OA, TP-DA or TP-RA (3GPP TS 23.040 clause 9.1.2.5). */
typedef struct sms_addr {
    char number[24];   /**< "+" and at most 20 digits 0-9 * # a b c, or alphanumeric UTF-8 text; terminated */
    uint32_t ton;      /**< type of number: 1 international, 5 alphanumeric */
    uint32_t npi;      /**< numbering plan: 1 ISDN/telephone */
    uint32_t flags;    /**< SMS_ADDR_FLAG_ bits found in an alphanumeric address */
} sms_addr_t;

/** Indications carried in an alphanumeric originating address. */
enum {
    SMS_ADDR_FLAG_MWI = 0x01,          /**< a two-octet message waiting indication */
    SMS_ADDR_FLAG_MWI_ACTIVE = 0x02,   /**< messages are waiting */
    SMS_ADDR_FLAG_MWI_LINE2 = 0x04,    /**< the indication concerns the second line */
    SMS_ADDR_FLAG_SPECIAL = 0x80       /**< the fixed special address pattern */
};

/** A point in time with the sender's zone (3GPP TS 23.040 clause 9.2.3.11), years 2000-2099. */
typedef struct sms_time {
    int64_t utc;   /**< seconds since 1970-01-01 00:00 UTC */
    int32_t tz;    /**< local time minus UTC in seconds, a multiple of 900, under 80 quarter hours */
} sms_time_t;

/* ---- TPDU record ------------------------------------------------------- */

struct sms_info;

/** One TPDU in memory (3GPP TS 23.040 clause 9.2.2). Created zeroed; owns `info` and `ud`. */
typedef struct sms_tpdu {
    uint8_t type;               /**< SMS_TYPE_ */
    uint8_t pid;                /**< TP-PID, clause 9.2.3.9 */
    uint8_t dcs;                /**< TP-DCS, clause 9.2.3.10 */
    uint8_t mms;                /**< TP-MMS, clause 9.2.3.2 (DELIVER, STATUS-REPORT) */
    uint8_t reply_path;         /**< TP-RP, clause 9.2.3.17 (DELIVER, SUBMIT) */
    uint8_t udhi;               /**< TP-UDHI, clause 9.2.3.23: a user data header is present */
    uint8_t srr;                /**< TP-SRR, TP-SRI or TP-SRQ, clauses 9.2.3.5, 9.2.3.4, 9.2.3.26 */
    uint8_t status;             /**< TP-ST, clause 9.2.3.15 (STATUS-REPORT) */
    uint8_t pi;                 /**< TP-PI, clause 9.2.3.27 (STATUS-REPORT) */
    uint8_t reject_duplicates;  /**< TP-RD, clause 9.2.3.25 (SUBMIT) */
    uint8_t vpf;                /**< SMS_VPF_ */
    uint32_t mr;                /**< TP-MR, clause 9.2.3.6 */
    int32_t vp;                 /**< relative validity code; enhanced: the functionality indicator */
    sms_time_t discharge_time;  /**< TP-DT, clause 9.2.3.13 (STATUS-REPORT) */
    sms_time_t scts;            /**< TP-SCTS; the absolute or enhanced validity of a SUBMIT */
    sms_addr_t addr;            /**< TP-OA, TP-DA or TP-RA */
    struct sms_info *info;      /**< user data header elements */
    uint32_t fill_bits;         /**< fill bits after the header (GSM 7-bit) */
    uint8_t *ud;                /**< user data without the header */
    uint32_t udl;               /**< septets for GSM 7-bit, octets otherwise */
} sms_tpdu_t;

/** Writes the first octet of a TPDU of the caller's `type` (3GPP TS 23.040 clause 9.2.3). */
ONDRIX_EXPORT int32_t encode_bitfield(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
/** Reads the first octet of a TPDU whose `type` the caller set. */
ONDRIX_EXPORT int32_t decode_bitfield(sms_cursor_t *cursor, sms_tpdu_t *tpdu);

/* ---- Names ------------------------------------------------------------- */

/** The text of a status code; "unknown error" for any other value. */
ONDRIX_EXPORT const char *sms_str_error(uint32_t status);
/** "DELIVER", "SUBMIT", "STATUS_REPORT" or "UNKNOWN". */
ONDRIX_EXPORT const char *sms_str_msg_type(uint32_t type);
/** "GSM_7BIT", "8BIT", "UCS2" or "UNKNOWN". */
ONDRIX_EXPORT const char *sms_str_msg_format(uint32_t format);
/** The name of an SMS_SPECIAL_ value, or "UNKNOWN". */
ONDRIX_EXPORT const char *sms_str_msg_special(uint32_t special);
/** The name of an SMS_PROTO_ value, or "UNKNOWN". */
ONDRIX_EXPORT const char *sms_str_msg_proto(uint32_t proto);
/** "None", "Class 0" to "Class 3", or "UNKNOWN". */
ONDRIX_EXPORT const char *sms_str_msg_class(uint32_t msg_class);
/** The name of an SMS_LANG_ language, or "Unknown". */
ONDRIX_EXPORT const char *sms_str_msg_lang(uint32_t lang);
/** The kind of a TP-ST value: "OK", "TRYING", "GIVEUP" or "Unknown". */
ONDRIX_EXPORT const char *sms_str_tpdu_status(uint32_t status);

/* ---- Character sets ---------------------------------------------------- */

/** A reverse table entry: a UCS-2 code and its GSM code. */
typedef struct sms_conv_rev {
    uint16_t ucs2;  /**< the character */
    uint16_t gsm;   /**< its code in the table */
} sms_conv_rev_t;

/** An extension table entry: a GSM code after the escape and its UTF-8 text. */
typedef struct sms_conv_ext {
    uint32_t code;      /**< the code after the escape */
    const char *text;   /**< its character as UTF-8 */
} sms_conv_ext_t;

/** The alphabet tables of one language choice (3GPP TS 23.038 clause 6.2.1 and
 * annex A). Used by one thread at a time. */
typedef struct sms_conv_ctx {
    const sms_conv_rev_t *base_rev;     /**< the alphabet, character to code, sorted by character */
    uint32_t base_rev_count;            /**< entries of base_rev */
    const char *const *base_fwd;        /**< the alphabet, code to UTF-8 text */
    uint32_t base_fwd_count;            /**< entries of base_fwd (128) */
    const sms_conv_rev_t *ext_rev;      /**< the extension table, character to code, sorted */
    uint32_t ext_rev_count;             /**< entries of ext_rev */
    const sms_conv_ext_t *ext_fwd;      /**< the extension table, code to text, sorted by code */
    uint32_t ext_fwd_count;             /**< entries of ext_fwd */
    int32_t single_lang;                /**< the single shift (extension) table's language */
    int32_t locking_lang;               /**< the locking shift (alphabet) table's language */
    /** The codes of U+0000..U+00FF, looked up once when the context opens: the
     * alphabet's code, 0x100 plus the extension code, or 0xFFFF for none. */
    uint16_t latin1[256];
    uint32_t latin1_ready;              /**< whether latin1 is filled */
    /** base_fwd again, each text as four octets padded with zeros and then its
     * length; null where a context is made by hand. */
    const uint8_t (*base_fwd_utf8)[5];
} sms_conv_ctx_t;

/** Opens a context with the alphabet of `locking_lang` and the extension table
 * of `single_lang` (an unknown language gives the default's); null on failure.
 * Close it with sms_conv_ctx_close. */
ONDRIX_EXPORT sms_conv_ctx_t *sms_conv_ctx_open_locked(int32_t locking_lang, int32_t single_lang);
/** Opens a context with both tables of `lang`. */
ONDRIX_EXPORT sms_conv_ctx_t *sms_conv_ctx_open(int32_t lang);
/** Closes a context; null is allowed. */
ONDRIX_EXPORT void sms_conv_ctx_close(sms_conv_ctx_t *ctx);
/** The shift tables a message editor opens for a language: its locking-shift
 * table where it has one (Spanish has only a single-shift table), and its
 * single-shift table. SMS_ERR_INVALID_PARAM for an unknown language. */
ONDRIX_EXPORT int32_t sms_conv_lang_tables(int32_t lang, int32_t *locking_lang, int32_t *single_lang);
/** The language of the context's alphabet. */
ONDRIX_EXPORT int32_t sms_conv_ctx_locking_lang(const sms_conv_ctx_t *ctx);
/** The language of the context's extension table. */
ONDRIX_EXPORT int32_t sms_conv_ctx_single_lang(const sms_conv_ctx_t *ctx);

/** GSM codes the UCS-2 text of `byte_count` octets needs (two for an extension
 * character), or all bits set if a unit has none. */
ONDRIX_EXPORT uint32_t sms_conv_gsm_chars_required(const uint16_t *ucs2, uint32_t byte_count,
                                                   const sms_conv_ctx_t *ctx);
/** Converts UCS-2 text to GSM 7-bit codes, one per octet, an extension
 * character as the escape and its code. SMS_ERR_BAD_CHAR when a character
 * has no code. */
ONDRIX_EXPORT int32_t sms_conv_ucs2_to_gsm(const uint16_t *ucs2, uint32_t byte_count,
                                           uint8_t **codes, uint32_t *code_count,
                                           const sms_conv_ctx_t *ctx);
/** Converts GSM 7-bit codes to UTF-8 text. An escape without a known code
 * after it reads as a space, as does a code above 127. */
ONDRIX_EXPORT int32_t sms_conv_gsm_to_utf8(const uint8_t *codes, uint32_t code_count,
                                           char **text, uint32_t *byte_len,
                                           const sms_conv_ctx_t *ctx);
/** Converts UCS-2 to UTF-8. UCS-2 here is UTF-16: characters outside the
 * Basic Multilingual Plane travel as surrogate pairs; a lone surrogate is
 * SMS_ERR_CONVERSION. */
ONDRIX_EXPORT int32_t sms_conv_ucs2_to_utf8(const uint16_t *ucs2, uint32_t byte_count,
                                            char **text, uint32_t *byte_len);
/** Converts UTF-8 to UCS-2 (UTF-16) in host byte order; a character cut at
 * the end is left out, malformed text is SMS_ERR_CONVERSION. */
ONDRIX_EXPORT int32_t sms_conv_utf8_to_ucs2(const char *utf8, uint32_t byte_count,
                                            uint16_t **ucs2, uint32_t *byte_len,
                                            sms_conv_ctx_t *ctx);
/** Packs `count` septets after `fill_bits` leading fill bits (0-6; more count
 * as none), 3GPP TS 23.038 clause 6.1.2.1. The caller provides room for
 * ceil((fill_bits + 7 * count) / 8) octets; returns the octets written. */
ONDRIX_EXPORT int32_t sms_conv_pack(const uint8_t *codes, uint8_t *packed, int32_t count,
                                    uint32_t fill_bits);
/** Unpacks `count` septets after `fill_bits` fill bits; returns the septets
 * read, -1 for a null buffer. */
ONDRIX_EXPORT int32_t sms_conv_unpack(const uint8_t *packed, uint8_t *codes, int32_t count,
                                      uint32_t fill_bits);

/* ---- Address fields ---------------------------------------------------- */

/** Writes an address field of semi-octet digits (3GPP TS 23.040 clause
 * 9.1.2.5); at most 20 digits. Alphanumeric addresses are not encoded. */
ONDRIX_EXPORT int32_t sms_addr_encode(const sms_addr_t *addr, sms_cursor_t *cursor);
/** Reads an address field, appending to `number` (empty on entry); text that
 * would not fit the field is SMS_ERR_INVALID_ADDRESS. */
ONDRIX_EXPORT int32_t sms_addr_decode(sms_cursor_t *cursor, sms_addr_t *addr);
/** 1 for an optional "+" and 1 to 20 digits of 0-9 * # a b c. */
ONDRIX_EXPORT int sms_addr_string_is_valid(const char *text);
/** Copies a valid number into the record. */
ONDRIX_EXPORT int32_t sms_addr_set_from_string(sms_addr_t *addr, const char *text);
/** 1 when both numbers have more than six characters and are equal or end alike. */
ONDRIX_EXPORT int sms_addr_match(const char *a, const char *b);

/* ---- Time stamps and validity periods --------------------------------- */

/** Writes a time stamp of seven semi-octet pairs (3GPP TS 23.040 clause
 * 9.2.3.11); an instant outside 2000-2099 or a zone of 80 quarter hours or
 * more is SMS_ERR_INVALID_PARAM. */
ONDRIX_EXPORT int32_t sms_time_encode(const sms_time_t *time, sms_cursor_t *cursor);
/** Reads a time stamp; a nibble above 9 or a month outside 1-12 is SMS_ERR_PARSE. */
ONDRIX_EXPORT int32_t sms_time_decode(sms_cursor_t *cursor, sms_time_t *time);
/** Sets a time from its local fields (year 2000 + yy) without subtracting the
 * zone; a field outside the calendar is SMS_ERR_INVALID_PARAM. */
ONDRIX_EXPORT int32_t sms_time_set_from_tuple(sms_time_t *time, uint32_t yy, uint32_t month,
                                              uint32_t day, uint32_t hour, uint32_t minute,
                                              uint32_t second, int32_t tz);

/** Enhanced validity period format (3GPP TS 23.040 clause 9.2.3.12.3): `vp`
 * holds the functionality indicator octet, `scts.utc` the value (relative
 * code, seconds, or hh:mm:ss as seconds). */
enum {
    SMS_EVPF_NONE = 0,      /**< no validity period */
    SMS_EVPF_RELATIVE = 1,  /**< a relative code as in the relative format */
    SMS_EVPF_SECONDS = 2,   /**< 0-255 seconds */
    SMS_EVPF_HHMMSS = 3     /**< hours, minutes and seconds */
};

/** Writes TP-VP in the format `vpf` names (3GPP TS 23.040 clause 9.2.3.12). */
ONDRIX_EXPORT int32_t encode_validity_period(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
/** Reads TP-VP in the format `vpf` names. */
ONDRIX_EXPORT int32_t decode_validity_period(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
/** The seconds a relative validity code stands for (3GPP TS 23.040 clause 9.2.3.12.1). */
ONDRIX_EXPORT uint32_t sms_tpdu_get_validity_relative(const sms_tpdu_t *tpdu);
/** The absolute validity of a TPDU in the absolute format, else null. */
ONDRIX_EXPORT const sms_time_t *sms_tpdu_get_validity_absolute(const sms_tpdu_t *tpdu);
/** The relative code for a period of `seconds` (at least 1), rounded up. */
ONDRIX_EXPORT int32_t sms_validity_seconds_to_relative(uint32_t seconds);

/* ---- User data header information elements ---------------------------- */

/** One user data header information element (3GPP TS 23.040 clause
 * 9.2.3.24); also a node of a singly linked list. */
typedef struct sms_info {
    uint32_t id;            /**< identifier, 0-255 */
    uint8_t *data;          /**< owned; may be null for an empty element */
    uint32_t len;           /**< octets of data, under 140 */
    struct sms_info *next;  /**< the next element of the list */
} sms_info_t;

/** Information element identifiers (3GPP TS 23.040 clause 9.2.3.24). */
enum {
    SMS_IE_CONCAT_8BIT = 0,     /**< concatenated message, 8-bit reference (9.2.3.24.1) */
    SMS_IE_SPECIAL_MSG = 1,     /**< special SMS message indication (9.2.3.24.2) */
    SMS_IE_PORT_8BIT = 4,       /**< application port addressing, 8-bit (9.2.3.24.3) */
    SMS_IE_PORT_16BIT = 5,      /**< application port addressing, 16-bit (9.2.3.24.4) */
    SMS_IE_SMSC_CTRL = 6,       /**< SMSC control parameters (9.2.3.24.5) */
    SMS_IE_CONCAT_16BIT = 8,    /**< concatenated message, 16-bit reference (9.2.3.24.8) */
    SMS_IE_LANG_SINGLE = 36,    /**< national language single shift (9.2.3.24.15) */
    SMS_IE_LANG_LOCKING = 37    /**< national language locking shift (9.2.3.24.16) */
};

/** A zeroed element; null when memory runs out. */
ONDRIX_EXPORT sms_info_t *sms_info_new(void);
/** Releases one element and its data (not the rest of its list). */
ONDRIX_EXPORT void sms_info_destroy(sms_info_t *node);
/** An element with a copy of 1 to 139 octets of data; null otherwise. */
ONDRIX_EXPORT sms_info_t *sms_info_new_from_data(uint32_t id, const uint8_t *data, uint32_t len);
/** A copy of one element, without its successors. */
ONDRIX_EXPORT sms_info_t *sms_info_clone(const sms_info_t *node);
/** Appends an element to a list, which then owns it. */
ONDRIX_EXPORT int32_t sms_info_list_add(sms_info_t **head, sms_info_t *node);
/** The first element of `id`, or null. */
ONDRIX_EXPORT sms_info_t *sms_info_list_get(sms_info_t *head, uint32_t id);
/** Removes and releases the first element of `id`; SMS_ERR_NOT_FOUND when there is none. */
ONDRIX_EXPORT int32_t sms_info_list_del(sms_info_t **head, uint32_t id);
/** Releases a whole list and sets the head to null. */
ONDRIX_EXPORT void sms_info_list_destroy(sms_info_t **head);
/** A copy of a whole list. */
ONDRIX_EXPORT sms_info_t *sms_info_list_clone(const sms_info_t *head);
/** Octets the list takes in a header: two per element plus its data. */
ONDRIX_EXPORT uint32_t sms_info_list_size(const sms_info_t *head);
/** The name of an element's identifier, or "<UNKNOWN>". */
ONDRIX_EXPORT const char *sms_info_id_name(const sms_info_t *node);
/** Writes every element of a list: identifier, length, data. */
ONDRIX_EXPORT int32_t sms_info_encode(const sms_info_t *head, sms_cursor_t *cursor);
/** Reads one element into a zeroed node. */
ONDRIX_EXPORT int32_t sms_info_decode(sms_cursor_t *cursor, sms_info_t *node);
/** Writes the user data header (its length, then its elements) when `udhi` is set. */
ONDRIX_EXPORT int32_t encode_user_data_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
/** Reads the user data header into the record's element list. */
ONDRIX_EXPORT int32_t decode_user_data_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
/** Takes the "//SCK" text header of port addressing (3GPP TS 23.040 clause
 * 9.2.3.24.4 note) from the start of the user data into port and
 * concatenation elements. */
ONDRIX_EXPORT int32_t decode_nbs_hdr(sms_tpdu_t *tpdu);

/* ---- TPDUs ------------------------------------------------------------- */

/** The longest TPDU the codec writes, in octets. */
#define SMS_TPDU_MAX_LEN 164

/** Concatenation information of a segment (3GPP TS 23.040 clauses 9.2.3.24.1, 9.2.3.24.8). */
typedef struct sms_concat_info {
    uint16_t ref;   /**< the reference shared by the segments of one message */
    uint8_t total;  /**< segments of the message */
    uint8_t seq;    /**< this segment's number, from 1 */
} sms_concat_info_t;

/** Alphabet of the user data, from the DCS (3GPP TS 23.038 clauses 4 and 5). */
enum {
    SMS_ENCODING_GSM_7BIT = 0,  /**< GSM 7-bit default alphabet */
    SMS_ENCODING_8BIT = 4,      /**< 8-bit data */
    SMS_ENCODING_UCS2 = 8       /**< UCS-2 */
};

/** A zeroed record; release it with sms_tpdu_destroy. */
ONDRIX_EXPORT sms_tpdu_t *sms_tpdu_new(void);
/** Releases a record with its elements and user data. */
ONDRIX_EXPORT void sms_tpdu_destroy(sms_tpdu_t *tpdu);
/** Copies every field; dst gets its own element list and its own user data.
 * Whatever dst held before is not released. */
ONDRIX_EXPORT int32_t sms_tpdu_clone(sms_tpdu_t *dst, const sms_tpdu_t *src);
/** Encodes a SUBMIT into a new buffer of SMS_TPDU_MAX_LEN octets, of which
 * `*len` are used. A header flag without elements, or a header and data
 * beyond the 140 octets of TP-UD, is refused. */
ONDRIX_EXPORT int32_t sms_tpdu_encode(const sms_tpdu_t *tpdu, uint8_t **pdu, uint32_t *len);
/** Decodes a DELIVER, SUBMIT or STATUS-REPORT into a zeroed record. */
ONDRIX_EXPORT int32_t sms_tpdu_decode(const uint8_t *pdu, uint32_t len, sms_tpdu_t *tpdu);
/** Writes the fields of a SUBMIT before TP-UDL (3GPP TS 23.040 clause 9.2.2.2). */
ONDRIX_EXPORT int32_t encode_submit_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
/** Reads the fields of a SUBMIT before TP-UDL. */
ONDRIX_EXPORT int32_t decode_submit_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
/** Reads the fields of a DELIVER before TP-UDL (3GPP TS 23.040 clause 9.2.2.1). */
ONDRIX_EXPORT int32_t decode_deliver_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
/** Reads the fields of a STATUS-REPORT before its optional parts (3GPP TS 23.040 clause 9.2.2.3). */
ONDRIX_EXPORT int32_t decode_status_report_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
/** Not implemented: always SMS_ERR_NOT_IMPLEMENTED. */
ONDRIX_EXPORT int32_t encode_deliver_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
/** Not implemented: always SMS_ERR_NOT_IMPLEMENTED. */
ONDRIX_EXPORT int32_t encode_status_report_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
/** Not implemented: always SMS_ERR_NOT_IMPLEMENTED. */
ONDRIX_EXPORT int32_t encode_command_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
/** Not implemented: always SMS_ERR_NOT_IMPLEMENTED. */
ONDRIX_EXPORT int32_t decode_command_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
/** The SMS_ENCODING_ of the record's DCS. */
ONDRIX_EXPORT uint32_t sms_tpdu_get_encoding(const sms_tpdu_t *tpdu);
/** The SMS_CLASS_ of the record's DCS. */
ONDRIX_EXPORT uint32_t sms_tpdu_get_class_info(const sms_tpdu_t *tpdu);
/** The concatenation information of the record's 8-bit or 16-bit element;
 * SMS_ERR_PARSE when it has none. */
ONDRIX_EXPORT int32_t sms_tpdu_get_concat_info(const sms_tpdu_t *tpdu, sms_concat_info_t *info);

/* ---- Messages ---------------------------------------------------------- */

/** Destination and source port of a message (3GPP TS 23.040 clauses 9.2.3.24.3, 9.2.3.24.4). */
typedef struct sms_ports {
    uint16_t dst;   /**< destination port */
    uint16_t src;   /**< source port */
} sms_ports_t;

/** A whole message: text or octets, address, ports, class, validity. Owns its texts and buffers. */
typedef struct sms_msg {
    int32_t type;           /**< SMS_TYPE_ */
    int32_t srr;            /**< a status report is requested (or indicated) */
    int32_t reply_path;     /**< TP-RP */
    int32_t proto;          /**< SMS_PROTO_ */
    int32_t validity;       /**< relative validity in seconds; 0 or less: none */
    int32_t msg_class;      /**< SMS_CLASS_ */
    int32_t mr;             /**< message reference */
    int64_t timestamp;      /**< service centre time stamp, UTC seconds */
    char *from;             /**< originating address of a received message */
    char *to;               /**< destination address */
    sms_ports_t *ports;     /**< null: no ports */
    int32_t mwi_type;       /**< SMS_SPECIAL_ of a message waiting indication */
    int32_t mwi_active;     /**< messages are waiting */
    int32_t mwi_line2;      /**< the indication concerns the second line */
    int32_t mwi_store;      /**< the message is to be stored */
    int32_t mwi_count;      /**< messages waiting, 255 when unknown */
    int32_t lang;           /**< SMS_LANG_ */
    uint8_t *data;          /**< octet payload, with a zero octet after it */
    uint32_t data_len;      /**< octets of data, or of text */
    char *text;             /**< UTF-8 text */
    int32_t format;         /**< SMS_FORMAT_ of a received message */
    int32_t smsc_ctrl;      /**< SMSC control parameters octet; 0: none */
} sms_msg_t;

/** The room a message takes: units are septets (GSM 7-bit), UTF-16 units
 * (UCS-2) or octets (8-bit). */
typedef struct sms_msg_size {
    uint32_t segments;      /**< segments the message needs */
    uint32_t free;          /**< units left in the last segment */
    uint32_t per_segment;   /**< units one segment carries */
    uint32_t format;        /**< SMS_FORMAT_ */
} sms_msg_size_t;

/** One encoded TPDU. */
typedef struct sms_raw_pdu {
    uint8_t *data;  /**< the octets, owned */
    uint32_t len;   /**< octets of data */
} sms_raw_pdu_t;

/** The most segments one message may take. */
#define SMS_MAX_SEGMENTS 255

/** An empty message record; release it with sms_msg_destroy. */
ONDRIX_EXPORT sms_msg_t *sms_msg_new(void);
/** A SUBMIT of UTF-8 text to a valid number; null otherwise. */
ONDRIX_EXPORT sms_msg_t *sms_msg_new_txt_message(const char *address, const char *text);
/** A SUBMIT of octets, with ports when `ports` is not null. */
ONDRIX_EXPORT sms_msg_t *sms_msg_new_bin_message(const char *address, const uint8_t *data,
                                                 uint32_t len, const sms_ports_t *ports);
/** A message of octets of a MIME type: text/plain becomes text, vCard and
 * vCalendar go to their ports; null for other types. */
ONDRIX_EXPORT sms_msg_t *sms_msg_new_bin_message_with_mime(const char *address, const uint8_t *data,
                                                           uint32_t len, const char *mime_type);
/** A message of text of a MIME type, as sms_msg_new_bin_message_with_mime. */
ONDRIX_EXPORT sms_msg_t *sms_msg_new_txt_message_with_mime(const char *address, const char *text,
                                                           const char *mime_type);
/** Releases a message record with everything it owns; null is allowed. */
ONDRIX_EXPORT void sms_msg_destroy(sms_msg_t *msg);
/** Releases an array of raw PDUs. */
ONDRIX_EXPORT void sms_msg_raw_destroy(sms_raw_pdu_t *raw, uint32_t count);
/** Releases an array of TPDU records with what each owns. */
ONDRIX_EXPORT void sms_msg_tpdu_destroy(sms_tpdu_t *tpdus, uint32_t count);

/** The MIME type of a message, from its ports and kind. */
ONDRIX_EXPORT const char *sms_msg_get_mime_type(const sms_msg_t *msg);
/** The SMS_LANG_ the environment's LANG names. */
ONDRIX_EXPORT int32_t sms_msg_get_lang_from_system(void);
/** Sizes a message: alphabet, units per segment, segments and room left.
 * `ctx` may be null: a context of the message's language is opened. */
ONDRIX_EXPORT int32_t sms_msg_get_size(const sms_msg_t *msg, sms_msg_size_t *size, sms_conv_ctx_t *ctx);

/** The shift tables a text is cheapest in, and its size with them. */
typedef struct sms_lang_choice {
    int32_t lang;           /**< the value for sms_msg_t.lang: SMS_LANG_DEFAULT, a language, or an SMS_LANG_PAIR */
    int32_t locking_lang;   /**< the locking shift table: SMS_LANG_DEFAULT, _TURKISH or _PORTUGUESE */
    int32_t single_lang;    /**< the single shift table: SMS_LANG_DEFAULT, _TURKISH, _SPANISH or _PORTUGUESE */
    sms_msg_size_t size;    /**< the message's size with them (UCS-2 when no allowed table holds the text) */
} sms_lang_choice_t;

/** Chooses, among the shift tables of the languages in `allowed` (a set of
 * SMS_LANG_BIT values; the default alphabet and extension always count), the
 * locking and single shift tables (3GPP TS 23.038 annex A) that send the text
 * of `msg` in the fewest segments; ties go to the fewest header octets, then
 * to the default tables. UCS-2 only when no allowed table holds every
 * character. The message is not changed: set its `lang` to `choice->lang` to
 * send it so. A message of octets, or without text, keeps the default. */
ONDRIX_EXPORT int32_t sms_msg_choose_lang(const sms_msg_t *msg, uint32_t allowed, sms_lang_choice_t *choice);

/** Splits a message into segments and encodes each as a SUBMIT carrying
 * reference `ref`; a segment never ends between an escape and its code or
 * inside a surrogate pair. */
ONDRIX_EXPORT int32_t sms_msg_serialize(const sms_msg_t *msg, sms_raw_pdu_t **raw, uint32_t *count,
                                        uint32_t ref);
/** Decodes PDUs in any order, checks that they belong together and joins
 * them into one message; nothing of a refused set is handed out.
 *
 * Each segment's text is decoded with that segment's own national language
 * elements (a segment without them uses the default alphabet). An identifier
 * the codec has no table for (reserved values, and languages other than
 * Turkish, Spanish and Portuguese) is ignored, as a receiver that does not
 * support the language does: the default alphabet or extension table decodes
 * the text, SMS_OK, and `lang` keeps the identifier the message carried
 * (sms_str_msg_lang() names it "Unknown"). A UCS-2 segment of odd length ends
 * in half a unit, which stands in the text as U+FFFD and is never joined to the
 * next segment's octets. Segments of text and of 8-bit data in one message
 * are refused with SMS_ERR_PARSE. */
ONDRIX_EXPORT int32_t sms_msg_deserialize(const sms_raw_pdu_t *raw, uint32_t count, sms_msg_t *msg);
/** Splits a message into TPDU records made from the template `tmpl`. */
ONDRIX_EXPORT int32_t sms_msg_decompose(const sms_msg_t *msg, const sms_tpdu_t *tmpl,
                                        sms_tpdu_t **tpdus, uint32_t *count, uint32_t ref);
/** Encodes TPDU records into raw PDUs. */
ONDRIX_EXPORT int32_t sms_msg_encode(const sms_tpdu_t *tpdus, uint32_t count, sms_raw_pdu_t **raw);
/** Decodes raw PDUs into records, sorted and checked as segments of one message. */
ONDRIX_EXPORT int32_t sms_msg_decode(const sms_raw_pdu_t *raw, uint32_t count, sms_tpdu_t **tpdus);
/** Joins sorted records into a message, as sms_msg_deserialize() does. */
ONDRIX_EXPORT int32_t sms_msg_compose(const sms_tpdu_t *tpdus, uint32_t count, sms_msg_t *msg);
/** Sorts records by their sequence number, then checks them with check_tpdu_array. */
ONDRIX_EXPORT int32_t sms_msg_tpdu_sort(sms_tpdu_t *tpdus, uint32_t count);
/** SMS_OK when sorted records belong together: one reference, one total equal
 * to `count`, sequence numbers 1 to `count`, one type and one address; a lone
 * record without concatenation information is a whole message. */
ONDRIX_EXPORT int32_t check_tpdu_array(const sms_tpdu_t *tpdus, uint32_t count);

/** Sizes a message with a header of `hdr_len` octets and hands out its
 * payload: codes, UTF-16 units or octets. A building block of the message layer. */
ONDRIX_EXPORT int32_t get_msg_size_and_data(const sms_msg_t *msg, sms_conv_ctx_t *ctx, uint32_t hdr_len,
                                            sms_msg_size_t *size, uint8_t **payload,
                                            uint32_t *payload_len);
/** The sum of the records' TP-UDL. */
ONDRIX_EXPORT uint32_t get_tpdu_array_ud_size(const sms_tpdu_t *tpdus, uint32_t count);
/** Compressed user data is not supported: always 0. */
ONDRIX_EXPORT int get_msg_compressed(const sms_tpdu_t *tpdu);
/** Fills the message waiting fields from the special message element, the
 * originating address or the DCS. */
ONDRIX_EXPORT void get_msg_mwi_info(const sms_tpdu_t *tpdu, sms_msg_t *msg);
/** The SMS_PROTO_ of a record. */
ONDRIX_EXPORT int32_t get_msg_proto_info(const sms_tpdu_t *tpdu);
/** The language of the record's single shift element, 0 without one. */
ONDRIX_EXPORT int32_t get_msg_lang_shifted_info(const sms_tpdu_t *tpdu);
/** The language of the record's locking shift element, 0 without one. */
ONDRIX_EXPORT int32_t get_msg_lang_locking_info(const sms_tpdu_t *tpdu);
/** The record's language: the locking shift's, else the single shift's. */
ONDRIX_EXPORT int32_t get_msg_lang_info(const sms_tpdu_t *tpdu);
/** Sets the message's ports from the record's port element. */
ONDRIX_EXPORT int32_t get_msg_port_info(const sms_tpdu_t *tpdu, sms_msg_t *msg);
/** The SMS_FORMAT_ of a record's DCS. */
ONDRIX_EXPORT int32_t get_msg_format_info(const sms_tpdu_t *tpdu);
/** 1 when the records mix GSM 7-bit and UCS-2 segments. */
ONDRIX_EXPORT int get_msg_format_mixed_gsm_ucs2(const sms_tpdu_t *tpdus, uint32_t count);
/** The SMS_CLASS_ of a record. */
ONDRIX_EXPORT uint32_t get_msg_class_info(const sms_tpdu_t *tpdu);
/** The concatenation information of a record. */
ONDRIX_EXPORT int32_t get_msg_concat_info(const sms_tpdu_t *tpdu, sms_concat_info_t *info);
/** Adds the message's ports to a record as an 8-bit or 16-bit port element. */
ONDRIX_EXPORT int32_t set_msg_port_info(sms_tpdu_t *tpdu, const sms_msg_t *msg);
/** Adds the message's SMSC control parameters element. */
ONDRIX_EXPORT int32_t set_msg_control_info(sms_tpdu_t *tpdu, const sms_msg_t *msg);
/** Adds the language shift elements of the message's language. */
ONDRIX_EXPORT int32_t set_msg_lang_info(sms_tpdu_t *tpdu, const sms_msg_t *msg);
/** Adds an 8-bit concatenation element of `ref` and `total`. */
ONDRIX_EXPORT int32_t set_msg_concat_info(sms_tpdu_t *tpdu, uint32_t ref, uint32_t total);

/* ---- Cell broadcast ---------------------------------------------------- */

/** Octets of one cell broadcast page. */
#define SMS_CBS_PAGE_LEN 88

/** One cell broadcast page (3GPP TS 23.041 clause 9.4.1.2). */
typedef struct sms_cbs_page {
    uint32_t scope;             /**< geographical scope */
    uint16_t message_code;      /**< message code, with the popup and user alert bits */
    uint8_t update_number;      /**< update number */
    uint16_t message_id;        /**< message identifier */
    uint8_t dcs;                /**< data coding scheme (3GPP TS 23.038 clause 5) */
    uint8_t total_pages;        /**< pages of the message */
    uint8_t page_number;        /**< this page's number */
    uint8_t content[82];        /**< the page's content */
} sms_cbs_page_t;

/** Decodes one page of SMS_CBS_PAGE_LEN octets. */
ONDRIX_EXPORT int32_t sms_cbs_decode(const uint8_t *page, uint32_t len, sms_cbs_page_t *out);
/** The page's SMS_ENCODING_ (3GPP TS 23.038 clause 5), or 255 when the scheme gives none. */
ONDRIX_EXPORT uint32_t sms_cbs_get_encoding(const sms_cbs_page_t *page);
/** The page's language code from its DCS; -1 when a language indication leads the content, 15 when unspecified. */
ONDRIX_EXPORT int32_t sms_cbs_get_language(const sms_cbs_page_t *page);
/** 1 when the page asks to be shown at once. */
ONDRIX_EXPORT int sms_cbs_is_popup(const sms_cbs_page_t *page);
/** 1 when the page asks for a user alert. */
ONDRIX_EXPORT int sms_cbs_is_user_alert(const sms_cbs_page_t *page);
/** The page's text as UTF-8, without the padding that fills a page: GSM 7-bit
 * or UCS-2 content; SMS_ERR_ENCODING for 8-bit or unknown content. What
 * precedes the text is left out: the language of coding group 0001 (three
 * characters "xx\r" before GSM text, two packed characters before UCS-2,
 * see sms_cbs_get_language_code()) and the user data header of group 1001
 * (SMS_ERR_PARSE when its length runs past the page). */
ONDRIX_EXPORT int32_t sms_cbs_get_text(const sms_cbs_page_t *page, char **text, uint32_t *len);
/** The ISO 639 language that coding group 0001 puts before the text (when
 * sms_cbs_get_language() is -1): two characters and a zero octet in `code`.
 * SMS_ERR_NOT_FOUND for every other coding scheme. */
ONDRIX_EXPORT int32_t sms_cbs_get_language_code(const sms_cbs_page_t *page, char code[3]);

#ifdef __cplusplus
}
#endif

#endif
