// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_SCRIPTS_H
#define MODEMSIM_SCRIPTS_H

#include "simulator.h"

#include <QHash>
#include <QObject>

// How the next call(s) of one method are answered instead of, or before,
// the modem's own behaviour.
struct Script {
    int count = 1;          // calls it applies to; 0 for every call until cleared
    int delay = 0;          // milliseconds before the answer
    bool noReply = false;   // never answer
    QString error;          // answer with this D-Bus error name ...
    QString message;        // ... and message
    bool hasReply = false;  // answer with these arguments as they stand
    QVariantList reply;
    QVariantList when;      // only for calls with these first arguments; empty: any
};

// The scripted answers, programmed through the control interface and by
// scenarios; a reset clears them.
class Scripts : public QObject, public Interceptor
{
public:
    explicit Scripts(Simulator *sim);

    void add(const QString &interface, const QString &member, const Script &script);
    void clear() { m_scripts.clear(); }

    bool intercept(const QDBusMessage &call) override;

private:
    void answer(const QDBusMessage &call, const Script &script);

    Simulator *sim;
    QHash<QString, QList<Script>> m_scripts;
};

#endif
