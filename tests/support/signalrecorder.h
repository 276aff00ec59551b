// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef SIGNALRECORDER_H
#define SIGNALRECORDER_H

// Records every signal an object's class declares, in the order of emission,
// as readable text: "selectionCompleted(9)", "availableOperators(true, 4 items, \"\")".

#include <QObject>
#include <QStringList>

class SignalRecorder : public QObject
{
public:
    explicit SignalRecorder(QObject *target);

    QStringList recorded() const { return m_signals; }
    // Runs the event loop until `count` signals are recorded (5 s at most) and returns them.
    QStringList awaited(int count) const;
    void clear() { m_signals.clear(); }

    int qt_metacall(QMetaObject::Call call, int id, void **args) override;

private:
    QObject *m_target;
    QList<int> m_indices;   // signal index per connected slot id
    QStringList m_signals;
};

#endif
