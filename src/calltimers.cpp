// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/calltimers.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {

// The timers of a reply: exactly four arguments, each converted as QVariant
// converts it (one that does not gives 0).
std::optional<CallTimers::CallTimersInfo> timersOf(const QVariantList &args)
{
    if (args.size() != 4)
        return std::nullopt;
    return CallTimers::CallTimersInfo{args[0].toUInt(), args[1].toUInt(), args[2].toUInt(), args[3].toUInt()};
}

} // namespace

class CallTimersPrivate : public ServicePrivate<CallTimers>
{
public:
    explicit CallTimersPrivate(CallTimers *q)
        : ServicePrivate(q, {Bus::Call}, {on(Signal::CallCallTimers, &CallTimersPrivate::timersUpdated)})
    {
    }

    void timersUpdated(uint last, uint dialled, uint received, uint total)
    {
        emit q_ptr->timersUpdated({last, dialled, received, total});
    }
};

CallTimers::CallTimers(QObject *parent)
    : QObject(parent)
    , d(new CallTimersPrivate(this))
{
}

CallTimers::~CallTimers() = default;

bool CallTimers::isValid() const { return d->isValid(); }

CallTimers::CallTimersInfo CallTimers::timers() const
{
    const QDBusMessage reply = callProxy(d->proxy(), Method::CallGetCallTimers);
    return reply.type() == QDBusMessage::ReplyMessage ? timersOf(reply.arguments()).value_or(CallTimersInfo()) : CallTimersInfo();
}

// Takes what timers() takes.
void CallTimers::queryTimers()
{
    const bool sent = callAsync(
        methodCall(Method::CallGetCallTimers), d, QString(),
        [this](const QVariantList &args) {
            const auto timers = timersOf(args);
            emit timersQueryCompleted(timers.value_or(CallTimersInfo()), bool(timers));
        },
        [this](const QDBusError &) { emit timersQueryCompleted({}, false); });
    if (!sent)
        emit timersQueryCompleted({}, false);
}

void CallTimers::clearTimers() const
{
    callProxy(d->proxy(), Method::CallClearCallTimers);
}

void CallTimers::setCallUpdateTime(unsigned int time) const
{
    callProxy(d->proxy(), Method::CallSetCallUpdateTime, {time});
}

unsigned int CallTimers::callUpdateTime() const
{
    return askValue<uint>(d->proxy(), Method::CallGetCallUpdateTime, 0);
}

} // namespace Ondrix
