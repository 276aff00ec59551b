/* SPDX-License-Identifier: LGPL-2.1-or-later */
/*
 * The SMS codec: GSM 7-bit and UCS-2 text conversion with the national
 * language tables, address, time stamp and validity period fields, and the
 * first octet of a TPDU.
 *
 * Plain C functions with unmangled names, usable from C and C++. Every
 * function that can fail returns one of the SMS_ status codes below (0 is
 * success). Buffers handed out are allocated with calloc, belong to the
 * caller (release them with free) and carry one zero octet after their
 * reported length. The codec keeps no global mutable state: separate
 * conversion contexts may be used on separate threads.
 */
#ifndef ONDRIX_SMSCODEC_H
#define ONDRIX_SMSCODEC_H

#include "ondrix_global.h"

#include <iconv.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes ------------------------------------------------------ */

enum {
    SMS_OK = 0,
    SMS_ERR_INVALID_PARAM = -1,
    SMS_ERR_BUFFER_OVERRUN = -2,
    SMS_ERR_PARSE = -3,
    SMS_ERR_INVALID_ADDRESS = -4,
    SMS_ERR_UNSUPPORTED = -5,
    SMS_ERR_NOT_IMPLEMENTED = -6,
    SMS_ERR_NO_MEMORY = -7,
    SMS_ERR_BAD_CHAR = -8,
    SMS_ERR_ENCODING = -9,
    SMS_ERR_CONVERSION = -10,
    SMS_ERR_NOT_FOUND = -11,
    SMS_ERR_TOO_MANY_SEGMENTS = -12
};

/* ---- Enumerations ------------------------------------------------------ */

/* Message type (TP-MTI). */
enum { SMS_TYPE_DELIVER = 0, SMS_TYPE_SUBMIT = 1, SMS_TYPE_STATUS_REPORT = 2 };

/* Message format (alphabet of the user data). */
enum { SMS_FORMAT_GSM_7BIT = 0, SMS_FORMAT_8BIT = 1, SMS_FORMAT_UCS2 = 2 };

/* Special message (message waiting) type. */
enum {
    SMS_SPECIAL_VOICEMAIL_WAIT = 0,
    SMS_SPECIAL_FAX_WAIT = 1,
    SMS_SPECIAL_E_MAIL_WAIT = 2,
    SMS_SPECIAL_EXTENDED_WAIT = 3,
    SMS_SPECIAL_VIDEOMAIL_WAIT = 4,
    SMS_SPECIAL_NONE_WAIT = 5
};

/* Protocol; SMS_PROTO_REPLACE marks a replace-type message. */
enum {
    SMS_PROTO_NORMAL = 0,
    SMS_PROTO_FAX_3 = 1,
    SMS_PROTO_EMAIL = 2,
    SMS_PROTO_PAGING = 3,
    SMS_PROTO_RETURN_CALL = 4,
    SMS_PROTO_REPLACE = 5
};

/* Message class: a TP-DCS octet with the class bits set. */
enum {
    SMS_CLASS_NONE = 0,
    SMS_CLASS_0 = 16,
    SMS_CLASS_1 = 17,
    SMS_CLASS_2 = 18,
    SMS_CLASS_3 = 19
};

/* National language (3GPP TS 23.038 identifiers); SMS_LANG_TRANSLITERATE
 * selects the transliterating table set. */
enum {
    SMS_LANG_TRANSLITERATE = -1,
    SMS_LANG_DEFAULT = 0,
    SMS_LANG_TURKISH = 1,
    SMS_LANG_SPANISH = 2,
    SMS_LANG_PORTUGUESE = 3
};

/* Validity period format, as the masked bits of the first octet. */
enum {
    SMS_VPF_NONE = 0x00,
    SMS_VPF_ENHANCED = 0x08,
    SMS_VPF_RELATIVE = 0x10,
    SMS_VPF_ABSOLUTE = 0x18
};

/* ---- Cursor ------------------------------------------------------------ */

/* A window over a caller-owned octet buffer. Valid while every pointer is
 * set and start <= pos <= end. */
typedef struct sms_cursor {
    uint8_t *start;
    uint8_t *end;
    uint8_t *pos;
} sms_cursor_t;

