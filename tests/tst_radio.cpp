// SPDX-License-Identifier: LGPL-2.1-or-later
// Radio access, the serving cell and network time against the simulated modem.

#include <ondrix-qt/networkcell.h>
#include <ondrix-qt/networktime.h>
#include <ondrix-qt/radioaccess.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtTest>

using namespace Ondrix;

namespace {
const QString Radio = QStringLiteral("com.kelvo.hvt.CSNet.RadioAccess");
const QString Gprs = QStringLiteral("com.kelvo.hvt.GPRS");
const QString Cell = QStringLiteral("com.kelvo.hvt.CSNet.NetworkCell");
const QString Time = QStringLiteral("com.kelvo.hvt.CSNet.NetworkTime");

}

class TestRadio : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void radioInitialRead()
    {
        RadioAccess radio;
        QVERIFY(radio.isValid());
        QCOMPARE(radio.mode(), RadioAccess::DualMode);
        QCOMPARE(radio.technology(), RadioAccess::ThreePointFiveG);
        QCOMPARE(radio.channel(), 10700u);
        QCOMPARE(radio.state(), RadioAccess::Flags(RadioAccess::Idle));
        QVERIFY(radio.isDataAvailable());
        QCOMPARE(bench.wire(), (QStringList{"GetAll(s) \"" + Radio + "\"", "GetAll(s) \"" + Gprs + "\""}));
    }

    void modeChanges()
    {
        RadioAccess radio;
        SignalRecorder recorder(&radio);
        radio.setMode(RadioAccess::DualMode);   // the current mode: answered at once
        QCOMPARE(recorder.recorded(), QStringList{"modeChanged(0)"});
        QVERIFY(bench.wire(Radio).isEmpty());

        radio.setMode(RadioAccess::OnlyTwoG);
        QTRY_COMPARE(radio.mode(), RadioAccess::OnlyTwoG);
        QVERIFY(bench.flush());   // and all that follows the switch
        QVERIFY(recorder.recorded().contains(QStringLiteral("modeChanged(1)")));
        QCOMPARE(bench.wire(Radio), QStringList{"SetSelectionMode(s) \"GSM\""});

        bench.setProperty(Radio, QStringLiteral("SupportedModes"), QStringList{"Dual", "GSM"});
        recorder.clear();
        radio.setMode(RadioAccess::OnlyThreeG);
        radio.setMode(RadioAccess::ForcedDualMode);
        QCOMPARE(recorder.awaited(2), (QStringList{"modeChangeFailed(\"The modem has no mode \"UMTS\"\")",
                                                    "modeChangeFailed(\"The modem has no mode \"\"\")"}));
        QCOMPARE(radio.mode(), RadioAccess::OnlyTwoG);
        QCOMPARE(bench.wire(Radio).mid(1), (QStringList{"SetSelectionMode(s) \"UMTS\"", "SetSelectionMode(s) \"\""}));
    }

    void daemonSignals()
    {
        RadioAccess radio;
        SignalRecorder recorder(&radio);
        QSignalSpy states(&radio, &RadioAccess::statusChanged);
        bench.emitSignal(Radio, QStringLiteral("SelectionModeChanged"), {QStringLiteral("Forced")});
        bench.emitSignal(Radio, QStringLiteral("SelectionModeChanged"), {QStringLiteral("Forced")});
        bench.emitSignal(Radio, QStringLiteral("DataTechnologyChanged"), {QStringLiteral("LTE")});
        bench.emitSignal(Radio, QStringLiteral("ChannelChanged"), {62});
        bench.emitSignal(Radio, QStringLiteral("RadioIdle"), {true, false, true});   // not followed yet
        radio.setOptions(RadioAccess::StatusUpdates);
        radio.setOptions(RadioAccess::StatusUpdates);
        bench.emitSignal(Radio, QStringLiteral("RadioIdle"), {true, false, true});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"modeChanged(3)", "technologyChanged(-1)", "channelChanged(62)",
                                                   "statusChanged()"}));
        QCOMPARE(int(states[0][0].value<RadioAccess::Flags>()), 5);   // idle and HSUPA
        radio.setOptions({});
        bench.emitSignal(Radio, QStringLiteral("RadioIdle"), {false, false, false});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded().size(), 4);
    }

    void packetData_data()
    {
        QTest::addColumn<uint>("code");
        QTest::addColumn<bool>("lost");
        QTest::newRow("call") << 5u << true;
        QTest::newRow("network") << 8u << true;
        QTest::newRow("other") << 3u << false;
    }

    void packetData()
    {
        QFETCH(uint, code);
        QFETCH(bool, lost);
        RadioAccess radio;
        SignalRecorder recorder(&radio);
        bench.emitSignal(Gprs, QStringLiteral("Suspended"), {code, QStringLiteral("cause")});
        bench.emitSignal(Gprs, QStringLiteral("Available"), {});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), lost ? (QStringList{"dataAvailabilityChanged(false)", "dataAvailabilityChanged(true)"})
                                           : QStringList());
    }

    void detachedModemHasData()
    {
        bench.setProperty(Gprs, QStringLiteral("Attached"), false);
        bench.setProperty(Gprs, QStringLiteral("Available"), false);
        RadioAccess radio;
        QVERIFY(radio.isDataAvailable());
    }

    // ---- NetworkCell ----

    void cellInitialRead()
    {
        NetworkCell cell;
        QCOMPARE(cell.id(), 6699);
        QCOMPARE(cell.lac(), 3841);
        QCOMPARE(cell.type(), NetworkCell::WCDMACell);
        QCOMPARE(cell.name(), QStringLiteral("Kamppi"));
        QCOMPARE(int(cell.services()), 1 | 2 | 32 | 64);
        QVERIFY(!cell.nameDisplayEnabled());
        QCOMPARE(bench.calls(QStringLiteral("GetServices")).size(), 1);
        QVERIFY(SimBench::log().isEmpty());
    }

    void cellSignals()
    {
        NetworkCell cell;
        SignalRecorder recorder(&cell);
        QSignalSpy services(&cell, &NetworkCell::servicesChanged);
        bench.emitSignal(Cell, QStringLiteral("CellChanged"), {QStringLiteral("WCDMA"), 6699, 3841, 8});  // band only
        bench.emitSignal(Cell, QStringLiteral("CellChanged"), {QStringLiteral("UMTS"), 7, 9, 1});
        bench.emitSignal(Cell, QStringLiteral("CellNameChanged"), {QStringLiteral("Kamppi")});
        bench.emitSignal(Cell, QStringLiteral("CellNameChanged"), {QStringLiteral("Ruoholahti")});
        bench.emitSignal(Cell, QStringLiteral("ServicesChanged"),
                         {QVariant::fromValue(CellServiceMap{{"HasCSServices", true}, {"SupportsHSDPA", true},
                                                             {"SupportsDTM", false}, {"Teleport", true}})});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"cellChanged(7, 9, -1)", "cellNameChanged(\"Ruoholahti\")",
                                                   "servicesChanged()"}));
        QCOMPARE(int(services[0][0].value<NetworkCell::Services>()), 33);
    }

    void nameDisplaySetting()
    {
        NetworkCell cell;
        SignalRecorder recorder(&cell);
        cell.setNameDisplayEnabled(false);   // unchanged: nothing sent
        cell.setNameDisplayEnabled(true);
        QCOMPARE(recorder.awaited(1), QStringList{"cellNameDisplayEnabledChanged(true)"});
        QCOMPARE(bench.wire().filter("Set("), QStringList{"Set(ssv) \"" + Cell + "\", \"CellNameDisplayEnabled\", "});

        bench.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                     {{QStringLiteral("error"), QStringLiteral("com.kelvo.hvt.CSNet.Error.Denied")},
                      {QStringLiteral("message"), QStringLiteral("no")}});
        cell.setNameDisplayEnabled(false);
        QCOMPARE(recorder.awaited(2).last(), QStringLiteral("cellNameDisplayEnabledChanged(true)"));
        QCOMPARE(SimBench::log(), QStringList{"Error: \"com.kelvo.hvt.CSNet.Error.Denied\" \"no\""});
    }

    // ---- NetworkTime ----

    void timeReports()
    {
        NetworkTime time;
        const NetworkTimeInfo now = time.timeInfo();
        QVERIFY(now.isValid());
        QCOMPARE(now.timezone(), 8);
        QCOMPARE(now.dst(), 0);
        QCOMPARE(now.mcc(), QStringLiteral("244"));
        QVERIFY(qAbs(now.dateTime().secsTo(QDateTime::currentDateTimeUtc())) < 60);
        QCOMPARE(now.dateTime().timeSpec(), Qt::UTC);

        QSignalSpy changes(&time, &NetworkTime::timeInfoChanged);
        bench.emitSignal(Time, QStringLiteral("RawNetworkTimeChanged"),
                         {QVariantMap{{"Timezone", 4}, {"UTC", 0}, {"DST", 5400u}, {"ReceivedSecs", 5}, {"ReceivedNSecs", 42}}});
        bench.emitSignal(Time, QStringLiteral("RawNetworkTimeChanged"), {QVariantMap{{"UTC", 100}, {"DST", 3600u}}});
        QTRY_COMPARE(changes.size(), 2);
        const auto first = changes[0][0].value<NetworkTimeInfo>();
        QCOMPARE(first.dateTime(), QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(first.dst(), 1);
        QCOMPARE(first.receivedSecs(), 5L);
        QVERIFY(!changes[1][0].value<NetworkTimeInfo>().isValid());
    }

    // The blocking read gives up after 250 ms and says so; the query waits and never logs.
    void slowDaemon()
    {
        NetworkTime time;
        bench.script(Time, QStringLiteral("GetRawNetworkTime"), {{QStringLiteral("delay"), 400}, {QStringLiteral("count"), 2}});
        // Given the bus's default time-out, the read would have had its answer.
        QVERIFY(!time.timeInfo().isValid());
        QCOMPARE(SimBench::log().size(), 1);
        QVERIFY(SimBench::log().first().startsWith("Error: \"org.freedesktop.DBus.Error.NoReply\""));

        SimBench::clearLog();
        QSignalSpy answers(&time, &NetworkTime::timeInfoQueryCompleted);
        time.queryTimeInfo();
        QTRY_COMPARE(answers.size(), 1);
        QVERIFY(answers[0][0].value<NetworkTimeInfo>().isValid());
        bench.script(Time, QStringLiteral("GetRawNetworkTime"), {{QStringLiteral("error"), QStringLiteral("x.Error")}});
        time.queryTimeInfo();
        QTRY_COMPARE(answers.size(), 2);
        QVERIFY(!answers[1][0].value<NetworkTimeInfo>().isValid());
        QVERIFY(SimBench::log().isEmpty());
    }

    void timeInfoValue()
    {
        const NetworkTimeInfo empty;
        QVERIFY(!empty.isValid());
        QCOMPARE(empty.dst(), -1);
        QCOMPARE(empty.timezone(), 0);
        QVERIFY(!empty.dateTime().isValid());
        NetworkTimeInfo copy = empty;
        QCOMPARE(copy.dst(), -1);
        QString text;
        QDebug(&text) << empty;
        QCOMPARE(text, QStringLiteral("\nTime: \"\"\nTZ: 0\nDST: -1\nStamp: 0.0\nMNC: \"\"\nMCC: \"\"\n "));
    }

    // Registering with another network brings its time report.
    void roamingBringsATimeReport()
    {
        NetworkTime time;
        QSignalSpy changes(&time, &NetworkTime::timeInfoChanged);
        bench.setSetting(QStringLiteral("SelectionTime"), 0);
        QDBusMessage selection = QDBusMessage::createMethodCall(QStringLiteral("com.kelvo.hvt.CSNet"),
                                                             QStringLiteral("/com/kelvo/hvt/csnet"),
                                                             QStringLiteral("com.kelvo.hvt.CSNet.NetworkRegistration"),
                                                             QStringLiteral("SelectOperator"));
        selection.setArguments({QStringLiteral("01"), QStringLiteral("248")});
        QDBusConnection::systemBus().call(selection, QDBus::Block, 5000);
        QTRY_COMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].value<NetworkTimeInfo>().mcc(), QStringLiteral("248"));
    }
};

QTEST_GUILESS_MAIN(TestRadio)
#include "tst_radio.moc"
