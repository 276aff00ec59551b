// SPDX-License-Identifier: LGPL-2.1-or-later
#include <ondrix-qt/networkregistration.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <QSignalSpy>
#include <QtDBus/QDBusMetaType>
#include <QtTest>

using Ondrix::AvailableOperator;
using Ondrix::NetworkRegistration;

namespace {

const QString Registration = QStringLiteral("com.kelvo.hvt.CSNet.NetworkRegistration");
const QString Interrupted = QStringLiteral("com.kelvo.hvt.CSNet.Error.Interrupted");

} // namespace

class TestNetworkRegistration : public SimTestCase
{
    Q_OBJECT

    // The calls of the registration interface (the reads are the properties interface's).
    QStringList sent() { return bench.wire(Registration); }

private Q_SLOTS:
    void initialRead()
    {
        NetworkRegistration reg;
        QVERIFY(reg.isValid());
        QCOMPARE(reg.status(), NetworkRegistration::AtHome);
        QCOMPARE(reg.mode(), NetworkRegistration::Automatic);
        QCOMPARE(reg.rejectCode(), NetworkRegistration::UnspecifiedError);   // empty text
        QVERIFY(reg.availableOperators().isEmpty());
        QCOMPARE(bench.wire(), QStringList{"GetAll(s) \"" + Registration + "\""});
        QVERIFY(SimBench::log().isEmpty());
        QCOMPARE(reg.property("status").value<NetworkRegistration::Status>(), NetworkRegistration::AtHome);
    }

