// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix ss, ussd and dial: supplementary services, USSD dialogues and the
// dialler's handling of what a user types.

#include "common.h"

#include <ondrix-qt/phoneinfo.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/supplementaryservices.h>

#include <QJsonArray>

#include <cstdio>
#include <unistd.h>

using namespace Ondrix;
using SS = SupplementaryServices;

namespace {

const char Usage[] =
    "usage: ondrix ss divert status|on|off|erase KIND\n"
    "       ondrix ss divert set KIND NUMBER [DELAY]\n"
    "       ondrix ss barring status|on|off PROGRAM     (the barring password is read from the terminal)\n"
    "       ondrix ss barring password\n"
    "       ondrix ss waiting status|on|off\n"
    "       ondrix ss clir|clip|colp|colr|cnap\n"
    "KIND: unconditional busy no-reply not-reachable all conditional\n"
    "PROGRAM: outgoing international international-except-home incoming incoming-roaming\n"
    "         all all-outgoing all-incoming\n";

QStringList typed;   // the words of the command being run, for its usage line

int usage()
{
    return usageError(Usage, typed);
}

constexpr int Wait = 60000;   // the network's answer, USSD included

const struct { const char *name; SS::DivertServiceCode code; } kinds[] = {
    {"unconditional", SS::DivertUnconditional}, {"busy", SS::DivertBusy}, {"no-reply", SS::DivertNoReply},
    {"not-reachable", SS::DivertNotReachable}, {"all", SS::AllDiverts}, {"conditional", SS::AllConditionalDiverts},
};

const struct { const char *name; SS::BarringServiceCode code; } programs[] = {
    {"outgoing", SS::BarAllOutgoing}, {"international", SS::BarOutgoingInternational},
    {"international-except-home", SS::BarOutgoingInternationalExceptHome}, {"incoming", SS::BarAllIncoming},
    {"incoming-roaming", SS::BarIncomingWhenRoaming}, {"all", SS::AllBarringServices},
    {"all-outgoing", SS::AllOutgoingBarring}, {"all-incoming", SS::AllIncomingBarring},
};

template <typename Table, typename Code>
bool codeOf(const Table &table, const QString &name, Code &code)
{
    for (const auto &row : table) {
        if (name == QLatin1String(row.name)) {
            code = row.code;
            return true;
        }
    }
    return false;
}

QString basicName(SS::BasicService basic)
{
    return enumName<SS::BasicService>(basic);
}

// The error of an operation on standard error; 0 for none, else 1.
int failed(const char *what, SS::Error error)
{
    if (error == SS::NoError)
        return 0;
    err() << "ondrix: " << what << ": " << enumName<SS::Error>(error) << '\n';
    return 1;
}

template <typename Answer>
bool answered(const Answer &answer)
{
    if (!answer)
        timedOut("from the network", Wait);
    return bool(answer);
}

// Follows every completion of `ss` and prints it; `done` gets the exit status.
void printCompletions(SS &ss, std::function<void(int)> done)
{
    // An operation done: "divert: registered".
    auto simple = [&ss, done](void (SS::*signal)(SS::Error), const char *key, const char *what) {
        QObject::connect(&ss, signal, &ss, [done, key, what](SS::Error error) {
            if (error == SS::NoError)
                Output::field(key, QLatin1String(what));
            done(failed(key, error));
        });
    };
    simple(&SS::registerDivertCompleted, "divert", "registered");
    simple(&SS::eraseDivertCompleted, "divert", "erased");
    simple(&SS::activateDivertCompleted, "divert", "on");
    simple(&SS::deactivateDivertCompleted, "divert", "off");
    simple(&SS::changeBarringPasswordCompleted, "barring_password", "changed");
    simple(&SS::activateBarringCompleted, "barring", "on");
    simple(&SS::deactivateBarringCompleted, "barring", "off");
    simple(&SS::activateWaitingCompleted, "waiting", "on");
    simple(&SS::deactivateWaitingCompleted, "waiting", "off");
    QObject::connect(&ss, &SS::checkDivertCompleted, &ss, [done](const SS::DivertServiceList &list, SS::Error error) {
        if (error != SS::NoError) {
            done(failed("divert", error));
            return;
        }
        Output::list("diverts");
        for (const SS::DivertService &d : list) {
            const QString text = QStringLiteral("%1 %2 to %3%4").arg(basicName(d.basicService),
                 d.active ? QStringLiteral("on") : QStringLiteral("off"), d.telephoneNumber,
                 d.forwardDelay ? QStringLiteral(" after %1 s").arg(d.forwardDelay) : QString());
            Output::row("diverts",
                        QJsonObject{{QStringLiteral("service"), basicName(d.basicService)},
                                    {QStringLiteral("active"), d.active},
                                    {QStringLiteral("number"), d.telephoneNumber},
                                    {QStringLiteral("delay"), d.forwardDelay ? QJsonValue(qint64(d.forwardDelay)) : QJsonValue()}},
                        QStringLiteral("%1 %2").arg(QStringLiteral("divert:"), -12).arg(text));
        }
        if (list.isEmpty())
            Output::text(QStringLiteral("divert"), QStringLiteral("none"));
        done(0);
    });
    auto services = [&ss, done](void (SS::*signal)(SS::BasicServiceList, SS::Error), const char *what) {
        QObject::connect(&ss, signal, &ss, [done, what](const SS::BasicServiceList &list, SS::Error error) {
            QStringList names;
            for (SS::BasicService basic : list)
                names << basicName(basic);
            if (error == SS::NoError)
                Output::field(what, QJsonArray::fromStringList(names),
                              names.isEmpty() ? QStringLiteral("off") : names.join(QLatin1Char(' ')));
            done(failed(what, error));
        });
    };
    services(&SS::checkBarringCompleted, "barring");
    services(&SS::checkWaitingCompleted, "waiting");
    QObject::connect(&ss, &SS::checkClirCompleted, &ss, [done](SS::ClirStatus status, SS::Error error) {
        if (error == SS::NoError)
            Output::field("clir", enumName<SS::ClirStatus>(status));
        done(failed("clir", error));
    });
    auto flag = [&ss, done](void (SS::*signal)(bool, SS::Error), const char *what) {
        QObject::connect(&ss, signal, &ss, [done, what](bool on, SS::Error error) {
            if (error == SS::NoError)
                Output::field(what, on, on ? QStringLiteral("provided") : QStringLiteral("not provided"));
            done(failed(what, error));
        });
    };
    flag(&SS::checkClipCompleted, "clip");
    flag(&SS::checkColpCompleted, "colp");
    flag(&SS::checkColrCompleted, "colr");
    flag(&SS::checkCnapCompleted, "cnap");
}

// Runs one operation and prints its completion.
int runOperation(const std::function<void(SS &)> &start)
{
    SS ss;
    if (!ss.isValid())
        return daemonAbsent();
    int rc = 1;
    const bool finished = runFor(Wait, [&](std::function<void()> done) {
        printCompletions(ss, [&rc, done](int status) {
            rc = status;
            done();
        });
        start(ss);
    });
    return finished ? rc : timedOut("from the network", Wait);
}

int divert(const QStringList &args)
{
    SS::DivertServiceCode code;
    if (args.size() < 2 || !codeOf(kinds, args[1], code))
        return usage();
    const QString action = args[0];
    if (action == QLatin1String("set") && (args.size() == 3 || args.size() == 4)) {
        bool ok = true;
        const uint delay = args.size() == 4 ? args[3].toUInt(&ok) : 0;
        if (!ok)
            return usage();
        return runOperation([&](SS &ss) { ss.registerDivert(code, SS::AllBasicServices, args[2], delay); });
    }
    if (args.size() != 2)
        return usage();
    if (action == QLatin1String("status"))
        return runOperation([&](SS &ss) { ss.checkDivert(code, SS::AllBasicServices); });
    if (action == QLatin1String("on"))
        return runOperation([&](SS &ss) { ss.activateDivert(code, SS::AllBasicServices); });
    if (action == QLatin1String("off"))
        return runOperation([&](SS &ss) { ss.deactivateDivert(code, SS::AllBasicServices); });
    if (action == QLatin1String("erase"))
        return runOperation([&](SS &ss) { ss.eraseDivert(code, SS::AllBasicServices); });
    return usage();
}

int barring(const QStringList &args)
{
    if (args.size() == 1 && args[0] == QLatin1String("password")) {
        if (!SS().isValid())
            return daemonAbsent();   // before anybody types a password
        const Secret old = readSecret(QStringLiteral("Barring password: "));
        const Secret fresh = readSecret(QStringLiteral("New barring password: "));
        if (fresh.isEmpty() || readSecret(QStringLiteral("New barring password again: ")) != fresh) {
            err() << "ondrix: the new password was empty or typed differently\n";
            return 1;
        }
        return runOperation([&](SS &ss) { ss.changeBarringPassword(SS::AllBarringServices, old.text(), fresh.text()); });
    }
    SS::BarringServiceCode code;
    if (args.size() != 2 || !codeOf(programs, args[1], code))
        return usage();
    if (args[0] == QLatin1String("status"))
        return runOperation([&](SS &ss) { ss.checkBarring(code); });
    if (args[0] != QLatin1String("on") && args[0] != QLatin1String("off"))
        return usage();
    if (!SS().isValid())
        return daemonAbsent();
    const Secret password = readSecret(QStringLiteral("Barring password: "));
    if (args[0] == QLatin1String("on"))
        return runOperation([&](SS &ss) { ss.activateBarring(code, SS::AllBasicServices, password.text()); });
    return runOperation([&](SS &ss) { ss.deactivateBarring(code, SS::AllBasicServices, password.text()); });
}

int waiting(const QStringList &args)
{
    const QString action = args.value(0);
    if (args.size() != 1)
        return usage();
    if (action == QLatin1String("status"))
        return runOperation([](SS &ss) { ss.checkWaiting(SS::AllBasicServices); });
    if (action == QLatin1String("on"))
        return runOperation([](SS &ss) { ss.activateWaiting(SS::AllBasicServices); });
    if (action == QLatin1String("off"))
        return runOperation([](SS &ss) { ss.deactivateWaiting(SS::AllBasicServices); });
    return usage();
}

// A line the user types in answer to the network; empty at the end of input.
QString readAnswer()
{
    if (isatty(STDIN_FILENO))
        out() << "> " << Qt::flush;
    return readLine();
}

// Ends a dialogue the network left open. The release goes out before the
// process ends: a blocking call behind it returns once the daemon has answered
// both.
void release(SS &ss)
{
    ss.ussdRelease();
    ss.isBusy();
}

// A USSD dialogue: the network's texts are shown, the user's answers sent,
// until the network ends it (or the user, with an empty answer). A command
// answered with nothing to follow ends at once. However it ends, a dialogue
// left open is released.
int dialogue(const QString &code)
{
    SS ss;
    if (!ss.isValid())
        return daemonAbsent();
    int rc = 0;
    bool more = false;   // the network asked or notified after its answer
    // Each of the network's texts as it comes: its lines, or an event.
    auto show = [](const char *kind, const QString &text) {
        if (!text.isEmpty())
            Output::message(kind, text);
    };
    const bool ended = runFor(Wait, [&](std::function<void()> done) {
        QObject::connect(&ss, &SS::commandCompleted, &ss, [&, done](const QString &text) {
            show("ussd_answer", text);
            QTimer::singleShot(300, &ss, [&more, done] {
                if (!more)
                    done();
            });
        });
        QObject::connect(&ss, &SS::replyCompleted, &ss, [&show](const QString &text) { show("ussd_answer", text); });
        QObject::connect(&ss, &SS::userActionRequested, &ss, [&, done](const QString &text) {
            more = true;
            show("ussd_request", text);
            const QString answer = readAnswer();
            if (!answer.isEmpty()) {
                ss.sendReply(answer);
                return;
            }
            release(ss);
            more = false;
            done();
        });
        QObject::connect(&ss, &SS::notifyReceived, &ss, [&](const QString &text) {
            more = true;
            show("ussd_notify", text);
            ss.sendNotifyAck();
        });
        QObject::connect(&ss, &SS::ussdReleased, &ss, [&, done](const QString &text) {
            show("ussd_released", text);
            more = false;
            done();
        });
        QObject::connect(&ss, &SS::ussdError, &ss, [&rc, done](SS::UssdOp, SS::UssdError error, const QString &message) {
            err() << "ondrix: " << enumName<SS::UssdError>(error) << ": " << visible(message) << '\n';
            rc = 1;
            done();
        });
        ss.sendCommand(code);
    });
    if (more)
        release(ss);
    return ended ? rc : timedOut("from the network", Wait);
}

// A string with a code in it does not belong on a command line, where other
// users can read it.
bool refusedOnCommandLine(const QString &typed)
{
    if (!SS::carriesCode(typed))
        return false;
    err() << "ondrix: a string that carries a code is not taken from the command line: "
             "run 'ondrix dial' without one and type it\n";
    return true;
}

// Runs a PIN or PUK procedure typed into the dialler and prints its answer;
// -1 when `typed` is none.
int codeProcedure(SIM::SIMSecurity &security, const QString &typed)
{
    int rc = -1;
    bool ran = false;
    runFor(Wait, [&](std::function<void()> done) {
        auto answered = [&rc, done](bool success, SIM::SIMError error) {
            if (error != SIM::NoError)
                err() << "ondrix: code procedure: " << enumName<SIM::SIMError>(error) << '\n';
            else if (!success)
                err() << "ondrix: code procedure: the code was wrong\n";
            else {
                Output::text(QStringLiteral("code"), QStringLiteral("accepted"));
                Output::data("accepted", true);
            }
            rc = error == SIM::NoError && success ? 0 : 1;
            done();
        };
        QObject::connect(&security, &SIM::SIMSecurity::changePINComplete, &security, answered);
        QObject::connect(&security, &SIM::SIMSecurity::verifyPUKComplete, &security, answered);
        ran = security.sendCodeRequest(typed);
        if (!ran)
            done();
    });
    if (!ran)
        return -1;
    return rc < 0 ? timedOut("from the SIM", Wait) : rc;
}

} // namespace

