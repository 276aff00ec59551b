// SPDX-License-Identifier: LGPL-2.1-or-later
// The codec's core: cursor, names, first octet, character sets, addresses,
// time stamps and validity periods.

#include <ondrix-qt/smscodec.h>

#include <QtTest>

#include <limits>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct CtxCloser {
    void operator()(sms_conv_ctx_t *ctx) const { sms_conv_ctx_close(ctx); }
};
using Ctx = std::unique_ptr<sms_conv_ctx_t, CtxCloser>;

Ctx open(int locking, int single) { return Ctx(sms_conv_ctx_open_locked(locking, single)); }

QVector<uint16_t> units(const QString &text)
{
    QVector<uint16_t> out;
    for (QChar ch : text)
        out << ch.unicode();
    return out;
}

// GSM codes of a text, or the status as a one-element negative list.
QByteArray toGsm(const QString &text, const sms_conv_ctx_t *ctx, int32_t *status = nullptr)
{
    const QVector<uint16_t> u = units(text);
    uint8_t *codes = nullptr;
    uint32_t count = 0;
    const int32_t rc = sms_conv_ucs2_to_gsm(u.constData(), uint32_t(u.size() * 2), &codes, &count, ctx);
    if (status)
        *status = rc;
    QByteArray result;
    if (rc == SMS_OK) {
        result = QByteArray(reinterpret_cast<char *>(codes), int(count));
        // Handed-out buffers carry a zero octet after their length.
        [&] { QCOMPARE(codes[count], uint8_t(0)); }();
    }
    std::free(codes);
    return result;
}

QString fromGsm(const QByteArray &codes, const sms_conv_ctx_t *ctx)
{
    char *text = nullptr;
    uint32_t len = 0;
    if (sms_conv_gsm_to_utf8(reinterpret_cast<const uint8_t *>(codes.constData()),
                             uint32_t(codes.size()), &text, &len, ctx) != SMS_OK)
        return QStringLiteral("<error>");
    const QString result = QString::fromUtf8(text, int(len));
    std::free(text);
    return result;
}

sms_cursor_t cursorOver(QByteArray &buffer)
{
    sms_cursor_t c;
    sms_cursor_init(&c, reinterpret_cast<uint8_t *>(buffer.data()), uint32_t(buffer.size()));
    return c;
}

QByteArray written(const QByteArray &buffer, const sms_cursor_t &c)
{
    return buffer.left(int(sms_cursor_used(&c)));
}

} // namespace

class TestSmsCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- Cursor ----

    void invalidCursorsFailEverything_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("null start") << 0;
        QTest::newRow("null pos") << 1;
        QTest::newRow("pos past end") << 2;
        QTest::newRow("pos before start") << 3;
    }

    void invalidCursorsFailEverything()
    {
        QFETCH(int, which);
        uint8_t buffer[4] = {};
        sms_cursor_t c{buffer + 1, buffer + 3, buffer + 2};
        switch (which) {
        case 0: c.start = nullptr; break;
        case 1: c.pos = nullptr; break;
        case 2: c.pos = buffer + 4; break;
        default: c.pos = buffer; break;
        }
        const sms_cursor_t before = c;
        QCOMPARE(sms_cursor_check(&c), 0);
        QCOMPARE(sms_cursor_incr(&c), 0);
        QCOMPARE(sms_cursor_decr(&c), 0);
        QCOMPARE(sms_cursor_incr_by(&c, 0), 0);
        QCOMPARE(sms_cursor_reset(&c), 0);
        QCOMPARE(int32_t(sms_cursor_len(&c)), -1);
        QCOMPARE(int32_t(sms_cursor_used(&c)), -1);
        QCOMPARE(int32_t(sms_cursor_total(&c)), -1);
        QVERIFY(std::memcmp(&c, &before, sizeof c) == 0);
        QCOMPARE(sms_cursor_check(nullptr), 0);
    }

    // ---- First octet ----

    void firstOctet_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("octet");
        QTest::addColumn<int>("rp");
        QTest::addColumn<int>("udhi");
        QTest::addColumn<int>("srr");
        QTest::addColumn<int>("vpf");
        QTest::addColumn<int>("rdOrMms");
        QTest::newRow("submit 0x71") << 1 << 0x71 << 0 << 1 << 1 << 0x10 << 0;
        QTest::newRow("submit all") << 1 << 0xFD << 1 << 1 << 1 << 0x18 << 1;
        QTest::newRow("deliver 0x44") << 0 << 0x44 << 0 << 1 << 0 << 0 << 1;
        QTest::newRow("deliver rp") << 0 << 0xA0 << 1 << 0 << 1 << 0 << 0;
        QTest::newRow("status report") << 2 << 0x66 << 0 << 1 << 1 << 0 << 1;
    }

    void firstOctet()
    {
        QFETCH(int, type);
        QFETCH(int, octet);
        sms_tpdu_t t = {};
        t.type = uint8_t(type);
        QByteArray buffer(1, char(octet));
        sms_cursor_t c = cursorOver(buffer);
        QCOMPARE(decode_bitfield(&c, &t), SMS_OK);
        QCOMPARE(sms_cursor_used(&c), 1u);
        QTEST(int(t.udhi), "udhi");
        QTEST(int(t.srr), "srr");
        if (type != 2)
            QTEST(int(t.reply_path), "rp");
        if (type == 1) {
            QTEST(int(t.vpf), "vpf");
            QTEST(int(t.reject_duplicates), "rdOrMms");
        } else {
            QTEST(int(t.mms), "rdOrMms");
        }
        // And back: non-zero flags count as set.
        if (t.udhi)
            t.udhi = 7;
        QByteArray out(1, '\0');
        sms_cursor_t w = cursorOver(out);
        QCOMPARE(encode_bitfield(&t, &w), SMS_OK);
        QCOMPARE(int(uint8_t(out[0])), octet);
    }

    // ---- Character sets ----

    // Every character of every table converts to its code and back.
    void everyCharacterRoundTrips_data()
    {
        QTest::addColumn<int>("locking");
        QTest::addColumn<int>("single");
        for (int locking : {0, 1, 3, -1})
            for (int single : {0, 1, 2, 3})
                QTest::addRow("locking %d single %d", locking, single) << locking << single;
    }

    void everyCharacterRoundTrips()
    {
        QFETCH(int, locking);
        QFETCH(int, single);
        Ctx ctx = open(locking, single);
        Ctx plain = open(0, single);
        for (uint32_t i = 0; i < ctx->base_rev_count; i++) {
            const sms_conv_rev_t entry = ctx->base_rev[i];
            const QString ch(QChar(entry.ucs2));
            QCOMPARE(toGsm(ch, ctx.get()), QByteArray(1, char(entry.gsm)));
            if (entry.ucs2 == 0x00A0)
                QCOMPARE(fromGsm(QByteArray(1, char(entry.gsm)), ctx.get()), QStringLiteral(" "));
            else if (locking != -1 || toGsm(ch, plain.get()) == QByteArray(1, char(entry.gsm)))
                QCOMPARE(fromGsm(QByteArray(1, char(entry.gsm)), ctx.get()), ch);
        }
        for (uint32_t i = 0; i < ctx->ext_rev_count; i++) {
            const sms_conv_rev_t entry = ctx->ext_rev[i];
            const QString ch(QChar(entry.ucs2));
            const QByteArray codes = toGsm(ch, ctx.get());
            // A character of the locking alphabet takes its one code before the single shift.
            if (codes.size() == 1)
                continue;
            QCOMPARE(codes, (QByteArray("\x1b", 1) + char(entry.gsm)));
            QCOMPARE(fromGsm(codes, ctx.get()), ch);
        }
    }

    void conversions_data()
    {
        QTest::addColumn<int>("locking");
        QTest::addColumn<int>("single");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("codes");   // empty: unconvertible

        QTest::newRow("euro") << 0 << 0 << "€" << QByteArray("\x1b\x65");
        QTest::newRow("bracket") << 0 << 0 << "[" << QByteArray("\x1b\x3c");
        QTest::newRow("form feed") << 0 << 0 << "\f" << QByteArray("\x1b\x0a");
        QTest::newRow("hello") << 0 << 0 << "hello" << QByteArray("hello");
        QTest::newRow("at sign") << 0 << 0 << "@" << QByteArray(1, '\0');
        for (int lang : {0, 1, 2, 3, -1})
            QTest::addRow("nbsp %d", lang) << lang << lang << QString(QChar(0x00A0)) << QByteArray(" ");
        QTest::newRow("turkish s cedilla locked") << 1 << 1 << "ş" << QByteArray("\x1d");
        QTest::newRow("turkish s cedilla shifted") << 0 << 1 << "ş" << QByteArray("\x1b\x73");
        QTest::newRow("turkish s cedilla default") << 0 << 0 << "ş" << QByteArray();
        QTest::newRow("spanish a acute") << 0 << 2 << "á" << QByteArray("\x1b\x61");
        QTest::newRow("portuguese locked a tilde") << 3 << 3 << "ã" << QByteArray("\x7b");
        // A letter each single-shift table places where no other does.
        QTest::newRow("turkish g breve shifted") << 0 << 1 << "ğ" << QByteArray("\x1b\x67");
        QTest::newRow("spanish A acute shifted") << 0 << 2 << "Á" << QByteArray("\x1b\x41");
        QTest::newRow("portuguese e circumflex shifted") << 0 << 3 << "ê" << QByteArray("\x1b\x05");
        QTest::newRow("portuguese a acute shifted") << 0 << 3 << "á" << QByteArray("\x1b\x0f");
        QTest::newRow("portuguese e circumflex not spanish") << 0 << 2 << "ê" << QByteArray();
        QTest::newRow("translit n tilde") << -1 << -1 << "ñ" << QByteArray("\x7d");
        QTest::newRow("translit c cedilla") << -1 << -1 << "ç" << QByteArray("c");
        QTest::newRow("translit sigma") << -1 << -1 << "σς" << QByteArray("\x18\x18");
        QTest::newRow("translit times") << -1 << -1 << "×" << QByteArray("*");
        QTest::newRow("translit w circumflex") << -1 << -1 << "Ŵ" << QByteArray();
        QTest::newRow("translit greek") << -1 << -1 << "αώΐ" << QByteArray("A\x15I");
        QTest::newRow("translit latin") << -1 << -1 << "ŁódźĐ" << QByteArray("LodzD");
        QTest::newRow("emoji") << 0 << 0 << "a😀" << QByteArray();
    }

    void conversions()
    {
        QFETCH(int, locking);
        QFETCH(int, single);
        QFETCH(QString, text);
        QFETCH(QByteArray, codes);
        Ctx ctx = open(locking, single);
        int32_t status = 0;
        const QByteArray result = toGsm(text, ctx.get(), &status);
        const QVector<uint16_t> u = units(text);
        const uint32_t required = sms_conv_gsm_chars_required(u.constData(), uint32_t(u.size() * 2), ctx.get());
        if (codes.isEmpty()) {
            QCOMPARE(status, SMS_ERR_BAD_CHAR);
            QCOMPARE(required, UINT32_MAX);
        } else {
            QCOMPARE(status, SMS_OK);
            QCOMPARE(result, codes);
            QCOMPARE(required, uint32_t(codes.size()));
        }
    }

    void requiredCount()
    {
        Ctx ctx = open(0, 0);
        const uint16_t text[] = {0x0061, 0x20AC};
        QCOMPARE(sms_conv_gsm_chars_required(text, 4, ctx.get()), 3u);
        QCOMPARE(sms_conv_gsm_chars_required(text, 3, ctx.get()), 1u);   // odd octet ignored
        QCOMPARE(sms_conv_gsm_chars_required(text, 1, ctx.get()), 0u);
        uint8_t *codes = nullptr;
        uint32_t count = 7;
        QCOMPARE(sms_conv_ucs2_to_gsm(text, 0, &codes, &count, ctx.get()), SMS_ERR_INVALID_PARAM);
        QCOMPARE(sms_conv_ucs2_to_gsm(text, 1, &codes, &count, ctx.get()), SMS_OK);
        QCOMPARE(count, 0u);
        QVERIFY(codes && codes[0] == 0);
        std::free(codes);
    }

    void gsmToText_data()
    {
        QTest::addColumn<int>("single");
        QTest::addColumn<QByteArray>("codes");
        QTest::addColumn<QString>("text");
        QTest::newRow("escape alone") << 0 << QByteArray("\x1b") << " ";
        QTest::newRow("escape escape") << 0 << QByteArray("\x1b\x1b") << " ";
        QTest::newRow("escape unknown") << 0 << QByteArray("\x1b\x41") << " ";
        QTest::newRow("spanish A acute") << 2 << QByteArray("\x1b\x41") << "Á";
        QTest::newRow("euro between") << 0 << QByteArray("a\x1b\x65z") << "a€z";
        QTest::newRow("greek and pound") << 0 << QByteArray("\x10\x01") << "Δ£";
        QTest::newRow("codes above 127") << 0 << QByteArray("a\x80\xff" "b") << "a  b";
        QTest::newRow("escape then high code") << 0 << QByteArray("\x1b\xe5") << " ";
    }

    void gsmToText()
    {
        QFETCH(int, single);
        QFETCH(QByteArray, codes);
        Ctx ctx = open(0, single);
        QTEST(fromGsm(codes, ctx.get()), "text");
    }

    void utf8AndUcs2_data()
    {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("back");
        QTest::newRow("ascii") << QByteArray("hello") << 5 << "hello";
        QTest::newRow("latin and euro") << QByteArray("Grüße €") << 7 << "Grüße €";
        QTest::newRow("emoji is a surrogate pair") << QByteArray("a😀b") << 4 << "a😀b";
        QTest::newRow("first and last of each length")
            << QByteArray("\x01\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\xf0\x90\x80\x80\xf4\x8f\xbf\xbf")
            << 10 << QString::fromUtf8("\x01\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\xf0\x90\x80\x80\xf4\x8f\xbf\xbf");
        QTest::newRow("NUL inside") << QByteArray("a\0b", 3) << 3 << QString::fromUtf8("a\0b", 3);
        QTest::newRow("cut inside a character") << QByteArray("ab\xe2\x82") << 2 << "ab";
        QTest::newRow("cut inside an emoji") << QByteArray("x\xf0\x9f\x98") << 1 << "x";
        QTest::newRow("empty") << QByteArray() << 0 << "";
    }

    void utf8AndUcs2()
    {
        QFETCH(QByteArray, utf8);
        QFETCH(int, units);
        Ctx ctx = open(0, 0);
        uint16_t *ucs2 = nullptr;
        uint32_t bytes = 0;
        QCOMPARE(sms_conv_utf8_to_ucs2(utf8.constData(), uint32_t(utf8.size()), &ucs2, &bytes, ctx.get()), SMS_OK);
        QCOMPARE(int(bytes), units * 2);
        QCOMPARE(ucs2[units], uint16_t(0));
        char *text = nullptr;
        uint32_t len = 0;
        QCOMPARE(sms_conv_ucs2_to_utf8(ucs2, bytes, &text, &len), SMS_OK);
        QCOMPARE(text[len], '\0');
        QTEST(QString::fromUtf8(text, int(len)), "back");
        std::free(text);
        std::free(ucs2);
    }

    void malformedTextIsRefused()
    {
        Ctx ctx = open(0, 0);
        uint16_t *ucs2 = nullptr;
        uint32_t bytes = 0;
        // Not UTF-8: a stray octet, a stray continuation, overlong forms, an
        // encoded surrogate, beyond U+10FFFF, a lead without its continuation.
        for (const QByteArray &bad : {QByteArray("a\xff" "b"), QByteArray("\x80"), QByteArray("\xc0\xaf"),
                                      QByteArray("\xe0\x80\xaf"), QByteArray("\xf0\x80\x80\xaf"),
                                      QByteArray("\xed\xa0\x80"), QByteArray("\xf4\x90\x80\x80"),
                                      QByteArray("\xe2\x82x"), QByteArray("\xf5\x80\x80\x80")}) {
            QCOMPARE(sms_conv_utf8_to_ucs2(bad.constData(), uint32_t(bad.size()), &ucs2, &bytes, ctx.get()),
                     SMS_ERR_CONVERSION);
            QVERIFY(!ucs2);
        }
        const uint16_t lone[] = {0x0061, 0xDC00, 0x0062};
        char *text = nullptr;
        uint32_t len = 0;
        QCOMPARE(sms_conv_ucs2_to_utf8(lone, sizeof lone, &text, &len), SMS_ERR_CONVERSION);
        QVERIFY(!text);
        // The context still converts after a failure.
        QCOMPARE(sms_conv_utf8_to_ucs2("ok", 2, &ucs2, &bytes, ctx.get()), SMS_OK);
        QCOMPARE(bytes, 4u);
        std::free(ucs2);
    }

    // A fill above 6 counts as none; no septets with a fill still take the fill's octet.
    void packBoundaries()
    {
        const uint8_t hello[] = {'h', 'e', 'l', 'l', 'o'};
        uint8_t out[8];
        QCOMPARE(sms_conv_pack(hello, out, 5, 9), 5);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(out), 5).toHex(), QByteArray("e8329bfd06"));
        out[0] = 0x55;
        QCOMPARE(sms_conv_pack(hello, out, 0, 3), 1);
        QCOMPARE(out[0], uint8_t(0));
        QCOMPARE(sms_conv_unpack(nullptr, out, 1, 0), -1);
    }

    void packUnpackAreInverse()
    {
        std::vector<uint8_t> codes(160), packed(150), back(160);
        for (int fill = 0; fill <= 6; fill++) {
            for (int count = 0; count <= 160; count++) {
                for (int i = 0; i < count; i++)
                    codes[size_t(i)] = uint8_t((i * 37 + fill * 11 + count) & 0x7F);
                const int octets = sms_conv_pack(codes.data(), packed.data(), count, uint32_t(fill));
                const int expected = count == 0 ? (fill ? 1 : 0) : (fill + 7 * count + 7) / 8;
                QCOMPARE(octets, expected);
                if (count == 8 && fill == 0)
                    QCOMPARE(octets, 7);
                QCOMPARE(sms_conv_unpack(packed.data(), back.data(), count, uint32_t(fill)), count);
                QVERIFY(std::equal(codes.begin(), codes.begin() + count, back.begin()));
                if (fill)
                    QCOMPARE(packed[0] & ((1 << fill) - 1), 0);   // fill bits are zero
            }
        }
    }

    // ---- Addresses ----

    void addressEncode_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<uint>("ton");
        QTest::addColumn<uint>("npi");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("octets");
        QTest::newRow("international") << "+4412345" << 1u << 1u << 0 << QByteArray::fromHex("07914421 43F5");
        QTest::newRow("star and hash") << "12*#" << 0u << 0u << 0 << QByteArray::fromHex("048021BA");
        QTest::newRow("letters") << "abc1" << 0u << 1u << 0 << QByteArray::fromHex("0481DC1E");
        QTest::newRow("empty") << "" << 1u << 1u << 0 << QByteArray::fromHex("0091");
        QTest::newRow("alphanumeric") << "Shop" << 5u << 0u << int(SMS_ERR_NOT_IMPLEMENTED) << QByteArray::fromHex("00D0");
        QTest::newRow("upper case letter") << "12A" << 0u << 0u << int(SMS_ERR_INVALID_ADDRESS) << QByteArray::fromHex("008021");
        QTest::newRow("20 digits") << "+12345678901234567890" << 1u << 1u << 0
                                   << QByteArray::fromHex("149121436587092143658709");
        QTest::newRow("21 digits") << "+123456789012345678901" << 1u << 1u << int(SMS_ERR_INVALID_ADDRESS)
                                   << QByteArray::fromHex("009121436587092143658709");
    }

    void addressEncode()
    {
        QFETCH(QString, number);
        QFETCH(QByteArray, octets);
        sms_addr_t addr = {};
        QFETCH(uint, ton);
        QFETCH(uint, npi);
        addr.ton = ton;
        addr.npi = npi;
        std::strncpy(addr.number, number.toUtf8().constData(), sizeof addr.number - 1);
        QByteArray buffer(16, '\0');
        sms_cursor_t c = cursorOver(buffer);
        QTEST(sms_addr_encode(&addr, &c), "status");
        QCOMPARE(written(buffer, c).toHex(), octets.toHex());
    }

    void addressEncodeNeedsRoom()
    {
        sms_addr_t addr = {};
        addr.ton = 1;
        addr.npi = 1;
        std::strcpy(addr.number, "+4412345");
        for (int size = 0; size < 6; size++) {
            QByteArray buffer(size, '\0');
            uint8_t dummy = 0;
            sms_cursor_t c;
            sms_cursor_init(&c, size ? reinterpret_cast<uint8_t *>(buffer.data()) : &dummy, uint32_t(size));
            QCOMPARE(sms_addr_encode(&addr, &c), SMS_ERR_BUFFER_OVERRUN);
        }
    }

    void addressDecode_data()
    {
        QTest::addColumn<QByteArray>("octets");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("number");
        QTest::addColumn<uint>("ton");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<int>("used");
        QTest::newRow("international") << QByteArray::fromHex("0B914421436587F9") << 0 << "+44123456789" << 1u << 0u << 8;
        QTest::newRow("national") << QByteArray::fromHex("0481DC1E") << 0 << "abc1" << 0u << 0u << 4;
        QTest::newRow("empty") << QByteArray::fromHex("0091") << 0 << "" << 1u << 0u << 2;
        QTest::newRow("22 semi-octets") << QByteArray::fromHex("1691") + QByteArray(11, '\x11') << int(SMS_ERR_INVALID_ADDRESS) << "+" << 1u << 0u << -1;
        QTest::newRow("truncated") << QByteArray::fromHex("0B9144214365") << int(SMS_ERR_BUFFER_OVERRUN) << "" << 1u << 0u << -1;
        QTest::newRow("no type octet") << QByteArray::fromHex("0B") << int(SMS_ERR_INVALID_ADDRESS) << "" << 0u << 0u << -1;
        QTest::newRow("nothing") << QByteArray() << int(SMS_ERR_INVALID_ADDRESS) << "" << 0u << 0u << -1;
        QTest::newRow("mwi active") << QByteArray::fromHex("04D01100") << 0 << "" << 5u << 3u << -1;
        QTest::newRow("mwi line 2") << QByteArray::fromHex("04D09000") << 0 << "" << 5u << 5u << -1;
        QTest::newRow("alphanumeric") << QByteArray::fromHex("07D053F41B0E") << 0 << "Shop" << 5u << 0u << 6;
        QTest::newRow("special pattern") << QByteArray::fromHex("0BD0404D64D3500000") << 0 << "" << 5u << 0x80u << 8;
    }

    void addressDecode()
    {
        QFETCH(QByteArray, octets);
        QFETCH(QString, number);
        QFETCH(int, used);
        QFETCH(int, status);
        sms_addr_t addr = {};
        QByteArray buffer = octets;
        uint8_t dummy = 0;
        sms_cursor_t c;
        sms_cursor_init(&c, buffer.isEmpty() ? &dummy : reinterpret_cast<uint8_t *>(buffer.data()),
                        uint32_t(buffer.size()));
        QCOMPARE(sms_addr_decode(&c, &addr), status);
        if (status == SMS_OK && !number.isEmpty())
            QCOMPARE(QString::fromUtf8(addr.number), number);
        QTEST(addr.ton, "ton");
        QTEST(addr.flags, "flags");
        if (used >= 0)
            QCOMPARE(int(sms_cursor_used(&c)), used);
    }

    // The field holds 24 octets: nothing may be written past it.
    void addressDecodeLongestCases()
    {
        // 20 semi-octets of alphanumeric text: 11 septets, each a two-octet character.
        uint8_t deltas[11];
        std::memset(deltas, 0x10, sizeof deltas);
        QByteArray field = QByteArray::fromHex("14D0");
        QByteArray packed(10, '\0');
        sms_conv_pack(deltas, reinterpret_cast<uint8_t *>(packed.data()), 11, 0);
        field += packed;

        sms_addr_t addr = {};
        sms_cursor_t c = cursorOver(field);
        QCOMPARE(sms_addr_decode(&c, &addr), SMS_OK);
        QCOMPARE(QString::fromUtf8(addr.number), QString(11, QChar(0x0394)));
        QCOMPARE(std::strlen(addr.number), size_t(22));

        // The same after text already present does not fit: refused, field intact.
        sms_addr_t prefixed = {};
        std::strcpy(prefixed.number, "12345");
        sms_cursor_t again = cursorOver(field);
        QCOMPARE(sms_addr_decode(&again, &prefixed), SMS_ERR_INVALID_ADDRESS);
        QVERIFY(std::memchr(prefixed.number, 0, sizeof prefixed.number));

        // Twenty digits after nine characters of text.
        QByteArray digits = QByteArray::fromHex("1491") + QByteArray(10, '\x21');
        sms_addr_t long_digits = {};
        std::strcpy(long_digits.number, "123456789");
        sms_cursor_t d = cursorOver(digits);
        QCOMPARE(sms_addr_decode(&d, &long_digits), SMS_ERR_INVALID_ADDRESS);
        QVERIFY(std::memchr(long_digits.number, 0, sizeof long_digits.number));

        // Text without a terminator within its first ten octets.
        sms_addr_t unterminated;
        std::memset(&unterminated, 'x', sizeof unterminated);
        sms_cursor_t e = cursorOver(digits);
        QCOMPARE(sms_addr_decode(&e, &unterminated), SMS_ERR_PARSE);
    }

    void addressValidity_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("valid");
        QTest::newRow("plus alone") << QByteArray("+") << 0;
        QTest::newRow("empty") << QByteArray("") << 0;
        QTest::newRow("21 digits") << QByteArray(21, '1') << 0;
        QTest::newRow("plus and 20 digits") << "+" + QByteArray(20, '1') << 1;
        QTest::newRow("upper case") << QByteArray("ABC") << 0;
        QTest::newRow("lower case") << QByteArray("abc") << 1;
        QTest::newRow("service code") << QByteArray("*#06#") << 1;
        QTest::newRow("two plus signs") << QByteArray("++1") << 0;
        QTest::newRow("space") << QByteArray("12 3") << 0;
    }

    void addressValidity()
    {
        QFETCH(QByteArray, text);
        QTEST(sms_addr_string_is_valid(text.constData()), "valid");
        sms_addr_t addr = {};
        addr.ton = 7;
        const int32_t rc = sms_addr_set_from_string(&addr, text.constData());
        QCOMPARE(rc, sms_addr_string_is_valid(text.constData()) ? SMS_OK : SMS_ERR_INVALID_PARAM);
        if (rc == SMS_OK)
            QCOMPARE(QByteArray(addr.number), text);
        QCOMPARE(addr.ton, 7u);
        QCOMPARE(sms_addr_string_is_valid(nullptr), 0);
    }

    void addressMatch_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("match");
        QTest::newRow("short equal") << QByteArray("123456") << QByteArray("123456") << 0;
        QTest::newRow("seven") << QByteArray("1234567") << QByteArray("0234567") << 1;
        QTest::newRow("international") << QByteArray("+441234567890") << QByteArray("01234567890") << 1;
        QTest::newRow("different") << QByteArray("+441234567890") << QByteArray("01234567891") << 0;
        QTest::newRow("short") << QByteArray("12345") << QByteArray("12345") << 0;
    }

    void addressMatch()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QTEST(sms_addr_match(a.constData(), b.constData()), "match");
        QTEST(sms_addr_match(b.constData(), a.constData()), "match");
    }

    // ---- Time stamps ----

    void timeDecode_data()
    {
        QTest::addColumn<QByteArray>("octets");
        QTest::addColumn<int>("status");
        QTest::addColumn<QDateTime>("local");
        QTest::addColumn<int>("tz");
        const QDateTime feb11(QDate(2012, 2, 11), QTime(13, 50, 41), Qt::UTC);
        QTest::newRow("2012-02-11") << QByteArray::fromHex("21201131051400") << 0 << feb11 << 0;
        QTest::newRow("east") << QByteArray::fromHex("21201131051440") << 0 << feb11 << 3600;
        QTest::newRow("west") << QByteArray::fromHex("21201131051448") << 0 << feb11 << -3600;
        QTest::newRow("leap day") << QByteArray::fromHex("02209232000000") << 0
                                  << QDateTime(QDate(2020, 2, 29), QTime(23, 0, 0), Qt::UTC) << 0;
        QTest::newRow("after 2038") << QByteArray::fromHex("99211332959500") << 0
                                    << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59), Qt::UTC) << 0;
        QTest::newRow("month 13") << QByteArray::fromHex("21311131051400") << int(SMS_ERR_PARSE) << QDateTime() << 0;
        QTest::newRow("month 0") << QByteArray::fromHex("21001131051400") << int(SMS_ERR_PARSE) << QDateTime() << 0;
        QTest::newRow("nibble A") << QByteArray::fromHex("2A201131051400") << int(SMS_ERR_PARSE) << QDateTime() << 0;
        QTest::newRow("zone nibble") << QByteArray::fromHex("212011310514A0") << int(SMS_ERR_PARSE) << QDateTime() << 0;
        QTest::newRow("six octets") << QByteArray::fromHex("212011310514") << int(SMS_ERR_BUFFER_OVERRUN) << QDateTime() << 0;
    }

    void timeDecode()
    {
        QFETCH(QByteArray, octets);
        QFETCH(int, status);
        QFETCH(QDateTime, local);
        QFETCH(int, tz);
        sms_time_t t = {};
        sms_cursor_t c = cursorOver(octets);
        QCOMPARE(sms_time_decode(&c, &t), status);
        if (status != SMS_OK) {
            QCOMPARE(sms_cursor_used(&c), 0u);
            return;
        }
        QCOMPARE(sms_cursor_used(&c), 7u);
        QCOMPARE(t.tz, tz);
        QCOMPARE(t.utc, local.toSecsSinceEpoch() - tz);
        // And back to the same octets.
        QByteArray out(7, '\0');
        sms_cursor_t w = cursorOver(out);
        QCOMPARE(sms_time_encode(&t, &w), SMS_OK);
        QCOMPARE(out.toHex(), octets.toHex());
    }

    void timeEncode()
    {
        sms_time_t t = {};
        QCOMPARE(sms_time_set_from_tuple(&t, 12, 2, 11, 13, 50, 41, -3600), SMS_OK);
        QCOMPARE(t.utc, QDateTime(QDate(2012, 2, 11), QTime(13, 50, 41), Qt::UTC).toSecsSinceEpoch());
        t.utc += 3600;   // the tuple is local time
        QByteArray out(7, '\0');
        sms_cursor_t c = cursorOver(out);
        QCOMPARE(sms_time_encode(&t, &c), SMS_OK);
        QCOMPARE(out.toHex(), QByteArray("21201131051448"));

        QCOMPARE(sms_time_set_from_tuple(nullptr, 0, 1, 1, 0, 0, 0, 0), SMS_ERR_INVALID_PARAM);
        QByteArray small(6, '\0');
        sms_cursor_t s = cursorOver(small);
        QCOMPARE(sms_time_encode(&t, &s), SMS_ERR_BUFFER_OVERRUN);
        sms_time_t old = {946684799, 0};   // 1999-12-31 23:59:59
        sms_cursor_t o = cursorOver(out);
        QCOMPARE(sms_time_encode(&old, &o), SMS_ERR_INVALID_PARAM);
    }

    // Fields outside their range are refused, never folded or overflowed.
    void timeRefusesWhatItCannotHold_data()
    {
        QTest::addColumn<qint64>("utc");
        QTest::addColumn<int>("tz");
        QTest::newRow("latest utc") << std::numeric_limits<qint64>::max() << 3600;
        QTest::newRow("earliest utc") << std::numeric_limits<qint64>::min() << -3600;
        QTest::newRow("earliest zone") << qint64(1000000000) << std::numeric_limits<int>::min();
        QTest::newRow("80 quarters") << qint64(1000000000) << 80 * 900;
        QTest::newRow("2100") << qint64(4102444800) << 0;
    }

    void timeRefusesWhatItCannotHold()
    {
        QFETCH(qint64, utc);
        QFETCH(int, tz);
        sms_time_t t = {utc, tz};
        QByteArray out(7, '\0');
        sms_cursor_t c = cursorOver(out);
        QCOMPARE(sms_time_encode(&t, &c), SMS_ERR_INVALID_PARAM);
        QCOMPARE(sms_cursor_used(&c), 0u);
    }

    void timeTupleRefusesOutOfRangeFields_data()
    {
        QTest::addColumn<QList<uint>>("fields");   // yy month day hour minute second
        QTest::addColumn<int>("status");
        QTest::newRow("month 0") << QList<uint>{12, 0, 1, 0, 0, 0} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("month 13") << QList<uint>{12, 13, 1, 0, 0, 0} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("30 February") << QList<uint>{12, 2, 30, 0, 0, 0} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("29 February, leap") << QList<uint>{12, 2, 29, 0, 0, 0} << 0;
        QTest::newRow("29 February") << QList<uint>{13, 2, 29, 0, 0, 0} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("day 0") << QList<uint>{12, 1, 0, 0, 0, 0} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("hour 24") << QList<uint>{12, 1, 1, 24, 0, 0} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("minute 60") << QList<uint>{12, 1, 1, 0, 60, 0} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("second 60") << QList<uint>{12, 1, 1, 0, 0, 60} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("year 100") << QList<uint>{100, 1, 1, 0, 0, 0} << int(SMS_ERR_INVALID_PARAM);
        QTest::newRow("last second") << QList<uint>{99, 12, 31, 23, 59, 59} << 0;
    }

    void timeTupleRefusesOutOfRangeFields()
    {
        QFETCH(QList<uint>, fields);
        sms_time_t t = {7, 7};
        QTEST(sms_time_set_from_tuple(&t, fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], 0),
              "status");
        QFETCH(int, status);
        if (status != SMS_OK)
            QCOMPARE(t.utc, qint64(7));   // untouched
    }

    void timeRoundTrips()
    {
        for (int64_t utc = 946684800 + 86400; utc < 4102444800 - 86400; utc += 86400 * 37 + 3607) {
            for (int quarters : {-48, -1, 0, 1, 13, 56}) {
                sms_time_t t = {utc, quarters * 900};
                QByteArray out(7, '\0');
                sms_cursor_t c = cursorOver(out);
                QCOMPARE(sms_time_encode(&t, &c), SMS_OK);
                sms_time_t back = {};
                sms_cursor_t r = cursorOver(out);
                QCOMPARE(sms_time_decode(&r, &back), SMS_OK);
                QCOMPARE(back.utc, t.utc);
                QCOMPARE(back.tz, t.tz);
            }
        }
    }

    // ---- Validity periods ----

    void relativeValidity_data()
    {
        QTest::addColumn<int>("vp");
        QTest::addColumn<uint>("seconds");
        const int rows[][2] = {{-1, 0}, {0, 300}, {143, 43200}, {144, 45000}, {167, 86400},
                               {168, 172800}, {196, 2592000}, {197, 3024000}, {255, 38102400},
                               {256, 0}};
        for (const auto &row : rows)
            QTest::addRow("vp %d", row[0]) << row[0] << uint(row[1]);
    }

    void relativeValidity()
    {
        QFETCH(int, vp);
        QFETCH(uint, seconds);
        sms_tpdu_t t = {};
        t.vp = vp;
        QCOMPARE(sms_tpdu_get_validity_relative(&t), seconds);
        if (seconds)
            QCOMPARE(sms_validity_seconds_to_relative(seconds), vp);
    }

    void secondsToRelative_data()
    {
        QTest::addColumn<uint>("seconds");
        QTest::addColumn<int>("code");
        const uint rows[][2] = {{1, 0}, {300, 0}, {301, 1}, {43200, 143}, {43201, 144},
                                {86400, 167}, {86401, 168}, {2592000, 196}, {2592001, 197},
                                {3024000, 197}, {3024001, 198}, {38102400, 255}, {38102401, 255},
                                {4000000000u, 255}};
        for (const auto &row : rows)
            QTest::addRow("%u s", row[0]) << row[0] << int(row[1]);
    }

    void secondsToRelative()
    {
        QFETCH(uint, seconds);
        QTEST(sms_validity_seconds_to_relative(seconds), "code");
        // The code never gives less time than asked for, up to its largest.
        sms_tpdu_t t = {};
        t.vp = sms_validity_seconds_to_relative(seconds);
        if (seconds <= 38102400)
            QVERIFY(sms_tpdu_get_validity_relative(&t) >= seconds);
    }

    void validityFields_data()
    {
        QTest::addColumn<int>("vpf");
        QTest::addColumn<int>("vp");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QByteArray>("octets");
        QTest::newRow("none") << 0x00 << 0 << qint64(0) << QByteArray();
        QTest::newRow("relative") << 0x10 << 167 << qint64(0) << QByteArray::fromHex("A7");
        QTest::newRow("absolute") << 0x18 << 0 << QDateTime(QDate(2012, 2, 11), QTime(13, 50, 41), Qt::UTC).toSecsSinceEpoch()
                                  << QByteArray::fromHex("21201131051400");
        QTest::newRow("enhanced none") << 0x08 << 0x40 << qint64(0) << QByteArray::fromHex("40000000000000");
        QTest::newRow("enhanced relative") << 0x08 << 0x01 << qint64(167) << QByteArray::fromHex("01A70000000000");
        QTest::newRow("enhanced seconds") << 0x08 << 0x02 << qint64(45) << QByteArray::fromHex("022D0000000000");
        QTest::newRow("enhanced hh:mm:ss") << 0x08 << 0x03 << qint64(12 * 3600 + 34 * 60 + 56)
                                           << QByteArray::fromHex("03214365000000");
    }

    void validityFields()
    {
        QFETCH(int, vpf);
        QFETCH(int, vp);
        QFETCH(qint64, value);
        QFETCH(QByteArray, octets);
        sms_tpdu_t t = {};
        t.type = SMS_TYPE_SUBMIT;
        t.vpf = uint8_t(vpf);
        t.vp = vp;
        t.scts.utc = value;
        QByteArray out(8, '\0');
        sms_cursor_t c = cursorOver(out);
        QCOMPARE(encode_validity_period(&t, &c), SMS_OK);
        QCOMPARE(written(out, c).toHex(), octets.toHex());

        sms_tpdu_t back = {};
        back.vpf = uint8_t(vpf);
        back.vp = 99;
        QByteArray wire = octets;
        uint8_t dummy = 0;
        sms_cursor_t r;
        sms_cursor_init(&r, wire.isEmpty() ? &dummy : reinterpret_cast<uint8_t *>(wire.data()), uint32_t(wire.size()));
        QCOMPARE(decode_validity_period(&r, &back), SMS_OK);
        QCOMPARE(sms_cursor_len(&r), 0u);
        QCOMPARE(back.vp, vpf == 0x18 ? 0 : vp);
        if (vpf == 0x18 || vpf == 0x08)
            QCOMPARE(back.scts.utc, value);
        QCOMPARE(sms_tpdu_get_validity_absolute(&back) != nullptr, vpf == 0x18);

        // Every shorter input is refused.
        for (int size = 0; size < octets.size(); size++) {
            QByteArray cut = octets.left(size);
            sms_tpdu_t partial = {};
            partial.vpf = uint8_t(vpf);
            sms_cursor_t p;
            sms_cursor_init(&p, size ? reinterpret_cast<uint8_t *>(cut.data()) : &dummy, uint32_t(size));
            QCOMPARE(decode_validity_period(&p, &partial), SMS_ERR_BUFFER_OVERRUN);
        }
    }

    void validityFailures()
    {
        sms_tpdu_t t = {};
        QByteArray out(8, '\0');
        sms_cursor_t c = cursorOver(out);
        t.vpf = 0x04;
        QCOMPARE(encode_validity_period(&t, &c), SMS_ERR_UNSUPPORTED);
        QCOMPARE(decode_validity_period(&c, &t), SMS_ERR_UNSUPPORTED);
        QCOMPARE(encode_validity_period(nullptr, &c), SMS_ERR_INVALID_PARAM);
        t.vpf = 0x08;
        t.vp = 0x05;   // a reserved enhanced format
        QCOMPARE(encode_validity_period(&t, &c), SMS_ERR_UNSUPPORTED);
        t.vp = 0x02;
        t.scts.utc = 256;
        QCOMPARE(encode_validity_period(&t, &c), SMS_ERR_INVALID_PARAM);
        QByteArray badTime = QByteArray::fromHex("03FF4365000000");
        sms_cursor_t b = cursorOver(badTime);
        QCOMPARE(decode_validity_period(&b, &t), SMS_ERR_PARSE);
    }
};

QTEST_APPLESS_MAIN(TestSmsCore)
#include "tst_smscore.moc"
