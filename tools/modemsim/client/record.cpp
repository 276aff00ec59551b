// SPDX-License-Identifier: LGPL-2.1-or-later
// "ondrix-modemsim record": watches the daemons' traffic on a bus as a
// monitor and writes it as a scenario that plays it back: the signals at
// their times, and each call's answer (reply or error, and its delay) as a
// script for the same call. Qt's bus connection cannot be a monitor, so
// this side speaks libdbus.

#include "contract.h"
#include "values.h"

#include <dbus/dbus.h>

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <csignal>

namespace {

volatile std::sig_atomic_t stopRecording = 0;

void onStop(int)
{
    stopRecording = 1;
}

QJsonValue jsonAt(DBusMessageIter *it);

QJsonValue basicAt(DBusMessageIter *it, int type)
{
    DBusBasicValue value{};
    dbus_message_iter_get_basic(it, &value);
    switch (type) {
    case DBUS_TYPE_BYTE: return int(value.byt);
    case DBUS_TYPE_BOOLEAN: return bool(value.bool_val);
    case DBUS_TYPE_INT16: return int(value.i16);
    case DBUS_TYPE_UINT16: return int(value.u16);
    case DBUS_TYPE_INT32: return int(value.i32);
    case DBUS_TYPE_UINT32: return double(value.u32);
    case DBUS_TYPE_INT64: return double(value.i64);
    case DBUS_TYPE_UINT64: return double(value.u64);
    case DBUS_TYPE_DOUBLE: return value.dbl;
    case DBUS_TYPE_STRING:
    case DBUS_TYPE_OBJECT_PATH:
    case DBUS_TYPE_SIGNATURE: return QString::fromUtf8(value.str);
    default: return QJsonValue();
    }
}

QString signatureAt(DBusMessageIter *it)
{
    char *signature = dbus_message_iter_get_signature(it);
    const QString text = QString::fromLatin1(signature);
    dbus_free(signature);
    return text;
}

// The JSON of the value at `it`, as the value syntax's "v:SIGNATURE:JSON" has it.
QJsonValue jsonAt(DBusMessageIter *it)
{
    const int type = dbus_message_iter_get_arg_type(it);
    DBusMessageIter sub;
    if (type == DBUS_TYPE_VARIANT) {
        dbus_message_iter_recurse(it, &sub);
        return QJsonArray{signatureAt(&sub), jsonAt(&sub)};
    }
    if (type == DBUS_TYPE_ARRAY && dbus_message_iter_get_element_type(it) == DBUS_TYPE_DICT_ENTRY) {
        QJsonObject object;
        dbus_message_iter_recurse(it, &sub);
        while (dbus_message_iter_get_arg_type(&sub) == DBUS_TYPE_DICT_ENTRY) {
            DBusMessageIter entry;
            dbus_message_iter_recurse(&sub, &entry);
            const QJsonValue key = jsonAt(&entry);
            dbus_message_iter_next(&entry);
            object.insert(key.isString() ? key.toString() : QString::number(key.toDouble(), 'g', 17), jsonAt(&entry));
            dbus_message_iter_next(&sub);
        }
        return object;
    }
    if (type == DBUS_TYPE_ARRAY || type == DBUS_TYPE_STRUCT) {
        QJsonArray array;
        dbus_message_iter_recurse(it, &sub);
        while (dbus_message_iter_get_arg_type(&sub) != DBUS_TYPE_INVALID) {
            array.append(jsonAt(&sub));
            dbus_message_iter_next(&sub);
        }
        return array;
    }
    return basicAt(it, type);
}

// One word of a scenario line, quoted literally: `prefix` and the value.
QString word(const QString &prefix, const QString &signature, const QJsonValue &json)
{
    return QLatin1Char('\'') + prefix + writeJsonValue(signature, json) + QLatin1Char('\'');
}

struct Argument {
    QString signature;
    QJsonValue json;
};

QList<Argument> argumentsOf(DBusMessage *message)
{
    QList<Argument> args;
    DBusMessageIter it;
    if (!dbus_message_iter_init(message, &it))
        return args;
    do {
        args.append({signatureAt(&it), jsonAt(&it)});
    } while (dbus_message_iter_next(&it));
    return args;
}

struct Call {
    qint64 at;
    QString interface;
    QString member;
    QStringList when;   // the call's leading plain arguments, up to a code
};

struct Recording {
    QElapsedTimer clock;
    bool started = false;
    QHash<QString, Call> calls;   // by caller and serial
    QStringList scripts;
    QList<QPair<qint64, QString>> signalLines;

