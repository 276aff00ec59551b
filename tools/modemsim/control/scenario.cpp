// SPDX-License-Identifier: LGPL-2.1-or-later
#include "scenario.h"

#include <QRegularExpression>

#include <cmath>

namespace {

// The words of a line; "quoted words" keep their spaces.
bool splitWords(const QString &line, QStringList &words)
{
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return !quoted;
}

// "250ms", "2s", "1.5s", "2m": milliseconds, or -1.
qint64 durationOf(const QString &text)
{
    static const QRegularExpression time(QStringLiteral("^(\\d+(?:\\.\\d+)?)(ms|s|m)$"));
    const QRegularExpressionMatch match = time.match(text);
    if (!match.hasMatch())
        return -1;
    const double value = match.captured(1).toDouble();
    const double scale = match.captured(2) == QLatin1String("ms") ? 1 : match.captured(2) == QLatin1String("s") ? 1000 : 60000;
    const double ms = value * scale;
    return ms < 24.0 * 3600 * 1000 ? qint64(std::llround(ms)) : -1;
}

} // namespace

Scenario::Scenario(Perform perform, QObject *parent)
    : QObject(parent)
    , m_perform(std::move(perform))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Scenario::advance);
}

bool Scenario::parse(const QString &text, QList<ScenarioStep> &steps, QString *error)
{
    steps.clear();
    qint64 last = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); i++) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        auto fail = [error, i](const QString &why) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
            return false;
        };
        QStringList words;
        if (!splitWords(line, words))
            return fail(QStringLiteral("a quote is not closed"));
        const QString time = words.takeFirst();
        const bool relative = time.startsWith(QLatin1Char('+'));
        const qint64 duration = durationOf(relative ? time.mid(1) : time);
        if (duration < 0)
            return fail(QStringLiteral("\"%1\" is not a time such as 0s, 2.5s, 300ms, 1m or +2s").arg(time));
        const qint64 at = relative ? last + duration : duration;
        if (at < last)
            return fail(QStringLiteral("%1 comes before the line above").arg(time));
        const Request request = requestOf(words);
        if (!request.valid()) {
            return fail(request.error.isEmpty() ? QStringLiteral("\"%1\" is not a command").arg(words.join(QLatin1Char(' ')))
                                                : request.error);
        }
        steps.append({at, i + 1, request});
        last = at;
    }
    return true;
}

void Scenario::play(const QList<ScenarioStep> &steps, double speed)
{
    stop();
    m_steps = steps;
    m_speed = speed > 0 ? speed : 1;
    m_clock.start();
    advance();
}

void Scenario::stop()
{
    m_timer.stop();
    m_steps.clear();
    m_next = 0;
}

// Takes every step that is due, then waits for the next one.
void Scenario::advance()
{
    while (m_next < m_steps.size()) {
        const ScenarioStep &step = m_steps[m_next];
        const qint64 due = qint64(double(step.at) / m_speed);
        const qint64 now = m_clock.elapsed();
        if (due > now) {
            m_timer.start(int(qMin<qint64>(due - now, 24 * 3600 * 1000)));
            return;
        }
        m_next++;
        const Request request = step.request;
        const int line = step.line;
        m_perform(request);
        emit stepTaken(line);
    }
    if (!m_steps.isEmpty()) {
        m_steps.clear();
        m_next = 0;
        emit finished();
    }
}
