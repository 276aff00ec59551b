// SPDX-License-Identifier: LGPL-2.1-or-later
// Supplementary services: forwarding (+CCFC), barring (+CLCK and +CPWD of
// the barring programs), waiting (+CCWA), the identity services (+CLIP,
// +CLIR, +COLP, +COLR, +CNAP) and USSD (+CUSD).

#include "atsession.h"
#include "modem.h"

namespace {

const char Services[] = "com.kelvo.hvt.SS";
const char Ussd[] = "com.kelvo.hvt.SS.USSD";

// 3GPP TS 27.007 <class> bits and the basic service codes of TS 22.030:
// voice, data, fax, SMS, synchronous and asynchronous circuits, packet and
// PAD access; and the groups of them.
const QList<QPair<int, QString>> Classes{
    {1, QStringLiteral("11")},  {2, QStringLiteral("20")},  {4, QStringLiteral("13")},  {8, QStringLiteral("16")},
    {16, QStringLiteral("24")}, {32, QStringLiteral("25")}, {64, QStringLiteral("26")}, {128, QStringLiteral("27")},
    {13, QStringLiteral("10")}, {12, QStringLiteral("12")}, {5, QStringLiteral("19")},  {160, QStringLiteral("21")},
    {80, QStringLiteral("22")}};

// The basic service of a class; "" (all) for the default 7 and for 255.
bool basicOf(const AtArgument &argument, QString *basic)
{
    bool ok = false;
    const int cls = argument.number(&ok, 7);
    basic->clear();
    if (ok && (cls == 7 || cls == 255))
        return true;
    for (const auto &pair : Classes) {
        if (pair.first == cls) {
            *basic = pair.second;
            return true;
        }
    }
    return false;
}

int classOf(const QString &basic)
{
    for (const auto &pair : Classes) {
        if (pair.second == basic)
            return pair.first;
    }
    return 7;
}

// +CCFC <reason>: unconditional, busy, no reply, not reachable, all, all conditional.
const char *const Reasons[] = {"21", "67", "61", "62", "002", "004"};

// +CLCK facilities of the barring programs.
const QHash<QByteArray, QString> Barrings{
    {"AO", QStringLiteral("33")},  {"OI", QStringLiteral("331")}, {"OX", QStringLiteral("332")},
    {"AI", QStringLiteral("35")},  {"IR", QStringLiteral("351")}, {"AB", QStringLiteral("330")},
    {"AG", QStringLiteral("333")}, {"AC", QStringLiteral("353")}};

int servicesError(const QString &reason)
{
    static const QHash<QString, int> codes{{QStringLiteral("Password"), 16}, {QStringLiteral("TooManyPasswordAttempts"), 16},
                                           {QStringLiteral("InvalidTelephoneNumber"), 50},
                                           {QStringLiteral("Incompatibility"), 50}, {QStringLiteral("InvalidParameters"), 50}};
    return reason.isEmpty() ? 100 : codes.value(reason, 3);
}

class SupplementaryServices : public AtPart
{
public:
    explicit SupplementaryServices(AtSession *session)
        : AtPart(session)
    {
        s->add("+CCFC", [this](const AtCommand &c) { ccfc(c); });
        s->add("+CLCK barring", [this](const AtCommand &c) { barring(c); });
        s->add("+CPWD barring", [this](const AtCommand &c) { password(c); });
        s->add("+CCWA", [this](const AtCommand &c) { ccwa(c); });
        s->add("+CLIP", [this](const AtCommand &c) { identity(c, "+CLIP", "CheckCLIP", &clip); });
        s->add("+COLP", [this](const AtCommand &c) { identity(c, "+COLP", "CheckCoLP", &colp); });
        s->add("+CNAP", [this](const AtCommand &c) { identity(c, "+CNAP", "CheckCNAP", &cnap); });
        s->add("+COLR", [this](const AtCommand &c) { colr(c); });
        s->add("+CLIR", [this](const AtCommand &c) { clir(c); });
        s->add("+CUSD", [this](const AtCommand &c) { cusd(c); });
    }

