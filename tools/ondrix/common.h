// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_CLI_COMMON_H
#define ONDRIX_CLI_COMMON_H

#include <QEventLoop>
#include <QMetaEnum>
#include <QObject>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <optional>
#include <tuple>

inline QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

inline QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// One "label:  value" line.
inline void line(const QString &label, const QString &value)
{
    out() << QStringLiteral("%1 %2").arg(label + QLatin1Char(':'), -12).arg(value) << '\n' << Qt::flush;
}

// The name of an enumeration value, or its number.
template <typename Enum>
QString enumName(int value)
{
    const char *key = QMetaEnum::fromType<Enum>().valueToKey(value);
    return key ? QString::fromLatin1(key) : QString::number(value);
}

// Runs the event loop until `done` is called, or for at most `ms`
// milliseconds. `start` runs once the loop runs, so an operation that ends at
// once still ends the loop. Returns false on the time-out.
bool runFor(int ms, std::function<void(std::function<void()>)> start = {});

// Says what did not answer in time; the exit status of a time-out.
int timedOut(const char *what, int ms);

// Starts an operation and waits, `ms` at most, for the one signal that ends it.
template <typename Object, typename... Args>
std::optional<std::tuple<std::decay_t<Args>...>> awaitSignal(Object *object, void (Object::*signal)(Args...),
                                                           std::function<void()> start, int ms = 30000)
{
    std::optional<std::tuple<std::decay_t<Args>...>> result;
    QMetaObject::Connection connection;
    runFor(ms, [&](std::function<void()> done) {
        connection = QObject::connect(object, signal, object, [&result, done](Args... args) {
            if (!result) {
                result = std::make_tuple(std::decay_t<Args>(args)...);
                done();
            }
        });
        start();
    });
    QObject::disconnect(connection);   // a late answer finds nobody waiting
    return result;
}

// A secret (a PIN, PUK or unlock code): read from the terminal without echo,
// or a line of standard input when it is not a terminal. Never an argument.
QString readSecret(const QString &prompt);

int sms(const QStringList &args);
int sim(const QStringList &args);
int ss(const QStringList &args);
int ussd(const QStringList &args);
int dial(const QStringList &args);
int info(const QStringList &args);
int radio(const QStringList &args);
int cell(const QStringList &args);
int time(const QStringList &args);
// Follows radio, cell, time, call timers, SIM and supplementary services for monitor.
void followEverything(QObject *owner);
int cbs(const QStringList &args);
int smsc(const QStringList &args);

#endif
