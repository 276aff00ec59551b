// SPDX-License-Identifier: LGPL-2.1-or-later
#include "scripts.h"

#include <QTimer>

namespace {

QString keyOf(const QString &interface, const QString &member)
{
    return interface + QLatin1Char(' ') + member;
}

// Whether the call's first arguments are `when` (compared as text, so that a
// number written in a scenario matches whatever integer type came).
bool matches(const QDBusMessage &call, const QVariantList &when)
{
    const QVariantList args = call.arguments();
    if (args.size() < when.size())
        return false;
    for (int i = 0; i < when.size(); i++) {
        if (args[i].toString() != when[i].toString() || args[i].userType() == QMetaType::QVariantMap)
            return false;
    }
    return true;
}

} // namespace

Scripts::Scripts(Simulator *sim_)
    : QObject(sim_)
    , sim(sim_)
{
    connect(sim, &Simulator::wasReset, this, [this] { clear(); });
    sim->addInterceptor(this);
}

void Scripts::add(const QString &interface, const QString &member, const Script &script)
{
    m_scripts[keyOf(interface, member)].append(script);
}

bool Scripts::intercept(const QDBusMessage &call)
{
    auto it = m_scripts.find(keyOf(call.interface(), call.member()));
    if (it == m_scripts.end())
        return false;
    for (int i = 0; i < it->size(); i++) {
        Script &script = (*it)[i];
        if (!matches(call, script.when))
            continue;
        const Script taken = script;
        if (script.count > 0 && --script.count == 0)
            it->removeAt(i);
        if (taken.delay > 0)
            QTimer::singleShot(taken.delay, this, [this, call, taken] { answer(call, taken); });
        else
            answer(call, taken);
        return true;
    }
    return false;
}

void Scripts::answer(const QDBusMessage &call, const Script &script)
{
    if (script.noReply)
        return;
    if (!script.error.isEmpty())
        sim->replyError(call, script.error, script.message);
    else if (script.hasReply)
        sim->sendReply(call, script.reply);   // as written, whatever its type
    else
        sim->dispatch(call);
}