    // A dialogue the network holds open for a terminal that went ends with it.
    ~SupplementaryServices() override
    {
        if (awaiting)
            s->askAnyway(Ussd, "Release", {}, [](const AtAnswer &) {});
    }

    void reset() override
    {
        clip = colp = cnap = ccwa_ = clir_ = 0;
        ussdShown = 0;
        awaiting = collecting = acknowledging = false;
    }

    void signalled(const QString &interface, const QString &member, const QVariantList &args) override
    {
        if (interface != QLatin1String(Ussd))
            return;
        const QString text = args.value(0).toString();
        if (acknowledging)
            return;   // the network's thanks for an acknowledged notice: the terminal saw the notice
        if (collecting) {
            collected.append({member, text});
            return;
        }
        // The network by itself: a request, a notice, or the dialogue's end.
        if (member == QLatin1String("Request"))
            network(1, text);
        else if (member == QLatin1String("Notify"))
            network(0, text, true);
        else if (member == QLatin1String("Released") && awaiting)
            network(2, text);
    }

private:
    void refused(const AtAnswer &a) { s->cmeError(servicesError(a.failed() ? a.error() : QString())); }
    void answered(const AtAnswer &a) { a.is("") ? s->done() : refused(a); }

    // ---- Forwarding ----

    void ccfc(const AtCommand &c)
    {
        if (c.type == AtCommand::Test) {
            s->info("+CCFC: (0-5)");
            return s->done();
        }
        bool ok[3];
        const int reason = c.argument(0).number(&ok[0], -1);
        const int mode = c.argument(1).number(&ok[1], -1);
        const int time = c.argument(7).number(&ok[2], 0);
        QString basic;
        if (c.type != AtCommand::Set || !ok[0] || !ok[1] || !ok[2] || reason < 0 || reason > 5 || mode < 0 || mode > 4
            || !basicOf(c.argument(4), &basic))
            return s->cmeError(50);
        const QString code = QLatin1String(Reasons[reason]);
        if (mode == 2) {
            return s->ask(Services, "CheckDivert", {code, basic}, [this](const AtAnswer &a) {
                if (!a.is("a(sbsu)"))
                    return refused(a);
                const QList<Diversion> list = a.list<Diversion>(0);
                for (const Diversion &d : list) {
                    QByteArray line = "+CCFC: " + QByteArray::number(d.active ? 1 : 0) + ',' + QByteArray::number(classOf(d.basic));
                    if (!d.number.isEmpty()) {
                        line += ",\"" + s->text(d.number) + "\"," + QByteArray::number(d.number.startsWith(QLatin1Char('+')) ? 145 : 129);
                        if (d.delay)
                            line += ",,," + QByteArray::number(d.delay);
                    }
                    s->info(line);
                }
                if (list.isEmpty())
                    s->info("+CCFC: 0,7");
                s->done();
            });
        }
        if (mode == 3) {
            bool typed = false;
            QString number = QString::fromLatin1(c.argument(2).text);
            // An international number may come as its digits and type 145.
            if (c.argument(3).number(&typed, 129) == 145 && !number.startsWith(QLatin1Char('+')))
                number.prepend(QLatin1Char('+'));
            if (number.isEmpty() || !typed)
                return s->cmeError(50);
            return s->ask(Services, "RegisterDivert", {code, basic, number, uint(time)},
                          [this](const AtAnswer &a) { answered(a); });
        }
        static const char *const members[] = {"DeactivateDivert", "ActivateDivert", nullptr, nullptr, "EraseDivert"};
        s->ask(Services, members[mode], {code, basic}, [this](const AtAnswer &a) { answered(a); });
    }

    // ---- Barring ----