int ss(const QStringList &args)
{
    typed = args;
    const QString command = args.value(0);
    const QStringList rest = args.mid(1);
    if (command == QLatin1String("--help") && rest.isEmpty()) {
        out() << Usage;
        return 0;
    }
    if (command == QLatin1String("divert"))
        return divert(rest);
    if (command == QLatin1String("barring"))
        return barring(rest);
    if (command == QLatin1String("waiting"))
        return waiting(rest);
    if (rest.isEmpty()) {
        const struct { const char *name; void (SS::*check)(); } checks[] = {
            {"clir", &SS::checkClir}, {"clip", &SS::checkClip}, {"colp", &SS::checkColp},
            {"colr", &SS::checkColr}, {"cnap", &SS::checkCnap},
        };
        for (const auto &check : checks) {
            if (command == QLatin1String(check.name))
                return runOperation([&check](SS &s) { (s.*check.check)(); });
        }
    }
    return usage();
}

int ussd(const QStringList &args)
{
    if (args.size() != 1) {
        err() << "usage: ondrix ussd CODE   (for example *100#; answer the network's questions on standard input)\n";
        return 2;
    }
    if (refusedOnCommandLine(args[0]))
        return 2;
    return dialogue(args[0]);
}

// The dialler's logic: a call, a code procedure against the SIM, a supplementary
// service, or USSD. Without an argument the string is read like a code, as it
// may carry one.
int dial(const QStringList &args)
{
    if (args.size() > 1) {
        err() << "usage: ondrix dial [STRING]   (what a user types into the dialler; read unechoed when absent)\n";
        return 2;
    }
    if (!args.isEmpty() && refusedOnCommandLine(args[0]))
        return 2;
    const Secret typed = args.isEmpty() ? readSecret(QStringLiteral("Dial: ")) : Secret(args[0]);
    if (typed.isEmpty()) {
        err() << "ondrix: nothing to dial\n";
        return 2;
    }
    SS probe;
    if (!probe.isServiceCode(typed.text())) {
        // A number that carries a code is not shown.
        const bool hidden = SS::carriesCode(typed.text());
        Output::text(QStringLiteral("dial"), hidden ? QStringLiteral("a call") : QStringLiteral("a call to ") + typed.text());
        Output::data("call", hidden ? QJsonValue() : QJsonValue(typed.text()));
        return 0;
    }
    if (!probe.isValid())
        return daemonAbsent();
    // The phone's own procedure: its IMEI, shown and never sent to the network.
    if (typed.text() == QLatin1String("*#06#")) {
        const QString imei = PhoneInfo().imeiNumber();
        if (imei.isNull()) {
            err() << "ondrix: the modem did not give its IMEI\n";
            return 1;
        }
        Output::field("imei", imei);
        return 0;
    }
    SIM::SIMSecurity security;
    if (const int rc = codeProcedure(security, typed.text()); rc >= 0)
        return rc;
    // A control string starts its operation; any other service code goes to
    // the network as USSD (which refuses a string that carries a code).
    int rc = -1;
    bool started = false;
    runFor(Wait, [&](std::function<void()> done) {
        printCompletions(probe, [&rc, done](int status) {
            rc = status;
            done();
        });
        started = probe.sendSSRequest(typed.text());
        if (!started)
            done();
    });
    if (!started)
        return dialogue(typed.text());
    return rc < 0 ? timedOut("from the network", Wait) : rc;
}