    void initialReadWithoutKeys()
    {
        bench.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                     {{QStringLiteral("reply"), QVariantList{QVariantMap{}}}});
        NetworkRegistration reg;
        QCOMPARE(reg.status(), NetworkRegistration::UnknownStatus);
        QCOMPARE(reg.mode(), NetworkRegistration::UnknownMode);
        QCOMPARE(reg.rejectCode(), NetworkRegistration::UnspecifiedError);
    }

    void daemonAbsent()
    {
        bench.releaseNames();
        NetworkRegistration reg;
        QVERIFY(!reg.isValid());
        QCOMPARE(SimBench::log().size(), 1);
        QVERIFY(SimBench::log().first().startsWith(QLatin1String("Error: \"org.freedesktop.DBus.Error.ServiceUnknown\"")));
        SignalRecorder recorder(&reg);
        reg.scanOperators();
        QTRY_COMPARE(recorder.recorded(), QStringList{"operatorsFailure()"});
    }

    void registrationChanges_data()
    {
        QTest::addColumn<QStringList>("changes");   // "status/reject" pairs, one signal each
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("reject code alone")
            << QStringList{"Home/Congestion", "Home/UnspecifiedProtocolError"}
            << QStringList{"statusWithRejectCodeChanged(0, 18)", "statusWithRejectCodeChanged(0, 29)"};
        QTest::newRow("status and code")
            << QStringList{"Roaming/", "Rejected/PLMNNotAllowed"}
            << QStringList{"statusChanged(1)", "statusWithRejectCodeChanged(1, 29)",
                           "statusChanged(5)", "statusWithRejectCodeChanged(5, 9)"};
        QTest::newRow("repeat emits nothing")
            << QStringList{"Home/", "Home/Gibberish"} << QStringList{};
        QTest::newRow("unknown reject text is unspecified")
            << QStringList{"Home/IllegalMS", "Home/NotARealCause"}
            << QStringList{"statusWithRejectCodeChanged(0, 1)", "statusWithRejectCodeChanged(0, 29)"};
        QTest::newRow("unknown status")
            << QStringList{"Sleeping/"} << QStringList{"statusChanged(-1)", "statusWithRejectCodeChanged(-1, 29)"};
        QTest::newRow("last table rows")
            << QStringList{"NoCoverage/MessageTypeIncompatibleWithProtocolState"}
            << QStringList{"statusChanged(8)", "statusWithRejectCodeChanged(8, 28)"};
    }

    void registrationChanges()
    {
        QFETCH(QStringList, changes);
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        for (const QString &change : changes) {
            bench.emitSignal(Registration, QStringLiteral("RegistrationChanged"),
                             {change.section(QLatin1Char('/'), 0, 0), change.section(QLatin1Char('/'), 1)});
        }
        QVERIFY(bench.flush());
        QTEST(recorder.recorded(), "expected");
    }

    void modeChanges()
    {
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        for (const char *mode : {"Auto", "Forced", "Forced", "Manual", "auto", "Auto"})
            bench.emitSignal(Registration, QStringLiteral("SelectionModeChanged"), {QString::fromLatin1(mode)});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"modeChanged(2)", "modeChanged(0)", "modeChanged(-1)",
                                                   "modeChanged(1)"}));
        QCOMPARE(reg.mode(), NetworkRegistration::Automatic);
    }

    void scanReplacesResults()
    {
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        reg.scanOperators();
        QTRY_COMPARE(recorder.recorded(), QStringList{"operatorsSuccess()"});
        QCOMPARE(sent(), QStringList{"GetNetworks()"});

        const QList<AvailableOperator> ops = reg.availableOperators();
        QCOMPARE(ops.size(), 4);
        QCOMPARE(ops[0].name(), QStringLiteral("Ondrix Mobile"));
        QCOMPARE(ops[0].mnc(), QStringLiteral("05"));
        QCOMPARE(ops[0].mcc(), QStringLiteral("244"));
        QCOMPARE(ops[0].availability(), AvailableOperator::Current);
        QCOMPARE(ops[0].preference(), AvailableOperator::HomeOperator);
        QCOMPARE(ops[0].band(), AvailableOperator::Gsm900Gsm1800);
        QCOMPARE(ops[0].umts(), true);
        QCOMPARE(ops[3].availability(), AvailableOperator::Forbidden);
        QCOMPARE(ops[3].band(), AvailableOperator::Gsm850Gsm1900);
        QCOMPARE(ops[1].band(), AvailableOperator::AllBands);

        // A failed scan empties them.
        bench.script(Registration, QStringLiteral("GetNetworks"),
                     {{QStringLiteral("error"), QStringLiteral("com.kelvo.hvt.CSNet.Error.Failed")},
                      {QStringLiteral("message"), QStringLiteral("modem busy")}});
        reg.scanOperators();
        QTRY_COMPARE(recorder.recorded().size(), 2);
        QCOMPARE(recorder.recorded().last(), QStringLiteral("operatorsFailure()"));
        QVERIFY(reg.availableOperators().isEmpty());
        QVERIFY(SimBench::log().isEmpty());
    }

    void malformedScanAnswerFails()
    {
        NetworkRegistration reg;
        bench.script(Registration, QStringLiteral("GetNetworks"),
                     {{QStringLiteral("reply"), QVariantList{QStringLiteral("not a list")}}});
        SignalRecorder recorder(&reg);
        reg.scanOperators();
        QTRY_COMPARE(recorder.recorded(), QStringList{"operatorsFailure()"});
        bench.script(Registration, QStringLiteral("GetNetworks"),
                     {{QStringLiteral("reply"), QVariantList{QStringLiteral("x"), 1}}});
        reg.queryAvailableOperators();
        QTRY_COMPARE(recorder.recorded().size(), 2);
        QVERIFY(recorder.recorded().last().startsWith(QLatin1String("availableOperators(false, 0 items, ")));
    }

    void queryLeavesResultsAlone()
    {
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        QSignalSpy query(&reg, qOverload<bool, const QList<AvailableOperator> &, const QString &>(
                                   &NetworkRegistration::availableOperators));
        reg.queryAvailableOperators();
        QTRY_COMPARE(query.count(), 1);
        QCOMPARE(recorder.recorded(), QStringList{"availableOperators(true, 4 items, \"\")"});
        QCOMPARE(query[0][1].value<QList<AvailableOperator>>().at(2).mcc(), QStringLiteral("248"));
        QVERIFY(query[0][2].toString().isNull());
        QVERIFY(reg.availableOperators().isEmpty());

        bench.script(Registration, QStringLiteral("GetNetworks"),
                     {{QStringLiteral("error"), QStringLiteral("com.kelvo.hvt.CSNet.Error.Failed")},
                      {QStringLiteral("message"), QStringLiteral("no radio")}});
        reg.queryAvailableOperators();
        QTRY_COMPARE(query.count(), 2);
        QCOMPARE(recorder.recorded().last(), QStringLiteral("availableOperators(false, 0 items, \"no radio\")"));
    }

    void cancelledScan()
    {
        bench.setSetting(QStringLiteral("ScanTime"), 60000);
        NetworkRegistration reg;
        reg.scanOperators();
        reg.queryAvailableOperators();
        QTRY_COMPARE(bench.calls(QStringLiteral("GetNetworks")).size(), 2);
        SignalRecorder recorder(&reg);
        reg.cancelQueryAvailableOperators();
        QTRY_COMPARE(recorder.recorded().size(), 3);
        QCOMPARE(recorder.recorded(), (QStringList{"operatorsCanceled()", "availableOperators(false, 0 items, \"Scan cancelled\")",
                                                   "availableOperatorsCanceled(true, \"\")"}));
        QCOMPARE(sent(), (QStringList{"GetNetworks()", "GetNetworks()", "CancelQuery()"}));
    }

    void refusedCancellations()
    {
        bench.script(Registration, QStringLiteral("CancelQuery"),
                     {{QStringLiteral("error"), QStringLiteral("com.kelvo.hvt.CSNet.Error.Failed")},
                      {QStringLiteral("message"), QStringLiteral("nothing to cancel")}});
        bench.script(Registration, QStringLiteral("CancelRegister"),
                     {{QStringLiteral("error"), QStringLiteral("com.kelvo.hvt.CSNet.Error.Failed")},
                      {QStringLiteral("message"), QStringLiteral("too late")}});
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        reg.cancelQueryAvailableOperators();
        QTRY_COMPARE(recorder.recorded().size(), 1);
        reg.cancelSelectOperator();
        QTRY_COMPARE(recorder.recorded().size(), 2);
        QCOMPARE(recorder.recorded(), (QStringList{"availableOperatorsCanceled(false, \"nothing to cancel\")",
                                                   "selectOperatorCanceled(false, \"too late\")"}));
    }

    // A selection by hand, and one refused as a modem refuses it: rejected
    // with the cause, then back on the network it had, in the mode it had.
    void manualSelection_data()
    {
        QTest::addColumn<QString>("mnc");
        QTest::addColumn<QStringList>("recording");
        QTest::addColumn<QStringList>("log");
        const QStringList searching{"modeChanged(0)", "statusChanged(3)", "statusWithRejectCodeChanged(3, 29)"};
        QTest::newRow("accepted") << "91" << searching + QStringList{"statusChanged(1)", "statusWithRejectCodeChanged(1, 29)",
            "selectionCompleted(-1)", "selectionCompleted(true, \"\")", "selectionSuccess()"} << QStringList();
        QTest::newRow("refused") << "12" << searching + QStringList{"statusChanged(5)", "statusWithRejectCodeChanged(5, 9)",
            "selectionCompleted(9)", "selectionCompleted(false, \"PLMNNotAllowed\")", "selectionFailure()",
            "modeChanged(1)", "statusChanged(0)", "statusWithRejectCodeChanged(0, 29)"}
                                 << QStringList{"Manual selection failed: \"PLMNNotAllowed\""};
    }

    void manualSelection()
    {
        QFETCH(QString, mnc);
        QFETCH(QStringList, recording);
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        reg.selectOperator(mnc, QStringLiteral("244"));
        QCOMPARE(recorder.awaited(recording.size()), recording);
        QCOMPARE(sent(), QStringList{"SelectOperator(ss) \"" + mnc + "\", \"244\""});
        QTEST(SimBench::log(), "log");
    }

    void automaticSelection_data()
    {
        QTest::addColumn<QVariantMap>("answer");
        QTest::addColumn<QStringList>("outcome");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("success") << QVariantMap{}
                                 << QStringList{"selectionCompleted(-1)", "selectionCompleted(true, \"\")", "selectionSuccess()"}
                                 << QStringList{};
        QTest::newRow("congestion")
            << QVariantMap{{"error", "com.kelvo.hvt.CSNet.Error.Rejected"}, {"message", "Congestion"}}
            << QStringList{"selectionCompleted(18)", "selectionCompleted(false, \"Congestion\")", "selectionFailure()"}
            << QStringList{"Automatic selection failed: \"Congestion\""};
        QTest::newRow("other message")
            << QVariantMap{{"error", "com.kelvo.hvt.CSNet.Error.Failed"}, {"message", "radio off"}}
            << QStringList{"selectionCompleted(29)", "selectionCompleted(false, \"radio off\")", "selectionFailure()"}
            << QStringList{"Automatic selection failed: \"radio off\""};
        QTest::newRow("interrupted")
            << QVariantMap{{"error", Interrupted}, {"message", "LocationAreaNotAllowed"}}
            << QStringList{"selectionCompleted(10)", "selectionCompleted(false, \"LocationAreaNotAllowed\")", "selectionCanceled()"}
            << QStringList{"Automatic selection failed: \"LocationAreaNotAllowed\""};
    }

    void automaticSelection()
    {
        QFETCH(QVariantMap, answer);
        if (!answer.isEmpty())
            bench.script(Registration, QStringLiteral("SelectAnyOperator"), answer);
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        reg.selectOperator();
        QTRY_VERIFY(recorder.recorded().filter(QStringLiteral("selectionCompleted(")).size() == 2);
        QVERIFY(bench.flush());
        QStringList outcome = recorder.recorded().filter(QRegularExpression("^selection"));
        QTEST(outcome, "outcome");
        QTEST(SimBench::log(), "log");
        QCOMPARE(sent(), QStringList{"SelectAnyOperator()"});
    }

    void selectionByIndex()
    {
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        reg.selectOperator(0);   // nothing scanned yet
        QCOMPARE(recorder.recorded(), QStringList{"selectionFailure()"});
        QVERIFY(bench.flush());
        QCOMPARE(sent(), QStringList{});

        reg.scanOperators();
        QTRY_COMPARE(reg.availableOperators().size(), 4);
        recorder.clear();
        reg.selectOperator(4);
        reg.selectOperator(-1);
        QCOMPARE(recorder.recorded(), (QStringList{"selectionFailure()", "selectionFailure()"}));
        reg.selectOperator(2);
        QTRY_VERIFY(recorder.recorded().contains(QStringLiteral("selectionSuccess()")));
        reg.selectOperator(reg.availableOperators().at(1));
        QTRY_COMPARE(recorder.recorded().filter(QStringLiteral("selectionSuccess()")).size(), 2);
        QCOMPARE(sent().filter("Select"), (QStringList{"SelectOperator(ss) \"01\", \"248\"",
                                                       "SelectOperator(ss) \"91\", \"244\""}));
    }

    void cancelledSelection()
    {
        bench.setSetting(QStringLiteral("SelectionTime"), 60000);
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        reg.selectOperator(QStringLiteral("01"), QStringLiteral("248"));
        QTRY_COMPARE(bench.calls(QStringLiteral("SelectOperator")).size(), 1);
        reg.cancelSelectOperator();
        QTRY_VERIFY(recorder.recorded().contains(QStringLiteral("selectOperatorCanceled(true, \"\")")));
        QVERIFY(recorder.recorded().contains(QStringLiteral("selectionCanceled()")));
        QVERIFY(recorder.recorded().indexOf(QStringLiteral("selectionCanceled()"))
                < recorder.recorded().indexOf(QStringLiteral("selectOperatorCanceled(true, \"\")")));
        QCOMPARE(SimBench::log(), QStringList{"Manual selection failed: \"Selection cancelled\""});
        // Nothing is outstanding any more: reset sends nothing.
        reg.reset();
        QVERIFY(bench.flush());
        QCOMPARE(sent(), (QStringList{"SelectOperator(ss) \"01\", \"248\"", "CancelRegister()"}));
    }

    // A selection the modem gives up ends then, not at the call's time-out
    // two minutes later.
    void selectionGivenUpByTheModem_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reason");
        QTest::newRow("the radio goes off") << "flight on" << "The radio went off";
        QTest::newRow("the card goes") << "sim remove" << "The card went away";
        QTest::newRow("the modem registers by itself") << "register Roaming 248 01 Baltic" << "The modem registered by itself";
        QTest::newRow("the simulator is reset") << "reset" << "The modem was reset";
    }

    void selectionGivenUpByTheModem()
    {
        QFETCH(QString, command);
        QFETCH(QString, reason);
        bench.setSetting(QStringLiteral("SelectionTime"), 60000);
        NetworkRegistration reg;
        SignalRecorder recorder(&reg);
        reg.selectOperator(QStringLiteral("01"), QStringLiteral("248"));
        QTRY_COMPARE(bench.calls(QStringLiteral("SelectOperator")).size(), 1);
        QCOMPARE(bench.control(QStringLiteral("Run"), {command}).toString(), QString());
        QTRY_VERIFY(recorder.recorded().contains(QStringLiteral("selectionCanceled()")));
        QVERIFY(recorder.recorded().contains(QStringLiteral("selectionCompleted(false, \"%1\")").arg(reason)));
        QCOMPARE(recorder.recorded().filter(QStringLiteral("selectionCompleted(false")).size(), 1);
    }

    void resetCancelsScanAndManualSelection_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QStringList>("cancels");
        QTest::newRow("scan and automatic") << true << true << false << QStringList{"CancelQuery"};
        QTest::newRow("manual") << false << false << true << QStringList{"CancelRegister"};
        QTest::newRow("all") << true << false << true << QStringList{"CancelQuery", "CancelRegister"};
        QTest::newRow("nothing") << false << true << false << QStringList{};
    }

    // reset() and the destructor cancel an outstanding scan and manual selection only.
    void resetCancelsScanAndManualSelection()
    {
        QFETCH(bool, scan);
        QFETCH(bool, automatic);
        QFETCH(bool, manual);
        QFETCH(QStringList, cancels);
        bench.setSetting(QStringLiteral("ScanTime"), 60000);
        bench.setSetting(QStringLiteral("SelectionTime"), 60000);
        for (bool destroy : {false, true}) {
            bench.clearCalls();
            auto *reg = new NetworkRegistration;
            if (scan)
                reg->scanOperators();
            if (automatic)
                reg->selectOperator();
            if (manual)
                reg->selectOperator(QStringLiteral("91"), QStringLiteral("244"));
            if (destroy) {
                delete reg;
            } else {
                reg->reset();
                reg->reset();   // the flags are clear now: nothing more is sent
            }
            QVERIFY(bench.flush());
            QCOMPARE(sent().filter(QStringLiteral("Cancel")).replaceInStrings(QStringLiteral("()"), QString()), cancels);
            if (!destroy)
                delete reg;
            bench.reset();
            bench.setSetting(QStringLiteral("ScanTime"), 60000);
            bench.setSetting(QStringLiteral("SelectionTime"), 60000);
        }
    }

    void availableOperatorSharesItsRecord()
    {
        AvailableOperator first(QStringLiteral("05"), QStringLiteral("244"), QStringLiteral("Home net"),
                                AvailableOperator::AllBands, AvailableOperator::Current,
                                AvailableOperator::HomeOperator, true);
        AvailableOperator copy = first;
        copy.setName(QStringLiteral("Renamed"));
        copy.setUmts(false);
        QCOMPARE(first.name(), QStringLiteral("Renamed"));
        QCOMPARE(first.umts(), false);
        AvailableOperator assigned;
        assigned = copy;
        assigned.setMcc(QStringLiteral("310"));
        QCOMPARE(first.mcc(), QStringLiteral("310"));
        QList<AvailableOperator> list{first};
        list[0].setBand(AvailableOperator::Gsm850Gsm1900);
        QCOMPARE(first.bandName(), QStringLiteral("GSM 850 / GSM 1900"));
    }

    void availableOperatorFromScanRecord_data()
    {
        QTest::addColumn<QString>("availability");
        QTest::addColumn<QString>("preference");
        QTest::addColumn<QString>("band");
        QTest::addColumn<QString>("names");
        QTest::newRow("known") << "Current" << "Preferred" << "GSM_900_1800" << "Current/Preferred/GSM 900 / GSM 1800";
        QTest::newRow("case differs") << "current" << "home" << "gsm_900_1800" << "Unknown/Unknown/Unknown";
        QTest::newRow("forbidden") << "Forbidden" << "Forbidden" << "AllSupported" << "Forbidden/Forbidden/All supported";
        QTest::newRow("empty") << "" << "" << "" << "Unknown/Unknown/Unknown";
    }

    void availableOperatorFromScanRecord()
    {
        OperatorStruct record;
        QFETCH(QString, availability);
        QFETCH(QString, preference);
        QFETCH(QString, band);
        record.availability = availability;
        record.preference = preference;
        record.band = band;
        const AvailableOperator op = AvailableOperator::fromStruct(record);
        QTEST(op.availabilityName() + "/" + op.preferenceName() + "/" + op.bandName(), "names");
    }

};

QTEST_GUILESS_MAIN(TestNetworkRegistration)
#include "tst_networkregistration.moc"