ONDRIX_EXPORT int sms_cursor_init(sms_cursor_t *cursor, uint8_t *buffer, uint32_t length);
ONDRIX_EXPORT int sms_cursor_reset(sms_cursor_t *cursor);
ONDRIX_EXPORT int sms_cursor_check(const sms_cursor_t *cursor);
ONDRIX_EXPORT int sms_cursor_incr(sms_cursor_t *cursor);
ONDRIX_EXPORT int sms_cursor_decr(sms_cursor_t *cursor);
/* A negative count is refused (result 0). */
ONDRIX_EXPORT int sms_cursor_incr_by(sms_cursor_t *cursor, int32_t count);
ONDRIX_EXPORT int sms_cursor_decr_by(sms_cursor_t *cursor, int32_t count);
/* Octets left, used and in all; all bits set (-1 as signed) for an invalid cursor. */
ONDRIX_EXPORT uint32_t sms_cursor_len(const sms_cursor_t *cursor);
ONDRIX_EXPORT uint32_t sms_cursor_used(const sms_cursor_t *cursor);
ONDRIX_EXPORT uint32_t sms_cursor_total(const sms_cursor_t *cursor);

/* ---- Addresses and time stamps ---------------------------------------- */

/* An address field (TP-OA, TP-DA, TP-RA). */
typedef struct sms_addr {
    char number[24];   /* "+" and digits 0-9 * # a b c, or alphanumeric UTF-8 text */
    uint32_t ton;      /* type of number: 1 international, 5 alphanumeric */
    uint32_t npi;      /* numbering plan: 1 ISDN/telephone */
    uint32_t flags;    /* SMS_ADDR_FLAG_ bits found in an alphanumeric address */
} sms_addr_t;

enum {
    SMS_ADDR_FLAG_MWI = 0x01,          /* a two-octet message waiting indication */
    SMS_ADDR_FLAG_MWI_ACTIVE = 0x02,   /* messages are waiting */
    SMS_ADDR_FLAG_MWI_LINE2 = 0x04,    /* the indication concerns the second line */
    SMS_ADDR_FLAG_SPECIAL = 0x80       /* the fixed special address pattern */
};

/* A point in time with the sender's zone. */
typedef struct sms_time {
    int64_t utc;   /* seconds since 1970-01-01 00:00 UTC */
    int32_t tz;    /* local time minus UTC in seconds, a multiple of 900 */
} sms_time_t;

/* ---- TPDU record ------------------------------------------------------- */

struct sms_info;

/* One TPDU in memory. Created zeroed; owns `info` and `ud`. */
typedef struct sms_tpdu {
    uint8_t type;               /* SMS_TYPE_ */
    uint8_t pid;                /* TP-PID */
    uint8_t dcs;                /* TP-DCS */
    uint8_t mms;                /* TP-MMS (DELIVER, STATUS-REPORT) */
    uint8_t reply_path;         /* TP-RP (DELIVER, SUBMIT) */
    uint8_t udhi;               /* TP-UDHI: a user data header is present */
    uint8_t srr;                /* TP-SRR / TP-SRI / TP-SRQ */
    uint8_t status;             /* TP-ST (STATUS-REPORT) */
    uint8_t pi;                 /* TP-PI (STATUS-REPORT) */
    uint8_t reject_duplicates;  /* TP-RD (SUBMIT) */
    uint8_t vpf;                /* SMS_VPF_ */
    uint32_t mr;                /* TP-MR */
    int32_t vp;                 /* relative validity code; enhanced: functionality indicator */
    sms_time_t discharge_time;  /* TP-DT (STATUS-REPORT) */
    sms_time_t scts;            /* TP-SCTS; absolute or enhanced validity (SUBMIT) */
    sms_addr_t addr;            /* TP-OA, TP-DA or TP-RA */
    struct sms_info *info;      /* user data header elements */
    uint32_t fill_bits;         /* fill bits after the header (GSM 7-bit) */
    uint8_t *ud;                /* user data without the header */
    uint32_t udl;               /* septets for GSM 7-bit, octets otherwise */
} sms_tpdu_t;

