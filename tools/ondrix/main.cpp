// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix: the modem seen through libondrix-qt, from the command line.

#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/systemcontrol.h>

#include <QCoreApplication>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QTextStream>
#include <QTimer>

#include <functional>

#include "common.h"

using namespace Ondrix;

namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// Scans and selections answer within two minutes; a little more for the bus.
constexpr int LongWait = 130000;

void followSystemControl(SystemControl &control)
{
    QObject::connect(&control, &SystemControl::validChanged, [](bool valid) {
        Output::event("daemon", {{QStringLiteral("present"), valid}},
                      valid ? QStringLiteral("present") : QStringLiteral("absent"));
    });
    // The class passes on every power notification, also one that repeats the
    // value (the requested mode, then the modem's state): a change is printed once.
    QObject::connect(&control, &SystemControl::powerChanged, [shown = control.power()](bool on) mutable {
        if (on != shown)
            Output::event("power", {{QStringLiteral("on"), on}}, onOff(on));
        shown = on;
    });
    QObject::connect(&control, &SystemControl::statusChanged, [](int status) {
        const QString name = enumName<SystemControl::Status>(status);
        Output::event("status", {{QStringLiteral("status"), name}}, name);
    });
    QObject::connect(&control, &SystemControl::activityChanged, [](int activity) {
        const QString name = enumName<SystemControl::Activity>(activity);
        Output::event("activity", {{QStringLiteral("activity"), name}}, name);
    });
}

// "Name (244 05, FI)"; "none" when there is no operator (while searching).
QString operatorText(const NetworkOperator &op, const QString &mcc, const QString &mnc,
                     const QString &name)
{
    if (mcc.isEmpty() && mnc.isEmpty())
        return name.isEmpty() ? QStringLiteral("none") : name;
    const QString country = op.country(mcc, mnc);
    return QStringLiteral("%1 (%2 %3%4)").arg(name, mcc, mnc,
                                              country.isEmpty() ? QString() : QStringLiteral(", ") + country);
}

// A registration change carries a reject cause when it was refused, or names
// one; "unspecified" is what the daemon's empty text reads as.
bool hasRejectCause(int status, int reject)
{
    return status == NetworkRegistration::Rejected || reject != NetworkRegistration::UnspecifiedError;
}

int status(const QStringList &)
{
    SystemControl control;
    NetworkRegistration registration;
    NetworkOperator op;
    SignalStrength signal;
    // Without its daemons the objects hold only neutral values: none is shown.
    if (!control.isValid() || !registration.isValid() || !op.isValid() || !signal.isValid())
        return daemonAbsent();
    Output::field("daemon", QStringLiteral("present"));
    Output::field("power", control.power(), onOff(control.power()));
    Output::field("status", enumName<SystemControl::Status>(control.status()));
    Output::field("activity", enumName<SystemControl::Activity>(control.activity()));
    Output::field("network", enumName<NetworkRegistration::Status>(registration.status()));
    Output::field("reject", hasRejectCause(registration.status(), registration.rejectCode())
                                ? enumName<NetworkRegistration::RejectCode>(registration.rejectCode()) : QString());
    Output::field("selection", enumName<NetworkRegistration::Mode>(registration.mode()));
    Output::field("operator", orNull(op.name()), operatorText(op, op.mcc(), op.mnc(), op.name()));
    Output::data("mcc", orNull(op.mcc()));
    Output::data("mnc", orNull(op.mnc()));
    Output::data("country", orNull(op.country(op.mcc(), op.mnc())));
    Output::text(QStringLiteral("signal"), QStringLiteral("%1 bars, %2 %, %3 dBm")
                                               .arg(signal.bars()).arg(signal.percent()).arg(signal.dbm()));
    Output::data("bars", signal.bars());
    Output::data("percent", signal.percent());
    Output::data("dbm", signal.dbm());
    return 0;
}

