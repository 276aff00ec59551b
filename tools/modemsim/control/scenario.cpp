// SPDX-License-Identifier: LGPL-2.1-or-later
#include "scenario.h"

#include <QFile>
#include <QRegularExpression>

#include <cmath>

bool splitWords(const QString &line, QStringList &words)
{
    QString word;
    bool quoted = false;
    bool inWord = false;
    bool literal = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('\'') && !quoted) {
            literal = !literal;
            inWord = true;
        } else if (literal) {
            word += c;
        } else if (c == QLatin1Char('"')) {
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
    return !quoted && !literal;
}

namespace {

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
        ScenarioEvent event;
        if (words.first() == QLatin1String("on")) {
            const int then = words.indexOf(QStringLiteral("then"));
            if (then < 3)
                return fail(QStringLiteral("an event step is \"on call|signal INTERFACE.MEMBER [ARG...] then COMMAND\" or \"on line N then COMMAND\""));
            const QString kind = words.value(1);
            const QString what = words.value(2);
            if (kind == QLatin1String("line")) {
                bool ok = false;
                event.kind = ScenarioEvent::Line;
                event.line = what.toInt(&ok);
                if (!ok || then != 3)
                    return fail(QStringLiteral("\"on line\" takes a line number"));
            } else if (kind == QLatin1String("call") || kind == QLatin1String("signal")) {
                event.kind = kind == QLatin1String("call") ? ScenarioEvent::Call : ScenarioEvent::Signal;
                event.interface = what.section(QLatin1Char('.'), 0, -2);
                event.member = what.section(QLatin1Char('.'), -1);
                event.args = words.mid(3, then - 3);
                if (event.interface.isEmpty())
                    return fail(QStringLiteral("\"%1\" is not INTERFACE.MEMBER").arg(what));
            } else {
                return fail(QStringLiteral("\"%1\" is no event: call, signal or line").arg(kind));
            }
            words = words.mid(then + 1);
            if (words.isEmpty())
                return fail(QStringLiteral("nothing after \"then\""));
            if (!words.first().startsWith(QLatin1Char('+')))
                words.prepend(QStringLiteral("+0s"));
        }
        const QString time = words.takeFirst();
        const bool relative = time.startsWith(QLatin1Char('+'));
        const qint64 duration = durationOf(relative ? time.mid(1) : time);
        if (duration < 0)
            return fail(QStringLiteral("\"%1\" is not a time such as 0s, 2.5s, 300ms, 1m or +2s").arg(time));
        if (event.kind != ScenarioEvent::None) {
            const Request request = requestOf(words);
            if (!request.valid())
                return fail(request.error.isEmpty() ? QStringLiteral("\"%1\" is not a command").arg(words.join(QLatin1Char(' ')))
                                                    : request.error);
            steps.append({duration, i + 1, request, event});
            continue;
        }
        const qint64 at = relative ? last + duration : duration;
        if (at < last)
            return fail(QStringLiteral("%1 comes before the line above").arg(time));
        const Request request = requestOf(words);
        if (!request.valid()) {
            return fail(request.error.isEmpty() ? QStringLiteral("\"%1\" is not a command").arg(words.join(QLatin1Char(' ')))
                                                : request.error);
        }
        steps.append({at, i + 1, request, ScenarioEvent()});
        last = at;
    }
    return true;
}

void Scenario::play(const QList<ScenarioStep> &steps, double speed)
{
    stop();
    for (const ScenarioStep &step : steps)
        (step.event.kind == ScenarioEvent::None ? m_steps : m_waiting).append(step);
    m_speed = speed > 0 ? speed : 1;
    m_clock.start();
    advance();
}

void Scenario::stop()
{
    m_timer.stop();
    m_steps.clear();
    m_waiting.clear();
    m_delayed = 0;
    ++m_generation;
    m_next = 0;
}

void Scenario::notice(ScenarioEvent::Kind kind, const QString &interface, const QString &member,
                      const QVariantList &args)
{
    for (int i = 0; i < m_waiting.size(); i++) {
        const ScenarioEvent &event = m_waiting[i].event;
        if (event.kind != kind || event.interface != interface || event.member != member
            || args.size() < event.args.size())
            continue;
        bool fits = true;
        for (int a = 0; a < event.args.size() && fits; a++)
            fits = args[a].toString() == event.args[a];
        if (fits)
            fired(m_waiting.takeAt(i--));
    }
}

void Scenario::fired(const ScenarioStep &step)
{
    // Even without a delay the step comes after what caused it: a call is
    // answered first.
    const qint64 delay = qint64(double(step.at) / m_speed);
    m_delayed++;
    QTimer::singleShot(int(qMin<qint64>(delay, 24 * 3600 * 1000)), this, [this, step, generation = m_generation] {
        if (generation != m_generation)
            return;
        m_delayed--;
        take(step);
        finishIfDone();
    });
}

// Takes one step; steps waiting for its line follow.
void Scenario::take(const ScenarioStep &step)
{
    m_playedAny = true;
    m_perform(step.request);
    emit stepTaken(step.line);
    for (int i = 0; i < m_waiting.size(); i++) {
        if (m_waiting[i].event.kind == ScenarioEvent::Line && m_waiting[i].event.line == step.line)
            fired(m_waiting.takeAt(i--));
    }
}

void Scenario::finishIfDone()
{
    if (m_next >= m_steps.size() && m_waiting.isEmpty() && m_delayed == 0 && (!m_steps.isEmpty() || m_playedAny)) {
        m_steps.clear();
        m_next = 0;
        m_playedAny = false;
        emit finished();
    }
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
        take(ScenarioStep(step));
    }
    finishIfDone();
}

QString scenarioPath(const QString &name)
{
    if (name.contains(QLatin1Char('/')) || QFile::exists(name))
        return name;
    const QString file = name.endsWith(QLatin1String(".scenario")) ? name : name + QLatin1String(".scenario");
    for (const char *dir : {ONDRIX_SCENARIO_DIR, ONDRIX_SOURCE_SCENARIO_DIR}) {
        const QString path = QLatin1String(dir) + QLatin1Char('/') + file;
        if (QFile::exists(path))
            return path;
    }
    return name;
}