/* First octet of a TPDU; `type` is set by the caller. */
ONDRIX_EXPORT int32_t encode_bitfield(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t decode_bitfield(sms_cursor_t *cursor, sms_tpdu_t *tpdu);

/* ---- Names ------------------------------------------------------------- */

ONDRIX_EXPORT const char *sms_str_error(uint32_t status);
ONDRIX_EXPORT const char *sms_str_msg_type(uint32_t type);
ONDRIX_EXPORT const char *sms_str_msg_format(uint32_t format);
ONDRIX_EXPORT const char *sms_str_msg_special(uint32_t special);
ONDRIX_EXPORT const char *sms_str_msg_proto(uint32_t proto);
ONDRIX_EXPORT const char *sms_str_msg_class(uint32_t msg_class);
ONDRIX_EXPORT const char *sms_str_msg_lang(uint32_t lang);
ONDRIX_EXPORT const char *sms_str_tpdu_status(uint32_t status);

/* ---- Character sets ---------------------------------------------------- */

/* A reverse table entry: UCS-2 code and GSM code. */
typedef struct sms_conv_rev {
    uint16_t ucs2;
    uint16_t gsm;
} sms_conv_rev_t;

/* An extension table entry: GSM code and its UTF-8 text. */
typedef struct sms_conv_ext {
    uint32_t code;
    const char *text;
} sms_conv_ext_t;

/* The alphabet tables of one language choice and the converter to UCS-2. */
typedef struct sms_conv_ctx {
    const sms_conv_rev_t *base_rev;
    uint32_t base_rev_count;
    const char *const *base_fwd;
    uint32_t base_fwd_count;
    const sms_conv_rev_t *ext_rev;
    uint32_t ext_rev_count;
    const sms_conv_ext_t *ext_fwd;
    uint32_t ext_fwd_count;
    iconv_t cd;                 /* UTF-8 to UCS-2 (UTF-16) in host byte order */
    int32_t single_lang;
    int32_t locking_lang;
} sms_conv_ctx_t;

ONDRIX_EXPORT sms_conv_ctx_t *sms_conv_ctx_open_locked(int32_t locking_lang, int32_t single_lang);
ONDRIX_EXPORT sms_conv_ctx_t *sms_conv_ctx_open(int32_t lang);
ONDRIX_EXPORT void sms_conv_ctx_close(sms_conv_ctx_t *ctx);
/* The shift tables a message editor opens for a language: its locking-shift
 * table where it has one (Spanish has only a single-shift table), and its
 * single-shift table. SMS_ERR_INVALID_PARAM for an unknown language. */
ONDRIX_EXPORT int32_t sms_conv_lang_tables(int32_t lang, int32_t *locking_lang, int32_t *single_lang);
ONDRIX_EXPORT int32_t sms_conv_ctx_locking_lang(const sms_conv_ctx_t *ctx);
ONDRIX_EXPORT int32_t sms_conv_ctx_single_lang(const sms_conv_ctx_t *ctx);

/* GSM codes the text needs, or all bits set if a unit has none. */
ONDRIX_EXPORT uint32_t sms_conv_gsm_chars_required(const uint16_t *ucs2, uint32_t byte_count,
                                                   const sms_conv_ctx_t *ctx);
ONDRIX_EXPORT int32_t sms_conv_ucs2_to_gsm(const uint16_t *ucs2, uint32_t byte_count,
                                           uint8_t **codes, uint32_t *code_count,
                                           const sms_conv_ctx_t *ctx);
ONDRIX_EXPORT int32_t sms_conv_gsm_to_utf8(const uint8_t *codes, uint32_t code_count,
                                           char **text, uint32_t *byte_len,
                                           const sms_conv_ctx_t *ctx);
/* UCS-2 here is UTF-16: characters outside the Basic Multilingual Plane
 * travel as surrogate pairs. */
ONDRIX_EXPORT int32_t sms_conv_ucs2_to_utf8(const uint16_t *ucs2, uint32_t byte_count,
                                            char **text, uint32_t *byte_len);
ONDRIX_EXPORT int32_t sms_conv_utf8_to_ucs2(const char *utf8, uint32_t byte_count,
                                            uint16_t **ucs2, uint32_t *byte_len,
                                            sms_conv_ctx_t *ctx);
/* Septet packing with leading fill bits (0-6). The caller provides room for
 * ceil((fill_bits + 7 * count) / 8) octets. */
ONDRIX_EXPORT int32_t sms_conv_pack(const uint8_t *codes, uint8_t *packed, int32_t count,
                                    uint32_t fill_bits);
ONDRIX_EXPORT int32_t sms_conv_unpack(const uint8_t *packed, uint8_t *codes, int32_t count,
                                      uint32_t fill_bits);

/* ---- Address fields ---------------------------------------------------- */

ONDRIX_EXPORT int32_t sms_addr_encode(const sms_addr_t *addr, sms_cursor_t *cursor);
/* Appends to `number`, which should be empty on entry. */
ONDRIX_EXPORT int32_t sms_addr_decode(sms_cursor_t *cursor, sms_addr_t *addr);
ONDRIX_EXPORT int sms_addr_string_is_valid(const char *text);
ONDRIX_EXPORT int32_t sms_addr_set_from_string(sms_addr_t *addr, const char *text);
/* 1 when both numbers have more than six characters and are equal or end alike. */
ONDRIX_EXPORT int sms_addr_match(const char *a, const char *b);

/* ---- Time stamps and validity periods --------------------------------- */

ONDRIX_EXPORT int32_t sms_time_encode(const sms_time_t *time, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t sms_time_decode(sms_cursor_t *cursor, sms_time_t *time);
ONDRIX_EXPORT int32_t sms_time_set_from_tuple(sms_time_t *time, uint32_t yy, uint32_t month,
                                              uint32_t day, uint32_t hour, uint32_t minute,
                                              uint32_t second, int32_t tz);

/* Enhanced validity period: `vp` holds the functionality indicator octet,
 * `scts.utc` the value (relative code, seconds, or hh:mm:ss as seconds). */
enum {
    SMS_EVPF_NONE = 0,
    SMS_EVPF_RELATIVE = 1,
    SMS_EVPF_SECONDS = 2,
    SMS_EVPF_HHMMSS = 3
};

ONDRIX_EXPORT int32_t encode_validity_period(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t decode_validity_period(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
ONDRIX_EXPORT uint32_t sms_tpdu_get_validity_relative(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT const sms_time_t *sms_tpdu_get_validity_absolute(const sms_tpdu_t *tpdu);
/* The relative code for a period of `seconds` (at least 1). */
ONDRIX_EXPORT int32_t sms_validity_seconds_to_relative(uint32_t seconds);

/* ---- User data header information elements ---------------------------- */

/* One information element; also a node of a singly linked list. */
typedef struct sms_info {
    uint32_t id;            /* identifier, 0-255 */
    uint8_t *data;          /* owned; may be null for an empty element */
    uint32_t len;
    struct sms_info *next;
} sms_info_t;

enum {
    SMS_IE_CONCAT_8BIT = 0,
    SMS_IE_SPECIAL_MSG = 1,
    SMS_IE_PORT_8BIT = 4,
    SMS_IE_PORT_16BIT = 5,
    SMS_IE_SMSC_CTRL = 6,
    SMS_IE_CONCAT_16BIT = 8,
    SMS_IE_LANG_SINGLE = 36,
    SMS_IE_LANG_LOCKING = 37
};

ONDRIX_EXPORT sms_info_t *sms_info_new(void);
ONDRIX_EXPORT void sms_info_destroy(sms_info_t *node);
ONDRIX_EXPORT sms_info_t *sms_info_new_from_data(uint32_t id, const uint8_t *data, uint32_t len);
ONDRIX_EXPORT sms_info_t *sms_info_clone(const sms_info_t *node);
ONDRIX_EXPORT int32_t sms_info_list_add(sms_info_t **head, sms_info_t *node);
ONDRIX_EXPORT sms_info_t *sms_info_list_get(sms_info_t *head, uint32_t id);
ONDRIX_EXPORT int32_t sms_info_list_del(sms_info_t **head, uint32_t id);
ONDRIX_EXPORT void sms_info_list_destroy(sms_info_t **head);
ONDRIX_EXPORT sms_info_t *sms_info_list_clone(const sms_info_t *head);
ONDRIX_EXPORT uint32_t sms_info_list_size(const sms_info_t *head);
ONDRIX_EXPORT const char *sms_info_id_name(const sms_info_t *node);
ONDRIX_EXPORT int32_t sms_info_encode(const sms_info_t *head, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t sms_info_decode(sms_cursor_t *cursor, sms_info_t *node);
ONDRIX_EXPORT int32_t encode_user_data_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t decode_user_data_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
/* The "//SCK" text header of port addressing at the start of the user data. */
ONDRIX_EXPORT int32_t decode_nbs_hdr(sms_tpdu_t *tpdu);

/* ---- TPDUs ------------------------------------------------------------- */

#define SMS_TPDU_MAX_LEN 164

/* Concatenation information of a segment. */
typedef struct sms_concat_info {
    uint16_t ref;
    uint8_t total;
    uint8_t seq;
} sms_concat_info_t;

/* Alphabet of the user data, from the DCS. */
enum { SMS_ENCODING_GSM_7BIT = 0, SMS_ENCODING_8BIT = 4, SMS_ENCODING_UCS2 = 8 };

ONDRIX_EXPORT sms_tpdu_t *sms_tpdu_new(void);
ONDRIX_EXPORT void sms_tpdu_destroy(sms_tpdu_t *tpdu);
/* Copies every field; dst gets its own element list and its own user data.
 * Whatever dst held before is not released. */
ONDRIX_EXPORT int32_t sms_tpdu_clone(sms_tpdu_t *dst, const sms_tpdu_t *src);
/* A SUBMIT into a new buffer of SMS_TPDU_MAX_LEN octets; *len octets are used. */
ONDRIX_EXPORT int32_t sms_tpdu_encode(const sms_tpdu_t *tpdu, uint8_t **pdu, uint32_t *len);
/* A DELIVER, SUBMIT or STATUS-REPORT into a zeroed record. */
ONDRIX_EXPORT int32_t sms_tpdu_decode(const uint8_t *pdu, uint32_t len, sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t encode_submit_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t decode_submit_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t decode_deliver_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t decode_status_report_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
/* Not implemented: always SMS_ERR_NOT_IMPLEMENTED. */
ONDRIX_EXPORT int32_t encode_deliver_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t encode_status_report_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t encode_command_hdr(const sms_tpdu_t *tpdu, sms_cursor_t *cursor);
ONDRIX_EXPORT int32_t decode_command_hdr(sms_cursor_t *cursor, sms_tpdu_t *tpdu);
ONDRIX_EXPORT uint32_t sms_tpdu_get_encoding(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT uint32_t sms_tpdu_get_class_info(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t sms_tpdu_get_concat_info(const sms_tpdu_t *tpdu, sms_concat_info_t *info);

/* ---- Messages ---------------------------------------------------------- */

/* Destination and source port of a message. */
typedef struct sms_ports {
    uint16_t dst;
    uint16_t src;
} sms_ports_t;

/* A whole message: text or octets, address, ports, class, validity. */
typedef struct sms_msg {
    int32_t type;
    int32_t srr;
    int32_t reply_path;
    int32_t proto;
    int32_t validity;       /* relative validity in seconds; 0 or less: none */
    int32_t msg_class;
    int32_t mr;
    int64_t timestamp;      /* service centre time stamp, UTC seconds */
    char *from;
    char *to;
    sms_ports_t *ports;     /* null: no ports */
    int32_t mwi_type;
    int32_t mwi_active;
    int32_t mwi_line2;
    int32_t mwi_store;
    int32_t mwi_count;
    int32_t lang;
    uint8_t *data;          /* octet payload, with a zero octet after it */
    uint32_t data_len;      /* octets of data, or of text */
    char *text;             /* UTF-8 text */
    int32_t format;         /* SMS_FORMAT_ of a received message */
    int32_t smsc_ctrl;
} sms_msg_t;

/* The room a message takes: units are septets (GSM 7-bit), UTF-16 units
 * (UCS-2) or octets (8-bit). */
typedef struct sms_msg_size {
    uint32_t segments;
    uint32_t free;          /* units left in the last segment */
    uint32_t per_segment;
    uint32_t format;        /* SMS_FORMAT_ */
} sms_msg_size_t;

typedef struct sms_raw_pdu {
    uint8_t *data;
    uint32_t len;
} sms_raw_pdu_t;

#define SMS_MAX_SEGMENTS 255

ONDRIX_EXPORT sms_msg_t *sms_msg_new(void);
ONDRIX_EXPORT sms_msg_t *sms_msg_new_txt_message(const char *address, const char *text);
ONDRIX_EXPORT sms_msg_t *sms_msg_new_bin_message(const char *address, const uint8_t *data,
                                                 uint32_t len, const sms_ports_t *ports);
ONDRIX_EXPORT sms_msg_t *sms_msg_new_bin_message_with_mime(const char *address, const uint8_t *data,
                                                           uint32_t len, const char *mime_type);
ONDRIX_EXPORT sms_msg_t *sms_msg_new_txt_message_with_mime(const char *address, const char *text,
                                                           const char *mime_type);
ONDRIX_EXPORT void sms_msg_destroy(sms_msg_t *msg);
ONDRIX_EXPORT void sms_msg_raw_destroy(sms_raw_pdu_t *raw, uint32_t count);
ONDRIX_EXPORT void sms_msg_tpdu_destroy(sms_tpdu_t *tpdus, uint32_t count);

ONDRIX_EXPORT const char *sms_msg_get_mime_type(const sms_msg_t *msg);
ONDRIX_EXPORT int32_t sms_msg_get_lang_from_system(void);
/* `ctx` may be null: a context of the message's language is opened. */
ONDRIX_EXPORT int32_t sms_msg_get_size(const sms_msg_t *msg, sms_msg_size_t *size, sms_conv_ctx_t *ctx);

ONDRIX_EXPORT int32_t sms_msg_serialize(const sms_msg_t *msg, sms_raw_pdu_t **raw, uint32_t *count,
                                        uint32_t ref);
ONDRIX_EXPORT int32_t sms_msg_deserialize(const sms_raw_pdu_t *raw, uint32_t count, sms_msg_t *msg);
ONDRIX_EXPORT int32_t sms_msg_decompose(const sms_msg_t *msg, const sms_tpdu_t *tmpl,
                                        sms_tpdu_t **tpdus, uint32_t *count, uint32_t ref);
ONDRIX_EXPORT int32_t sms_msg_encode(const sms_tpdu_t *tpdus, uint32_t count, sms_raw_pdu_t **raw);
ONDRIX_EXPORT int32_t sms_msg_decode(const sms_raw_pdu_t *raw, uint32_t count, sms_tpdu_t **tpdus);
ONDRIX_EXPORT int32_t sms_msg_compose(const sms_tpdu_t *tpdus, uint32_t count, sms_msg_t *msg);
ONDRIX_EXPORT int32_t sms_msg_tpdu_sort(sms_tpdu_t *tpdus, uint32_t count);
ONDRIX_EXPORT int32_t check_tpdu_array(const sms_tpdu_t *tpdus, uint32_t count);

/* Building blocks of the message layer. */
ONDRIX_EXPORT int32_t get_msg_size_and_data(const sms_msg_t *msg, sms_conv_ctx_t *ctx, uint32_t hdr_len,
                                            sms_msg_size_t *size, uint8_t **payload,
                                            uint32_t *payload_len);
ONDRIX_EXPORT uint32_t get_tpdu_array_ud_size(const sms_tpdu_t *tpdus, uint32_t count);
ONDRIX_EXPORT int get_msg_compressed(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT void get_msg_mwi_info(const sms_tpdu_t *tpdu, sms_msg_t *msg);
ONDRIX_EXPORT int32_t get_msg_proto_info(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t get_msg_lang_shifted_info(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t get_msg_lang_locking_info(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t get_msg_lang_info(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t get_msg_port_info(const sms_tpdu_t *tpdu, sms_msg_t *msg);
ONDRIX_EXPORT int32_t get_msg_format_info(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT int get_msg_format_mixed_gsm_ucs2(const sms_tpdu_t *tpdus, uint32_t count);
ONDRIX_EXPORT uint32_t get_msg_class_info(const sms_tpdu_t *tpdu);
ONDRIX_EXPORT int32_t get_msg_concat_info(const sms_tpdu_t *tpdu, sms_concat_info_t *info);
ONDRIX_EXPORT int32_t set_msg_port_info(sms_tpdu_t *tpdu, const sms_msg_t *msg);
ONDRIX_EXPORT int32_t set_msg_control_info(sms_tpdu_t *tpdu, const sms_msg_t *msg);
ONDRIX_EXPORT int32_t set_msg_lang_info(sms_tpdu_t *tpdu, const sms_msg_t *msg);
ONDRIX_EXPORT int32_t set_msg_concat_info(sms_tpdu_t *tpdu, uint32_t ref, uint32_t total);

/* ---- Cell broadcast ---------------------------------------------------- */

#define SMS_CBS_PAGE_LEN 88

/* One cell broadcast page (3GPP TS 23.041 clause 9.4.1). */
typedef struct sms_cbs_page {
    uint32_t scope;
    uint16_t message_code;
    uint8_t update_number;
    uint16_t message_id;
    uint8_t dcs;
    uint8_t total_pages;
    uint8_t page_number;
    uint8_t content[82];
} sms_cbs_page_t;

ONDRIX_EXPORT int32_t sms_cbs_decode(const uint8_t *page, uint32_t len, sms_cbs_page_t *out);
/* SMS_ENCODING_ value, or 255 when the scheme gives none. */
ONDRIX_EXPORT uint32_t sms_cbs_get_encoding(const sms_cbs_page_t *page);
ONDRIX_EXPORT int32_t sms_cbs_get_language(const sms_cbs_page_t *page);
ONDRIX_EXPORT int sms_cbs_is_popup(const sms_cbs_page_t *page);
ONDRIX_EXPORT int sms_cbs_is_user_alert(const sms_cbs_page_t *page);

#ifdef __cplusplus
}
#endif

#endif
