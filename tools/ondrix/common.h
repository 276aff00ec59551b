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

// What a command prints: "label:  value" lines for people, or with --json
// one JSON object for scripts, whose keys are the same labels (a label said
// twice keeps every value, in an array). A command that follows changes
// (monitor, a USSD dialogue) streams: one object per line.
namespace Output {
void setJson(bool on);
bool json();
void setStreaming(bool on);
// Text that only people need ("scanning..."); nothing in JSON.
void note(const QString &text);
// "== TITLE": the lines after it go, in JSON, into a new object of the array `key`.
void section(const QString &key, const QString &title);
// One row of a table: `text` for people, `fields` as an object of the array `key`.
void row(const QString &key, const QJsonObject &fields, const QString &text);
// A value on a line of its own: in JSON, an element of the array `key`.
void item(const QString &key, const QString &value);
// Ends the command's output: the JSON object, when there is one.
void finish();
}

// One "label:  value" line; the value is shown with visible().
void line(const QString &label, const QString &value);

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

// Says that the daemon a command needs is not on the bus, "daemon: absent" (or
// its JSON form), instead of the neutral values its objects hold; exit status 1.
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
