// SPDX-License-Identifier: LGPL-2.1-or-later
// Every public class against a hostile daemon: garbled replies and signals,
// errors of any name, delays, silence, names that come and go. Nothing may
// crash or leak, every operation started must complete exactly once, and Qt
// must not be made to warn.
//
// ONDRIX_CHAOS_SEED chooses the seed (printed on failure), ONDRIX_CHAOS_EVENTS
// how many events the daemon makes (1500 by default).

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/emergencynumbers.h>
#include <ondrix-qt/networkcell.h>
#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/networktime.h>
#include <ondrix-qt/phoneinfo.h>
#include <ondrix-qt/radioaccess.h>
#include <ondrix-qt/simidentity.h>
#include <ondrix-qt/simlock.h>
#include <ondrix-qt/simphonebook.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/supplementaryservices.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/smsparameters.h>
#include <ondrix-qt/systemcontrol.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <vector>

using namespace Ondrix;

namespace {

int warnings = 0;
QtMessageHandler chained = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    // The library's debug lines are expected by the hundred; only warnings count.
    if (type == QtDebugMsg)
        return;
    // QtDBus's own book of name owners lags behind names that flap within
    // milliseconds; it says so and corrects itself.
    static const QRegularExpression ownerLag(QStringLiteral("^QDBusConnection: name '.*' had owner"));
    if ((type == QtWarningMsg || type == QtCriticalMsg) && !ownerLag.match(text).hasMatch())
        warnings++;
    chained(type, context, text);
}

uint fromEnvironment(const char *name, uint fallback)
{
    bool ok = false;
    const uint value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : fallback;
}

// Operations started and completions seen, by kind.
struct Ledger {
    enum Kind { Scan, Query, CancelQuery, Selection, CancelSelection, Kinds };
    int started[Kinds] = {};
    int completed[Kinds] = {};

    void follow(NetworkRegistration *reg)
    {
        auto count = [this](Kind kind) { return [this, kind] { completed[kind]++; }; };
        QObject::connect(reg, &NetworkRegistration::operatorsSuccess, count(Scan));
        QObject::connect(reg, &NetworkRegistration::operatorsFailure, count(Scan));
        QObject::connect(reg, &NetworkRegistration::operatorsCanceled, count(Scan));
        QObject::connect(reg, qOverload<bool, const QList<AvailableOperator> &, const QString &>(
                                  &NetworkRegistration::availableOperators), count(Query));
        QObject::connect(reg, &NetworkRegistration::availableOperatorsCanceled, count(CancelQuery));
        QObject::connect(reg, qOverload<int>(&NetworkRegistration::selectionCompleted), count(Selection));
        QObject::connect(reg, &NetworkRegistration::selectOperatorCanceled, count(CancelSelection));
    }

    bool settled() const
    {
        for (int k = 0; k < Kinds; k++) {
            if (started[k] != completed[k])
                return false;
        }
        return true;
    }

    QString text() const
    {
        QStringList parts;
        for (int k = 0; k < Kinds; k++)
            parts << QStringLiteral("%1/%2").arg(completed[k]).arg(started[k]);
        return QStringLiteral("completed/started by kind: ") + parts.join(QLatin1Char(' '));
    }
};

// The classes whose every operation ends in one "...Complete(d)" signal
// (or, for USSD, ussdError).
struct Services {
    SIM::SIMStatus status;
    SIM::SIMSecurity security;
    SIM::SIMIdentity identity;
    SIMPhonebook phonebook;
    SIMLock lock;
    SupplementaryServices ss;
    NetworkTime time;
    SignalRecorder recorders[7] = {SignalRecorder(&status), SignalRecorder(&security), SignalRecorder(&identity),
                                   SignalRecorder(&phonebook), SignalRecorder(&lock), SignalRecorder(&ss),
                                   SignalRecorder(&time)};
    int started = 0;

    int completed() const
    {
        static const QRegularExpression completion(QStringLiteral("^(\\w+Completed?|ussdError)\\("));
        int n = 0;
        for (const SignalRecorder &recorder : recorders)
            n += recorder.recorded().filter(completion).size();
        return n;
    }

