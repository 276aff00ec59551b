// SPDX-License-Identifier: LGPL-2.1-or-later
#include "common.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <termios.h>
#include <unistd.h>

bool runFor(int ms, std::function<void(std::function<void()>)> start)
{
    QEventLoop loop;
    bool finished = false;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (start) {
        QTimer::singleShot(0, &loop, [&] {
            start([&loop, &finished] {
                finished = true;
                loop.quit();
            });
        });
    }
    loop.exec();
    return finished;
}

int daemonAbsent()
{
    Output::field("daemon", QStringLiteral("absent"));
    return 1;
}

int timedOut(const char *what, int ms)
{
    err() << "ondrix: no answer " << what << " within " << ms / 1000 << " s\n";
    return 1;
}

namespace {

// Reads one line of `fd` into `buffer` (at most `size` - 1 octets, the rest
// of a longer line is read and dropped); false at the end of the input.
bool readRawLine(int fd, char *buffer, std::size_t size)
{
    std::size_t used = 0;
    bool any = false;   // a newline or any octet was read
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        any = true;
        if (c == '\n')
            break;
        if (used + 1 < size)
            buffer[used++] = c;
    }
    buffer[used] = 0;
    return any;
}

void wipe(void *data, std::size_t size)
{
    volatile char *bytes = static_cast<volatile char *>(data);
    for (std::size_t i = 0; i < size; i++)
        bytes[i] = 0;
}

} // namespace

Secret::~Secret()
{
    if (m_text.isDetached())
        wipe(m_text.data(), std::size_t(m_text.size()) * sizeof(QChar));
}

Secret readSecret(const QString &prompt)
{
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        err() << prompt << Qt::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char buffer[128];
    const bool got = readRawLine(STDIN_FILENO, buffer, sizeof buffer);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err() << '\n' << Qt::flush;
    }
    std::size_t length = got ? std::strlen(buffer) : 0;
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == ' '))
        length--;
    Secret secret(QString::fromLocal8Bit(buffer, int(length)));
    wipe(buffer, sizeof buffer);
    return secret;
}

QString readLine()
{
    char buffer[256];
    const bool got = readRawLine(STDIN_FILENO, buffer, sizeof buffer);
    return got ? QString::fromLocal8Bit(buffer).trimmed() : QString();
}

namespace {

// The answer being gathered: its values in the order they were given, and
// the section the values go into, when one is open.
struct JsonOutput {
    bool on = false;
    QVector<QPair<QString, QJsonValue>> answer;
    QString sectionKey;
    bool sectionMany = false;
    bool inSection = false;
    QJsonObject section;
};

JsonOutput &state()
{
    static JsonOutput output;
    return output;
}

// A character that moves or hides text on a terminal: C0 and C1 controls and
// DEL, the bidirectional controls, and the line and paragraph separators.
bool unsafe(ushort u)
{
    return u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E)
           || (u >= 0x2066 && u <= 0x2069) || u == 0x2028 || u == 0x2029;
}

QString compact(const QJsonValue &value)
{
    // QJsonDocument writes arrays and objects only: a value is written as the
    // one element of an array, and taken out of it.
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

// One object on a line, its keys in the order given. The characters a
// terminal would act on stay escaped in the JSON text (a reader still gets the
// text as it came).
void writeObject(const QVector<QPair<QString, QJsonValue>> &values)
{
    QString text = QStringLiteral("{");
    for (const auto &[key, value] : values) {
        if (text.size() > 1)
            text += QLatin1Char(',');
        text += compact(key) + QLatin1Char(':') + compact(value);
    }
    text += QLatin1Char('}');
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : qAsConst(text)) {
        if (unsafe(c.unicode()))
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    out() << shown << '\n' << Qt::flush;
}

QJsonValue &valueOf(const QString &key)
{
    auto &answer = state().answer;
    for (auto &entry : answer) {
        if (entry.first == key)
            return entry.second;
    }
    answer.append({key, QJsonValue()});
    return answer.last().second;
}

void closeSection()
{
    JsonOutput &o = state();
    if (!o.inSection)
        return;
    QJsonValue &value = valueOf(o.sectionKey);
    if (o.sectionMany) {
        QJsonArray sections = value.toArray();
        sections.append(o.section);
        value = sections;
    } else {
        value = o.section.isEmpty() ? QJsonValue() : QJsonValue(o.section);   // nothing in it: null
    }
    o.section = QJsonObject();
    o.inSection = false;
}

QString labelOf(const char *key)
{
    return QString::fromLatin1(key).replace(QLatin1Char('_'), QLatin1Char(' '));
}

} // namespace

