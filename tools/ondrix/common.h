// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_CLI_COMMON_H
#define ONDRIX_CLI_COMMON_H

#include <QEventLoop>
#include <QJsonObject>
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

// `text` with every control character (C0, DEL, C1) written as \xHH and a
// backslash as \\, so that text from the network or a card cannot move the
// cursor, retitle the window or hide what precedes it. Newlines stay where
// `newlines` allows them (a CR never does).
QString visible(const QString &text, bool newlines = false);

// "label:  text" as people read it, the text shown with visible().
QString labelled(const QString &label, const QString &text);

// What a command prints. For people: "label:  value" lines. With --json, for
// scripts: one JSON object, on one line, holding the command's answer with the
// same keys every time (a value the answer lacks is null); and what happens
// while a command follows changes (monitor, select, power, a USSD dialogue) as
// events, one object per line: {"kind":..., "time":..., and the kind's values}.
// A label for people is its key with spaces for underscores ("per_segment",
// "per segment").
namespace Output {
void setJson(bool on);
bool json();
// Text that only people need ("scanning..."); nothing in JSON.
void note(const QString &text);
// A line only people see: "label:  text".
void text(const QString &label, const QString &text);
// A value of the answer only scripts get ("mcc" beside the operator's line).
void data(const char *key, const QJsonValue &value);
// A value of the answer: the line "label:  text" (none when `text` is null)
// and `"key": value`.
void field(const char *key, const QJsonValue &value, const QString &text);
// A text both ways; a null text is JSON null and no line.
void field(const char *key, const QString &value);
// A list of the answer: an array in JSON, there also when it stays empty.
void list(const char *key);
// An element of the list `key`: `text` on a line for people.
void row(const char *key, const QJsonValue &value, const QString &text);
// "== TITLE" for people; in JSON the values after it go into the object
// `key` (null when none does), or into a new object of the array `key` when
// there are `many`.
void section(const char *key, const QString &title, bool many = false);
// Something that happened: "label:  text" for people, an event in JSON.
void event(const char *kind, const QJsonObject &values, const QString &text);
// A text from the network on lines of its own for people (its newlines
// kept); in JSON an event of `kind` with the text.
void message(const char *kind, const QString &text);
// Ends the command's output: the JSON object, when there is one.
void finish();
}

// A text as a JSON value: null when it is empty.
inline QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// A usage error: one line on standard error, the line of `usage` for
// `command` when there is one, and exit status 2.
int usageError(const char *usage, const QString &command);
// The same, with the words typed after the group ("divert set busy"): the
// line of the command and, where it has several, of the word after it.
int usageError(const char *usage, const QStringList &typed);

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

// Says that the daemon a command needs is not on the bus, "daemon: absent"
// ({"daemon":"absent"} in JSON, whatever the command), instead of the neutral
// values its objects hold; exit status 1.
int daemonAbsent();

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

// A code (a PIN, PUK, unlock code or barring password) as the user typed it:
// its text is overwritten when it goes.
class Secret
{
public:
    Secret() = default;
    explicit Secret(QString text) : m_text(std::move(text)) {}
    Secret(Secret &&other) noexcept : m_text(std::move(other.m_text)) {}
    Secret(const Secret &) = delete;
    Secret &operator=(const Secret &) = delete;
    ~Secret();

    const QString &text() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    bool operator==(const Secret &other) const { return m_text == other.m_text; }
    bool operator!=(const Secret &other) const { return m_text != other.m_text; }

private:
    QString m_text;
};

// A secret: read from the terminal without echo, or a line of standard input
// when it is not a terminal; never an argument. It is read with read(2) into a
// buffer that is wiped, so no stdio buffer keeps it.
Secret readSecret(const QString &prompt);

// A line of standard input (an answer, not a secret), read as readSecret()
// reads, so that the two can follow each other.
QString readLine();

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
