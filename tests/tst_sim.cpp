// SPDX-License-Identifier: LGPL-2.1-or-later
// The SIM card's status, codes and identity against the simulated card.

#include <ondrix-qt/simidentity.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <QtDBus/QDBusConnection>
#include <QtTest>

using namespace Ondrix::SIM;

namespace {

const QString Sim = QStringLiteral("com.kelvo.hvt.SIM");
const QString Security = QStringLiteral("com.kelvo.hvt.SIM.Security");
const QString Identity = QStringLiteral("com.kelvo.hvt.SIM.Identity");


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
        const SimCall call = bench.calls(QStringLiteral("GetSIMStatus")).value(0);
        QCOMPARE(call.interface, Sim);
        QCOMPARE(call.signature, QString());

        recorder.clear();
        for (const char *text : {"SIMLockRejected", "SIMLockRejected", "ok", "Unknown", "Sleeping"})
            bench.emitSignal(Sim, QStringLiteral("SIMStatus"), {QString::fromLatin1(text)});
        QVERIFY(bench.flush());
        QCOMPARE(recorder.recorded(), (QStringList{"statusChanged(SIMLockRejected)", "statusChanged(SIMLockRejected)",
                                                   "statusChanged(UnknownStatus)", "statusChanged(UnknownStatus)",
                                                   "statusChanged(UnknownStatus)"}));
    }

    // Every daemon error name, a name nobody knows, a standard error and a
    // reply of the wrong type: the status with the error, never success.
    void errorTranslation_data()
    {
        QTest::addColumn<QVariantMap>("answer");
        QTest::addColumn<QString>("error");
        const char *const names[] = {"InvalidParameter", "ModemNotReady", "ServiceBusy", "Modem", "DataNotAvailable",
                                     "WrongPassword", "PINDisabled", "CodeBlocked", "NoSIM", "SIMRejected",
                                     "SecurityCodeRequired", "Unknown"};
        const char *const values[] = {"InvalidParameter", "ModemNotReady", "ServiceBusy", "ModemError",
                                      "DataNotAvailable", "WrongPassword", "PINDisabled", "CodeBlocked", "NoSIM",
                                      "SIMRejected", "SecurityCodeRequired", "UnknownError"};
        for (int i = 0; i < 12; i++) {
            QTest::newRow(names[i]) << SimBench::failure(QStringLiteral("com.kelvo.hvt.SIM.Error.") + QLatin1String(names[i]))
                                    << QString::fromLatin1(values[i]);
        }
        QTest::newRow("unheard of") << SimBench::failure(QStringLiteral("com.kelvo.hvt.SIM.Error.Overheated")) << "UnknownError";
        QTest::newRow("no reply") << SimBench::failure(QStringLiteral("org.freedesktop.DBus.Error.NoReply")) << "CommunicationError";
        QTest::newRow("wrong type") << QVariantMap{{QStringLiteral("reply"), QVariantList{true}}} << "CommunicationError";
    }

    void errorTranslation()
    {
        QFETCH(QVariantMap, answer);
        QFETCH(QString, error);
        bench.script(Sim, QStringLiteral("GetSIMStatus"), answer);
        bench.script(Security, QStringLiteral("PINAttemptsLeft"), answer);
        bench.script(Identity, QStringLiteral("GetHPLMN"), answer);
        SIMStatus status;
        SIMSecurity security;
        SIMIdentity identity;
        SignalRecorder a(&status), b(&security), c(&identity);
        status.status();
        security.pinAttemptsLeft(SIMSecurity::PIN);
        identity.hplmn();
        QCOMPARE(a.awaited(1), QStringList{"statusComplete(UnknownStatus, " + error + ")"});
        QCOMPARE(b.awaited(1), QStringList{"pinAttemptsLeftComplete(-1, " + error + ")"});
        QCOMPARE(c.awaited(1), QStringList{"hplmnComplete(\"\", \"\", " + error + ")"});
    }

    void securityCallsOnTheWire_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariantList>("args");
        QTest::newRow("verify PIN2") << 0 << "VerifyPIN" << QVariantList{"pin2", "5678"};
        QTest::newRow("verify PUK") << 1 << "VerifyPUK" << QVariantList{"puk", "12345678", "4321"};
        QTest::newRow("change PIN") << 2 << "ChangePIN" << QVariantList{"pin", "1234", "4321"};
        QTest::newRow("enable query") << 3 << "EnablePINQuery" << QVariantList{"pin", "1234"};
        QTest::newRow("disable query") << 4 << "DisablePINQuery" << QVariantList{"pin", "1234"};
        QTest::newRow("query state") << 5 << "GetPINQueryState" << QVariantList{"pin"};
        QTest::newRow("PIN2 attempts") << 6 << "PINAttemptsLeft" << QVariantList{"pin2"};
        QTest::newRow("PUK2 attempts") << 7 << "PUKAttemptsLeft" << QVariantList{"puk2"};
    }

    void securityCallsOnTheWire()
    {
        QFETCH(int, operation);
        QFETCH(QVariantList, args);
        SIMSecurity security;
        SignalRecorder recorder(&security);
        switch (operation) {
        case 0: security.verifyPIN(SIMSecurity::PIN2, QStringLiteral("5678")); break;
        case 1: security.verifyPUK(SIMSecurity::PUK, QStringLiteral("12345678"), QStringLiteral("4321")); break;
        case 2: security.changePIN(SIMSecurity::PIN, QStringLiteral("1234"), QStringLiteral("4321")); break;
        case 3: security.enablePINQuery(SIMSecurity::PIN, QStringLiteral("1234")); break;
        case 4: security.disablePINQuery(SIMSecurity::PIN, QStringLiteral("1234")); break;
        case 5: security.pinQueryState(SIMSecurity::PIN); break;
        case 6: security.pinAttemptsLeft(SIMSecurity::PIN2); break;
        default: security.pukAttemptsLeft(SIMSecurity::PUK2); break;
        }
        QCOMPARE(recorder.awaited(1).size(), 1);   // exactly one completion
        QFETCH(QString, member);
        const QList<SimCall> calls = bench.calls(member);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].interface, Security);
        QCOMPARE(calls[0].signature, QString(args.size(), QLatin1Char('s')));
        QCOMPARE(calls[0].args, args);
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

    void codeRequests_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pin") << "pin" << "verifyPINRequired(PIN)";
        QTest::newRow("upper case PIN2") << "PIN2" << "verifyPINRequired(PIN2)";
        QTest::newRow("puk") << "puk" << "verifyPUKRequired(PUK)";
        QTest::newRow("puk2") << "puk2" << "verifyPUKRequired(PUK2)";
        QTest::newRow("empty") << "" << "verifyPUKRequired(PUK2)";
        QTest::newRow("unknown") << "fingerprint" << "verifyPUKRequired(PUK2)";
    }

    void codeRequests()
    {
        QFETCH(QString, type);
        SIMSecurity security;
        SignalRecorder recorder(&security);
        bench.emitSignal(Security, QStringLiteral("VerifyCodeRequired"), {type});
        QVERIFY(bench.flush());
        QTEST(recorder.recorded().value(0), "expected");
        QCOMPARE(recorder.recorded().size(), 1);
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
        QCOMPARE(spy[0][0].toByteArray().size(), 4);    // SRES
        QCOMPARE(spy[0][1].toByteArray().size(), 8);    // Kc
        QCOMPARE(spy[0][2].toByteArray().size(), 16);   // CK
        QCOMPARE(spy[0][3].toByteArray().size(), 16);   // IK
        QCOMPARE(spy[0][4].value<SIMError>(), NoError);
        for (int i = 0; i < 4; i++)
            QVERIFY(spy[1][i].toByteArray().isEmpty());
        QCOMPARE(spy[1][4].value<SIMError>(), InvalidParameter);
        const QList<SimCall> calls = bench.calls(QStringLiteral("GetAuth"));
        QCOMPARE(calls[1].signature, QStringLiteral("ay"));   // an empty challenge still goes out
        QCOMPARE(calls[0].args, QVariantList{QByteArray(16, '\x5a')});
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

    // Runs last: it takes the bus away. Every operation completes at once.
    void unsentCallsCompleteAtOnce()
    {
        SIMStatus status;
        SIMSecurity security;
        SIMIdentity identity;
        SignalRecorder a(&status), b(&security), c(&identity);
        bench.killBus();
        QTRY_VERIFY(!QDBusConnection::systemBus().isConnected());
        status.status();
        security.verifyPIN(SIMSecurity::PIN, QStringLiteral("1234"));
        security.enablePINQuery(SIMSecurity::PIN, QStringLiteral("1234"));
        security.pinQueryState(SIMSecurity::PIN);
        identity.languages();
        identity.auth(QByteArray(16, 'r'));
        QCOMPARE(a.recorded(), QStringList{"statusComplete(UnknownStatus, CommunicationError)"});
        QCOMPARE(b.recorded(), (QStringList{"verifyPINComplete(false, CommunicationError)",
                                            "enablePINQueryComplete(CommunicationError)",
                                            "pinQueryStateComplete(QueryUnknown, CommunicationError)"}));
        QCOMPARE(c.recorded(), (QStringList{"languagesComplete(0 items, CommunicationError)",
                                            "authComplete(, , , , CommunicationError)"}));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
