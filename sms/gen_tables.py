#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Writes sms/tables.c, the alphabet tables of the SMS codec.

The tables of 3GPP TS 23.038 stand below as the standard prints them: each
locking-shift alphabet as its 128 characters in code order, each single-shift
table as code -> character. From them this script writes the forward tables
(code to UTF-8 text) and the reverse tables (UCS-2 to code, sorted for
bsearch), and the transliterating reverse table, which maps Latin-1, Latin
Extended-A and Greek letters the default alphabet lacks onto the letters they
are written on. The output is committed; run this again after a change:

    python3 sms/gen_tables.py > sms/tables.c
"""
import sys
import unicodedata

ESC = 0x1B
NBSP = 0x00A0

# Locking-shift alphabets, code 0x00 to 0x7F; the escape is written as \x1b.
DEFAULT = (
    "@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞ\x1bÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
    "¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà")
TURKISH = (
    "@£$¥€éùıòÇ\nĞğ\rÅåΔ_ΦΓΛΩΠΨΣΘΞ\x1bŞşßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
    "İABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§çabcdefghijklmnopqrstuvwxyzäöñüà")
PORTUGUESE = (
    "@£$¥êéúíóç\nÔô\rÁáΔ_ªÇÀ∞^\\€Ó|\x1bÂâÊÉ !\"#º%&'()*+,-./0123456789:;<=>?"
    "ÍABCDEFGHIJKLMNOPQRSTUVWXYZÃÕÚÜ§~abcdefghijklmnopqrstuvwxyzãõ`üà")

# Single-shift tables.
DEFAULT_EXT = {0x0A: '\f', 0x14: '^', 0x28: '{', 0x29: '}', 0x2F: '\\', 0x3C: '[',
               0x3D: '~', 0x3E: ']', 0x40: '|', 0x65: '€'}
TURKISH_EXT = dict(DEFAULT_EXT) | ({
    0x47: 'Ğ', 0x49: 'İ', 0x53: 'Ş', 0x63: 'ç', 0x67: 'ğ', 0x69: 'ı', 0x73: 'ş'})
SPANISH_EXT = dict(DEFAULT_EXT) | ({
    0x09: 'ç', 0x41: 'Á', 0x49: 'Í', 0x4F: 'Ó', 0x55: 'Ú', 0x61: 'á', 0x69: 'í',
    0x6F: 'ó', 0x75: 'ú'})
PORTUGUESE_EXT = dict(DEFAULT_EXT) | ({
    0x05: 'ê', 0x09: 'ç', 0x0B: 'Ô', 0x0C: 'ô', 0x0E: 'Á', 0x0F: 'á', 0x12: 'Φ',
    0x13: 'Γ', 0x15: 'Ω', 0x16: 'Π', 0x17: 'Ψ', 0x18: 'Σ', 0x19: 'Θ', 0x1F: 'Ê',
    0x41: 'À', 0x49: 'Í', 0x4F: 'Ó', 0x55: 'Ú', 0x5B: 'Ã', 0x5C: 'Õ', 0x61: 'Â',
    0x69: 'í', 0x6F: 'ó', 0x75: 'ú', 0x7B: 'ã', 0x7C: 'õ', 0x7F: 'â'})

# Transliteration: the ranges covered, and the letters without a decomposition.
LATIN_RANGES = [(0x00C0, 0x00FF), (0x0100, 0x0131), (0x0134, 0x0137), (0x0139, 0x0148),
                (0x014C, 0x0151), (0x0154, 0x0173), (0x0178, 0x017E)]
HAND_MADE = {
    0x00D0: 'D', 0x0110: 'D', 0x00F0: 'd', 0x0111: 'd',
    0x00DE: 'T', 0x0166: 'T', 0x00FE: 't', 0x0167: 't',
    0x0126: 'H', 0x0127: 'h', 0x0131: 'i',
    0x013F: 'L', 0x0141: 'L', 0x0140: 'l', 0x0142: 'l',
    0x00D7: '*', 0x00F7: 'o',
}
GREEK_RANGE = (0x0386, 0x03CE)
# Greek capitals the default alphabet lacks, by the Latin capital of the same shape.
GREEK_LOOKALIKE = {
    'Α': 'A', 'Β': 'B', 'Ε': 'E', 'Ζ': 'Z', 'Η': 'H', 'Ι': 'I', 'Κ': 'K', 'Μ': 'M',
    'Ν': 'N', 'Ο': 'O', 'Ρ': 'P', 'Τ': 'T', 'Υ': 'Y', 'Χ': 'X',
}
# These stand twice in a row in the transliterating table; the sorted search tolerates it.
DOUBLED = {0x004B, 0x005F, 0x0072}


def c_string(ch):
    if ch == '"':
        return '"\\""'
    if ch == '\\':
        return '"\\\\"'
    if ch in '\n\r\f':
        return '"%s"' % {'\n': '\\n', '\r': '\\r', '\f': '\\f'}[ch]
    if ' ' <= ch <= '~':
        return '"%s"' % ch
    return '"%s"' % ''.join('\\x%02X' % b for b in ch.encode('utf-8'))


def label(ch):
    if ch in '\n\r\f':
        return {'\n': 'LF', '\r': 'CR', '\f': 'FF'}[ch]
    if ch == ' ':
        return 'SP'
    if ord(ch) == NBSP:
        return 'NBSP'
    return ch.replace('*/', '* /')


def base_letter(cp):
    fields = unicodedata.decomposition(chr(cp)).split()
    while fields and not fields[0].startswith('<'):
        cp = int(fields[0], 16)
        fields = unicodedata.decomposition(chr(cp)).split()
    return chr(cp)


def reverse_of(alphabet):
    table = {ord(ch): code for code, ch in enumerate(alphabet) if code != ESC}
    assert len(table) == 127, 'an alphabet has 127 distinct characters'
    table[NBSP] = 0x20
    return table


def transliterating():
    gsm = reverse_of(DEFAULT)
    table = dict(gsm)
    for first, last in LATIN_RANGES:
        for cp in range(first, last + 1):
            if cp not in table:
                table[cp] = gsm[ord(HAND_MADE.get(cp) or base_letter(cp))]
    for cp in range(GREEK_RANGE[0], GREEK_RANGE[1] + 1):
        if unicodedata.category(chr(cp)) == 'Cn' or not chr(cp).isalpha() or cp in table:
            continue
        capital = base_letter(cp).upper()
        if capital == 'Σ' or ord(capital) in gsm:
            table[cp] = gsm[ord('Σ' if capital == 'Σ' else capital)]
        else:
            table[cp] = gsm[ord(GREEK_LOOKALIKE[capital])]
    rows = []
    for cp in sorted(table):
        rows.extend([(cp, table[cp])] * (2 if cp in DOUBLED else 1))
    assert len(rows) == 346 and len(table) == 343
    return rows


def write_forward(out, name, alphabet):
    out.write('const char *const %s[128] = {\n' % name)
    for code, ch in enumerate(alphabet):
        if code == ESC:
            ch = chr(NBSP)    # never reached: the conversions treat 0x1B as the escape
        out.write('    /* 0x%02X %s */ %s,\n' % (code, label(ch), c_string(ch)))
    out.write('};\n\n')


def write_packed(out, name, alphabet):
    out.write('const uint8_t %s[128][5] = {\n' % name)
    for code, ch in enumerate(alphabet):
        if code == ESC:
            ch = chr(NBSP)
        octets = list(ch.encode('utf-8'))
        assert len(octets) <= 4
        row = octets + [0] * (4 - len(octets)) + [len(octets)]
        out.write('    {%s}, /* 0x%02X %s */\n' % (', '.join('0x%02X' % b for b in row), code, label(ch)))
    out.write('};\n\n')


def write_ext_forward(out, name, table):
    rows = sorted((dict(table) | {ESC: " "}).items())
    out.write('const sms_conv_ext_t %s[%d] = {\n' % (name, len(rows)))
    for code, ch in rows:
        out.write('    {0x%02X, %s}, /* %s */\n' % (code, c_string(ch), label(ch)))
    out.write('};\n\n')


def write_reverse(out, name, rows):
    out.write('const sms_conv_rev_t %s[%d] = {\n' % (name, len(rows)))
    for cp, code in rows:
        out.write('    {0x%04X, 0x%02X}, /* %s */\n' % (cp, code, unicodedata.name(chr(cp), label(chr(cp)))))
    out.write('};\n\n')


def write_membership(out):
    """Which tables hold each character: bit 0-2 the default, Turkish and
    Portuguese alphabets (locking shift), bit 3-6 the default, Turkish, Spanish
    and Portuguese extension tables (single shift). Characters below U+0400 by
    code point, the few above it in a sorted list."""
    masks = {}
    for bit, alphabet in enumerate((DEFAULT, TURKISH, PORTUGUESE)):
        for cp in reverse_of(alphabet):
            masks[cp] = masks.get(cp, 0) | (1 << bit)
    for bit, table in enumerate((DEFAULT_EXT, TURKISH_EXT, SPANISH_EXT, PORTUGUESE_EXT), start=3):
        for ch in table.values():
            masks[ord(ch)] = masks.get(ord(ch), 0) | (1 << bit)
    out.write('const uint8_t sms_shift_tables_low[0x400] = {\n')
    for row in range(0, 0x400, 16):
        out.write('    %s\n' % ' '.join('0x%02X,' % masks.get(cp, 0) for cp in range(row, row + 16)))
    out.write('};\n\n')
    high = sorted((cp, m) for cp, m in masks.items() if cp >= 0x400)
    write_reverse(out, 'sms_shift_tables_high', high)


def main(out):
    out.write('/* SPDX-License-Identifier: LGPL-2.1-or-later */\n')
    out.write('/* Alphabet tables of 3GPP TS 23.038. Generated by sms/gen_tables.py: do not edit. */\n\n')
    out.write('#include "tables.h"\n\n')
    for name, alphabet in (('default', DEFAULT), ('turkish', TURKISH), ('portuguese', PORTUGUESE)):
        assert len(alphabet) == 128
        write_forward(out, 'sms_%s_fwd' % name, alphabet)
        write_packed(out, 'sms_%s_fwd_utf8' % name, alphabet)
        write_reverse(out, 'sms_%s_rev' % name, sorted(reverse_of(alphabet).items()))
    for name, table in (('default', DEFAULT_EXT), ('turkish', TURKISH_EXT),
                        ('spanish', SPANISH_EXT), ('portuguese', PORTUGUESE_EXT)):
        write_ext_forward(out, 'sms_%s_ext_fwd' % name, table)
        write_reverse(out, 'sms_%s_ext_rev' % name, sorted((ord(ch), code) for code, ch in table.items()))
    write_reverse(out, 'sms_translit_rev', transliterating())
    write_membership(out)


if __name__ == '__main__':
    main(sys.stdout)
