// SPDX-License-Identifier: LGPL-2.1-or-later
// Supplementary services, USSD and dialler control strings against the simulated network.

#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/supplementaryservices.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <QtTest>

#include <algorithm>

using Ondrix::SupplementaryServices;
using SS = SupplementaryServices;

namespace {
const QString Calls = QStringLiteral("com.kelvo.hvt.SS");
const QString Ussd = QStringLiteral("com.kelvo.hvt.SS.USSD");
} // namespace

class TestSupplementaryServices : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    // The codes of services, conditions and basic services as the daemon
    // names them; a value outside a table goes out as "Unknown".
    void callsOnTheWire()
    {
        SS ss;
        SignalRecorder recorder(&ss);
        ss.registerDivert(SS::DivertBusy, SS::Telephony, QStringLiteral("+358401234567"));
        ss.activateWaiting(SS::AllBasicServices);
        ss.checkDivert(SS::DivertServiceCode(5), SS::AllBasicServices);
        ss.changeBarringPassword(SS::AllBarringServices, QStringLiteral("0000"), QStringLiteral("1234"));
        ss.activateBarring(SS::BarIncomingWhenRoaming, SS::FacsimileServices, QStringLiteral("0000"));
        ss.checkColp();
        ss.checkColr();
        ss.eraseDivert(SS::AllConditionalDiverts, SS::ShortMessageServices);
        QCOMPARE(recorder.awaited(8).size(), 8);
        QCOMPARE(bench.wire(), (QStringList{
            "RegisterDivert(sssu) \"67\", \"11\", \"+358401234567\", 0", "ActivateWaiting(s) \"\"",
            "CheckDivert(ss) \"Unknown\", \"\"", "ChangePassword(sss) \"330\", \"0000\", \"1234\"",
            "ActivateBarring(sss) \"351\", \"13\", \"0000\"", "CheckCoLP()", "CheckCoLR()",
            "EraseDivert(ss) \"004\", \"16\""}));
    }

    void answersAreConverted()
    {
        bench.script(Calls, QStringLiteral("CheckBarring"),
                     {{QStringLiteral("reply"), QVariantList{QStringList{"11", "x", ""}}}});
        bench.script(Calls, QStringLiteral("CheckCLIR"), {{QStringLiteral("reply"), QVariantList{"On"}}});
        SS ss;
        QSignalSpy barring(&ss, &SS::checkBarringCompleted);
        SignalRecorder recorder(&ss);
        ss.checkBarring(SS::BarAllOutgoing);
        ss.checkClir();
        ss.checkClip();
        ss.checkColp();
        QCOMPARE(recorder.awaited(4).mid(1), (QStringList{"checkClirCompleted(UnknownClirStatus, NoError)",
                                                           "checkClipCompleted(true, NoError)",
                                                           "checkColpCompleted(false, NoError)"}));
        QCOMPARE(barring[0][0].value<SS::BasicServiceList>(),
                 (SS::BasicServiceList{SS::Telephony, SS::UnknownBasicService, SS::AllBasicServices}));
    }

    // A divert set, read back and erased, as a phone's settings page does it.
    void divertRoundTrip()
    {
        SS ss;
        QSignalSpy checks(&ss, &SS::checkDivertCompleted);
        SignalRecorder recorder(&ss);
        ss.registerDivert(SS::DivertNoReply, SS::Telephony, QStringLiteral("+358405200000"), 25);
        ss.checkDivert(SS::AllConditionalDiverts, SS::AllBasicServices);
        ss.registerDivert(SS::DivertBusy, SS::Telephony, QStringLiteral("not a number"));
        ss.registerDivert(SS::DivertNoReply, SS::Telephony, QStringLiteral("+358405200000"), 7);
        ss.eraseDivert(SS::AllDiverts, SS::AllBasicServices);
        ss.activateDivert(SS::DivertNoReply, SS::Telephony);
        // Each answer completes its own operation; a loaded machine may hand
        // them on in another order (seen once under the sanitizers).
        QStringList completed = recorder.awaited(6);
        completed.sort();
        QCOMPARE(completed, (QStringList{
            "activateDivertCompleted(NotProvisioned)", "checkDivertCompleted(1 items, NoError)",
            "eraseDivertCompleted(NoError)", "registerDivertCompleted(Incompatibility)",
            "registerDivertCompleted(InvalidTelephoneNumber)", "registerDivertCompleted(NoError)"}));
        const SS::DivertService divert = checks[0][0].value<SS::DivertServiceList>().value(0);
        QCOMPARE(divert.basicService, SS::Telephony);
        QVERIFY(divert.active);
        QCOMPARE(divert.telephoneNumber, QStringLiteral("+358405200000"));
        QCOMPARE(divert.forwardDelay, 25u);
    }

    void barringPassword()
    {
        SS ss;
        QSignalSpy checks(&ss, &SS::checkBarringCompleted);
        SignalRecorder recorder(&ss);
        ss.activateBarring(SS::BarOutgoingInternational, SS::Telephony, QStringLiteral("0000"));
        ss.checkBarring(SS::AllOutgoingBarring);
        for (int i = 0; i < 4; i++)
            ss.deactivateBarring(SS::AllBarringServices, SS::AllBasicServices, QStringLiteral("9999"));
        QCOMPARE(recorder.awaited(6), (QStringList{
            "activateBarringCompleted(NoError)", "checkBarringCompleted(1 items, NoError)",
            "deactivateBarringCompleted(WrongPassword)", "deactivateBarringCompleted(WrongPassword)",
            "deactivateBarringCompleted(WrongPassword)", "deactivateBarringCompleted(TooManyPasswordAttempts)"}));
        QCOMPARE(checks[0][0].value<SS::BasicServiceList>(), SS::BasicServiceList{SS::Telephony});
        QVERIFY(SimBench::log().isEmpty());
    }

    // The network takes its time; meanwhile the service says it is busy.
    void busyWhileAnOperationRuns()
    {
        bench.setSetting(QStringLiteral("SSTime"), 300);
        SS ss;
        QSignalSpy busy(&ss, &SS::statusChanged);
        QVERIFY(!ss.isBusy());
        ss.checkCnap();
        QTRY_COMPARE(busy.size(), 1);
        QVERIFY(ss.isBusy());
        SignalRecorder recorder(&ss);
        ss.checkClip();   // refused while busy
        QCOMPARE(recorder.awaited(3), (QStringList{"checkClipCompleted(false, Busy)", "checkCnapCompleted(true, NoError)",
                                                    "statusChanged(false)"}));
        bench.emitSignal(Calls, QStringLiteral("BusyWith"), {QStringLiteral("x")});
        QVERIFY(bench.flush());
        QCOMPARE(busy.last().at(0).toBool(), true);
    }

    // A menu dialogue from start to release, and the network's errors out of turn.
    void ussdDialogue()
    {
        SS ss;
        SignalRecorder recorder(&ss);
        ss.sendCommand(QStringLiteral("*100#"));
        QCOMPARE(recorder.awaited(1), QStringList{"commandCompleted(\"Balance 12.34 EUR, valid until 31.12.2026\")"});
        QCOMPARE(bench.wire().last(), QStringLiteral("Command(ss) \"*100#\", \"\""));

        // An answer and the network's next message come in either order: the
        // reply through its call, the message as a signal.
        auto seen = [&recorder](int count, const QString &start) {
            const QStringList got = recorder.awaited(count);
            return std::any_of(got.begin() + count - 2, got.end(), [&start](const QString &s) { return s.startsWith(start); });
        };
        recorder.clear();
        ss.sendCommand(QStringLiteral("*123#"));
        QVERIFY(seen(2, QStringLiteral("userActionRequested(\"Ondrix menu\n1 Balance")));
        ss.sendReply(QStringLiteral("2"));
        QVERIFY(seen(4, QStringLiteral("userActionRequested(\"Data bundles")));
        ss.sendReply(QStringLiteral("1"));
        QVERIFY(seen(6, QStringLiteral("notifyReceived(\"Ordered: 1 GB for 5 EUR\")")));
        ss.sendNotifyAck();
        QVERIFY(seen(8, QStringLiteral("notifyAckCompleted()")));
        QVERIFY(seen(8, QStringLiteral("ussdReleased(\"Thank you\")")));

        recorder.clear();
        ss.sendReply(QStringLiteral("1"));
        ss.ussdRelease();
        QCOMPARE(recorder.awaited(2),
                 (QStringList{"ussdError(UssdReplyOp, UssdMissingRequest, \"The network asked for nothing\")",
                              "ussdError(UssdReleaseOp, UssdReleased, \"No dialogue\")"}));
    }

    // Control strings: the call each puts on the wire, or false and nothing sent.
    void controlStrings_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("call");   // empty: false, nothing sent
        const char *const rows[][2] = {
            {"**21*+358401234567#", "RegisterDivert(sssu) \"21\", \"\", \"+358401234567\", 0"},
            {"*21*0401234567*11*20#", "RegisterDivert(sssu) \"21\", \"11\", \"0401234567\", 20"},
            {"*21#", "ActivateDivert(ss) \"21\", \"\""},
            {"#67#", "DeactivateDivert(ss) \"67\", \"\""},
            {"##002#", "EraseDivert(ss) \"002\", \"\""},
            {"*#21#", "CheckDivert(ss) \"21\", \"\""},
            {"*#61**13#", "CheckDivert(ss) \"61\", \"13\""},
            {"**21*040\n1#", "RegisterDivert(sssu) \"21\", \"\", \"040\n1\", 0"},   // a line break is a character
            {"*#21#\n", ""},
            {"*61*040**x#", ""},
            {"*61*040*99#", ""},
            {"**61*040*11*30#", "RegisterDivert(sssu) \"61\", \"11\", \"040\", 30"},
            {"*33*0000#", "ActivateBarring(sss) \"33\", \"\", \"0000\""},
            {"#330*0000*11#", "DeactivateBarring(sss) \"330\", \"11\", \"0000\""},
            {"*#33#", "CheckBarring(s) \"33\""},
            {"**33*0000#", ""},
            {"##35*0000#", ""},
            {"**03*330*0000*1234*1234#", "ChangePassword(sss) \"330\", \"0000\", \"1234\""},
            {"*03*33*0000*1234*1234*9#", "ChangePassword(sss) \"33\", \"0000\", \"1234\""},
            {"**03*330*0000*1234*4321#", ""},
            {"**03**0000*1234*1234#", ""},
            {"#03*330*0000*1234*1234#", ""},
            {"**03*330*0000*1234#", ""},
            {"*43#", "ActivateWaiting(s) \"\""},
            {"#43*11#", "DeactivateWaiting(s) \"11\""},
            {"*#43#", "CheckWaiting(s) \"\""},
            {"*43*99#", ""},
            {"**43#", ""},
            {"*#30#", "CheckCLIP()"},
            {"*#31#", "CheckCLIR()"},
            {"*#76#", "CheckCoLP()"},
            {"*#77#", "CheckCoLR()"},
            {"*#300#", "CheckCNAP()"},
            {"*31#", ""},
            {"*100#", ""},
            {"*#06#", ""},
            {"#", ""},
            {"##", ""},
            {"*21*040p#", ""},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
    }

    void controlStrings()
    {
        QFETCH(QString, command);
        QFETCH(QString, call);
        SS ss;
        SignalRecorder recorder(&ss);
        QCOMPARE(ss.sendSSRequest(command), !call.isEmpty());
        if (!call.isEmpty())
            QCOMPARE(recorder.awaited(1).size(), 1);
        QVERIFY(bench.flush());
        QCOMPARE(bench.wire(), call.isEmpty() ? QStringList() : QStringList{call});
    }

    void serviceCodeTest_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("serviceCode");
        const struct { const char *command; bool code; } rows[] = {
            {"*100#", true}, {"#31#", true}, {"0", true}, {"*", true}, {"21", true}, {"99", true},
            {"12", false}, {"1", false}, {"5", false}, {"112", false}, {"0401234567", false},
            {"040p123#", false}, {"040W1#", false}, {"", false}, {"+35840123#", true}, {"#", true},
            {"-1", true}, {"2a", false},   // two characters that toInt takes whole
        };
        for (const auto &row : rows)
            QTest::newRow(row.command) << QString::fromLatin1(row.command) << row.code;
    }

    void serviceCodeTest()
    {
        QFETCH(QString, command);
        SS ss;
        QTEST(ss.isServiceCode(command), "serviceCode");
    }

    // Dialler strings after the examples of 3GPP TS 22.030: a service code
    // started (its call), a USSD string or other service code (not started),
    // or a number to call.
    void dialler_data()
    {
        QTest::addColumn<QString>("dialled");
        QTest::addColumn<QString>("outcome");   // a member, "ussd" or "call"
        const char *const rows[][2] = {
            // Each kind of service once (controlStrings has their arguments).
            {"**21*0401234567#", "RegisterDivert"},     {"#21#", "DeactivateDivert"},
            {"##004#", "EraseDivert"},                  {"*#61#", "CheckDivert"},
            {"*332*1234*11#", "ActivateBarring"},       {"#353*1234#", "DeactivateBarring"},
            {"*#353#", "CheckBarring"},                 {"**03*330*1234*4321*4321#", "ChangePassword"},
            {"*03**1234*4321*4321#", "refused"},        {"*#43#", "CheckWaiting"},
            {"*#300#", "CheckCNAP"},                    {"*31#0401234567", "call"},
            {"#31#0401234567", "call"},                 {"*#06#", "ussd"},
            {"*100#", "ussd"},                          {"*123*1#", "ussd"},
            {"#100#", "ussd"},                          {"12", "call"},
            {"21", "ussd"},                             {"112", "call"},
            {"0401234567", "call"},                     {"+358401234567", "call"},
            {"0401234567p1234#", "call"},
            // The card's own procedures: run against the SIM, never sent to the network.
            {"**04*1234*4321*4321#", "ChangePIN"},      {"**042*5678*8765*8765#", "ChangePIN"},
            {"**05*12345678*4321*4321#", "VerifyPUK"},  {"**052*87654321*8765*8765#", "VerifyPUK"},
            {"**04*1234*4321*9999#", "refused"},        {"**04*1234*4321#", "refused"},
            {"*04*1234*4321*4321#", "refused"},         {"**05***#", "refused"},
            // Codes in strings that name no operation stay on the phone too.
            {"**03*330*1234*4321*9999#", "refused"},    {"**03*999*1234*4321*4321#", "refused"},
            {"*33*1234*99#", "refused"},                {"#331*1234*99#", "refused"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
    }

    // What a dialler makes of a typed string, as the README shows it: a call,
    // the card's code procedure, a supplementary service, or USSD. "refused":
    // one completion signal and nothing on the wire.
    void dialler()
    {
        QFETCH(QString, dialled);
        QFETCH(QString, outcome);
        SS ss;
        Ondrix::SIM::SIMSecurity security;
        SignalRecorder recorder(&ss);
        SignalRecorder simRecorder(&security);
        QString got = QStringLiteral("call");
        if (ss.isServiceCode(dialled)) {
            if (security.sendCodeRequest(dialled)) {
                QCOMPARE(simRecorder.awaited(1).size(), 1);
            } else {
                if (!ss.sendSSRequest(dialled))
                    ss.sendCommand(dialled);
                QCOMPARE(recorder.awaited(1).size(), 1);
            }
            QVERIFY(bench.flush());
            const QList<SimCall> calls = bench.calls();
            QVERIFY(calls.size() <= 1);
            got = calls.isEmpty() ? QStringLiteral("refused") : calls.constFirst().member;
            if (got == QLatin1String("Command"))
                got = QStringLiteral("ussd");
        }
        QCOMPARE(got, outcome);
        QCOMPARE(SS::carriesCode(dialled), outcome == QLatin1String("refused") || outcome == QLatin1String("ChangePIN")
                                               || outcome == QLatin1String("VerifyPUK")
                                               || outcome.endsWith(QLatin1String("Barring"))
                                               || outcome == QLatin1String("ChangePassword"));
    }

    // The code procedures on the wire: the type and codes in their places;
    // a malformed one completes at once with InvalidParameter.
    void codeProcedures_data()
    {
        QTest::addColumn<QString>("dialled");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("completion");
        QTest::newRow("PIN") << "**04*1234*4321*4321#" << "ChangePIN(sss) \"pin\", \"1234\", \"4321\""
                             << "changePINComplete(true, NoError)";
        QTest::newRow("PIN2") << "**042*5678*8765*8765#" << "ChangePIN(sss) \"pin2\", \"5678\", \"8765\""
                              << "changePINComplete(true, NoError)";
        QTest::newRow("PUK") << "**05*12345678*4321*4321#" << "VerifyPUK(sss) \"puk\", \"12345678\", \"4321\""
                             << "verifyPUKComplete(true, NoError)";
        QTest::newRow("wrong PUK2") << "**052*11111111*8765*8765#"
                                    << "VerifyPUK(sss) \"puk2\", \"11111111\", \"8765\""
                                    << "verifyPUKComplete(false, NoError)";
        QTest::newRow("repetition differs") << "**04*1234*4321*4322#" << ""
                                            << "changePINComplete(false, InvalidParameter)";
        QTest::newRow("an empty code") << "**052**8765*8765#" << "" << "verifyPUKComplete(false, InvalidParameter)";
        QTest::newRow("a field too many") << "**04*1234*4321*4321*4321#" << ""
                                          << "changePINComplete(false, InvalidParameter)";
    }

    void codeProcedures()
    {
        QFETCH(QString, dialled);
        QFETCH(QString, call);
        QFETCH(QString, completion);
        Ondrix::SIM::SIMSecurity security;
        SignalRecorder recorder(&security);
        QVERIFY(security.sendCodeRequest(dialled));
        if (call.isEmpty())   // refused before anything was sent
            QCOMPARE(recorder.recorded().size(), 1);
        QCOMPARE(recorder.awaited(1), QStringList{completion});
        QVERIFY(bench.flush());
        QCOMPARE(bench.wire(), call.isEmpty() ? QStringList() : QStringList{call});
    }

    // USSD never carries a code, however the code is dressed up and whichever
    // way the application sends it: as a command, or as the answer in an open
    // dialogue. The string is read as a dialler reads it.
    void ussdRefusesCodes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("code");
        const QString pin = QStringLiteral("**04*1234*4321*4321#");
        QTest::newRow("plain") << pin << true;
        QTest::newRow("a space before") << " " + pin << true;
        QTest::newRow("a tab before") << "\t" + pin << true;
        QTest::newRow("a plus before") << "+" + pin << true;
        QTest::newRow("three stars") << "*" + pin << true;
        QTest::newRow("a zero-width space") << QString(QChar(0x200B)) + pin << true;
        QTest::newRow("a direction mark inside") << QStringLiteral("**0\u200E4*1234*4321*4321#") << true;
        QTest::newRow("full-width") << QStringLiteral("\uFF0A\uFF0A\uFF10\uFF14*1234*4321*4321\uFF03") << true;
        QTest::newRow("a letter before a barring code") << "x**33*0000#" << true;
        QTest::newRow("after another string") << "*100#" + pin << true;
        QTest::newRow("a field after a code") << "*1*05*12345678*4321*4321#" << true;
        QTest::newRow("no closing hash") << "*33*0000" << true;
        QTest::newRow("a menu choice that looks like one") << "*123*33#" << false;
        QTest::newRow("a balance") << "*100#" << false;
    }

    void ussdRefusesCodes()
    {
        QFETCH(QString, typed);
        QFETCH(bool, code);
        QCOMPARE(SS::carriesCode(typed), code);
        if (!code)
            return;
        SS ss;
        SignalRecorder recorder(&ss);
        ss.sendCommand(typed);
        ss.sendCommand(QStringLiteral("*123#"));   // a menu, then the code as the answer
        recorder.awaited(3);
        ss.sendReply(typed);
        QCOMPARE(recorder.recorded().filter("ussdError"), (QStringList{
            "ussdError(UssdCommandOp, UssdInvalidParameters, \"Not sent: the string carries a code\")",
            "ussdError(UssdReplyOp, UssdInvalidParameters, \"Not sent: the string carries a code\")"}));
        ss.ussdRelease();
        QVERIFY(bench.flush());
        QCOMPARE(bench.wire(Ussd), (QStringList{"Command(ss) \"*123#\", \"\"", "Release()"}));
    }

    void daemonAbsent()
    {
        bench.releaseNames();
        SS ss;
        SignalRecorder recorder(&ss);
        QVERIFY(!ss.isValid());
        QVERIFY(!ss.isBusy());
        ss.checkDivert(SS::AllDiverts, SS::AllBasicServices);
        ss.checkClir();
        QVERIFY(ss.sendSSRequest(QStringLiteral("*#43#")));
        ss.sendCommand(QStringLiteral("*100#"));
        QCOMPARE(recorder.recorded(), (QStringList{
            "checkDivertCompleted(0 items, UnknownError)", "checkClirCompleted(UnknownClirStatus, UnknownError)",
            "checkWaitingCompleted(0 items, UnknownError)",
            "ussdError(UssdCommandOp, UssdFailed, \"Bus communication error\")"}));
        QVERIFY(bench.wire().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSupplementaryServices)
#include "tst_supplementaryservices.moc"
