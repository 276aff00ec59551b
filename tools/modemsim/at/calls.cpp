// SPDX-License-Identifier: LGPL-2.1-or-later
// Voice calls: dialled (D), answered (A), held and ended (H, +CHUP, +CHLD),
// listed (+CLCC), with tones (+VTS). The modem's call state and timers
// follow: a call that is connected is the modem's call ("InCall"). A call
// started from the control interface rings here as an incoming one.

#include "atsession.h"
#include "modem.h"
#include "simulator.h"

#include <QTimer>

namespace {

const char Call[] = "com.kelvo.hvt.Call";
// Who calls when the control interface starts an incoming call.
const char Caller[] = "+358501234567";

// <stat> of +CLCC.
enum State { Active = 0, Held = 1, Dialling = 2, Alerting = 3, Incoming = 4 };

class Calls : public AtPart
{
public:
    explicit Calls(AtSession *session)
        : AtPart(session)
    {
        s->add("D", [this](const AtCommand &c) { dial(c); });
        s->add("A", [this](const AtCommand &c) { answer(c); });
        s->add("H", [this](const AtCommand &c) { hangUp(c); });
        s->add("+CHUP", [this](const AtCommand &c) { hangUp(c); });
        s->add("+CHLD", [this](const AtCommand &c) { chld(c); });
        s->add("+CLCC", [this](const AtCommand &c) { clcc(c); });
        s->add("+VTS", [this](const AtCommand &c) { tones(c); });
        QObject::connect(s->modemEvents(), &ModemEvents::callActive, s, [this](bool active) { modemCall(active); });
        QObject::connect(s->modemEvents(), &ModemEvents::radioSwitched, s, [this](bool on) {
            if (!on && state >= 0)
                endedByNetwork();
        });
    }

    ~Calls() override
    {
        // A call of a terminal that went ends with it.
        if (state >= 0 && state != Incoming)
            end();
    }

    void reset() override
    {
        ++token;
        state = -1;
    }

private:
    bool connected() const { return state == Active || state == Held; }

    void dial(const AtCommand &c)
    {
        QByteArray digits = c.dial;
        if (!digits.endsWith(';'))
            return s->finalResult("NO CARRIER");   // a data call: none here
        digits.chop(1);
        if (digits.startsWith('>'))
            return s->cmeError(4);
        if (digits.isEmpty() || digits.size() > 40)
            return s->cmeError(digits.isEmpty() ? 50 : 26);
        for (const char d : digits) {
            if (!std::isdigit(uchar(d)) && !QByteArray("+*#pPwW").contains(d))
                return s->cmeError(27);
        }
        if (state >= 0)
            return s->cmeError(3);
        const QString dialled = QString::fromLatin1(digits);
        s->ask(Call, "GetEmergencyNumbers", {}, [this, dialled](const AtAnswer &a) {
            bool emergency = false;
            for (const EmergencyNumber &e : a.list<EmergencyNumber>(0))
                emergency = emergency || e.number == dialled;
            const QString registration = s->state("com.kelvo.hvt.CSNet.NetworkRegistration", "RegistrationStatus").toString();
            if (!inService(registration) && !(emergency && camped(registration)))
                return s->finalResult("NO CARRIER");
            number = dialled;
            direction = 0;
            become(Dialling);
            s->done();
            // The other end rings, then answers.
            const int answerTime = s->simulator()->setting(QStringLiteral("CallAnswerTime")).toInt();
            const quint64 call = ++token;
            QTimer::singleShot(answerTime / 3, s, [this, call] {
                if (call == token && state == Dialling)
                    become(Alerting);
            });
            QTimer::singleShot(answerTime, s, [this, call] {
                if (call == token && state == Alerting)
                    connectCall(false);
            });
        });
    }

    void become(int next) { state = next; }

    // The modem's call begins: its timers run.
    void connectCall(bool incoming)
    {
        become(Active);
        ours = true;
        s->setState(Call, "Incoming", incoming);
        s->setState(Call, "InCall", true);
        ours = false;
    }

    void end()
    {
        ++token;
        const bool wasConnected = connected();
        state = -1;
        if (wasConnected || s->state(Call, "InCall").toBool()) {
            ours = true;
            s->setState(Call, "InCall", false);
            ours = false;
        }
    }

    void answer(const AtCommand &)
    {
        if (state != Incoming)
            return s->finalResult("NO CARRIER");
        become(Active);
        s->done();
    }

    void hangUp(const AtCommand &c)
    {
        if (c.type == AtCommand::Test || c.type == AtCommand::Read)
            return c.type == AtCommand::Test ? s->done() : s->error();
        if (state >= 0)
            end();
        s->done();
    }

    void chld(const AtCommand &c)
    {
        if (c.type == AtCommand::Test) {
            s->info("+CHLD: (0,1,1x,2)");
            return s->done();
        }
        const QByteArray n = c.argument(0).text;
        if (n == "0" && (state == Held || state == Incoming)) {
            end();
        } else if ((n == "1" && state == Active) || (n == "11" && state >= 0)) {
            end();
        } else if (n == "2" && (state == Active || state == Held)) {
            become(state == Active ? Held : Active);
        } else if (n == "2" && state == Incoming) {
            become(Active);
        } else {
            return s->cmeError(3);
        }
        s->done();
    }

    void clcc(const AtCommand &c)
    {
        if (c.type != AtCommand::Execute)
            return c.type == AtCommand::Test ? s->done() : s->error();
        if (state >= 0) {
            s->info("+CLCC: 1," + QByteArray::number(direction) + ',' + QByteArray::number(state) + ",0,0,\""
                    + number.toLatin1() + "\"," + QByteArray::number(number.startsWith(QLatin1Char('+')) ? 145 : 129));
        }
        s->done();
    }

    void tones(const AtCommand &c)
    {
        if (c.type == AtCommand::Test) {
            s->info("+VTS: (0-9,*,#,A-D)");
            return s->done();
        }
        const QByteArray tone = c.argument(0).text;
        if (c.type != AtCommand::Set || tone.isEmpty() || state != Active)
            return s->cmeError(3);
        s->done();
    }

    // The modem's call changed from elsewhere: the control interface started
    // one (it rings here) or the network ended it.
    void modemCall(bool active)
    {
        if (ours)
            return;
        if (active && state < 0 && s->state(Call, "Incoming").toBool()) {
            ++token;
            number = QLatin1String(Caller);
            direction = 1;
            become(Incoming);
            s->unsolicited("RING");
            s->unsolicited("+CLIP: \"" + number.toLatin1() + "\",145");
        } else if (!active && state >= 0) {
            endedByNetwork();
        }
    }

    void endedByNetwork()
    {
        end();
        s->unsolicited("NO CARRIER");
    }

    int state = -1;          // of the one call there is; -1 none
    int direction = 0;       // 0 dialled, 1 received
    QString number;
    quint64 token = 0;       // the call a timer is for
    bool ours = false;       // the modem's call state changes because of this side
};

} // namespace

std::unique_ptr<AtPart> createAtCalls(AtSession *session)
{
    return std::make_unique<Calls>(session);
}