    qint64 now()
    {
        if (!started) {
            clock.start();
            started = true;
        }
        return clock.elapsed();
    }
};

QString keyOf(const char *peer, dbus_uint32_t serial)
{
    return QString::fromLatin1(peer ? peer : "") + QLatin1Char('/') + QString::number(serial);
}

bool plain(const QString &signature)
{
    return signature.size() == 1 && signature != QLatin1String("v");
}

DBusHandlerResult seen(DBusConnection *, DBusMessage *message, void *data)
{
    auto *recording = static_cast<Recording *>(data);
    const int type = dbus_message_get_type(message);
    const QString interface = QString::fromLatin1(dbus_message_get_interface(message));
    const QString member = QString::fromLatin1(dbus_message_get_member(message));
    if (type == DBUS_MESSAGE_TYPE_METHOD_CALL) {
        if (interface.startsWith(QLatin1String("org.freedesktop.DBus.Introspectable"))
            || interface.startsWith(QLatin1String("org.freedesktop.DBus.Peer")))
            return DBUS_HANDLER_RESULT_HANDLED;
        const ContractMember *method = Contract::builtIn().method(interface, member);
        Call call{recording->now(), interface, member, {}};
        const QList<Argument> args = argumentsOf(message);
        for (int i = 0; i < args.size() && plain(args[i].signature) && (!method || method->shows(i, args[i].json.toVariant()));
             i++)
            call.when << word(QStringLiteral("when="), args[i].signature, args[i].json);
        recording->calls.insert(keyOf(dbus_message_get_sender(message), dbus_message_get_serial(message)), call);
    } else if (type == DBUS_MESSAGE_TYPE_METHOD_RETURN || type == DBUS_MESSAGE_TYPE_ERROR) {
        const QString key = keyOf(dbus_message_get_destination(message), dbus_message_get_reply_serial(message));
        if (!recording->calls.contains(key))
            return DBUS_HANDLER_RESULT_HANDLED;
        const Call call = recording->calls.take(key);
        QStringList line{QStringLiteral("0s script"), call.interface, call.member};
        for (const QString &when : call.when)
            line << when;
        const qint64 delay = recording->now() - call.at;
        if (delay > 5)
            line << QStringLiteral("delay=%1").arg(delay);
        if (type == DBUS_MESSAGE_TYPE_ERROR) {
            const QList<Argument> args = argumentsOf(message);
            line << QStringLiteral("error=") + QString::fromLatin1(dbus_message_get_error_name(message));
            if (!args.isEmpty())
                line << QLatin1Char('\'') + QStringLiteral("message=") + args[0].json.toString().replace(QLatin1Char('\''), QLatin1Char('`')) + QLatin1Char('\'');
        } else {
            const QList<Argument> args = argumentsOf(message);
            if (args.isEmpty())
                line << QStringLiteral("reply=");
            for (const Argument &arg : args)
                line << word(QStringLiteral("reply="), arg.signature, arg.json);
        }
        recording->scripts << line.join(QLatin1Char(' '));
    } else if (type == DBUS_MESSAGE_TYPE_SIGNAL) {
        if (!Contract::builtIn().signal(interface, member))
            return DBUS_HANDLER_RESULT_HANDLED;
        QStringList line{QStringLiteral("emit"), interface, member};
        for (const Argument &arg : argumentsOf(message))
            line << word(QString(), arg.signature, arg.json);
        recording->signalLines.append({recording->now(), line.join(QLatin1Char(' '))});
    }
    return DBUS_HANDLER_RESULT_HANDLED;
}

} // namespace

int runRecord(const QString &address, const QString &output, int seconds)
{
    QTextStream err(stderr);
    struct sigaction action = {};
    action.sa_handler = onStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    DBusError error;
    dbus_error_init(&error);
    DBusConnection *connection = dbus_connection_open_private(address.toUtf8().constData(), &error);
    if (!connection || !dbus_bus_register(connection, &error)) {
        err << "ondrix-modemsim: cannot connect to the bus: " << error.message << '\n';
        dbus_error_free(&error);
        if (connection) {
            dbus_connection_close(connection);
            dbus_connection_unref(connection);
        }
        return 1;
    }
    // The daemons' objects, and every reply (those to other calls are dropped here).
    DBusMessage *become = dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                       "org.freedesktop.DBus.Monitoring", "BecomeMonitor");
    const char *rules[] = {"type='method_call',path_namespace='/com/kelvo'", "type='signal',path_namespace='/com/kelvo'",
                           "type='method_return'", "type='error'"};
    const char **ruleList = rules;
    dbus_uint32_t flags = 0;
    dbus_message_append_args(become, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING, &ruleList, 4, DBUS_TYPE_UINT32, &flags,
                             DBUS_TYPE_INVALID);
    DBusMessage *reply = dbus_connection_send_with_reply_and_block(connection, become, 5000, &error);
    dbus_message_unref(become);
    if (!reply) {
        err << "ondrix-modemsim: the bus does not let this user watch it: " << error.message << '\n';
        dbus_error_free(&error);
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
        return 1;
    }
    dbus_message_unref(reply);
    // From here on nothing is missed: who drives the bus may start.
    err << "ondrix-modemsim: recording\n";
    err.flush();

    Recording recording;
    dbus_connection_add_filter(connection, seen, &recording, nullptr);
    QElapsedTimer running;
    running.start();
    while (!stopRecording && (seconds == 0 || running.elapsed() < seconds * 1000LL)
           && dbus_connection_read_write_dispatch(connection, 100)) {
    }
    dbus_connection_remove_filter(connection, seen, &recording);
    dbus_connection_close(connection);
    dbus_connection_unref(connection);

    QFile file;
    if (output.isEmpty() ? !file.open(stdout, QIODevice::WriteOnly) : (file.setFileName(output), !file.open(QIODevice::WriteOnly))) {
        err << "ondrix-modemsim: cannot write " << output << ": " << file.errorString() << '\n';
        return 1;
    }
    QTextStream out(&file);
    out << "# Recorded by ondrix-modemsim record: the daemons' answers to the calls seen,\n"
        << "# in the order they came, then their signals at the times they came.\n";
    for (const QString &line : qAsConst(recording.scripts))
        out << line << '\n';
    for (const auto &signal : qAsConst(recording.signalLines))
        out << signal.first << "ms " << signal.second << '\n';
    return 0;
}
