// SPDX-License-Identifier: LGPL-2.1-or-later
#include <ondrix-qt/signalstrength.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <QtTest>

using Ondrix::SignalStrength;

namespace {
const QString Signal = QStringLiteral("com.kelvo.hvt.CSNet.SignalStrength");
}

class TestSignalStrength : public SimTestCase
{
    Q_OBJECT

    void bars(int value) { bench.emitSignal(Signal, QStringLiteral("SignalBarsChanged"), {value}); }
    void level(int percent, int dbm)
    {
        bench.emitSignal(Signal, QStringLiteral("SignalStrengthChanged"), {percent, dbm});
    }

private Q_SLOTS:
    void initialRead()
    {
        SignalStrength signal;
        QVERIFY(signal.isValid());
        QCOMPARE(signal.bars(), 4);
        QCOMPARE(signal.percent(), 61);
        QCOMPARE(signal.dbm(), -75);
        QCOMPARE(bench.wire(), QStringList{"GetAll(s) \"" + Signal + "\""});
    }

    void initialReadWithoutDecibels()
    {
        bench.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                     {{QStringLiteral("reply"), QVariantList{QVariantMap{{"SignalBars", 2}, {"SignalPercent", 35}}}}});
        SignalStrength signal;
        QCOMPARE(signal.bars(), 2);
        QCOMPARE(signal.percent(), 35);
        QCOMPARE(signal.dbm(), 0);
    }

    void withoutOptionsNothingIsFollowed()
    {
        SignalStrength signal;
        SignalRecorder recorder(&signal);
        bars(1);
        level(10, -105);
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), QStringList{});
        QCOMPARE(signal.bars(), 4);
        QCOMPARE(signal.options(), SignalStrength::Options());
    }

    void percentAndDbmShareOneSubscription()
    {
        SignalStrength signal(SignalStrength::PercentOption);
        signal.setOptions(SignalStrength::PercentOption | SignalStrength::DbmOption);
        SignalRecorder recorder(&signal);
        level(50, -80);
        level(50, -81);   // only the level in dBm changed
        level(50, -81);   // nothing changed
        bars(2);          // not followed
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"percentChanged(50)", "dbmChanged(-80)", "dbmChanged(-81)"}));
        QCOMPARE(signal.property("options").toInt(), int(SignalStrength::PercentOption | SignalStrength::DbmOption));
    }

    void removingAnOptionKeepsTheValue()
    {
        SignalStrength signal(SignalStrength::BarsOption | SignalStrength::DbmOption);
        SignalRecorder recorder(&signal);
        bars(2);
        QVERIFY(bench.flush());
        signal.setOptions(SignalStrength::DbmOption);
        bars(5);
        level(20, -100);
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"barsChanged(2)", "percentChanged(20)", "dbmChanged(-100)"}));
        QCOMPARE(signal.bars(), 2);

        QVERIFY(signal.setProperty("options", 0));
        level(90, -55);
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded().size(), 3);
        QCOMPARE(signal.dbm(), -100);

        // Subscribing again does not re-read: the next daemon signal brings the news.
        signal.setOptions(SignalStrength::BarsOption);
        QCOMPARE(signal.bars(), 2);
        bars(3);
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded().last(), QStringLiteral("barsChanged(3)"));
    }

    void theSimulatorAnnouncesChanges()
    {
        SignalStrength signal(SignalStrength::BarsOption | SignalStrength::PercentOption);
        SignalRecorder recorder(&signal);
        bench.setProperty(Signal, QStringLiteral("SignalDecibels"), -90);
        bench.setProperty(Signal, QStringLiteral("SignalBars"), 1);
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"dbmChanged(-90)", "barsChanged(1)"}));
    }
};

QTEST_GUILESS_MAIN(TestSignalStrength)
#include "tst_signalstrength.moc"
