// SPDX-License-Identifier: LGPL-2.1-or-later
#include "commands.h"

#include "values.h"

#include <QtDBus/QDBusVariant>
#include <QDateTime>

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

Request get(const QStringList &rest, QString *)
{
    return {QStringLiteral("GetProperties"), {rest[0]}};
}

Request set(const QStringList &rest, QString *error)
{
    QVariantList value;
    if (!parseAll({rest[2]}, value, error))
        return refuse(*error);
    return {QStringLiteral("SetProperty"), {rest[0], rest[1], wrapped(value.first())}};
}

Request emitSignal(const QStringList &rest, QString *error)
{
    QVariantList values;
    if (!parseAll(rest.mid(2), values, error))
        return refuse(*error);
    return {QStringLiteral("EmitSignal"), {QString(), rest[0], rest[1], QVariant(values)}};
}

Request script(const QStringList &rest, QString *error)
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
            if (!value.isEmpty() && !parseAll({value}, reply, error))
                return refuse(*error);
            answer.insert(key, QVariant());
        } else {
            return refuse(QStringLiteral("unknown script option %1").arg(option));
        }
    }
    if (answer.contains(QStringLiteral("reply")))
        answer.insert(QStringLiteral("reply"), QVariant(reply));
    return {QStringLiteral("Script"), {rest[0], rest[1], answer}};
}

Request setting(const QStringList &rest, QString *error)
{
    QVariantList value;
    if (!parseAll({rest[1]}, value, error))
        return refuse(*error);
    return {QStringLiteral("SetSetting"), {rest[0], wrapped(value.first())}};
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
Request simCard(const QStringList &rest, QString *)
{
    const QString sim = QStringLiteral("com.kelvo.hvt.SIM");
    if (rest[0] == QLatin1String("insert") && rest.size() == 1)
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Present"), wrapped(true)}};
    if (rest[0] == QLatin1String("remove") && rest.size() == 1)
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Present"), wrapped(false)}};
    if (rest[0] == QLatin1String("state") && rest.size() == 2)
        return {QStringLiteral("SetProperty"), {sim, QStringLiteral("Status"), wrapped(rest[1])}};
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
Request registration(const QStringList &rest, QString *)
{
    if (rest.size() != 1 && rest.size() != 4)
        return usage();
    return {QStringLiteral("Register"), {rest[0], rest.value(1), rest.value(2), rest.value(3)}};
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
    {"clear-scripts", 0, 0, nullptr, "ClearScripts"},
    {"calls", 0, 0, nullptr, "Calls"},
    {"clear-calls", 0, 0, nullptr, "ClearCalls"},
    {"release", 0, 0, nullptr, "ReleaseNames"},
    {"acquire", 0, 0, nullptr, "AcquireNames"},
    {"reset", 0, 0, nullptr, "Reset"},
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
