// SPDX-License-Identifier: LGPL-2.1-or-later
// The SIM card's status, codes and identity against the simulated card.

#include <ondrix-qt/simidentity.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <QtTest>

using namespace Ondrix::SIM;

namespace {
const QString Sim = QStringLiteral("com.kelvo.hvt.SIM");
const QString Security = QStringLiteral("com.kelvo.hvt.SIM.Security");
} // namespace

class TestSim : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void statusQueryAndAnnouncements()
    {
        SIMStatus status;
        QVERIFY(status.isValid());
        SignalRecorder recorder(&status);
        status.status();
        QCOMPARE(recorder.awaited(1), QStringList{"statusComplete(Ok, NoError)"});
        QCOMPARE(bench.wire(), QStringList{"GetSIMStatus()"});

        // Every announcement is passed on, repeats too; a text outside the table is unknown.
        recorder.clear();
        for (const char *text : {"SIMLockRejected", "SIMLockRejected", "ok", "Sleeping"})
            bench.emitSignal(Sim, QStringLiteral("SIMStatus"), {QString::fromLatin1(text)});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"statusChanged(SIMLockRejected)", "statusChanged(SIMLockRejected)",
                                                   "statusChanged(UnknownStatus)", "statusChanged(UnknownStatus)"}));
    }

    // The code types as the daemon names them, and the codes in their places.
    void securityCallsOnTheWire()
    {
        SIMSecurity security;
        SignalRecorder recorder(&security);
        security.verifyPIN(SIMSecurity::PIN2, QStringLiteral("5678"));
        security.verifyPUK(SIMSecurity::PUK, QStringLiteral("12345678"), QStringLiteral("4321"));
        security.changePIN(SIMSecurity::PIN, QStringLiteral("1234"), QStringLiteral("4321"));
        security.enablePINQuery(SIMSecurity::PIN, QStringLiteral("4321"));
        security.disablePINQuery(SIMSecurity::PIN, QStringLiteral("4321"));
        security.pinQueryState(SIMSecurity::PIN);
        security.pinAttemptsLeft(SIMSecurity::PIN2);
        security.pukAttemptsLeft(SIMSecurity::PUK2);
        QCOMPARE(recorder.awaited(8).size(), 8);   // one completion each
        QCOMPARE(bench.wire(), (QStringList{"VerifyPIN(ss) \"pin2\", \"5678\"",
                                            "VerifyPUK(sss) \"puk\", \"12345678\", \"4321\"",
                                            "ChangePIN(sss) \"pin\", \"1234\", \"4321\"",
                                            "EnablePINQuery(ss) \"pin\", \"4321\"",
                                            "DisablePINQuery(ss) \"pin\", \"4321\"", "GetPINQueryState(s) \"pin\"",
                                            "PINAttemptsLeft(s) \"pin2\"", "PUKAttemptsLeft(s) \"puk2\""}));
    }

    // Three wrong PINs, the PUK with a new PIN, and the card is ready again.
    void pinLifeCycle()
    {
        SIMStatus status;
        SIMSecurity security;
        SignalRecorder card(&status), codes(&security);
        bench.setProperty(Sim, QStringLiteral("Status"), QStringLiteral("PINRequired"));
        QVERIFY(bench.flush());
        QCOMPARE(card.recorded(), QStringList{"statusChanged(PINRequired)"});
        QCOMPARE(codes.recorded(), QStringList{"verifyPINRequired(PIN)"});

        codes.clear();
        for (int i = 0; i < 3; i++)
            security.verifyPIN(SIMSecurity::PIN, QStringLiteral("0000"));
        security.pinAttemptsLeft(SIMSecurity::PIN);
        security.verifyPIN(SIMSecurity::PIN, QStringLiteral("1234"));
        QCOMPARE(codes.awaited(6), (QStringList{"verifyPINComplete(false, NoError)", "verifyPINComplete(false, NoError)",
                                                 "verifyPUKRequired(PUK)", "verifyPINComplete(false, NoError)",
                                                 "pinAttemptsLeftComplete(0, NoError)",
                                                 "verifyPINComplete(false, CodeBlocked)"}));
        QCOMPARE(card.recorded().last(), QStringLiteral("statusChanged(PUKRequired)"));

        codes.clear();
        security.verifyPUK(SIMSecurity::PUK, QStringLiteral("12345678"), QStringLiteral("2468"));
        security.verifyPIN(SIMSecurity::PIN, QStringLiteral("2468"));
        security.pinAttemptsLeft(SIMSecurity::PIN);
        QCOMPARE(codes.awaited(3), (QStringList{"verifyPUKComplete(true, NoError)", "verifyPINComplete(true, NoError)",
                                                 "pinAttemptsLeftComplete(3, NoError)"}));
        QCOMPARE(card.recorded().last(), QStringLiteral("statusChanged(Ok)"));
        // Codes are secrets: nothing of them reaches the log.
        QVERIFY(SimBench::log().isEmpty());
    }

    void pinQuery()
    {
        SIMSecurity security;
        SignalRecorder recorder(&security);
        security.pinQueryState(SIMSecurity::PIN);
        security.disablePINQuery(SIMSecurity::PIN, QStringLiteral("9999"));
        security.disablePINQuery(SIMSecurity::PIN, QStringLiteral("1234"));
        security.pinQueryState(SIMSecurity::PIN);
        security.changePIN(SIMSecurity::PIN, QStringLiteral("1234"), QStringLiteral("4321"));
        QCOMPARE(recorder.awaited(5), (QStringList{"pinQueryStateComplete(QueryEnabled, NoError)",
                                                    "disablePINQueryComplete(WrongPassword)",
                                                    "disablePINQueryComplete(NoError)",
                                                    "pinQueryStateComplete(QueryDisabled, NoError)",
                                                    "changePINComplete(false, PINDisabled)"}));
    }

    // The card asks for a code by its type, in any case; anything else is PUK2.
    void codeRequests()
    {
        SIMSecurity security;
        SignalRecorder recorder(&security);
        for (const char *type : {"pin", "PIN2", "puk", "puk2", "", "fingerprint"})
            bench.emitSignal(Security, QStringLiteral("VerifyCodeRequired"), {QString::fromLatin1(type)});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"verifyPINRequired(PIN)", "verifyPINRequired(PIN2)",
                                                   "verifyPUKRequired(PUK)", "verifyPUKRequired(PUK2)",
                                                   "verifyPUKRequired(PUK2)", "verifyPUKRequired(PUK2)"}));
    }

    void identity()
    {
        SIMIdentity identity;
        SignalRecorder recorder(&identity);
        identity.imsi();
        identity.iccid();
        identity.hplmn();
        identity.serviceProviderName();
        identity.languages();
        QCOMPARE(recorder.awaited(5), (QStringList{"imsiComplete(\"244050123456789\", NoError)",
                                                    "iccidComplete(\"89358050000012345678\", NoError)",
                                                    "hplmnComplete(\"244\", \"05\", NoError)",
                                                    "serviceProviderNameComplete(\"Ondrix Mobile\", NoError)",
                                                    "languagesComplete(3 items, NoError)"}));
    }

    void authentication()
    {
        SIMIdentity identity;
        QSignalSpy spy(&identity, &SIMIdentity::authComplete);
        identity.auth(QByteArray(16, '\x5a'));
        identity.auth(QByteArray());
        QTRY_COMPARE(spy.size(), 2);
        // SRES, Kc, CK and IK.
        QCOMPARE((QList<int>{int(spy[0][0].toByteArray().size()), int(spy[0][1].toByteArray().size()),
                             int(spy[0][2].toByteArray().size()), int(spy[0][3].toByteArray().size())}),
                 (QList<int>{4, 8, 16, 16}));
        QCOMPARE(spy[0][4].value<SIMError>(), NoError);
        for (int i = 0; i < 4; i++)
            QVERIFY(spy[1][i].toByteArray().isEmpty());
        QCOMPARE(spy[1][4].value<SIMError>(), InvalidParameter);
        // An empty challenge still goes out.
        QCOMPARE(bench.wire(), (QStringList{"GetAuth(ay) " + QByteArray(16, '\x5a'), "GetAuth(ay) "}));
    }

    void lockedCardKeepsItsData()
    {
        bench.setProperty(Sim, QStringLiteral("Status"), QStringLiteral("PINRequired"));
        SIMIdentity identity;
        SignalRecorder recorder(&identity);
        identity.imsi();
        QCOMPARE(recorder.awaited(1), QStringList{"imsiComplete(\"\", SecurityCodeRequired)"});
        bench.setProperty(Sim, QStringLiteral("Present"), false);
        identity.imsi();
        QCOMPARE(recorder.awaited(2).last(), QStringLiteral("imsiComplete(\"\", NoSIM)"));
    }

    void twoObjectsEachCompleteTheirOwn()
    {
        SIMStatus first, second;
        SignalRecorder a(&first), b(&second);
        first.status();
        bench.emitSignal(Sim, QStringLiteral("SIMStatus"), {QStringLiteral("NotReady")});
        // The answer and the signal come in either order.
        QStringList got = a.awaited(2);
        got.sort();
        QCOMPARE(got, (QStringList{"statusChanged(NotReady)", "statusComplete(Ok, NoError)"}));
        QVERIFY(bench.flush());
        QCOMPARE(b.recorded(), QStringList{"statusChanged(NotReady)"});
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
