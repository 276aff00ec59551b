// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_SCENARIO_H
#define MODEMSIM_SCENARIO_H

#include "commands.h"

#include <QElapsedTimer>
#include <functional>
#include <QList>
#include <QObject>
#include <QTimer>

// A scenario: a starting state and a timeline, written by hand.
//
//     # Roaming abroad
//     0s    register Roaming 248 01 "Telia EE"
//     0s    signal -85
//     +4s   signal -97
//     1m    register NoCoverage
//
// Each line is a time and a simulator command (those of "ondrix-modemsim ctl").
// A time is a number with "ms", "s" or "m"; with a leading "+" it counts from
// the line before. Times never go back. Words with spaces are quoted ("..."),
// or taken literally between single quotes ('...'); a line starting with "#"
// is a comment.
//
// A step can wait for an event instead of a time:
//
//     on call com.kelvo.hvt.SIM.Security.VerifyPIN pin 1234 then sim state Ok
//     on signal com.kelvo.hvt.SIM.SIMStatus PINRequired then +2s signal -60
//     on line 4 then register NoCoverage
//
// "on call INTERFACE.MEMBER [ARG...]" waits for a call of that member whose
// first arguments are those; "on signal INTERFACE.MEMBER [ARG...]" for one
// of the daemon's signals; "on line N" for the step of line N. After "then"
// come an optional delay ("+2s") and the command. Each such step is taken
// once, for the first event that fits; the scenario ends when every step is.
// The words of a command line; "quoted" and 'quoted' words keep their spaces.
// False when a quote is not closed.
bool splitWords(const QString &line, QStringList &words);

struct ScenarioEvent {
    enum Kind { None, Call, Signal, Line } kind = None;
    QString interface;
    QString member;
    QStringList args;
    int line = 0;
};

struct ScenarioStep {
    qint64 at = 0;   // milliseconds from the start, or from the event
    int line = 0;
    Request request;
    ScenarioEvent event;
};

class Scenario : public QObject
{
    Q_OBJECT
public:
    using Perform = std::function<void(const Request &)>;
    Scenario(Perform perform, QObject *parent);

    // The steps of a scenario; false with "line N: why" in `error` when it is off.
    static bool parse(const QString &text, QList<ScenarioStep> &steps, QString *error);

    // Plays the steps `speed` times as fast as written, replacing any playing
    // scenario. Those at 0 are taken at once.
    void play(const QList<ScenarioStep> &steps, double speed);
    void stop();
    bool playing() const { return m_next < m_steps.size() || !m_waiting.isEmpty(); }

    // Something happened on the bus: a call of the daemons, or one of their signals.
    void notice(ScenarioEvent::Kind kind, const QString &interface, const QString &member, const QVariantList &args);

Q_SIGNALS:
    void stepTaken(int line);
    void finished();

private:
    void advance();
    void take(const ScenarioStep &step);
    void fired(const ScenarioStep &step);
    void finishIfDone();

    Perform m_perform;
    QList<ScenarioStep> m_steps;      // timed steps, in order
    QList<ScenarioStep> m_waiting;    // steps waiting for their event
    int m_delayed = 0;
    bool m_playedAny = false;   // a step was taken since play()                // fired steps waiting for their delay
    quint64 m_generation = 0;
    int m_next = 0;
    double m_speed = 1;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

// A scenario file, or the name of an installed one ("home" for
// home.scenario): the path to read.
QString scenarioPath(const QString &name);

#endif
