// SPDX-License-Identifier: LGPL-2.1-or-later
#include "commands.h"

#include "contract.h"
#include "simulator.h"
#include "values.h"

#include <QtDBus/QDBusVariant>
#include <QDateTime>
#include <QRegularExpression>

namespace {

bool parseAll(const QStringList &texts, QVariantList &values, QString *error)
{
    for (const QString &text : texts) {
        const QVariant value = parseValue(text, error);
        if (!value.isValid())
            return false;
        values << value;
    }
    return true;
}

QVariant wrapped(const QVariant &value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

QStringList cardStates()
{
    return {"Ok", "NoSIM", "PermanentlyBlocked", "NotReady", "PINRequired", "PUKRequired", "Rejected", "SIMLockRejected"};
}

QStringList registrationStatuses()
{
    return {"Home", "Roaming", "Offline", "Searching", "NoSim", "Rejected", "PowerOff", "PowerSave", "NoCoverage"};
}

Request refuse(const QString &why)
{
    Request request;
    request.error = why;
    return request;
}

Request usage()
{
    return refuse(QString());
}

const ContractInterface *interfaceOf(const QString &name, QString *error)
{
    const ContractInterface *found = Contract::builtIn().find(name);
    if (!found)
        *error = QStringLiteral("no interface %1 in the daemons").arg(name);
    return found;
}

// One of `names`, or why not.
bool oneOf(const QString &what, const QString &value, const QStringList &names, QString *error)
{
    if (names.contains(value))
        return true;
    *error = QStringLiteral("%1 \"%2\" is none of %3").arg(what, value, names.join(QLatin1String(", ")));
    return false;
}

Request get(const QStringList &rest, QString *error)
{
    if (!interfaceOf(rest[0], error))
        return refuse(*error);
    return {QStringLiteral("GetProperties"), {rest[0]}};
}

Request set(const QStringList &rest, QString *error)
{
    const ContractInterface *interface = interfaceOf(rest[0], error);
    if (!interface)
        return refuse(*error);
    if (!interface->properties.contains(rest[1]))
        return refuse(QStringLiteral("no property %1 in %2 (it has %3)")
                          .arg(rest[1], rest[0], QStringList(interface->properties.keys()).join(QLatin1String(", "))));
    const QVariant value = parseValueAs(rest[2], interface->properties.value(rest[1]), error);
    if (!value.isValid())
        return refuse(*error);
    return {QStringLiteral("SetProperty"), {rest[0], rest[1], wrapped(value)}};
}

Request emitSignal(const QStringList &rest, QString *error)
{
    if (!interfaceOf(rest[0], error))
        return refuse(*error);
    const ContractMember *signal = Contract::builtIn().signal(rest[0], rest[1]);
    if (!signal)
        return refuse(QStringLiteral("no signal %1 in %2").arg(rest[1], rest[0]));
    const QStringList types = completeTypes(signal->signature(true));
    const QStringList texts = rest.mid(2);
    if (texts.size() != types.size())
        return refuse(QStringLiteral("%1 carries %2 values (%3), not %4")
                          .arg(rest[1]).arg(types.size()).arg(types.join(QString())).arg(texts.size()));
    QVariantList values;
    for (int i = 0; i < texts.size(); i++) {
        values << parseValueAs(texts[i], types[i], error);
        if (!values.last().isValid())
            return refuse(*error);
    }
    return {QStringLiteral("EmitSignal"), {QString(), rest[0], rest[1], QVariant(values)}};
}

Request script(const QStringList &rest, QString *error)
{
    const bool properties = rest[0] == QLatin1String("org.freedesktop.DBus.Properties");
    if (!properties && !interfaceOf(rest[0], error))
        return refuse(*error);
    if (properties ? !QStringList{"Get", "GetAll", "Set"}.contains(rest[1])
                   : !Contract::builtIn().method(rest[0], rest[1]))
        return refuse(QStringLiteral("no method %1 in %2").arg(rest[1], rest[0]));
    QVariantMap answer;
    QVariantList reply;
    QVariantList when;
    for (const QString &option : rest.mid(2)) {
        const QString key = option.section(QLatin1Char('='), 0, 0);
        const QString value = option.section(QLatin1Char('='), 1);
        if (key == QLatin1String("noreply") && value.isEmpty() && !option.contains(QLatin1Char('='))) {
            answer.insert(key, true);
        } else if (key == QLatin1String("count") || key == QLatin1String("delay")) {
            bool ok = false;
            const int number = value.toInt(&ok);
            if (!ok || number < 0)
                return refuse(QStringLiteral("%1 is a whole number, 0 or more, not \"%2\"").arg(key, value));
            answer.insert(key, number);
        } else if (key == QLatin1String("when")) {
            if (!parseAll({value}, when, error))
                return refuse(*error);
        } else if (key == QLatin1String("error") || key == QLatin1String("message")) {
            answer.insert(key, value);
        } else if (key == QLatin1String("reply")) {
            if (!value.isEmpty() && !parseAll({value}, reply, error))
                return refuse(*error);
            answer.insert(key, QVariant());
        } else {
            return refuse(QStringLiteral("unknown script option %1").arg(option));
        }
    }
    if (answer.contains(QStringLiteral("reply")))
        answer.insert(QStringLiteral("reply"), QVariant(reply));
    if (!when.isEmpty())
        answer.insert(QStringLiteral("when"), QVariant(when));
    return {QStringLiteral("Script"), {rest[0], rest[1], answer}};
}

// Every setting is a time in milliseconds.
Request setting(const QStringList &rest, QString *error)
{
    if (!oneOf(QStringLiteral("setting"), rest[0], Simulator::settingNames(), error))
        return refuse(*error);
    const QVariant value = parseValueAs(rest[1], QStringLiteral("i"), error);
    if (!value.isValid() || value.toInt() < 0)
        return refuse(QStringLiteral("%1 is a time in milliseconds, 0 or more, not \"%2\"").arg(rest[0], rest[1]));
    return {QStringLiteral("SetSetting"), {rest[0], wrapped(value)}};
}

Request chaos(const QStringList &rest, QString *)
{
    if (rest[0] == QLatin1String("off") && rest.size() == 1)
        return {QStringLiteral("SetChaos"), {false, 0u}};
    bool ok = rest.size() == 1;
    const uint seed = ok ? uint(QDateTime::currentMSecsSinceEpoch()) : rest[1].toUInt(&ok);
    if (rest[0] != QLatin1String("on") || !ok)
        return usage();
    return {QStringLiteral("SetChaos"), {true, seed}};
}

// The SIM card: out, back in (asking for its PIN when the query is on), or in any state.
Request simCard(const QStringList &rest, QString *error)
{
    const QString sim = QStringLiteral("com.kelvo.hvt.SIM");
    if (rest[0] == QLatin1String("insert") && rest.size() == 1)
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Present"), wrapped(true)}};
    if (rest[0] == QLatin1String("remove") && rest.size() == 1)
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Present"), wrapped(false)}};
    if (rest[0] == QLatin1String("state") && rest.size() == 2) {
        if (!oneOf(QStringLiteral("a card state"), rest[1], cardStates(), error))
            return refuse(*error);
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Status"), wrapped(rest[1])}};
    }
    return usage();
}

// A simulated call: it starts (outgoing, or "incoming") or ends; the call timers run meanwhile.
Request callCommand(const QStringList &rest, QString *)
{
    const QString call = QStringLiteral("com.kelvo.hvt.Call");
    if (rest[0] == QLatin1String("start") && rest.size() <= 2) {
        const bool incoming = rest.value(1) == QLatin1String("incoming");
        if (rest.size() == 2 && !incoming && rest[1] != QLatin1String("outgoing"))
            return usage();
        Request request{QStringLiteral("SetProperty"), {call, QStringLiteral("InCall"), wrapped(true)}};
        request.first = {call, QStringLiteral("Incoming"), wrapped(incoming)};
        return request;
    }
    if (rest[0] == QLatin1String("end") && rest.size() == 1)
        return {QStringLiteral("SetProperty"), {call, QStringLiteral("InCall"), wrapped(false)}};
    return usage();
}

// The signal level in dBm, as the modem announces a new one.
Request signalLevel(const QStringList &rest, QString *)
{
    bool ok = false;
    const int dbm = rest[0].toInt(&ok);
    if (!ok || dbm < -113 || dbm > -51)
        return refuse(QStringLiteral("a signal level is -113 to -51 (dBm), not %1").arg(rest[0]));
    return {QStringLiteral("SetSignal"), {dbm}};
}

// The registration as the modem finds it by itself, on a network if given.
Request registration(const QStringList &rest, QString *error)
{
    if (rest.size() != 1 && rest.size() != 4)
        return usage();
    if (!oneOf(QStringLiteral("a registration"), rest[0], registrationStatuses(), error))
        return refuse(*error);
    static const QRegularExpression mcc(QStringLiteral("^\\d{3}$")), mnc(QStringLiteral("^\\d{2,3}$"));
    if (rest.size() == 4 && (!mcc.match(rest[1]).hasMatch() || !mnc.match(rest[2]).hasMatch()))
        return refuse(QStringLiteral("a network is MCC (3 digits) and MNC (2 or 3), not \"%1 %2\"").arg(rest[1], rest[2]));
    return {QStringLiteral("Register"), {rest[0], rest.value(1), rest.value(2), rest.value(3)}};
}

// Flight mode, as the system-state controller sets it.
Request flight(const QStringList &rest, QString *)
{
    if (rest[0] != QLatin1String("on") && rest[0] != QLatin1String("off"))
        return usage();
    return {QStringLiteral("SetFlightMode"), {rest[0] == QLatin1String("on")}};
}

// One command: its name, how many words follow it, and the call it makes.
struct Command {
    const char *name;
    int least;
    int most;   // -1: any number
    Request (*request)(const QStringList &rest, QString *error);
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
    {"signal", 1, 1, signalLevel, nullptr},
    {"register", 1, 4, registration, nullptr},
    {"flight", 1, 1, flight, nullptr},
    {"clear-scripts", 0, 0, nullptr, "ClearScripts"},
    {"calls", 0, 0, nullptr, "Calls"},
    {"clear-calls", 0, 0, nullptr, "ClearCalls"},
    {"release", 0, 0, nullptr, "ReleaseNames"},
    {"acquire", 0, 0, nullptr, "AcquireNames"},
    {"reset", 0, 0, nullptr, "Reset"},
    {"state", 0, 0, nullptr, "State"},
};

} // namespace

Request requestOf(const QStringList &words)
{
    const QStringList rest = words.mid(1);
    for (const Command &command : commands) {
        if (words.value(0) != QLatin1String(command.name))
            continue;
        if (rest.size() < command.least || (command.most >= 0 && rest.size() > command.most))
            break;
        QString error;
        return command.request ? command.request(rest, &error) : Request{QLatin1String(command.method), {}};
    }
    return usage();
}
