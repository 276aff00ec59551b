// SPDX-License-Identifier: LGPL-2.1-or-later
#include <ondrix-qt/smsmessage.h>
#include <ondrix-qt/smsparameters.h>

#include "simbench.h"

#include <QtTest>

using Ondrix::SMSMessage;
using Ondrix::SMSParameters;

namespace {
const QString SmsSim = QStringLiteral("com.kelvo.hvt.SMS.SIM");
}

class TestSmsClasses : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void messageWithoutText()
    {
        SMSMessage message;
        unsigned segments = 9, remaining = 9, maxLength = 9;
        QCOMPARE(message.getSize(segments, remaining, maxLength), 1);
        QCOMPARE(segments + remaining + maxLength, 0u);
        QVERIFY(message.text().isNull());
    }

    void messageSizes_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("result");
        QTest::addColumn<uint>("segments");
        QTest::addColumn<uint>("remaining");
        QTest::addColumn<uint>("maxLength");
        QTest::newRow("hello") << 0 << "hello" << 0 << 1u << 155u << 40800u;
        QTest::newRow("161 characters") << 0 << QString(161, 'a') << 0 << 2u << 145u << 39015u;
        QTest::newRow("chinese") << 0 << "你好" << 0 << 1u << 68u << 17850u;
        QTest::newRow("turkish in turkish") << 1 << "çok güzel şey" << 0 << 1u << 139u << 38760u;
        QTest::newRow("spanish") << 2 << "¿Qué tal, José? Bien, ¿y tú?" << 0 << 1u << 126u << 39525u;
        QTest::newRow("transliterated") << 4 << "Łódź i Kraków, Ελλάδα" << 0 << 1u << 139u << 40800u;
        QTest::newRow("too long") << 0 << QString(153 * 255 + 1, 'a') << 2 << 255u << 0u << 39015u;
    }

    void messageSizes()
    {
        QFETCH(int, language);
        QFETCH(QString, text);
        SMSMessage message(SMSMessage::Language(language), text);
        QCOMPARE(message.text(), text);
        unsigned segments = 0, remaining = 0, maxLength = 0;
        QTEST(message.getSize(segments, remaining, maxLength), "result");
        QTEST(segments, "segments");
        QTEST(remaining, "remaining");
        QTEST(maxLength, "maxLength");
    }

    // Counting with the cheapest tables: fewer segments than the language
    // given, the tables chosen reported, and back to that language on request.
    void cheapestTables()
    {
        const QString turkish = QStringLiteral("Günaydın! Bugün şehirde buluşalım mı? Ağaçların altında çay içer, "
                                               "sonra İstiklal'e yürürüz.");
        SMSMessage message(SMSMessage::LanguageDefault, turkish);
        unsigned int segments, remaining, maxLength;
        QCOMPARE(message.getSize(segments, remaining, maxLength), 0);
        QCOMPARE(segments, 2u);   // UCS-2
        message.setCheapestAmong({SMSMessage::LanguageSpanish, SMSMessage::LanguageTurkish});
        QCOMPARE(message.getSize(segments, remaining, maxLength), 0);
        QCOMPARE(segments, 1u);
        QCOMPARE(message.lockingLanguage(), SMSMessage::LanguageDefault);
        QCOMPARE(message.singleLanguage(), SMSMessage::LanguageTurkish);
        QCOMPARE(maxLength, 155u * 255u);   // a single shift element: 155 septets a segment
        message.setCheapestAmong({});
        QCOMPARE(message.getSize(segments, remaining, maxLength), 0);
        QCOMPARE(segments, 2u);
        QCOMPARE(message.singleLanguage(), SMSMessage::LanguageDefault);
    }

    void serviceCentre()
    {
        SMSParameters parameters;
        QVERIFY(parameters.isValid());
        QVERIFY(bench.calls().isEmpty());   // nothing is read at construction
        QCOMPARE(parameters.serviceCenterAddress(), QStringLiteral("+358405202000"));
        QCOMPARE(bench.wire(), QStringList{"GetParameters(y) 1"});
    }

    void serviceCentreAbsent_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("present");
        QTest::newRow("indicator bit 0x02") << "ParameterIndicators" << QVariant::fromValue(uchar(0xFF)) << false;
        QTest::newRow("only 0x02 set") << "ParameterIndicators" << QVariant::fromValue(uchar(0x02)) << false;
        QTest::newRow("0xFD keeps it") << "ParameterIndicators" << QVariant::fromValue(uchar(0xFD)) << true;
        QTest::newRow("status") << "Status" << QVariant(3) << false;
    }

    void serviceCentreAbsent()
    {
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        QFETCH(bool, present);
        bench.setProperty(SmsSim, property, value);
        SMSParameters parameters;
        QCOMPARE(!parameters.serviceCenterAddress().isNull(), present);
    }

    // The reply is a byte first and eight arguments at least; the address is
    // read as text and the status as a number, the others are the daemon's.
    void serviceCentreReplies_data()
    {
        QTest::addColumn<QVariantMap>("answer");
        QTest::addColumn<QString>("address");
        const QVariant byte = QVariant::fromValue(uchar(0xFD));
        QTest::newRow("error") << QVariantMap{{"error", "com.kelvo.hvt.SMS.Error.SimBusy"}, {"message", "busy"}} << QString();
        QTest::newRow("seven arguments") << QVariantMap{{"reply", QVariantList{byte, "", byte, byte, byte, "+123", 0u}}}
                                         << QString();
        QTest::newRow("not a byte first") << QVariantMap{{"reply", QVariantList{"x", "", 0, 0, 0, "+123", 0u, 0}}}
                                          << QString();
        QTest::newRow("the daemon's own types") << QVariantMap{{"reply", QVariantList{byte, 5, true, "x", 2.5, "+123", "t", 0}}}
                                                << "+123";
        QTest::newRow("a status as text") << QVariantMap{{"reply", QVariantList{byte, "", byte, byte, byte, "+123", 0u, "0"}}}
                                          << "+123";
    }

    void serviceCentreReplies()
    {
        QFETCH(QVariantMap, answer);
        bench.script(SmsSim, QStringLiteral("GetParameters"), answer);
        SMSParameters parameters;
        QTEST(parameters.serviceCenterAddress(), "address");
        QVERIFY(SimBench::log().isEmpty());
    }

    void daemonAbsent()
    {
        bench.releaseNames();
        SMSParameters parameters;
        QVERIFY(!parameters.isValid());
        QVERIFY(parameters.serviceCenterAddress().isNull());
        QVERIFY(SimBench::log().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSmsClasses)
#include "tst_smsclasses.moc"
