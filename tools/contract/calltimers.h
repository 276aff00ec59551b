// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef CONTRACT_CALLTIMERS_H
#define CONTRACT_CALLTIMERS_H

#include "server.h"
#include "service.h"

#include <QObject>
#include <QTimer>

// The call timers of the call interface, as its daemon keeps them: seconds
// of the last call, of dialled and of received calls and in all, counted
// while a call is connected, reported every "CallUpdateTime" seconds during
// the call and once when it ends. A service of the call interface (the
// simulator's, the bridge's) takes them in: class Calls : public
// WithCallTimers<TheServersService>.
template <typename Base>
class WithCallTimers : public Base
{
public:
    template <typename... Args>
    explicit WithCallTimers(Args &&...args)
        : Base(std::forward<Args>(args)...)
    {
        QObject::connect(&m_clock, &QTimer::timeout, this->server, [this] { tick(); });
    }

protected:
    // The timers at zero, the update every second, no call.
    QVariantMap timerDefaults()
    {
        m_clock.stop();
        return {{QStringLiteral("CallUpdateTime"), 1u}, {QStringLiteral("Last"), 0u}, {QStringLiteral("Dialled"), 0u},
                {QStringLiteral("Received"), 0u}, {QStringLiteral("Total"), 0u}};
    }

    // A call was connected or ended; the service's "Incoming" tells which
    // way the seconds count.
    void callConnected(bool connected)
    {
        if (connected && !m_clock.isActive()) {
            m_seconds = 0;
            this->store(QStringLiteral("Last"), 0u);
            m_clock.start(1000);
        } else if (!connected && m_clock.isActive()) {
            m_clock.stop();
            this->emitSignal(QStringLiteral("CallTimers"), timers());
        }
    }

    // Answers the timers' methods; false for any other.
    bool callTimerMethod(const QDBusMessage &message)
    {
        const QString member = message.member();
        if (member == QLatin1String("GetCallTimers")) {
            this->server->reply(message, timers());
        } else if (member == QLatin1String("ClearCallTimers")) {
            for (const char *name : {"Last", "Dialled", "Received", "Total"})
                this->store(QLatin1String(name), 0u);
            this->server->reply(message);
        } else if (member == QLatin1String("SetCallUpdateTime") && signatureOf(message) == QLatin1String("u")) {
            this->store(QStringLiteral("CallUpdateTime"), message.arguments().at(0).toUInt());
            this->server->reply(message);
        } else if (member == QLatin1String("GetCallUpdateTime")) {
            this->server->reply(message, {this->property(QStringLiteral("CallUpdateTime")).toUInt()});
        } else {
            return false;
        }
        return true;
    }

private:
    QVariantList timers() const
    {
        return {this->property(QStringLiteral("Last")).toUInt(), this->property(QStringLiteral("Dialled")).toUInt(),
                this->property(QStringLiteral("Received")).toUInt(), this->property(QStringLiteral("Total")).toUInt()};
    }

    // One second of the call.
    void tick()
    {
        const QString direction = this->property(QStringLiteral("Incoming")).toBool() ? QStringLiteral("Received")
                                                                                    : QStringLiteral("Dialled");
        for (const QString &name : {QStringLiteral("Last"), direction, QStringLiteral("Total")})
            this->store(name, this->property(name).toUInt() + 1);
        if (++m_seconds % qMax(1u, this->property(QStringLiteral("CallUpdateTime")).toUInt()) == 0)
            this->emitSignal(QStringLiteral("CallTimers"), timers());
    }

    QTimer m_clock;
    uint m_seconds = 0;
};

#endif
