// SPDX-License-Identifier: LGPL-2.1-or-later
// "ondrix-modemsim ctl": drives a running simulator from the shell.

#include "control.h"
#include "values.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusVariant>
#include <QDateTime>
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
    "  clear-scripts | calls | clear-calls | release | acquire | reset\n"
    "  setting NAME VALUE                 change a simulator setting (RadioSwitchTime, ...)\n"
    "  chaos on [SEED] | chaos off        the hostile mode: garbled answers, signals and names\n"
    "  call start [incoming] | call end   a simulated call: the call timers run\n"
    "  sim insert | sim remove | sim state STATE   the SIM card (STATE: Ok, PINRequired, PUKRequired,\n"
    "        NotReady, PermanentlyBlocked, Rejected, SIMLockRejected, NoSIM)\n"
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

bool parseAll(const QStringList &texts, QVariantList &values)
{
    for (const QString &text : texts) {
        QString error;
        const QVariant value = parseValue(text, &error);
        if (!value.isValid()) {
            err() << "ondrix-modemsim: " << error << '\n';
            return false;
        }
        values << value;
    }
    return true;
}

QVariant wrapped(const QVariant &value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

// A command's call of the control interface: the method and its arguments,
// or an exit status when the command's words are off.
struct Request {
    QString method;
    QVariantList args;
    int refused = 0;
    QVariantList first = {};   // arguments of a SetProperty made before the call, if any
};

Request refuse()
{
    return {QString(), {}, 2};
}

Request get(const QStringList &rest)
{
    return {QStringLiteral("GetProperties"), {rest[0]}};
}

Request set(const QStringList &rest)
{
    QVariantList value;
    if (!parseAll({rest[2]}, value))
        return refuse();
    return {QStringLiteral("SetProperty"), {rest[0], rest[1], wrapped(value.first())}};
}

Request emitSignal(const QStringList &rest)
{
    QVariantList values;
    if (!parseAll(rest.mid(2), values))
        return refuse();
    return {QStringLiteral("EmitSignal"), {QString(), rest[0], rest[1], QVariant(values)}};
}

Request script(const QStringList &rest)
{
    QVariantMap answer;
    QVariantList reply;
    for (const QString &option : rest.mid(2)) {
        const QString key = option.section(QLatin1Char('='), 0, 0);
        const QString value = option.section(QLatin1Char('='), 1);
        if (key == QLatin1String("noreply")) {
            answer.insert(key, true);
        } else if (key == QLatin1String("count") || key == QLatin1String("delay")) {
            answer.insert(key, value.toInt());
        } else if (key == QLatin1String("error") || key == QLatin1String("message")) {
            answer.insert(key, value);
        } else if (key == QLatin1String("reply")) {
            if (!value.isEmpty() && !parseAll({value}, reply))
                return refuse();
            answer.insert(key, QVariant());
        } else {
            err() << "ondrix-modemsim: unknown script option " << option << '\n';
            return refuse();
        }
    }
    if (answer.contains(QStringLiteral("reply")))
        answer.insert(QStringLiteral("reply"), QVariant(reply));
    return {QStringLiteral("Script"), {rest[0], rest[1], answer}};
}

Request setting(const QStringList &rest)
{
    QVariantList value;
    if (!parseAll({rest[1]}, value))
        return refuse();
    return {QStringLiteral("SetSetting"), {rest[0], wrapped(value.first())}};
}

Request chaos(const QStringList &rest)
{
    if (rest[0] == QLatin1String("off") && rest.size() == 1)
        return {QStringLiteral("SetChaos"), {false, 0u}};
    bool ok = rest.size() == 1;
    const uint seed = ok ? uint(QDateTime::currentMSecsSinceEpoch()) : rest[1].toUInt(&ok);
    if (rest[0] != QLatin1String("on") || !ok)
        return {QString(), {}, -1};
    out() << "chaos seed " << seed << '\n';
    return {QStringLiteral("SetChaos"), {true, seed}};
}

// The SIM card: out, back in (asking for its PIN when the query is on), or in any state.
Request simCard(const QStringList &rest)
{
    const QString sim = QStringLiteral("com.kelvo.hvt.SIM");
    if (rest[0] == QLatin1String("insert") && rest.size() == 1)
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Present"), wrapped(true)}};
    if (rest[0] == QLatin1String("remove") && rest.size() == 1)
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Present"), wrapped(false)}};
    if (rest[0] == QLatin1String("state") && rest.size() == 2)
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Status"), wrapped(rest[1])}};
    return {QString(), {}, -1};
}

// A simulated call: it starts (outgoing, or "incoming") or ends; the call timers run meanwhile.
Request callCommand(const QStringList &rest)
{
    const QString call = QStringLiteral("com.kelvo.hvt.Call");
    if (rest[0] == QLatin1String("start") && rest.size() <= 2) {
        const bool incoming = rest.value(1) == QLatin1String("incoming");
        if (rest.size() == 2 && !incoming && rest[1] != QLatin1String("outgoing"))
            return {QString(), {}, -1};
        return {QStringLiteral("SetProperty"), {call, QStringLiteral("InCall"), wrapped(true)}, 0,
                {call, QStringLiteral("Incoming"), wrapped(incoming)}};
    }
    if (rest[0] == QLatin1String("end") && rest.size() == 1)
        return {QStringLiteral("SetProperty"), {call, QStringLiteral("InCall"), wrapped(false)}};
    return {QString(), {}, -1};
}

// One command: its name, how many words follow it, and the call it makes.
struct Command {
    const char *name;
    int least;
    int most;   // -1: any number
    Request (*request)(const QStringList &rest);
    const char *method;   // for the commands that take nothing
};

const Command commands[] = {
    {"get", 1, 1, get, nullptr},
    {"set", 3, 3, set, nullptr},
    {"emit", 2, -1, emitSignal, nullptr},
    {"script", 2, -1, script, nullptr},
    {"setting", 2, 2, setting, nullptr},
    {"chaos", 1, 2, chaos, nullptr},
    {"sim", 1, 2, simCard, nullptr},
    {"call", 1, 2, callCommand, nullptr},
    {"clear-scripts", 0, 0, nullptr, "ClearScripts"},
    {"calls", 0, 0, nullptr, "Calls"},
    {"clear-calls", 0, 0, nullptr, "ClearCalls"},
    {"release", 0, 0, nullptr, "ReleaseNames"},
    {"acquire", 0, 0, nullptr, "AcquireNames"},
    {"reset", 0, 0, nullptr, "Reset"},
};

Request requestOf(const QStringList &args)
{
    const QStringList rest = args.mid(1);
    for (const Command &command : commands) {
        if (args.first() != QLatin1String(command.name))
            continue;
        if (rest.size() < command.least || (command.most >= 0 && rest.size() > command.most))
            break;
        return command.request ? command.request(rest) : Request{QLatin1String(command.method), {}};
    }
    return {QString(), {}, -1};
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

} // namespace

int ctlUsage(bool asked)
{
    (asked ? out() : err()) << Usage;
    return asked ? 0 : 2;
}

int runCtl(const QDBusConnection &bus, const QStringList &args)
{
    const Request request = args.isEmpty() ? Request{QString(), {}, -1} : requestOf(args);
    if (request.refused) {
        if (request.refused < 0)
            err() << Usage;
        return 2;
    }
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
    if (request.method == QLatin1String("Calls"))
        printCalls(reply);
    else if (request.method == QLatin1String("GetProperties"))
        printProperties(reply);
    return 0;
}
