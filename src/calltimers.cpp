// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/calltimers.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

class CallTimersPrivate : public QObject
{
public:
    explicit CallTimersPrivate(CallTimers *q)
        : QObject(q)
        , q_ptr(q)
    {
        registerTypes();
        subscribe(Signal::CallCallTimers, this, &CallTimersPrivate::timersUpdated);
        proxy = createProxy(Bus::Call, this);
        daemons = followDaemons({proxy}, this, q);
    }

    void timersUpdated(uint last, uint dialled, uint received, uint total)
    {
        emit q_ptr->timersUpdated({last, dialled, received, total});
    }

    CallTimers *q_ptr;
    DBusIface *proxy;
    Daemons *daemons = nullptr;

private:
    Q_DECLARE_PUBLIC(CallTimers)
};

CallTimers::CallTimers(QObject *parent)
    : QObject(parent)
    , d(new CallTimersPrivate(this))
{
}

CallTimers::~CallTimers() = default;

bool CallTimers::isValid() const { return d->daemons->valid(); }

CallTimers::CallTimersInfo CallTimers::timers() const
{
    const auto reply = ask<uint, uint, uint, uint>(d->proxy, Method::CallGetCallTimers);
    if (!reply)
        return {};
    const auto &[last, dialled, received, total] = *reply;
    return {last, dialled, received, total};
}

void CallTimers::queryTimers()
{
    operate<uint, uint, uint, uint>(
        methodCall(Method::CallGetCallTimers), d,
        [this](uint last, uint dialled, uint received, uint total) {
            emit timersQueryCompleted({last, dialled, received, total}, true);
        },
        [this](const QDBusError &) { emit timersQueryCompleted({}, false); });
}

void CallTimers::clearTimers() const
{
    callProxy(d->proxy, Method::CallClearCallTimers);
}

void CallTimers::setCallUpdateTime(unsigned int time) const
{
    callProxy(d->proxy, Method::CallSetCallUpdateTime, {time});
}

unsigned int CallTimers::callUpdateTime() const
{
    return askValue<uint>(d->proxy, Method::CallGetCallUpdateTime, 0);
}

} // namespace Ondrix