    void supplementary(QRandomGenerator &random)
    {
        using SS = SupplementaryServices;
        const auto basic = SS::BasicService(random.bounded(2) ? SS::Telephony : SS::AllBasicServices);
        switch (random.bounded(10)) {
        case 0: ss.registerDivert(SS::DivertNoReply, basic, QStringLiteral("+358401234567"), 20); break;
        case 1: ss.checkDivert(SS::AllDiverts, basic); break;
        case 2: ss.activateBarring(SS::BarAllOutgoing, basic, QStringLiteral("0000")); break;
        case 3: ss.checkBarring(SS::AllBarringServices); break;
        case 4: ss.checkWaiting(basic); break;
        case 5: ss.checkClir(); break;
        case 6: ss.checkCnap(); break;
        case 7: ss.sendCommand(random.bounded(2) ? QStringLiteral("*123#") : QStringLiteral("*100#")); break;
        case 8: ss.sendReply(QStringLiteral("2")); break;
        default:
            if (!ss.sendSSRequest(random.bounded(2) ? QStringLiteral("*#21#") : QStringLiteral("**03*330*0000*1234*1234#")))
                return;
            break;
        }
        started++;
    }

    void operate(QRandomGenerator &random)
    {
        using Security = SIM::SIMSecurity;
        const auto pin = Security::PINType(random.bounded(3));
        const QString code = random.bounded(2) ? QStringLiteral("1234") : QStringLiteral("0000");
        const auto book = SIMPhonebook::PhonebookType(random.bounded(8));
        switch (random.bounded(21)) {
        case 0: status.status(); break;
        case 20: time.queryTimeInfo(); break;
        case 1: security.verifyPIN(pin, code); break;
        case 2: security.verifyPUK(Security::PUKType(random.bounded(2)), QStringLiteral("12345678"), code); break;
        case 3: security.changePIN(pin, code, code); break;
        case 4: random.bounded(2) ? security.enablePINQuery(pin, code) : security.disablePINQuery(pin, code); break;
        case 5: security.pinQueryState(pin); break;
        case 6: random.bounded(2) ? security.pinAttemptsLeft(pin) : security.pukAttemptsLeft(Security::PUK2); break;
        case 7: identity.imsi(); break;
        case 8: identity.hplmn(); break;
        case 9: identity.auth(QByteArray(int(random.bounded(20)), 'r')); break;
        case 10: phonebook.readFirst(book); break;
        case 11: phonebook.readNext(book, int(random.bounded(5))); break;
        case 12: phonebook.createEntry(book, QStringLiteral("Name"), QStringLiteral("040"), {}, {}, {}); break;
        case 13: phonebook.info(book); break;
        case 14: random.bounded(2) ? phonebook.getFDNStatus() : phonebook.setFDNStatus(SIMPhonebook::Enabled); break;
        case 15: random.bounded(2) ? lock.simLockStatus() : lock.simLockUnlock(SIMLock::NetworkLevel, code); break;
        default:
            supplementary(random);
            return;
        }
        started++;
    }
};

} // namespace

class TestChaos : public SimTestCase
{
    Q_OBJECT

    QRandomGenerator random;
    Ledger ledger;