    void barring(const AtCommand &c)
    {
        const QString code = Barrings.value(c.argument(0).text.toUpper());
        bool ok = false;
        const int mode = c.argument(1).number(&ok, -1);
        QString basic;
        if (code.isEmpty() || !basicOf(c.argument(3), &basic))
            return s->cmeError(50);
        if (mode == 2) {
            return s->ask(Services, "CheckBarring", {code}, [this, basic](const AtAnswer &a) {
                if (!a.is("as"))
                    return refused(a);
                int shown = 0;
                for (const QString &barred : a.value(0).toStringList()) {
                    if (basic.isEmpty() || barred.isEmpty() || barred == basic) {
                        s->info("+CLCK: 1," + QByteArray::number(classOf(barred)));
                        shown++;
                    }
                }
                if (!shown)
                    s->info("+CLCK: 0,7");
                s->done();
            });
        }
        s->ask(Services, mode == 1 ? "ActivateBarring" : "DeactivateBarring",
               {code, basic, QString::fromLatin1(c.argument(2).text)}, [this](const AtAnswer &a) { answered(a); });
    }

    void password(const AtCommand &c)
    {
        const QString code = Barrings.value(c.argument(0).text.toUpper());
        if (code.isEmpty())
            return s->cmeError(50);
        s->ask(Services, "ChangePassword",
               {code, QString::fromLatin1(c.argument(1).text), QString::fromLatin1(c.argument(2).text)},
               [this](const AtAnswer &a) { answered(a); });
    }

    // ---- Waiting and the identity services ----

    // A presentation setting: 0 or 1 (CLIR: 0 to 2).
    bool setPresentation(const AtCommand &c, int *value, int most)
    {
        bool ok = false;
        const int n = c.argument(0).number(&ok, 0);
        if (!ok || n < 0 || n > most)
            return false;
        *value = n;
        return true;
    }

    void ccwa(const AtCommand &c)
    {
        if (c.type == AtCommand::Test || c.type == AtCommand::Read) {
            s->info(c.type == AtCommand::Test ? QByteArray("+CCWA: (0-1)") : "+CCWA: " + QByteArray::number(ccwa_));
            return s->done();
        }
        bool ok = false;
        const int mode = c.argument(1).number(&ok, -1);
        QString basic;
        if ((c.type == AtCommand::Set && !setPresentation(c, &ccwa_, 1)) || !ok || mode > 2 || !basicOf(c.argument(2), &basic))
            return s->cmeError(50);
        if (mode < 0)
            return s->done();
        if (mode < 2) {
            return s->ask(Services, mode ? "ActivateWaiting" : "DeactivateWaiting", {basic},
                          [this](const AtAnswer &a) { answered(a); });
        }
        s->ask(Services, "CheckWaiting", {basic}, [this](const AtAnswer &a) {
            if (!a.is("as"))
                return refused(a);
            const QStringList active = a.value(0).toStringList();
            for (const QString &b : active)
                s->info("+CCWA: 1," + QByteArray::number(classOf(b)));
            if (active.isEmpty())
                s->info("+CCWA: 0,7");
            s->done();
        });
    }

    void identity(const AtCommand &c, const char *name, const char *check, int *presentation)
    {
        if (c.type == AtCommand::Test) {
            s->info(name + QByteArray(": (0-1)"));
            return s->done();
        }
        if (c.type == AtCommand::Set)
            return setPresentation(c, presentation, 1) ? s->done() : s->cmeError(50);
        if (c.type != AtCommand::Read)
            return s->error();
        const int n = *presentation;
        s->ask(Services, check, {}, [this, name, n](const AtAnswer &a) {
            if (!a.is("b"))
                return refused(a);
            s->info(name + QByteArray(": ") + QByteArray::number(n) + ',' + (a.value(0).toBool() ? '1' : '0'));
            s->done();
        });
    }

    void colr(const AtCommand &c)
    {
        if (c.type != AtCommand::Execute)
            return c.type == AtCommand::Test ? s->done() : s->error();
        s->ask(Services, "CheckCoLR", {}, [this](const AtAnswer &a) {
            if (!a.is("b"))
                return refused(a);
            s->info(QByteArray("+COLR: ") + (a.value(0).toBool() ? '1' : '0'));
            s->done();
        });
    }

