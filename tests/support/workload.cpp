// SPDX-License-Identifier: LGPL-2.1-or-later
#include "workload.h"

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/emergencynumbers.h>
#include <ondrix-qt/networkcell.h>
#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/phoneinfo.h>
#include <ondrix-qt/radioaccess.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/smsparameters.h>
#include <ondrix-qt/systemcontrol.h>

#include <QRegularExpression>
#include <QTest>

using namespace Ondrix;

Workload::Workload(QRandomGenerator &random_)
    : random(random_)
{
}

Workload::~Workload() = default;

void Workload::follow(NetworkRegistration *reg)
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

bool Workload::settled() const
{
    for (int k = 0; k < Kinds; k++) {
        if (started[k] != completed[k])
            return false;
    }
    return cardCompleted() == cardStarted;
}

QString Workload::text() const
{
    QStringList parts;
    for (int k = 0; k < Kinds; k++)
        parts << QStringLiteral("%1/%2").arg(completed[k]).arg(started[k]);
    return QStringLiteral("registration completed/started by kind: %1; SIM and SS %2/%3")
        .arg(parts.join(QLatin1Char(' '))).arg(cardCompleted()).arg(cardStarted);
}

int Workload::cardCompleted() const
{
    static const QRegularExpression completion(QStringLiteral("^(\\w+Completed?|ussdError)\\("));
    int n = 0;
    for (const SignalRecorder &recorder : recorders)
        n += recorder.recorded().filter(completion).size();
    return n;
}

void Workload::supplementary()
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
    cardStarted++;
}

void Workload::operateCard()
{
    using Security = SIM::SIMSecurity;
    const auto pin = Security::PINType(random.bounded(2));
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
    case 16:
        security.sendCodeRequest(random.bounded(2) ? QStringLiteral("**04*1234*4321*4321#")
                                                   : QStringLiteral("**052*87654321*1*2#"));
        break;
    default:
        supplementary();
        return;
    }
    cardStarted++;
}

void Workload::operate(NetworkRegistration &reg, bool accounted)
{
    int kind = -1;
    switch (random.bounded(7)) {
    case 0: reg.scanOperators(); kind = Scan; break;
    case 1: reg.queryAvailableOperators(); kind = Query; break;
    case 2: reg.cancelQueryAvailableOperators(); kind = CancelQuery; break;
    case 3: reg.selectOperator(); kind = Selection; break;
    case 4: reg.selectOperator(QStringLiteral("05"), QStringLiteral("244")); kind = Selection; break;
    case 5: reg.cancelSelectOperator(); kind = CancelSelection; break;
    default:
        if (!reg.availableOperators().isEmpty()) {
            reg.selectOperator(random.bounded(reg.availableOperators().size()));
            kind = Selection;
        }
        break;
    }
    if (accounted && kind >= 0)
        started[kind]++;
}

void Workload::round(int round, int waitMs)
{
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
        follow(kept.back().get());
    }
    for (int n = 0; n < 3; n++)
        operate(*kept.at(random.bounded(int(kept.size()))), true);
    for (int n = 0; n < 3; n++)
        operateCard();
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
        time.timeInfo();
    }

    // One that goes away with its operations in flight.
    auto doomed = std::make_unique<NetworkRegistration>();
    operate(*doomed, false);
    operate(*doomed, false);
    QTest::qWait(random.bounded(waitMs / 8, waitMs));
    if (random.bounded(2))
        doomed->reset();
    doomed.reset();
}
