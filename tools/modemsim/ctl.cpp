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

} // namespace

int runCtl(const QDBusConnection &bus, const QStringList &args)
{
    if (args.isEmpty()) {
        err() << Usage;
        return 2;
    }
    const QString command = args.first();
    const QStringList rest = args.mid(1);
    QString method;
    QVariantList callArgs;

    if (command == QLatin1String("get") && rest.size() == 1) {
        method = QStringLiteral("GetProperties");
        callArgs << rest[0];
    } else if (command == QLatin1String("set") && rest.size() == 3) {
        QVariantList value;
        if (!parseAll({rest[2]}, value))
            return 2;
        method = QStringLiteral("SetProperty");
        callArgs << rest[0] << rest[1] << wrapped(value.first());
    } else if (command == QLatin1String("emit") && rest.size() >= 2) {
        QVariantList values;
        if (!parseAll(rest.mid(2), values))
            return 2;
        method = QStringLiteral("EmitSignal");
        callArgs << QString() << rest[0] << rest[1] << QVariant(values);
    } else if (command == QLatin1String("script") && rest.size() >= 2) {
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
                    return 2;
                answer.insert(key, QVariant());
            } else {
                err() << "ondrix-modemsim: unknown script option " << option << '\n';
                return 2;
            }
        }
        if (answer.contains(QStringLiteral("reply")))
            answer.insert(QStringLiteral("reply"), QVariant(reply));
        method = QStringLiteral("Script");
        callArgs << rest[0] << rest[1] << answer;
    } else if (command == QLatin1String("setting") && rest.size() == 2) {
        QVariantList value;
        if (!parseAll({rest[1]}, value))
            return 2;
        method = QStringLiteral("SetSetting");
        callArgs << rest[0] << wrapped(value.first());
    } else if (command == QLatin1String("chaos") && !rest.isEmpty() && rest.size() <= 2) {
        bool ok = rest[0] == QLatin1String("off") && rest.size() == 1;
        uint seed = 0;
        if (rest[0] == QLatin1String("on"))
            seed = rest.size() == 2 ? rest[1].toUInt(&ok) : (ok = true, uint(QDateTime::currentMSecsSinceEpoch()));
        if (!ok) {
            err() << Usage;
            return 2;
        }
        method = QStringLiteral("SetChaos");
        callArgs << (rest[0] == QLatin1String("on")) << seed;
        if (rest[0] == QLatin1String("on"))
            out() << "chaos seed " << seed << '\n';
    } else if (rest.isEmpty()) {
        static const QHash<QString, QString> simple{
            {QStringLiteral("clear-scripts"), QStringLiteral("ClearScripts")},
            {QStringLiteral("calls"), QStringLiteral("Calls")},
            {QStringLiteral("clear-calls"), QStringLiteral("ClearCalls")},
            {QStringLiteral("release"), QStringLiteral("ReleaseNames")},
            {QStringLiteral("acquire"), QStringLiteral("AcquireNames")},
            {QStringLiteral("reset"), QStringLiteral("Reset")},
        };
        method = simple.value(command);
    }
    if (method.isEmpty()) {
        err() << Usage;
        return 2;
    }

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral(MODEMSIM_CONTROL_SERVICE), QStringLiteral(MODEMSIM_CONTROL_PATH),
        QStringLiteral(MODEMSIM_CONTROL_INTERFACE), method);
    call.setArguments(callArgs);
    const QDBusMessage reply = bus.call(call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        err() << "ondrix-modemsim: " << reply.errorName() << ": " << reply.errorMessage() << '\n';
        return 1;
    }

    if (method == QLatin1String("Calls")) {
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
    } else if (method == QLatin1String("GetProperties")) {
        const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        for (auto it = properties.cbegin(); it != properties.cend(); ++it)
            out() << it.key() << " = " << formatValue(it.value()) << '\n';
    }
    return 0;
}
