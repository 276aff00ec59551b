// SPDX-License-Identifier: LGPL-2.1-or-later
// "ondrix-modemsim ctl": drives a running simulator from the shell.

#include "commands.h"
#include "control.h"
#include "scenario.h"
#include "values.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusVariant>
#include <QFile>
#include <QStringList>
#include <QTextStream>

namespace {

const char Usage[] =
    "usage: ondrix-modemsim ctl [--system | --session | --address ADDRESS] COMMAND\n"
    "commands:\n"
    "  get INTERFACE                      show the properties of a daemon interface\n"
    "  set INTERFACE NAME VALUE           set a property (the daemon announces it)\n"
    "  emit INTERFACE MEMBER [VALUE...]   emit a daemon signal\n"
    "  script INTERFACE MEMBER [OPTION...] program the next answer of a method:\n"
    "        count=N delay=MS noreply error=NAME message=TEXT reply=VALUE (repeatable)\n"
    "        when=VALUE (repeatable: only calls whose first arguments are these)\n"
    "  clear-scripts | calls | clear-calls | release | acquire | reset\n"
    "  setting NAME VALUE                 change a simulator setting (RadioSwitchTime, ...)\n"
    "  chaos on [SEED] | chaos off        the hostile mode: garbled answers, signals and names\n"
    "  call start [incoming] | call end   a simulated call: the call timers run\n"
    "  sim insert | sim remove | sim state STATE   the SIM card (STATE: Ok, PINRequired, PUKRequired,\n"
    "        NotReady, PermanentlyBlocked, Rejected, SIMLockRejected, NoSIM)\n"
    "  signal DBM                         the signal level, -113 to -51 dBm (bars follow)\n"
    "  register STATUS [MCC MNC NAME]     the registration the modem finds by itself (Home, Roaming,\n"
    "        Searching, NoCoverage, NoSim, ...), on that network if given\n"
    "  flight on | flight off             flight mode, as the system-state controller sets it\n"
    "  scenario FILE [SPEED] | scenario stop   play a scenario, SPEED times as fast; FILE may\n"
    "        name an installed one: home, roaming-abroad, ...\n"
    "  state                              the whole state, as a scenario that restores it\n"
    "values: s:TEXT b:true i:-3 u:3 d:1.5 as:a,b {Key=s:Text;Other=b:false}; plain text is a string\n";

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

void printCalls(const QDBusMessage &reply)
{
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QVariantMap entry;
        list >> entry;
        out() << entry.value(QStringLiteral("interface")).toString() << '.'
              << entry.value(QStringLiteral("member")).toString() << " ("
              << entry.value(QStringLiteral("signature")).toString() << ") "
              << formatValue(entry.value(QStringLiteral("args"))) << '\n';
    }
    list.endArray();
}

void printProperties(const QDBusMessage &reply)
{
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        out() << it.key() << " = " << formatValue(it.value()) << '\n';
}

// "scenario FILE [SPEED]": the file's text, which the simulator checks line by line and plays.
Request scenarioRequest(const QStringList &args)
{
    Request request;
    if (args.size() == 2 && args[1] == QLatin1String("stop")) {
        request.method = QStringLiteral("StopScenario");
        return request;
    }
    bool ok = args.size() == 2;
    const double speed = args.size() == 3 ? args[2].toDouble(&ok) : 1;
    if (!ok)
        return request;
    QFile file(scenarioPath(args[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        request.error = QStringLiteral("cannot read %1: %2").arg(args[1], file.errorString());
        return request;
    }
    request.method = QStringLiteral("PlayScenario");
    request.args = {QString::fromUtf8(file.readAll()), speed};
    return request;
}

} // namespace

int ctlUsage(bool asked)
{
    (asked ? out() : err()) << Usage;
    return asked ? 0 : 2;
}

int runCtl(const QDBusConnection &bus, const QStringList &args)
{
    const Request request = args.value(0) == QLatin1String("scenario") ? scenarioRequest(args) : requestOf(args);
    if (!request.valid()) {
        if (request.error.isEmpty())
            err() << "ondrix-modemsim: \"" << args.join(QLatin1Char(' ')).left(80)
                  << "\" is not a command (ondrix-modemsim ctl --help lists them)\n";
        else
            err() << "ondrix-modemsim: " << request.error << '\n';
        return 2;
    }
    if (request.method == QLatin1String("SetChaos") && request.args.value(0).toBool())
        out() << "chaos seed " << request.args.value(1).toUInt() << '\n';
    auto control = [&bus](const QString &method, const QVariantList &args) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral(MODEMSIM_CONTROL_SERVICE), QStringLiteral(MODEMSIM_CONTROL_PATH),
            QStringLiteral(MODEMSIM_CONTROL_INTERFACE), method);
        call.setArguments(args);
        return bus.call(call);
    };
    if (!request.first.isEmpty())
        control(QStringLiteral("SetProperty"), request.first);
    const QDBusMessage reply = control(request.method, request.args);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        err() << "ondrix-modemsim: " << reply.errorName() << ": " << reply.errorMessage() << '\n';
        return 1;
    }
    if (request.method == QLatin1String("PlayScenario") && !reply.arguments().value(0).toString().isEmpty()) {
        err() << "ondrix-modemsim: " << args.value(1) << ", " << reply.arguments().value(0).toString() << '\n';
        return 2;
    }
    if (request.method == QLatin1String("Calls"))
        printCalls(reply);
    else if (request.method == QLatin1String("GetProperties"))
        printProperties(reply);
    else if (request.method == QLatin1String("State"))
        out() << reply.arguments().value(0).toString();
    return 0;
}
