// SPDX-License-Identifier: LGPL-2.1-or-later
#include <ondrix-qt/networkoperator.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <vrx.h>

#include <QtTest>

using Ondrix::NetworkOperator;

namespace {
const QString Operator = QStringLiteral("com.kelvo.hvt.CSNet.NetworkOperator");
}

class TestNetworkOperator : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void initialRead()
    {
        NetworkOperator op;
        QVERIFY(op.isValid());
        QCOMPARE(op.name(), QStringLiteral("Ondrix Mobile"));
        QCOMPARE(op.mnc(), QStringLiteral("05"));   // the leading zero stays
        QCOMPARE(op.mcc(), QStringLiteral("244"));
        QCOMPARE(op.property("mnc").toString(), QStringLiteral("05"));
        QCOMPARE(bench.wire(), QStringList{"GetAll(s) \"" + Operator + "\""});
    }

    void initialReadWithoutName()
    {
        bench.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                     {{QStringLiteral("reply"),
                       QVariantList{QVariantMap{{"OperatorMNC", "007"}, {"OperatorMCC", "310"}}}}});
        NetworkOperator op;
        QVERIFY(op.name().isEmpty());
        QCOMPARE(op.mnc(), QStringLiteral("007"));
        QCOMPARE(op.mcc(), QStringLiteral("310"));
    }

    void daemonAbsent()
    {
        bench.releaseNames();
        NetworkOperator op;
        QVERIFY(!op.isValid());
        QVERIFY(op.name().isEmpty() && op.mnc().isEmpty() && op.mcc().isEmpty());
        QCOMPARE(SimBench::log().size(), 1);
    }

    void changes()
    {
        NetworkOperator op;
        SignalRecorder recorder(&op);
        const QString changed = QStringLiteral("OperatorChanged");
        bench.emitSignal(Operator, changed, {QStringLiteral("05"), QStringLiteral("244")});   // repeat
        bench.emitSignal(Operator, changed, {QStringLiteral("05"), QStringLiteral("248")});   // MCC only
        bench.emitSignal(Operator, changed, {QStringLiteral("01"), QStringLiteral("248")});   // MNC only
        bench.emitSignal(Operator, QStringLiteral("OperatorNameChanged"), {QStringLiteral("Ondrix Mobile")});
        bench.emitSignal(Operator, QStringLiteral("OperatorNameChanged"), {QStringLiteral("Baltic Link")});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"operatorChanged(\"05\", \"248\")", "operatorChanged(\"01\", \"248\")",
                                                   "nameChanged(\"Baltic Link\")"}));
        QCOMPARE(op.mcc(), QStringLiteral("248"));
        QCOMPARE(op.name(), QStringLiteral("Baltic Link"));
    }

    void followsTheSimulatedNetwork()
    {
        NetworkOperator op;
        SignalRecorder recorder(&op);
        bench.setProperty(Operator, QStringLiteral("OperatorName"), QStringLiteral("Renamed"));
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), QStringList{"nameChanged(\"Renamed\")"});
    }

    void country_data()
    {
        QTest::addColumn<QString>("mcc");
        QTest::addColumn<QString>("mnc");
        QTest::addColumn<QString>("initials");
        QTest::newRow("finland") << "244" << "05" << "FI";
        QTest::newRow("unassigned") << "999" << "" << "";
        QTest::newRow("two digits") << "24" << "" << "";
        QTest::newRow("letters") << "24a" << "" << "";
        QTest::newRow("bad network code") << "244" << "5" << "";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("not ascii") << "２４４" << "" << "";
    }

    void country()
    {
        QFETCH(QString, mcc);
        QFETCH(QString, mnc);
        NetworkOperator op;
        QTEST(op.country(mcc, mnc), "initials");
        const char *direct = vrx_name_country_initials(mcc.toUtf8().constData(), mnc.toUtf8().constData());
        QTEST(QString::fromUtf8(direct), "initials");
    }

    void vrxRefusesNull()
    {
        QVERIFY(!vrx_name_country_initials(nullptr, "01"));
        QCOMPARE(QString::fromLatin1(vrx_name_country_initials("244", nullptr)), QStringLiteral("FI"));
    }
};

QTEST_GUILESS_MAIN(TestNetworkOperator)
#include "tst_networkoperator.moc"