void followNetwork(NetworkRegistration &registration, NetworkOperator &op, SignalStrength *signal)
{
    QObject::connect(&registration, &NetworkRegistration::statusWithRejectCodeChanged,
                     [](int status, int reject) {
                         const QString name = enumName<NetworkRegistration::Status>(status);
                         const QString cause = hasRejectCause(status, reject)
                                                   ? enumName<NetworkRegistration::RejectCode>(reject) : QString();
                         Output::event("network", {{QStringLiteral("status"), name},
                                                   {QStringLiteral("reject"), orNull(cause)}},
                                       cause.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, cause));
                     });
    QObject::connect(&registration, &NetworkRegistration::modeChanged, [](int mode) {
        const QString name = enumName<NetworkRegistration::Mode>(mode);
        Output::event("selection", {{QStringLiteral("mode"), name}}, name);
    });
    QObject::connect(&op, &NetworkOperator::operatorChanged, [&op](const QString &mnc, const QString &mcc) {
        // While searching the modem has no operator.
        const QString country = op.country(mcc, mnc);
        Output::event("operator", {{QStringLiteral("mcc"), orNull(mcc)}, {QStringLiteral("mnc"), orNull(mnc)},
                                   {QStringLiteral("country"), orNull(country)}},
                      mcc.isEmpty() && mnc.isEmpty()
                          ? QStringLiteral("none")
                          : QStringLiteral("%1 %2%3").arg(mcc, mnc, country.isEmpty() ? QString()
                                                                    : QStringLiteral(" (") + country + QLatin1Char(')')));
    });
    QObject::connect(&op, &NetworkOperator::nameChanged, [](const QString &name) {
        Output::event("operator_name", {{QStringLiteral("name"), orNull(name)}}, name);
    });
    if (!signal)
        return;
    QObject::connect(signal, &SignalStrength::barsChanged, [](int bars) {
        Output::event("bars", {{QStringLiteral("bars"), bars}}, QString::number(bars));
    });
    QObject::connect(signal, &SignalStrength::dbmChanged, [signal](int dbm) {
        Output::event("signal", {{QStringLiteral("percent"), signal->percent()}, {QStringLiteral("dbm"), dbm}},
                      QStringLiteral("%1 %, %2 dBm").arg(signal->percent()).arg(dbm));
    });
}

// Scans and waits for the outcome: 0 when the scan succeeded, else the exit status.
int scan(NetworkRegistration &registration)
{
    bool ok = false;
    const bool answered = runFor(LongWait, [&](std::function<void()> done) {
        QObject::connect(&registration, &NetworkRegistration::operatorsSuccess, [&ok, done] {
            ok = true;
            done();
        });
        QObject::connect(&registration, &NetworkRegistration::operatorsFailure, done);
        QObject::connect(&registration, &NetworkRegistration::operatorsCanceled, done);
        registration.scanOperators();
    });
    if (!answered)
        return timedOut("to the scan", LongWait);
    if (!ok) {
        err() << "ondrix: the scan failed\n";
        return 1;
    }
    return 0;
}

int operators(const QStringList &args)
{
    if (!args.isEmpty()) {
        err() << "usage: ondrix operators\n";
        return 2;
    }
    NetworkRegistration registration;
    NetworkOperator op;
    if (!registration.isValid())
        return daemonAbsent();
    Output::note(QStringLiteral("scanning..."));
    if (const int rc = scan(registration))
        return rc;
    const QList<AvailableOperator> found = registration.availableOperators();
    Output::list("operators");
    Output::note(QStringLiteral("%1  %2 %3 %4 %5 %6")
                     .arg(QStringLiteral("#"), -2).arg(QStringLiteral("operator"), -28)
                     .arg(QStringLiteral("availability"), -13).arg(QStringLiteral("preference"), -11)
                     .arg(QStringLiteral("band"), -19).arg(QStringLiteral("3G")));
    for (int i = 0; i < found.size(); i++) {
        const AvailableOperator &o = found[i];
        const QString name = operatorText(op, o.mcc(), o.mnc(), o.name());
        const QString umts = o.umts() ? QStringLiteral("yes") : QStringLiteral("no");
        Output::row("operators",
                    QJsonObject{{QStringLiteral("index"), i}, {QStringLiteral("name"), o.name()},
                                {QStringLiteral("mcc"), o.mcc()}, {QStringLiteral("mnc"), o.mnc()},
                                {QStringLiteral("country"), orNull(op.country(o.mcc(), o.mnc()))},
                                {QStringLiteral("availability"), o.availabilityName()},
                                {QStringLiteral("preference"), o.preferenceName()},
                                {QStringLiteral("band"), o.bandName()}, {QStringLiteral("umts"), o.umts()}},
                    QStringLiteral("%1  %2 %3 %4 %5 %6")
                        .arg(i, -2).arg(name, -28).arg(o.availabilityName(), -13).arg(o.preferenceName(), -11)
                        .arg(o.bandName(), -19).arg(umts));
    }
    return 0;
}

