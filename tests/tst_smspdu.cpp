// SPDX-License-Identifier: LGPL-2.1-or-later
// The PDUs of the codec: TPDUs, user data headers, messages split into
// segments and joined again, and cell broadcast pages.

#include <ondrix-qt/smscodec.h>

#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

// Owns what the codec hands out.
struct Tpdu : sms_tpdu_t {
    Tpdu() : sms_tpdu_t() {}
    ~Tpdu()
    {
        sms_info_list_destroy(&info);
        free(ud);
    }
    Tpdu(const Tpdu &) = delete;
};

struct Msg {
    sms_msg_t *m;
    explicit Msg(sms_msg_t *msg = sms_msg_new()) : m(msg) {}
    ~Msg() { sms_msg_destroy(m); }
    sms_msg_t *operator->() const { return m; }
};

struct Raw {
    sms_raw_pdu_t *pdus = nullptr;
    uint32_t count = 0;
    ~Raw() { sms_msg_raw_destroy(pdus, count); }
    QByteArray hex(uint32_t i) const
    {
        return QByteArray(reinterpret_cast<const char *>(pdus[i].data), int(pdus[i].len)).toHex().toUpper();
    }
};

QByteArray encoded(const sms_tpdu_t &t, int32_t *status = nullptr)
{
    uint8_t *pdu = nullptr;
    uint32_t len = 0;
    const int32_t rc = sms_tpdu_encode(&t, &pdu, &len);
    if (status)
        *status = rc;
    const QByteArray out = rc == SMS_OK ? QByteArray(reinterpret_cast<char *>(pdu), int(len)) : QByteArray();
    free(pdu);
    return out;
}

int32_t decode(const QByteArray &pdu, sms_tpdu_t &t)
{
    return sms_tpdu_decode(reinterpret_cast<const uint8_t *>(pdu.constData()), uint32_t(pdu.size()), &t);
}

void addElement(sms_tpdu_t &t, uint32_t id, const QByteArray &data)
{
    sms_info_list_add(&t.info, sms_info_new_from_data(id, reinterpret_cast<const uint8_t *>(data.constData()),
                                                      uint32_t(data.size())));
    t.udhi = 1;
}

QByteArray elementData(const sms_tpdu_t &t, uint32_t id)
{
    const sms_info_t *ie = sms_info_list_get(t.info, id);
    return ie ? QByteArray(reinterpret_cast<const char *>(ie->data), int(ie->len)) : QByteArray("none");
}

void setUd(sms_tpdu_t &t, const QByteArray &bytes)
{
    free(t.ud);
    t.ud = static_cast<uint8_t *>(calloc(size_t(bytes.size()) + 2, 1));
    memcpy(t.ud, bytes.constData(), size_t(bytes.size()));
    t.udl = uint32_t(bytes.size());
}

// The texts the message layer must carry intact, with their language.
struct Sample {
    const char *name;
    int lang;
    QString text;
};

// The fewest segments any pair of the allowed languages' tables sends a
// message in, each pair sized by itself.
uint32_t fewestSegments(const sms_msg_t *msg, uint32_t allowed)
{
    uint32_t best = UINT32_MAX;
    for (int locking : {0, 1, 3}) {
        for (int single : {0, 1, 2, 3}) {
            if ((locking && !(allowed & SMS_LANG_BIT(locking))) || (single && !(allowed & SMS_LANG_BIT(single))))
                continue;
            std::unique_ptr<sms_conv_ctx_t, void (*)(sms_conv_ctx_t *)> ctx(sms_conv_ctx_open_locked(locking, single),
                                                                              sms_conv_ctx_close);
            sms_msg_size_t size;
            if (sms_msg_get_size(msg, &size, ctx.get()) == SMS_OK)
                best = std::min(best, size.segments);
        }
    }
    return best;
}

QString repeated(const QString &piece, int length)
{
    QString text;
    while (text.size() < length)
        text += piece;
    return text.left(length);
}

} // namespace