    // <m>: 1 permanent, 3 withheld by default, 4 shown by default, 2 unknown.
    void clir(const AtCommand &c)
    {
        if (c.type == AtCommand::Test) {
            s->info("+CLIR: (0-2)");
            return s->done();
        }
        if (c.type == AtCommand::Set)
            return setPresentation(c, &clir_, 2) ? s->done() : s->cmeError(50);
        if (c.type != AtCommand::Read)
            return s->error();
        s->ask(Services, "CheckCLIR", {}, [this](const AtAnswer &a) {
            if (!a.is("s"))
                return refused(a);
            static const QHash<QString, int> modes{{QStringLiteral("permanent"), 1}, {QStringLiteral("on"), 3},
                                                   {QStringLiteral("off"), 4}};
            s->info("+CLIR: " + QByteArray::number(clir_) + ',' + QByteArray::number(modes.value(a.value(0).toString(), 2)));
            s->done();
        });
    }

    // ---- USSD ----

    // <m>: 0 no further action, 1 a reply wanted, 2 ended by the network.
    void network(int m, const QString &text, bool notice = false)
    {
        awaiting = m == 1;
        if (ussdShown || m == 1)
            s->unsolicited("+CUSD: " + QByteArray::number(m) + (text.isEmpty() && m == 2 ? QByteArray() : ",\"" + s->text(text) + "\",15"));
        // A notice the terminal was shown is acknowledged; the network thanks and ends.
        if (notice) {
            acknowledging = true;
            s->askAnyway(Ussd, "NotifyAck", {}, [this](const AtAnswer &) { acknowledging = false; });
        }
    }

    void cusd(const AtCommand &c)
    {
        if (c.type == AtCommand::Test || c.type == AtCommand::Read) {
            s->info(c.type == AtCommand::Test ? QByteArray("+CUSD: (0-2)") : "+CUSD: " + QByteArray::number(ussdShown));
            return s->done();
        }
        bool ok = false;
        const int n = c.argument(0).number(&ok, 0);
        if (!ok || n < 0 || n > 2)
            return s->cmeError(50);
        if (n == 2) {
            // The terminal ends the dialogue, whether or not one runs.
            awaiting = false;
            return s->ask(Ussd, "Release", {}, [this](const AtAnswer &) { s->done(); });
        }
        ussdShown = n;
        if (c.argument(1).isEmpty())
            return s->done();
        QString text;
        if (!s->fromText(c.argument(1).text, &text))
            return s->cmeError(50);
        const bool reply = awaiting;
        awaiting = false;
        collecting = true;
        collected.clear();
        s->ask(Ussd, reply ? "Reply" : "Command", {text, QStringLiteral("en")}, [this](const AtAnswer &a) {
            collecting = false;
            const auto signals_ = collected;
            collected.clear();
            if (!a.is("ss")) {
                s->cmeError(servicesError(a.error()));
                for (const auto &signal : signals_)
                    signalled(QLatin1String(Ussd), signal.first, {signal.second});
                return;
            }
            // The network's answer and what it said after it, as one message:
            // its last word decides whether a reply is wanted.
            QStringList pieces;
            if (!a.value(0).toString().isEmpty())
                pieces << a.value(0).toString();
            QString last;
            for (const auto &signal : signals_) {
                if (!signal.second.isEmpty())
                    pieces << signal.second;
                last = signal.first;
            }
            const QString text = pieces.join(QLatin1Char('\n'));
            const int m = last == QLatin1String("Request") ? 1 : last == QLatin1String("Released") && text.isEmpty() ? 2 : 0;
            network(m, text, last == QLatin1String("Notify"));
            s->done();
        });
    }

    int clip = 0, colp = 0, cnap = 0, ccwa_ = 0, clir_ = 0;
    int ussdShown = 0;
    bool awaiting = false;       // the network asked for a reply
    bool collecting = false;     // the network's words after a request go with its answer
    bool acknowledging = false;
    QList<QPair<QString, QString>> collected;
};

} // namespace

std::unique_ptr<AtPart> createAtServices(AtSession *session)
{
    return std::make_unique<SupplementaryServices>(session);
}