int select(const QStringList &args)
{
    bool isIndex = false;
    const int index = args.value(0).toInt(&isIndex);
    if (args.size() != 1 || (isIndex && index < 0) || (!isIndex && args[0] != QLatin1String("auto"))) {
        err() << "usage: ondrix select INDEX|auto   (INDEX as listed by 'ondrix operators')\n";
        return 2;
    }
    NetworkRegistration registration;
    NetworkOperator op;
    if (!registration.isValid())
        return daemonAbsent();
    if (isIndex) {
        if (const int rc = scan(registration))
            return rc;
        const int found = registration.availableOperators().size();
        if (index >= found) {
            err() << "ondrix: no operator " << index << " in the scan (" << found << " found)\n";
            return 2;
        }
    }
    followNetwork(registration, op, nullptr);
    bool ok = false;
    const bool answered = runFor(LongWait, [&](std::function<void()> done) {
        QObject::connect(&registration, qOverload<bool, const QString &>(&NetworkRegistration::selectionCompleted),
                         [&ok, done](bool success, const QString &reason) {
                             ok = success;
                             Output::event("selected", {{QStringLiteral("success"), success},
                                                        {QStringLiteral("reason"), success ? QJsonValue() : reason}},
                                           success ? QStringLiteral("done") : QStringLiteral("failed: ") + reason);
                             done();
                         });
        if (isIndex)
            registration.selectOperator(index);
        else
            registration.selectOperator();
    });
    if (!answered)
        return timedOut("to the selection", LongWait);
    // The registration change follows the answer.
    runFor(300);
    return ok ? 0 : 1;
}

int power(const QStringList &args)
{
    if (args.size() != 1 || (args[0] != QLatin1String("on") && args[0] != QLatin1String("off"))) {
        err() << "usage: ondrix power on|off\n";
        return 2;
    }
    const bool on = args[0] == QLatin1String("on");
    SystemControl control;
    if (!control.isValid())
        return daemonAbsent();
    if (control.power() == on) {
        Output::note(QStringLiteral("the radio is already ") + onOff(on));
        if (Output::json())
            Output::event("power", {{QStringLiteral("on"), on}}, onOff(on));
        return 0;
    }
    followSystemControl(control);
    // The modem acknowledges the request, then reports the new radio state and
    // the service level it reaches. A refused request repeats the old value.
    runFor(5000, [&](std::function<void()> done) {
        QObject::connect(&control, &SystemControl::powerChanged, [on, done](bool value) {
            if (value != on)
                done();
        });
        QObject::connect(&control, &SystemControl::statusChanged, [&control, on, done] {
            if (control.power() == on)
                done();
        });
        control.setPower(on);
    });
    if (control.power() != on) {
        err() << "ondrix: the radio did not switch " << onOff(on) << '\n';
        return 1;
    }
    return 0;
}