class TestSmsPdu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- TPDUs ----

    void submitHello()
    {
        Tpdu t;
        t.type = SMS_TYPE_SUBMIT;
        t.vpf = SMS_VPF_RELATIVE;
        t.vp = 0xA7;
        t.addr.ton = 1;
        t.addr.npi = 1;
        strcpy(t.addr.number, "+4412345");
        setUd(t, QByteArray("hello"));
        QCOMPARE(encoded(t).toHex().toUpper(), QByteArray("11000791442143F50000A705E8329BFD06"));

        Tpdu back;
        QCOMPARE(decode(encoded(t), back), SMS_OK);
        QCOMPARE(int(back.type), int(SMS_TYPE_SUBMIT));
        QCOMPARE(QByteArray(back.addr.number), QByteArray("+4412345"));
        QCOMPARE(back.vp, 0xA7);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(back.ud), int(back.udl)), QByteArray("hello"));
    }

    void encodeRefusesDataThatDoesNotFit()
    {
        Tpdu t;
        t.type = SMS_TYPE_SUBMIT;
        t.dcs = 0x04;   // 8-bit
        strcpy(t.addr.number, "123");
        setUd(t, QByteArray(141, 'x'));
        int32_t status = 0;
        encoded(t, &status);
        QCOMPARE(status, SMS_ERR_BUFFER_OVERRUN);
        setUd(t, QByteArray(140, 'x'));
        QCOMPARE(encoded(t, &status).size(), 1 + 1 + 4 + 1 + 1 + 1 + 140);
        t.dcs = 0;
        setUd(t, QByteArray(161, 'x'));
        encoded(t, &status);
        QCOMPARE(status, SMS_ERR_BUFFER_OVERRUN);
    }

    void decodeDeliver_data()
    {
        QTest::addColumn<QByteArray>("pdu");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QByteArray>("ud");
        // DELIVER from +44123456789, 2012-02-11, "hello".
        const QByteArray head = QByteArray::fromHex("040B914421436587F9000021201131051400");
        QTest::newRow("hello") << head + QByteArray::fromHex("05E8329BFD06") << 0 << "+44123456789" << QByteArray("hello");
        QTest::newRow("no user data") << head + QByteArray::fromHex("00") << 0 << "+44123456789" << QByteArray();
        QByteArray odd = head + QByteArray::fromHex("05E8329BFD06");
        odd[0] = 0x03;
        QTest::newRow("first octet 0x03") << odd << 0 << "+44123456789" << QByteArray("hello");
        QTest::newRow("user data cut") << head + QByteArray::fromHex("05E8329BFD") << int(SMS_ERR_BUFFER_OVERRUN) << "" << QByteArray();
        QTest::newRow("no length") << head << int(SMS_ERR_BUFFER_OVERRUN) << "" << QByteArray();
        QTest::newRow("ucs2") << QByteArray::fromHex("040B914421436587F90008212011310514000400E420AC")
                              << 0 << "+44123456789" << QByteArray::fromHex("E400AC20");
    }

    void decodeDeliver()
    {
        QFETCH(QByteArray, pdu);
        QFETCH(int, status);
        Tpdu t;
        QCOMPARE(decode(pdu, t), status);
        if (status != SMS_OK)
            return;
        QCOMPARE(int(t.type), int(SMS_TYPE_DELIVER));
        QTEST(QString::fromLatin1(t.addr.number), "from");
        QCOMPARE(t.scts.utc, QDateTime(QDate(2012, 2, 11), QTime(13, 50, 41), Qt::UTC).toSecsSinceEpoch());
        QFETCH(QByteArray, ud);
        if (ud.isEmpty()) {
            QVERIFY(!t.ud);
            QCOMPARE(t.udl, 0u);
        } else {
            QCOMPARE(QByteArray(reinterpret_cast<char *>(t.ud), int(t.udl)), ud);   // UCS-2 in host order
        }
    }

    void statusReport_data()
    {
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("pi");
        QTest::newRow("ends after status") << QByteArray() << 0 << 0;
        QTest::newRow("pi without fields") << QByteArray::fromHex("00") << 0 << 0;
        QTest::newRow("pi 7 with two octets") << QByteArray::fromHex("070000") << int(SMS_ERR_PARSE) << 7;
        QTest::newRow("pi 7 complete") << QByteArray::fromHex("07000000") << 0 << 7;
        QTest::newRow("pi 4 with text") << QByteArray::fromHex("0402C834") << 0 << 4;
    }

    void statusReport()
    {
        QFETCH(QByteArray, tail);
        QFETCH(int, status);
        const QByteArray pdu = QByteArray::fromHex("062A0B914421436587F9") + QByteArray::fromHex("21201131051400")
                               + QByteArray::fromHex("21201131052400") + QByteArray::fromHex("00") + tail;
        Tpdu t;
        QCOMPARE(decode(pdu, t), status);
        QCOMPARE(int(t.type), int(SMS_TYPE_STATUS_REPORT));
        if (status != SMS_OK)
            return;
        QCOMPARE(t.mr, 0x2Au);
        QTEST(int(t.pi), "pi");
        QCOMPARE(t.discharge_time.utc - t.scts.utc, qint64(1));
        QCOMPARE(QString::fromLatin1(sms_str_tpdu_status(t.status)), QStringLiteral("OK"));
        if (t.pi == 4)
            QCOMPARE(QByteArray(reinterpret_cast<char *>(t.ud), int(t.udl)), QByteArray("Hi"));
    }

    void ucs2RoundTrip()
    {
        Tpdu t;
        t.type = SMS_TYPE_SUBMIT;
        t.dcs = 0x08;
        strcpy(t.addr.number, "0401234567");
        const QString text = QStringLiteral("Привет 😀");
        setUd(t, QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2));
        const QByteArray pdu = encoded(t);
        QVERIFY(pdu.endsWith(QByteArray::fromHex("041F044004380432043504420020D83DDE00")));
        Tpdu back;
        QCOMPARE(decode(pdu, back), SMS_OK);
        QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(back.ud), int(back.udl / 2)), text);
        QCOMPARE(encoded(back), pdu);
    }

    void concatenationHeader()
    {
        Tpdu t;
        t.type = SMS_TYPE_SUBMIT;
        strcpy(t.addr.number, "1234");
        addElement(t, SMS_IE_CONCAT_8BIT, QByteArray::fromHex("2A0201"));
        setUd(t, QByteArray("abcdefgh"));
        const QByteArray pdu = encoded(t);
        // Header of 6 octets: 7 septets and one fill bit before the text.
        QCOMPARE(int(uint8_t(pdu[1 + 1 + 4 + 2])), 7 + 8);
        QVERIFY(pdu.mid(9, 6) == QByteArray::fromHex("0500032A0201"));
        Tpdu back;
        QCOMPARE(decode(pdu, back), SMS_OK);
        QCOMPARE(back.fill_bits, 1u);
        QCOMPARE(back.udl, 8u);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(back.ud), 8), QByteArray("abcdefgh"));
        sms_concat_info_t info;
        QCOMPARE(sms_tpdu_get_concat_info(&back, &info), SMS_OK);
        QCOMPARE(int(info.ref), 0x2A);
        QCOMPARE(int(info.total), 2);
        QCOMPARE(int(info.seq), 1);
    }

    void userDataHeader_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("elements");
        QTest::newRow("concat 8-bit") << QByteArray::fromHex("0500032A0201") << 0 << 1;
        QTest::newRow("concat 16-bit") << QByteArray::fromHex("06080412340301") << 0 << 1;
        QTest::newRow("udhl 0") << QByteArray::fromHex("00") << int(SMS_ERR_PARSE) << 0;
        QTest::newRow("udhl 1") << QByteArray::fromHex("0100") << int(SMS_ERR_PARSE) << 0;
        QTest::newRow("udhl past the end") << QByteArray::fromHex("09000300") << int(SMS_ERR_PARSE) << 0;
        QTest::newRow("empty concat") << QByteArray::fromHex("020000") << int(SMS_ERR_PARSE) << 0;
        QTest::newRow("empty 26 and 112") << QByteArray::fromHex("041A007000") << 0 << 2;
        QTest::newRow("last element past udhl") << QByteArray::fromHex("030003010201") << 0 << 1;
        QTest::newRow("element past the pdu") << QByteArray::fromHex("0300090102") << int(SMS_ERR_BUFFER_OVERRUN) << 0;
        QTest::newRow("second element fails") << QByteArray::fromHex("0600010122000001") << int(SMS_ERR_PARSE) << 1;
    }

    void userDataHeader()
    {
        QFETCH(QByteArray, header);
        QFETCH(int, elements);
        Tpdu t;
        t.udl = 40;
        t.dcs = 0x04;
        QByteArray buffer = header;
        sms_cursor_t c;
        sms_cursor_init(&c, reinterpret_cast<uint8_t *>(buffer.data()), uint32_t(buffer.size()));
        QTEST(decode_user_data_hdr(&c, &t), "status");
        int n = 0;
        for (sms_info_t *ie = t.info; ie; ie = ie->next)
            n++;
        QCOMPARE(n, elements);
        QVERIFY(c.pos <= c.end);
    }

    void textHeader_data()
    {
        QTest::addColumn<QByteArray>("ud");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("ports8");
        QTest::addColumn<QByteArray>("ports16");
        QTest::addColumn<QByteArray>("concat");
        QTest::addColumn<QByteArray>("rest");
        QTest::newRow("vcard port") << QByteArray("//SCKL23F4 BEGIN:VCARD") << 0 << QByteArray("none")
                                    << QByteArray::fromHex("23F40000") << QByteArray("none") << QByteArray("BEGIN:VCARD");
        QTest::newRow("space too early") << QByteArray("//SCK \xE2\x00", 8) << int(SMS_ERR_PARSE) << QByteArray("none")
                                         << QByteArray("none") << QByteArray("none") << QByteArray("//SCK \xE2\x00", 8);
        QTest::newRow("ports and concatenation") << QByteArray("//SCKE2E2010301 text") << 0
                                                 << QByteArray::fromHex("E2E2") << QByteArray("none")
                                                 << QByteArray::fromHex("010301") << QByteArray("text");
        QTest::newRow("slashes after a port") << QByteArray("//SCKE2//abc text") << 0 << QByteArray::fromHex("E200")
                                              << QByteArray("none") << QByteArray("none") << QByteArray("text");
        QTest::newRow("16-bit ports") << QByteArray("//SCKL0B8400E2 x") << 0 << QByteArray("none")
                                      << QByteArray::fromHex("0B8400E2") << QByteArray("none") << QByteArray("x");
        QTest::newRow("nothing after the space") << QByteArray("//SCKE2E2 ") << 0 << QByteArray::fromHex("E2E2")
                                                 << QByteArray("none") << QByteArray("none") << QByteArray();
        QTest::newRow("short concatenation") << QByteArray("//SCKE2E20103 x") << int(SMS_ERR_PARSE) << QByteArray("none")
                                             << QByteArray("none") << QByteArray("none") << QByteArray("//SCKE2E20103 x");
        QTest::newRow("no space") << QByteArray("//SCKE2E2010301") << int(SMS_ERR_PARSE) << QByteArray("none")
                                  << QByteArray("none") << QByteArray("none") << QByteArray("//SCKE2E2010301");
        QTest::newRow("body starting with slashes") << QByteArray("//SCK//E2E2 x") << int(SMS_ERR_PARSE) << QByteArray("none")
                                                    << QByteArray("none") << QByteArray("none") << QByteArray("//SCK//E2E2 x");
        QTest::newRow("trailing garbage") << QByteArray("//SCKE2E2010301zz x") << int(SMS_ERR_PARSE) << QByteArray("none")
                                          << QByteArray("none") << QByteArray("none") << QByteArray("//SCKE2E2010301zz x");
        QTest::newRow("not a header") << QByteArray("Hello there") << int(SMS_ERR_PARSE) << QByteArray("none")
                                      << QByteArray("none") << QByteArray("none") << QByteArray("Hello there");
    }

    void textHeader()
    {
        QFETCH(QByteArray, ud);
        QFETCH(QByteArray, rest);
        Tpdu t;
        setUd(t, ud);
        QTEST(decode_nbs_hdr(&t), "status");
        QTEST(elementData(t, SMS_IE_PORT_8BIT), "ports8");
        QTEST(elementData(t, SMS_IE_PORT_16BIT), "ports16");
        QTEST(elementData(t, SMS_IE_CONCAT_8BIT), "concat");
        QCOMPARE(t.ud ? QByteArray(reinterpret_cast<char *>(t.ud), int(t.udl)) : QByteArray(), rest);
        QCOMPARE(t.udhi, uint8_t(0));
    }

    void dataCodingScheme_data()
    {
        QTest::addColumn<int>("dcs");
        QTest::addColumn<uint>("encoding");
        QTest::addColumn<uint>("msgClass");
        const int rows[][3] = {{0x00, 0, 0}, {0x04, 4, 0}, {0x08, 8, 0}, {0x0C, 0, 0}, {0x10, 0, 16},
                               {0x16, 4, 18}, {0x2B, 8, 0}, {0x39, 8, 17}, {0x80, 0, 0}, {0xC8, 0, 0},
                               {0xD0, 0, 0}, {0xE3, 8, 0}, {0xF0, 0, 16}, {0xF7, 4, 19}, {0xFB, 0, 19}};
        for (const auto &row : rows)
            QTest::addRow("0x%02x", row[0]) << row[0] << uint(row[1]) << uint(row[2]);
    }

    void dataCodingScheme()
    {
        QFETCH(int, dcs);
        Tpdu t;
        t.dcs = uint8_t(dcs);
        QTEST(sms_tpdu_get_encoding(&t), "encoding");
        QTEST(sms_tpdu_get_class_info(&t), "msgClass");
    }

    // ---- Sizing ----

    void sizing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("status");
        QTest::addColumn<uint>("segments");
        QTest::addColumn<uint>("perSegment");
        QTest::addColumn<uint>("free");
        QTest::addColumn<uint>("format");
        QTest::newRow("hello") << "hello" << QByteArray() << 0 << 1u << 160u << 155u << 0u;
        QTest::newRow("empty") << "" << QByteArray() << 0 << 1u << 160u << 160u << 0u;
        QTest::newRow("160 GSM") << QString(160, 'a') << QByteArray() << 0 << 1u << 160u << 0u << 0u;
        QTest::newRow("161 GSM") << QString(161, 'a') << QByteArray() << 0 << 2u << 153u << 145u << 0u;
        QTest::newRow("euro at 152") << QString(152, 'a') + QStringLiteral("€") + QString(7, 'b') << QByteArray()
                                     << 0 << 2u << 153u << 144u << 0u;
        QTest::newRow("one CJK") << QStringLiteral("abc中") << QByteArray() << 0 << 1u << 70u << 66u << 2u;
        QTest::newRow("71 UCS-2") << QString(70, 'a') + QStringLiteral("中") << QByteArray() << 0 << 2u << 67u << 63u << 2u;
        QTest::newRow("emoji counts two") << QStringLiteral("😀") << QByteArray() << 0 << 1u << 70u << 68u << 2u;
        QTest::newRow("emoji on the boundary") << QString(66, QChar(0x4E2D)) + QStringLiteral("😀") + QString(3, 'x')
                                               << QByteArray() << 0 << 2u << 67u << 62u << 2u;
        QTest::newRow("140 octets") << QString() << QByteArray(140, 'x') << 0 << 1u << 140u << 0u << 1u;
        QTest::newRow("141 octets") << QString() << QByteArray(141, 'x') << 0 << 2u << 134u << 127u << 1u;
        QTest::newRow("256 segments") << QString(153 * 255 + 1, 'a') << QByteArray()
                                      << int(SMS_ERR_TOO_MANY_SEGMENTS) << 256u << 153u << 152u << 0u;
        QTest::newRow("255 segments") << QString(153 * 255, 'a') << QByteArray() << 0 << 255u << 153u << 0u << 0u;
    }

    void sizing()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, data);
        Msg msg(data.isNull() ? sms_msg_new_txt_message("123", text.toUtf8().constData())
                              : sms_msg_new_bin_message("123", reinterpret_cast<const uint8_t *>(data.constData()),
                                                        uint32_t(data.size()), nullptr));
        QVERIFY(msg.m);
        sms_msg_size_t size;
        QTEST(sms_msg_get_size(msg.m, &size, nullptr), "status");
        QTEST(size.segments, "segments");
        QTEST(size.per_segment, "perSegment");
        QTEST(size.free, "free");
        QTEST(size.format, "format");
    }

    void sizingWithHeaderElements()
    {
        Msg msg(sms_msg_new_txt_message("123", "hello"));
        msg->ports = static_cast<sms_ports_t *>(calloc(1, sizeof(sms_ports_t)));
        sms_msg_size_t size;
        QCOMPARE(sms_msg_get_size(msg.m, &size, nullptr), SMS_OK);
        QCOMPARE(size.per_segment, 152u);
        free(msg->text);
        msg->text = strdup(QByteArray(153, 'a').constData());
        QCOMPARE(sms_msg_get_size(msg.m, &size, nullptr), SMS_OK);
        QCOMPARE(size.per_segment, 146u);
        QCOMPARE(size.segments, 2u);

        Msg turkish(sms_msg_new_txt_message("123", "çok güzel şey"));
        turkish->lang = SMS_LANG_TURKISH;
        QCOMPARE(sms_msg_get_size(turkish.m, &size, nullptr), SMS_OK);
        QCOMPARE(size.format, uint(SMS_FORMAT_GSM_7BIT));
        QCOMPARE(size.per_segment, 152u);   // UDHL and two 3-octet language elements
        turkish->lang = SMS_LANG_DEFAULT;
        QCOMPARE(sms_msg_get_size(turkish.m, &size, nullptr), SMS_OK);
        QCOMPARE(size.format, uint(SMS_FORMAT_UCS2));
    }

    // ---- Serialization and reassembly ----

    void twoSegmentSerialization()
    {
        Msg msg(sms_msg_new_txt_message("+358401234567", QByteArray(200, 'z').constData()));
        msg->srr = 1;
        Raw raw;
        QCOMPARE(sms_msg_serialize(msg.m, &raw.pdus, &raw.count, 0x42), SMS_OK);
        QCOMPARE(raw.count, 2u);
        Tpdu first, second;
        QCOMPARE(decode(QByteArray::fromHex(raw.hex(0)), first), SMS_OK);
        QCOMPARE(decode(QByteArray::fromHex(raw.hex(1)), second), SMS_OK);
        QCOMPARE(elementData(first, 0), QByteArray::fromHex("420201"));
        QCOMPARE(elementData(second, 0), QByteArray::fromHex("420202"));
        QCOMPARE(int(first.srr), 0);
        QCOMPARE(int(second.srr), 1);
        QCOMPARE(first.udl + second.udl, 200u);

        // In reverse order, the same message.
        std::swap(raw.pdus[0], raw.pdus[1]);
        Msg back;
        QCOMPARE(sms_msg_deserialize(raw.pdus, raw.count, back.m), SMS_OK);
        QCOMPARE(QByteArray(back->text), QByteArray(200, 'z'));
        QCOMPARE(QByteArray(back->to), QByteArray("+358401234567"));
        QCOMPARE(back->srr, 1);
    }

    // Segments join only when they belong together; anything else is refused whole.
    void brokenSegmentSets_data()
    {
        QTest::addColumn<QList<QByteArray>>("headers");
        QTest::addColumn<QByteArray>("secondAddress");
        QTest::addColumn<int>("status");
        auto hex = [](std::initializer_list<const char *> list) {
            QList<QByteArray> out;
            for (const char *h : list)
                out << QByteArray::fromHex(h);
            return out;
        };
        // Each header: the element's identifier, then its data.
        QTest::newRow("consecutive") << hex({"00010201", "00010202"}) << QByteArray("123") << 0;
        QTest::newRow("16-bit references") << hex({"0801000201", "0801000202"}) << QByteArray("123") << 0;
        QTest::newRow("sequence gap") << hex({"00010201", "00010203"}) << QByteArray("123") << int(SMS_ERR_PARSE);
        QTest::newRow("totals of three") << hex({"00010301", "00010302"}) << QByteArray("123") << int(SMS_ERR_PARSE);
        QTest::newRow("two references") << hex({"00010201", "00020202"}) << QByteArray("123") << int(SMS_ERR_PARSE);
        QTest::newRow("an 8-bit and a 16-bit reference") << hex({"00010201", "0801000202"}) << QByteArray("123")
                                                         << int(SMS_ERR_PARSE);
        QTest::newRow("beyond the total") << hex({"00010205", "00010206"}) << QByteArray("123") << int(SMS_ERR_PARSE);
        QTest::newRow("repeated") << hex({"00010201", "00010201"}) << QByteArray("123") << int(SMS_ERR_PARSE);
        QTest::newRow("two originators") << hex({"00010201", "00010202"}) << QByteArray("124") << int(SMS_ERR_PARSE);
        QTest::newRow("lone segment") << hex({"00010201"}) << QByteArray() << int(SMS_ERR_PARSE);
        QTest::newRow("lone whole one") << hex({"00010101"}) << QByteArray() << 0;
    }

    void brokenSegmentSets()
    {
        QFETCH(QList<QByteArray>, headers);
        QFETCH(QByteArray, secondAddress);
        Raw raw;
        raw.count = uint32_t(headers.size());
        raw.pdus = static_cast<sms_raw_pdu_t *>(calloc(raw.count, sizeof(sms_raw_pdu_t)));
        for (int i = 0; i < headers.size(); i++) {
            Tpdu t;
            t.type = SMS_TYPE_SUBMIT;
            strcpy(t.addr.number, i == 0 ? "123" : secondAddress.constData());
            addElement(t, uint8_t(headers[i][0]), headers[i].mid(1));
            setUd(t, QByteArray("part"));
            QCOMPARE(sms_tpdu_encode(&t, &raw.pdus[i].data, &raw.pdus[i].len), SMS_OK);
        }
        Msg msg;
        QTEST(sms_msg_deserialize(raw.pdus, raw.count, msg.m), "status");
        if (msg->text == nullptr)
            return;
        QFETCH(int, status);
        QCOMPARE(status, 0);   // no partial text on a refusal
    }

    // Received segments decoded as they were sent: each by its own language
    // elements (an identifier without a table is ignored, as a receiver that
    // does not support it does), never stitched across half a UCS-2 unit or
    // joined with data.
    void receivedSegments_data()
    {
        QTest::addColumn<QStringList>("pdus");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lang");
        QTest::newRow("lone locking shift") << QStringList{"44049121430000622101214365000803250101081f0e"} << 0
                                            << QStringLiteral("aıı") << 1;
        QTest::newRow("lone single shift") << QStringList{"44049121430000622101214365000803240101081f0e"} << 0
                                           << QStringLiteral("aìì") << 1;
        QTest::newRow("identifier 13") << QStringList{"4404912143000062210121436500080325010d081f0e"} << 0
                                       << QStringLiteral("aìì") << 13;
        QTest::newRow("identifier 200") << QStringList{"440491214300006221012143650008032501c8081f0e"} << 0
                                        << QStringLiteral("aìì") << 200;
        QTest::newRow("identifier 255") << QStringList{"440491214300006221012143650008032501ff081f0e"} << 0
                                        << QStringLiteral("aìì") << 255;
        QTest::newRow("languages per segment")
            << QStringList{"44049121430000622101214365000f080003090201250101202c1e1f00",
                           "4404912143000062210121436500080500030902020e"} << 0 << QStringLiteral("abcıì") << 1;
        QTest::newRow("segments reversed")
            << QStringList{"4404912143000062210121436500080500030902020e",
                           "44049121430000622101214365000f080003090201250101202c1e1f00"} << 0 << QStringLiteral("abcıì")
            << 1;
        QTest::newRow("half a UCS-2 unit")
            << QStringList{"440491214300086221012143650009050003090201004100",
                           "44049121430008622101214365000a05000309020200420043"} << 0 << QStringLiteral("A\uFFFDBC") << 0;
        QTest::newRow("text and data") << QStringList{"4404912143000062210121436500090500030902018242",
                                                      "440491214300046221012143650009050003090202010203"}
                                       << int(SMS_ERR_PARSE) << QString() << 0;
    }

    void receivedSegments()
    {
        QFETCH(QStringList, pdus);
        QList<QByteArray> octets;
        std::vector<sms_raw_pdu_t> raw;
        for (const QString &pdu : pdus)
            octets << QByteArray::fromHex(pdu.toLatin1());
        for (QByteArray &pdu : octets)
            raw.push_back({reinterpret_cast<uint8_t *>(pdu.data()), uint32_t(pdu.size())});
        Msg msg;
        QTEST(int(sms_msg_deserialize(raw.data(), uint32_t(raw.size()), msg.m)), "status");
        QFETCH(QString, text);
        if (text.isNull()) {
            QVERIFY(!msg->text);
            return;
        }
        QCOMPARE(QString::fromUtf8(msg->text, int(msg->data_len)), text);
        QTEST(int(msg->lang), "lang");
    }

    // Encoders refuse what their decoders would refuse.
    void encodeRefusesHeadersItCannotCarry()
    {
        Tpdu t;
        t.type = SMS_TYPE_SUBMIT;
        strcpy(t.addr.number, "123");
        t.udhi = 1;   // the flag without any element
        int32_t status = 0;
        encoded(t, &status);
        QCOMPARE(status, SMS_ERR_INVALID_PARAM);

        addElement(t, 0x70, QByteArray(74, 'h'));
        addElement(t, 0x71, QByteArray(74, 'h'));   // 153 header octets, no user data
        encoded(t, &status);
        QCOMPARE(status, SMS_ERR_BUFFER_OVERRUN);
    }

    void roundTrips_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("ports");
        const Sample samples[] = {
            {"default", 0, QStringLiteral("Hello {world} [€] ~ ^ | \\ äöñüà ΔΦΓΛΩΠΨΣΘΞ @£$¥")},
            {"turkish", 1, QStringLiteral("Çok güzel bir gün, İstanbul'da şişli ığdır Ğğ €")},
            {"spanish", 2, QStringLiteral("¿Qué tal? Él está aquí, ÁÍÓÚ áíóú ç ñ €")},
            {"portuguese", 3, QStringLiteral("Ação rápida: você, está, ÔÕÃÂ ºª ∞ Φ|")},
            {"ucs2", 0, QStringLiteral("Привет, мир! 中文字符 ๑๒๓")},
            {"emoji", 0, QStringLiteral("Good morning ☀️ 😀👍🏽 🇫🇮 and 𝄞")},
        };
        for (const Sample &sample : samples) {
            for (int segments : {1, 2, 3, 7, 20}) {
                const int length = segments == 1 ? 40 : (sample.text.toUtf8().size() == sample.text.size() ? 150 : 66) * segments - 20;
                QTest::addRow("%s in %d", sample.name, segments)
                    << sample.lang << repeated(sample.text, length) << QByteArray() << false;
            }
        }
        QByteArray binary;
        for (int i = 0; i < 20 * 134; i++)
            binary += char(i * 7 + 3);
        for (int segments : {1, 2, 5, 20})
            QTest::addRow("binary in %d", segments) << 0 << QString() << binary.left(segments * 128) << true;
    }

    void roundTrips()
    {
        QFETCH(int, lang);
        QFETCH(QString, text);
        QFETCH(QByteArray, data);
        QFETCH(bool, ports);
        const sms_ports_t pair = {2948, 9200};
        Msg msg(data.isNull() ? sms_msg_new_txt_message("+4412345", text.toUtf8().constData())
                              : sms_msg_new_bin_message("+4412345", reinterpret_cast<const uint8_t *>(data.constData()),
                                                        uint32_t(data.size()), ports ? &pair : nullptr));
        msg->lang = lang;
        sms_msg_size_t size;
        QCOMPARE(sms_msg_get_size(msg.m, &size, nullptr), SMS_OK);

        Raw raw;
        QCOMPARE(sms_msg_serialize(msg.m, &raw.pdus, &raw.count, 7), SMS_OK);
        QVERIFY(raw.count >= 1 && raw.count <= 255);
        QCOMPARE(raw.count, size.segments);

        std::vector<sms_raw_pdu_t> order(raw.pdus, raw.pdus + raw.count);
        std::mt19937 shuffle(uint32_t(raw.count * 31 + uint32_t(lang)));
        for (int attempt = 0; attempt < 2; attempt++) {
            if (attempt == 1)
                std::shuffle(order.begin(), order.end(), shuffle);
            Msg back;
            QCOMPARE(sms_msg_deserialize(order.data(), uint32_t(order.size()), back.m), SMS_OK);
            if (data.isNull()) {
                QCOMPARE(QString::fromUtf8(back->text, int(back->data_len)), text);
                QCOMPARE(back->lang, lang > 0 ? lang : 0);
            } else {
                QCOMPARE(QByteArray(reinterpret_cast<char *>(back->data), int(back->data_len)), data);
                QVERIFY(back->ports);
                QCOMPARE(int(back->ports->dst), 2948);
                QCOMPARE(int(back->ports->src), 9200);
            }
            QCOMPARE(QByteArray(back->to), QByteArray("+4412345"));
        }
        // No segment ends inside an escape pair or a surrogate pair.
        for (uint32_t i = 0; i + 1 < raw.count; i++) {
            Tpdu t;
            QCOMPARE(sms_tpdu_decode(raw.pdus[i].data, raw.pdus[i].len, &t), SMS_OK);
            if (t.udl == 0)
                continue;
            if (sms_tpdu_get_encoding(&t) == SMS_ENCODING_UCS2) {
                uint16_t last;
                memcpy(&last, t.ud + t.udl - 2, 2);
                QVERIFY((last & 0xFC00) != 0xD800);
            } else if (sms_tpdu_get_encoding(&t) == SMS_ENCODING_GSM_7BIT) {
                QVERIFY(t.ud[t.udl - 1] != 0x1B);
            }
        }
    }

    // Sizing alone reads the text in place; sending converts it. Both give
    // the same sizes, however escapes and surrogate pairs fall on boundaries.
    void sizingInPlaceAgrees()
    {
        std::mt19937 random(7);
        const QString pieces[] = {QStringLiteral("a"), QStringLiteral("€"), QStringLiteral("{"), QStringLiteral("ş"),
                                  QStringLiteral("😀"), QStringLiteral("Ж"), QStringLiteral(" "), QStringLiteral("é")};
        for (int round = 0; round < 400; round++) {
            QString text;
            const int length = 1 + int(random() % 1200);
            const int kinds = 2 + round % 7;
            while (text.size() < length)
                text += pieces[random() % uint32_t(kinds)];
            const int32_t lang = int32_t(round % 5) - 1;   // transliterating, default, Turkish, Spanish, Portuguese
            Msg msg(sms_msg_new_txt_message("+4412345", text.toUtf8().constData()));
            std::unique_ptr<sms_conv_ctx_t, void (*)(sms_conv_ctx_t *)> ctx(sms_conv_ctx_open(lang), sms_conv_ctx_close);
            for (uint32_t hdr : {0u, 7u}) {
                sms_msg_size_t inPlace, converted;
                uint8_t *payload = nullptr;
                uint32_t payloadLen = 0;
                const int32_t a = get_msg_size_and_data(msg.m, ctx.get(), hdr, &inPlace, nullptr, nullptr);
                const int32_t b = get_msg_size_and_data(msg.m, ctx.get(), hdr, &converted, &payload, &payloadLen);
                free(payload);
                QCOMPARE(a, b);
                QCOMPARE(inPlace.format, converted.format);
                QCOMPARE(inPlace.segments, converted.segments);
                QCOMPARE(inPlace.free, converted.free);
                QCOMPARE(inPlace.per_segment, converted.per_segment);
            }
        }
    }

    // The cheapest shift tables by themselves: where a national table holds a
    // text it costs fewer segments than UCS-2, and the message sent with the
    // choice decodes to the same text in that many segments.
    void cheapestTables_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("allowed");
        QTest::addColumn<int>("locking");
        QTest::addColumn<int>("single");
        QTest::addColumn<uint>("segments");
        QTest::addColumn<uint>("ucs2Segments");   // what the default tables alone give
        const uint all = SMS_LANGS_NATIONAL;
        const QString turkish = QStringLiteral("Günaydın! Bugün şehirde buluşalım mı? Ağaçların altında çay içer, "
                                               "sonra İstiklal'e yürürüz. Görüşürüz, ışığım.");
        const QString spanish = QStringLiteral("¿Cómo estás? Mañana vamos a la playa con María y José; ¡qué ilusión! "
                                               "Llevaré la sombrilla y tú el almuerzo, ¿sí?");
        const QString portuguese = QStringLiteral("Olá! Você já viu a previsão? Amanhã vai chover em São Paulo, não "
                                                  "esqueça o guarda-chuva. Até logo, coração.");
        QTest::newRow("Turkish: the single shift fits one") << turkish << all << 0 << 1 << 1u << 2u;
        QTest::newRow("Turkish, only Spanish allowed: UCS-2") << turkish << uint(SMS_LANG_BIT(SMS_LANG_SPANISH)) << 0 << 0 << 2u << 2u;
        QTest::newRow("Spanish: the single shift") << spanish << all << 0 << 2 << 1u << 2u;
        QTest::newRow("Portuguese: the single shift fits one") << portuguese << all << 0 << 3 << 1u << 2u;
        QTest::newRow("plain text keeps the default") << QStringLiteral("See you at 10, bring {the} €5.") << all << 0 << 0 << 1u << 1u;
        QTest::newRow("Cyrillic: no table holds it") << QStringLiteral("Привет, как дела?") << all << 0 << 0 << 1u << 1u;
        QTest::newRow("a long Turkish text: the locking shift") << repeated(turkish, 1200) << all << 1 << 0 << 9u << 18u;
        QTest::newRow("as cheap either way: the single shift") << repeated(QStringLiteral("ação "), 300) << all << 0 << 3 << 3u << 5u;
    }

    void cheapestTables()
    {
        QFETCH(QString, text);
        QFETCH(uint, allowed);
        Msg msg(sms_msg_new_txt_message("+905321234567", text.toUtf8().constData()));
        sms_lang_choice_t choice;
        QCOMPARE(sms_msg_choose_lang(msg.m, allowed, &choice), SMS_OK);
        QTEST(choice.locking_lang, "locking");
        QTEST(choice.single_lang, "single");
        QTEST(choice.size.segments, "segments");
        sms_msg_size_t plain;
        QCOMPARE(sms_msg_get_size(msg.m, &plain, nullptr), SMS_OK);
        QTEST(plain.segments, "ucs2Segments");

        // No pair of allowed tables does better.
        QCOMPARE(choice.size.segments, fewestSegments(msg.m, allowed));

        // Sent with the choice: as many PDUs, the same text back, and a shift
        // element only for a table that is not the default.
        msg->lang = choice.lang;
        Raw raw;
        QCOMPARE(sms_msg_serialize(msg.m, &raw.pdus, &raw.count, 9), SMS_OK);
        QCOMPARE(raw.count, choice.size.segments);
        Msg back;
        QCOMPARE(sms_msg_deserialize(raw.pdus, raw.count, back.m), SMS_OK);
        QCOMPARE(QString::fromUtf8(back->text, int(back->data_len)), text);
        Tpdu first;
        QCOMPARE(sms_tpdu_decode(raw.pdus[0].data, raw.pdus[0].len, &first), SMS_OK);
        QCOMPARE(get_msg_lang_locking_info(&first), choice.locking_lang);
        QCOMPARE(get_msg_lang_shifted_info(&first), choice.single_lang);
    }

    // Escapes that fall on segment boundaries cost septets the counting pass
    // cannot see: the choice still matches the best exact size.
    void cheapestTablesAtBoundaries()
    {
        std::mt19937 random(23);
        const QString pieces[] = {QStringLiteral("a"), QStringLiteral("ş"), QStringLiteral("ç"), QStringLiteral("€"),
                                  QStringLiteral("á"), QStringLiteral("ã"), QStringLiteral("{"), QStringLiteral("ı")};
        for (int round = 0; round < 300; round++) {
            QString text;
            const int length = 100 + int(random() % 400);
            while (text.size() < length)
                text += pieces[random() % (round % 2 ? 8 : 2)];
            Msg msg(sms_msg_new_txt_message("+34600123456", text.toUtf8().constData()));
            sms_lang_choice_t choice;
            QCOMPARE(sms_msg_choose_lang(msg.m, SMS_LANGS_NATIONAL, &choice), SMS_OK);
            QCOMPARE(choice.size.segments, fewestSegments(msg.m, SMS_LANGS_NATIONAL));
        }
    }

    void escapeMovesToTheNextSegment()
    {
        const QString text = QString(152, 'a') + QStringLiteral("€") + QString(7, 'b');
        Msg msg(sms_msg_new_txt_message("123", text.toUtf8().constData()));
        Raw raw;
        QCOMPARE(sms_msg_serialize(msg.m, &raw.pdus, &raw.count, 1), SMS_OK);
        QCOMPARE(raw.count, 2u);
        Tpdu first, second;
        QCOMPARE(sms_tpdu_decode(raw.pdus[0].data, raw.pdus[0].len, &first), SMS_OK);
        QCOMPARE(sms_tpdu_decode(raw.pdus[1].data, raw.pdus[1].len, &second), SMS_OK);
        QCOMPARE(first.udl, 152u);
        QCOMPARE(second.udl, 9u);
    }

    void mixedAlphabets()
    {
        // A GSM segment followed by a UCS-2 one, as some phones send them.
        Tpdu parts[2];
        for (int i = 0; i < 2; i++) {
            parts[i].type = SMS_TYPE_DELIVER;
            addElement(parts[i], 0, QByteArray::fromHex("090201"));
            parts[i].info->data[2] = uint8_t(i + 1);
        }
        setUd(parts[0], QByteArray("Hi \x02", 4));   // "$" is code 2
        parts[1].dcs = 0x08;
        const QString rest = QStringLiteral("мир 😀");
        setUd(parts[1], QByteArray(reinterpret_cast<const char *>(rest.utf16()), rest.size() * 2));
        sms_tpdu_t array[2];
        memcpy(&array[0], &parts[0], sizeof(sms_tpdu_t));
        memcpy(&array[1], &parts[1], sizeof(sms_tpdu_t));
        QCOMPARE(get_msg_format_mixed_gsm_ucs2(array, 2), 1);
        Msg msg;
        QCOMPARE(sms_msg_compose(array, 2, msg.m), SMS_OK);
        QCOMPARE(QString::fromUtf8(msg->text, int(msg->data_len)), QStringLiteral("Hi $мир 😀"));
    }

    void receivedDetails()
    {
        Tpdu t;
        t.type = SMS_TYPE_DELIVER;
        t.pid = 0x41;
        QCOMPARE(get_msg_proto_info(&t), int(SMS_PROTO_REPLACE));
        t.pid = 0x5F;
        QCOMPARE(get_msg_proto_info(&t), int(SMS_PROTO_RETURN_CALL));
        t.pid = 0;
        QCOMPARE(get_msg_proto_info(&t), int(SMS_PROTO_NORMAL));
        addElement(t, SMS_IE_SPECIAL_MSG, QByteArray::fromHex("8305"));
        QCOMPARE(get_msg_proto_info(&t), int(SMS_PROTO_RETURN_CALL));

        Msg msg;
        get_msg_mwi_info(&t, msg.m);
        QCOMPARE(msg->mwi_type, int(SMS_SPECIAL_EXTENDED_WAIT));
        QCOMPARE(msg->mwi_store, 1);
        QCOMPARE(msg->mwi_count, 5);
        QCOMPARE(msg->mwi_active, 1);
        t.info->data[0] = 0x07;   // extended with the video bits
        get_msg_mwi_info(&t, msg.m);
        QCOMPARE(msg->mwi_type, int(SMS_SPECIAL_VIDEOMAIL_WAIT));

        Tpdu group;
        group.dcs = 0xC8;   // discard, active, voicemail
        Msg waiting;
        get_msg_mwi_info(&group, waiting.m);
        QCOMPARE(waiting->mwi_type, int(SMS_SPECIAL_VOICEMAIL_WAIT));
        QCOMPARE(waiting->mwi_active, 1);
        QCOMPARE(waiting->mwi_count, 255);
        QCOMPARE(waiting->mwi_store, 0);

        Tpdu langs;
        QCOMPARE(get_msg_lang_info(&langs), 0);
        addElement(langs, SMS_IE_LANG_SINGLE, QByteArray::fromHex("02"));
        QCOMPARE(get_msg_lang_info(&langs), 2);
        addElement(langs, SMS_IE_LANG_LOCKING, QByteArray::fromHex("03"));
        QCOMPARE(get_msg_lang_info(&langs), 3);

        Tpdu bothPorts;
        addElement(bothPorts, SMS_IE_PORT_8BIT, QByteArray::fromHex("E2E2"));
        addElement(bothPorts, SMS_IE_PORT_16BIT, QByteArray::fromHex("23F40000"));
        Msg noPorts;
        QCOMPARE(get_msg_port_info(&bothPorts, noPorts.m), SMS_ERR_NOT_FOUND);
        QVERIFY(!noPorts->ports);
    }

    void mimeTypes()
    {
        const sms_ports_t vcard = {9204, 0}, calendar = {228, 0}, other = {5000, 0}, text = {0, 0}, binary = {0, 7};
        struct { const sms_ports_t *ports; bool isText; const char *mime; } rows[] = {
            {&vcard, false, "text/x-vcard"}, {&calendar, false, "text/x-vcalendar"},
            {&other, false, "application/octet-stream"}, {&text, true, "text/plain"},
            {&binary, true, "application/octet-stream"}, {nullptr, true, "text/plain"},
            {nullptr, false, "application/octet-stream"},
        };
        for (const auto &row : rows) {
            Msg msg(row.isText ? sms_msg_new_txt_message("123", "x")
                               : sms_msg_new_bin_message("123", reinterpret_cast<const uint8_t *>("x"), 1, row.ports));
            if (row.isText && row.ports) {
                msg->ports = static_cast<sms_ports_t *>(malloc(sizeof(sms_ports_t)));
                *msg->ports = *row.ports;
            }
            QCOMPARE(QByteArray(sms_msg_get_mime_type(msg.m)), QByteArray(row.mime));
        }
        Msg upper(sms_msg_new_bin_message_with_mime("123", reinterpret_cast<const uint8_t *>("hi"), 2, "TEXT/PLAIN"));
        QVERIFY(upper->text && !upper->data);
        QCOMPARE(QByteArray(upper->text), QByteArray("hi"));
        Msg card(sms_msg_new_txt_message_with_mime("123", "BEGIN:VCARD", "text/x-vcard"));
        QVERIFY(card->data && card->ports && card->ports->dst == 9204);
        QVERIFY(!sms_msg_new_txt_message_with_mime("123", "x", "image/png"));
        QVERIFY(!sms_msg_new_txt_message("not a number", "x"));
        QVERIFY(!sms_msg_new_bin_message("123", nullptr, 1, nullptr));
    }

    void systemLanguage_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("lang");
        QTest::newRow("unset") << QByteArray() << 0;
        QTest::newRow("portuguese") << QByteArray("pt_BR.UTF-8") << 3;
        QTest::newRow("spanish") << QByteArray("es_ES") << 2;
        QTest::newRow("test") << QByteArray("test") << 2;
        QTest::newRow("turkish") << QByteArray("tr_TR.UTF-8") << 1;
        QTest::newRow("finnish") << QByteArray("fi_FI.UTF-8") << 0;
    }

    void systemLanguage()
    {
        QFETCH(QByteArray, value);
        const QByteArray saved = qgetenv("LANG");
        if (value.isNull())
            qunsetenv("LANG");
        else
            qputenv("LANG", value);
        const int lang = sms_msg_get_lang_from_system();
        qputenv("LANG", saved);
        QTEST(lang, "lang");
    }

    // ---- Cell broadcast ----

    void cellBroadcastHeader()
    {
        QByteArray page = QByteArray::fromHex("401203E80123") + QByteArray(82, 'x');
        sms_cbs_page_t p;
        QCOMPARE(sms_cbs_decode(reinterpret_cast<const uint8_t *>(page.constData()), 88, &p), SMS_OK);
        QCOMPARE(p.scope, 1u);
        QCOMPARE(int(p.message_code), 1);
        QCOMPARE(int(p.update_number), 2);
        QCOMPARE(int(p.message_id), 1000);
        QCOMPARE(int(p.dcs), 1);
        QCOMPARE(int(p.total_pages), 3);
        QCOMPARE(int(p.page_number), 2);
        QCOMPARE(p.content[81], uint8_t('x'));
        for (int size : {87, 89, 0}) {
            QByteArray other(size, '\0');
            QCOMPARE(sms_cbs_decode(reinterpret_cast<const uint8_t *>(other.constData()), uint32_t(size), &p),
                     SMS_ERR_INVALID_PARAM);
        }
        for (char parameter : {'\x00', '\x10', '\x01'}) {
            page[5] = parameter;
            sms_cbs_decode(reinterpret_cast<const uint8_t *>(page.constData()), 88, &p);
            QCOMPARE(int(p.page_number), 1);
            QCOMPARE(int(p.total_pages), 1);
        }
    }

    void cellBroadcastCoding_data()
    {
        QTest::addColumn<int>("dcs");
        QTest::addColumn<uint>("encoding");
        QTest::addColumn<int>("language");
        const int rows[][3] = {{0x11, 8, -1}, {0x10, 0, -1}, {0x12, 255, 15}, {0x48, 8, 15}, {0x0F, 0, 15},
                               {0x96, 4, 15}, {0x01, 0, 1}, {0x21, 0, 0x21}, {0x4C, 255, 15}, {0x80, 255, 15},
                               {0xF4, 4, 15}, {0xF0, 0, 15}, {0xA0, 255, 15}};
        for (const auto &row : rows)
            QTest::addRow("0x%02x", row[0]) << row[0] << uint(row[1]) << row[2];
    }

    void cellBroadcastCoding()
    {
        QFETCH(int, dcs);
        sms_cbs_page_t p = {};
        p.dcs = uint8_t(dcs);
        QTEST(sms_cbs_get_encoding(&p), "encoding");
        QTEST(sms_cbs_get_language(&p), "language");
    }

    // The text of a page, without its padding; 8-bit content has none.
    void cellBroadcastText()
    {
        sms_cbs_page_t p = {};
        const uint8_t hello[93] = {'H', 'e', 'l', 'l', 'o'};
        uint8_t codes[93];
        memcpy(codes, hello, sizeof codes);
        memset(codes + 5, '\r', sizeof codes - 5);
        sms_conv_pack(codes, p.content, 93, 0);
        char *text = nullptr;
        uint32_t len = 0;
        QCOMPARE(sms_cbs_get_text(&p, &text, &len), SMS_OK);
        QCOMPARE(QByteArray(text, int(len)), QByteArray("Hello"));
        free(text);
        char language[3] = {};
        QCOMPARE(sms_cbs_get_language_code(&p, language), SMS_ERR_NOT_FOUND);
        // UCS-2 after a language in two packed characters: the language is no text.
        p.dcs = 0x11;
        memset(p.content, 0, sizeof p.content);
        const uint8_t en[2] = {'e', 'n'};
        sms_conv_pack(en, p.content, 2, 0);
        p.content[3] = 'O';
        p.content[5] = 'k';
        QCOMPARE(sms_cbs_get_text(&p, &text, &len), SMS_OK);
        QCOMPARE(QByteArray(text, int(len)), QByteArray("Ok"));
        QCOMPARE(sms_cbs_get_language_code(&p, language), SMS_OK);
        QCOMPARE(QByteArray(language), QByteArray("en"));
        free(text);
        // GSM text after "en" and a carriage return.
        p.dcs = 0x10;
        const uint8_t prefixed[8] = {'e', 'n', '\r', 'H', 'e', 'j', '\r', '\r'};
        memset(codes, '\r', sizeof codes);
        memcpy(codes, prefixed, sizeof prefixed);
        sms_conv_pack(codes, p.content, 93, 0);
        QCOMPARE(sms_cbs_get_text(&p, &text, &len), SMS_OK);
        QCOMPARE(QByteArray(text, int(len)), QByteArray("Hej"));
        QCOMPARE(sms_cbs_get_language_code(&p, language), SMS_OK);
        QCOMPARE(QByteArray(language), QByteArray("en"));
        free(text);
        // UCS-2 after a user data header of three octets; one that runs past the page.
        p.dcs = 0x98;
        memset(p.content, 0, sizeof p.content);
        const uint8_t header[4] = {3, 0x70, 1, 0x22};
        memcpy(p.content, header, sizeof header);
        p.content[5] = 'H';
        p.content[7] = 'i';
        QCOMPARE(sms_cbs_get_text(&p, &text, &len), SMS_OK);
        QCOMPARE(QByteArray(text, int(len)), QByteArray("Hi"));
        free(text);
        p.content[0] = 81;
        QCOMPARE(sms_cbs_get_text(&p, &text, &len), SMS_ERR_PARSE);
        QVERIFY(!text);
        p.dcs = 0x44;   // 8-bit
        QCOMPARE(sms_cbs_get_text(&p, &text, &len), SMS_ERR_ENCODING);
        QVERIFY(!text);
    }

    void cellBroadcastAlerts()
    {
        sms_cbs_page_t p = {};
        p.message_code = 0x300;
        QVERIFY(sms_cbs_is_popup(&p) && sms_cbs_is_user_alert(&p));
        p.message_code = 0x100;
        QVERIFY(sms_cbs_is_popup(&p) && !sms_cbs_is_user_alert(&p));
        p.message_code = 0x200;
        QVERIFY(!sms_cbs_is_popup(&p) && sms_cbs_is_user_alert(&p));
    }
};

QTEST_APPLESS_MAIN(TestSmsPdu)
#include "tst_smspdu.moc"