    // Starts a random operation of the registration; accounted when `ledger` is wanted.
    void operate(NetworkRegistration &reg, bool accounted)
    {
        int kind = -1;
        switch (random.bounded(7)) {
        case 0: reg.scanOperators(); kind = Ledger::Scan; break;
        case 1: reg.queryAvailableOperators(); kind = Ledger::Query; break;
        case 2: reg.cancelQueryAvailableOperators(); kind = Ledger::CancelQuery; break;
        case 3: reg.selectOperator(); kind = Ledger::Selection; break;
        case 4: reg.selectOperator(QStringLiteral("05"), QStringLiteral("244")); kind = Ledger::Selection; break;
        case 5: reg.cancelSelectOperator(); kind = Ledger::CancelSelection; break;
        default:
            if (!reg.availableOperators().isEmpty()) {
                reg.selectOperator(random.bounded(reg.availableOperators().size()));
                kind = Ledger::Selection;
            }
            break;
        }
        if (accounted && kind >= 0)
            ledger.started[kind]++;
    }

private Q_SLOTS:
    void everyClassSurvivesAHostileDaemon()
    {
        const uint seed = fromEnvironment("ONDRIX_CHAOS_SEED", QRandomGenerator::global()->generate());
        const uint target = fromEnvironment("ONDRIX_CHAOS_EVENTS", 1500);
        struct Report {
            uint seed;
            ~Report()
            {
                if (QTest::currentTestFailed())
                    fprintf(stderr, "chaos: failed with ONDRIX_CHAOS_SEED=%u\n", seed);
            }
        } report{seed};
        random.seed(seed);
        chained = qInstallMessageHandler(countWarnings);

        std::vector<std::unique_ptr<NetworkRegistration>> kept;
        Services card;
        auto simSettled = [&card] { return card.completed() == card.started; };
        bench.setChaos(true, seed);
        QElapsedTimer clock;
        clock.start();
        uint events = 0;
        // The daemon makes well over 50 events a second; the bound only stops a run whose daemon died.
        for (int round = 0; events < target && clock.elapsed() < qint64(target) * 20; round++) {
            SystemControl control;
            NetworkOperator op;
            SignalStrength signal(SignalStrength::Options(int(random.bounded(8))));
            control.setPower(random.bounded(2));
            signal.setOptions(SignalStrength::Options(int(random.bounded(8))));
            op.country(op.mcc(), op.name());
            if (round % 8 == 0)
                SMSParameters().serviceCenterAddress();

            if (kept.size() < 12) {
                kept.push_back(std::make_unique<NetworkRegistration>());
                ledger.follow(kept.back().get());
            }
            for (int n = 0; n < 3; n++)
                operate(*kept.at(random.bounded(int(kept.size()))), true);
            for (int n = 0; n < 3; n++)
                card.operate(random);
            SIM::SIMStatus().status();   // goes away unanswered
            SupplementaryServices passing;   // a release is silent on success: not counted
            passing.ussdRelease();
            passing.isBusy();
            // The radio, the cell and the device: values follow whatever arrives.
            RadioAccess radioAccess;
            radioAccess.setOptions(RadioAccess::Options(int(random.bounded(2))));
            radioAccess.setMode(RadioAccess::Mode(int(random.bounded(5)) - 1));
            NetworkCell cell;
            cell.setNameDisplayEnabled(random.bounded(2));
            if (round % 6 == 0) {
                EmergencyNumbers().numbers();
                CallTimers().timers();
                PhoneInfo().hsxpaSetting();
                card.time.timeInfo();
            }

            // One that goes away with its operations in flight.
            auto doomed = std::make_unique<NetworkRegistration>();
            operate(*doomed, false);
            operate(*doomed, false);
            QTest::qWait(random.bounded(5, 40));
            if (random.bounded(2))
                doomed->reset();
            doomed.reset();
            events = bench.chaosEvents();
        }
        QVERIFY2(events >= target, "the daemon stopped making events");
        qInfo("chaos: %u events in %lld ms, seed %u; %s; SIM and SS %d/%d", events, clock.elapsed(), seed,
              qPrintable(ledger.text()), card.completed(), card.started);

        // Held calls are answered now; delayed ones within a second.
        bench.setChaos(false);
        QTRY_VERIFY2_WITH_TIMEOUT(ledger.settled(), qPrintable(ledger.text()), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(simSettled(), 30000);
        bench.flush();
        QTest::qWait(300);
        QVERIFY2(ledger.settled(), qPrintable(ledger.text()));
        QCOMPARE(card.completed(), card.started);
        QCOMPARE(warnings, 0);
        qInstallMessageHandler(chained);
    }
};

QTEST_GUILESS_MAIN(TestChaos)
#include "tst_chaos.moc"