int monitor(const QStringList &args)
{
    int seconds = -1;
    bool ok = true;
    if (args.size() == 2 && args[0] == QLatin1String("--seconds"))
        seconds = args[1].toInt(&ok);
    if (!ok || seconds < -1 || (seconds == -1 && !args.isEmpty())) {
        err() << "usage: ondrix monitor [--seconds N]\n";
        return 2;
    }
    SystemControl control;
    if (!control.isValid())
        return daemonAbsent();
    followSystemControl(control);
    NetworkRegistration registration;
    NetworkOperator op;
    SignalStrength signal(SignalStrength::BarsOption | SignalStrength::DbmOption);
    followNetwork(registration, op, &signal);
    QObject everything;
    followEverything(&everything);
    if (seconds >= 0)
        QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    return qApp->exec();
}

struct Command {
    const char *name;
    const char *help;
    int (*run)(const QStringList &args);
};

const Command commands[] = {
    {"status", "power, service, radio activity, registration, operator and signal", status},
    {"operators", "scan for the operators in range", operators},
    {"select", "INDEX|auto   register to an operator of the scan, or automatically", select},
    {"power", "on|off   switch the radio and show what follows", power},
    {"monitor", "[--seconds N]   print every change as it happens", monitor},
    {"sms", "count|encode|decode ...   the SMS codec (see 'ondrix sms --help')", sms},
    {"cbs", "decode HEX   a cell broadcast page", cbs},
    {"smsc", "the service centre number stored on the SIM", smsc},
    {"sim", "status|unlock|puk|change-pin|pin-query|attempts|identity|phonebook|fdn|lock ...   the SIM card "
            "(see 'ondrix sim --help')", sim},
    {"ss", "divert|barring|waiting|clir|clip|colp|colr|cnap ...   supplementary services (see 'ondrix ss --help')", ss},
    {"ussd", "CODE   a USSD dialogue: the network's texts, your answers", ussd},
    {"dial", "[STRING]   what the dialler makes of it: a call, a code procedure, a service code or USSD "
             "(read unechoed without STRING)", dial},
    {"info", "IMEI, software versions, HSxPA, emergency numbers and call timers", info},
    {"radio", "[mode dual|2g|3g]   radio mode, data technology, channel, radio state, packet data", radio},
    {"cell", "the serving cell: identity, name and services", cell},
    {"time", "the network's last time report", time},
};

int usage(bool asked = false)
{
    if (!asked) {
        err() << "usage: ondrix COMMAND [ARGS]   ('ondrix --help' lists the commands)\n";
        return 2;
    }
    out() << "usage: ondrix [--json] [--verbose] COMMAND [ARGS]\n"
          << "  --json                    print the answer as a JSON object, and events an object a line\n"
          << "  --verbose                 print the library's own log lines too\n";
    // The command and its arguments in one column, what it does in the next
    // (on a line of its own below a long one).
    constexpr int Column = 28;
    for (const Command &command : commands) {
        const QString help = QLatin1String(command.help);
        const int split = help.indexOf(QLatin1String("   "));
        const QString synopsis = QLatin1String(command.name)
            + (split < 0 ? QString() : QLatin1Char(' ') + help.left(split));
        const QString what = split < 0 ? help : help.mid(split + 3);
        if (synopsis.size() < Column - 3)
            out() << "  " << synopsis.leftJustified(Column - 2) << what << '\n';
        else
            out() << "  " << synopsis << '\n' << QString(Column, QLatin1Char(' ')) << what << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool verbose = false;
    while (!args.isEmpty() && (args.first() == QLatin1String("--json") || args.first() == QLatin1String("--verbose"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--json"))
            Output::setJson(true);
        else
            verbose = true;
    }
    // The library's log lines are for whoever asks for them.
    if (!verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("ondrix.dbus.debug=false"));
    if (args.isEmpty())
        return usage();
    if (args.first() == QLatin1String("--help"))
        return usage(true);
    if (args.first().startsWith(QLatin1String("--"))) {
        err() << "ondrix: unknown option " << args.first() << "   ('ondrix --help' lists the options)\n";
        return 2;
    }
    for (const Command &command : commands) {
        if (args.first() == QLatin1String(command.name)) {
            const int rc = command.run(args.mid(1));
            Output::finish();
            return rc;
        }
    }
    return usage();
}
