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
// the line before. Times never go back. Words with spaces are quoted ("...");
// a line starting with "#" is a comment.
struct ScenarioStep {
    qint64 at = 0;   // milliseconds from the start
    int line = 0;
    Request request;
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
    bool playing() const { return m_next < m_steps.size(); }

Q_SIGNALS:
    void stepTaken(int line);
    void finished();

private:
    void advance();

    Perform m_perform;
    QList<ScenarioStep> m_steps;
    int m_next = 0;
    double m_speed = 1;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

#endif