namespace Output {

void setJson(bool on) { state().on = on; }
bool json() { return state().on; }

void note(const QString &text)
{
    if (!json())
        out() << text << '\n' << Qt::flush;
}

void text(const QString &label, const QString &text)
{
    if (!json())
        out() << labelled(label, text) << '\n' << Qt::flush;
}

void data(const char *key, const QJsonValue &value)
{
    JsonOutput &o = state();
    if (!o.on)
        return;
    if (o.inSection)
        o.section.insert(QLatin1String(key), value);
    else
        valueOf(QLatin1String(key)) = value;
}

void field(const char *key, const QJsonValue &value, const QString &shown)
{
    if (!shown.isNull())
        text(labelOf(key), shown);
    data(key, value);
}

void field(const char *key, const QString &value)
{
    field(key, value.isNull() ? QJsonValue() : QJsonValue(value), value);
}

void list(const char *key)
{
    if (!json())
        return;
    JsonOutput &o = state();
    if (o.inSection)
        o.section.insert(QLatin1String(key), QJsonArray());
    else
        valueOf(QLatin1String(key)) = QJsonArray();
}

void row(const char *key, const QJsonValue &value, const QString &text)
{
    if (!json()) {
        out() << visible(text) << '\n' << Qt::flush;
        return;
    }
    JsonOutput &o = state();
    QJsonArray rows = (o.inSection ? o.section.value(QLatin1String(key)) : valueOf(QLatin1String(key))).toArray();
    rows.append(value);
    data(key, rows);
}

void section(const char *key, const QString &title, bool many)
{
    if (!json()) {
        out() << "== " << title << '\n' << Qt::flush;
        return;
    }
    closeSection();
    JsonOutput &o = state();
    o.sectionKey = QLatin1String(key);
    o.sectionMany = many;
    o.inSection = true;
}

void event(const char *kind, const QJsonObject &values, const QString &shown)
{
    if (!json()) {
        text(labelOf(kind), shown);
        return;
    }
    QVector<QPair<QString, QJsonValue>> object{
        {QStringLiteral("kind"), QLatin1String(kind)},
        {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
    };
    for (auto it = values.begin(); it != values.end(); ++it)
        object.append({it.key(), it.value()});
    writeObject(object);
}

void message(const char *kind, const QString &text)
{
    if (json())
        event(kind, {{QStringLiteral("text"), text}}, text);
    else
        out() << visible(text, true) << '\n' << Qt::flush;
}

void finish()
{
    JsonOutput &o = state();
    if (!o.on)
        return;
    closeSection();
    if (!o.answer.isEmpty())
        writeObject(o.answer);
    o.answer.clear();
}

} // namespace Output

QString labelled(const QString &label, const QString &text)
{
    return QStringLiteral("%1 %2").arg(label + QLatin1Char(':'), -12).arg(visible(text));
}

QString visible(const QString &text, bool newlines)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '\\')
            shown += QLatin1String("\\\\");
        else if (unsafe(u) && !(u == '\n' && newlines))
            shown += u < 0x100 ? QLatin1String("\\x") + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'))
                               : QLatin1String("\\u") + QString::number(u, 16).toUpper();
        else
            shown += c;
    }
    return shown;
}

int usageError(const char *usage, const QString &command)
{
    return usageError(usage, command.isEmpty() ? QStringList() : QStringList{command});
}

int usageError(const char *usage, const QStringList &typed)
{
    const QStringList lines = QString::fromLatin1(usage).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList commands;
    QString best;   // the command's line, the one of the word typed after it if there is one
    for (QString text : lines) {
        text = text.trimmed();
        if (text.startsWith(QLatin1String("usage:")))
            text = text.mid(6).trimmed();
        const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 3 || words[0] != QLatin1String("ondrix"))
            continue;
        if (!typed.isEmpty() && words[2] == typed[0]) {
            const bool second = typed.size() > 1 && words.size() > 3
                                && words[3].split(QLatin1Char('|')).contains(typed[1]);
            if (best.isEmpty() || second)
                best = text.section(QLatin1String("  "), 0, 0);
            if (second)
                break;
        }
        if (!commands.contains(words[2]))
            commands << words[2];
    }
    if (!best.isEmpty()) {
        err() << "usage: " << best << '\n';
        return 2;
    }
    const QString group = lines.isEmpty() ? QString() : lines[0].section(QLatin1Char(' '), 2, 2);
    err() << "usage: ondrix " << group << ' ' << commands.join(QLatin1Char('|')) << " ...   ('ondrix " << group
          << " --help' tells more)\n";
    return 2;
}
