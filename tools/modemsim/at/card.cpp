// SPDX-License-Identifier: LGPL-2.1-or-later
// The card: its state and codes (+CPIN, +CPINR, +CLCK and +CPWD of the
// card's facilities), its identity (+CIMI) and its files (+CRSM).

#include "atsession.h"
#include "modem.h"
#include "simfiles.h"

namespace {

const char Sim[] = "com.kelvo.hvt.SIM";
const char Security[] = "com.kelvo.hvt.SIM.Security";
const char Identity[] = "com.kelvo.hvt.SIM.Identity";
const char Phonebook[] = "com.kelvo.hvt.SIM.Phonebook";

// Status words of the card's answers (TS 51.011 9.4).
const QByteArray Success = "144,0";
const QByteArray NotFound = "148,4";
const QByteArray OutOfRange = "148,2";
const QByteArray NoAccess = "152,4";

// The +CME ERROR of the card's refusals.
int cardError(const QString &reason)
{
    static const QHash<QString, int> codes{
        {QStringLiteral("NoSIM"), 10},           {QStringLiteral("ModemNotReady"), 14},
        {QStringLiteral("WrongPassword"), 16},   {QStringLiteral("CodeBlocked"), 12},
        {QStringLiteral("SecurityCodeRequired"), 11}, {QStringLiteral("SIMRejected"), 15},
        {QStringLiteral("PINDisabled"), 3},      {QStringLiteral("InvalidParameter"), 50},
        {QStringLiteral("AlreadyOpened"), 3},    {QStringLiteral("TimerNotElapsed"), 3},
        {QStringLiteral("HandlingBlocked"), 3},  {QStringLiteral("OperationFailed"), 17},
    };
    return codes.value(reason, 100);
}

class Card : public AtPart
{
public:
    explicit Card(AtSession *session)
        : AtPart(session)
    {
        s->add("+CPIN", [this](const AtCommand &c) { cpin(c); });
        s->add("+CPINR", [this](const AtCommand &c) { cpinr(c); });
        s->add("+CLCK", [this](const AtCommand &c) { clck(c); });
        s->add("+CPWD", [this](const AtCommand &c) { cpwd(c); });
        s->add("+CIMI", [this](const AtCommand &c) { cimi(c); });
        s->add("+CRSM", [this](const AtCommand &c) { crsm(c); });
    }

private:
    QString status() const { return s->state(Sim, "Status").toString(); }

    // Answers a code check: true passes, false is a wrong code.
    void checked(const AtAnswer &a)
    {
        if (a.is("b"))
            a.value(0).toBool() ? s->done() : s->cmeError(16);
        else
            s->cmeError(cardError(a.error()));
    }

    void cpin(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            return s->done();
        const QString now = status();
        if (c.type == AtCommand::Read) {
            static const QHash<QString, QByteArray> states{
                {QStringLiteral("Ok"), "READY"}, {QStringLiteral("PINRequired"), "SIM PIN"},
                {QStringLiteral("PUKRequired"), "SIM PUK"}, {QStringLiteral("SIMLockRejected"), "PH-NET PIN"}};
            static const QHash<QString, int> errors{{QStringLiteral("NoSIM"), 10}, {QStringLiteral("NotReady"), 14},
                                                    {QStringLiteral("Rejected"), 15}};
            if (!states.contains(now))
                return s->cmeError(errors.value(now, 13));
            s->info("+CPIN: " + states.value(now));
            return s->done();
        }
        const QString code = QString::fromLatin1(c.argument(0).text);
        const QString newCode = QString::fromLatin1(c.argument(1).text);
        if (c.type != AtCommand::Set || code.isEmpty())
            return s->cmeError(50);
        if (now == QLatin1String("PINRequired"))
            s->ask(Security, "VerifyPIN", {QStringLiteral("pin"), code}, [this](const AtAnswer &a) { checked(a); });
        else if (now == QLatin1String("PUKRequired") && !newCode.isEmpty())
            s->ask(Security, "VerifyPUK", {QStringLiteral("puk"), code, newCode}, [this](const AtAnswer &a) { checked(a); });
        else
            s->cmeError(now == QLatin1String("PUKRequired") ? 12 : now == QLatin1String("NoSIM") ? 10 : 3);
    }

    // The attempts left of the four codes, each from the card.
    void cpinr(const AtCommand &c)
    {
        if (c.type == AtCommand::Test || c.type == AtCommand::Read)
            return c.type == AtCommand::Test ? s->done() : s->error();
        QByteArray wanted = c.argument(0).text.toUpper();
        if (wanted.endsWith('*'))
            wanted.chop(1);
        attempts(0, wanted);
    }

    void attempts(int which, const QByteArray &wanted)
    {
        struct Code { const char *name; const char *type; const char *member; int most; };
        static const Code codes[] = {{"SIM PIN", "pin", "PINAttemptsLeft", 3}, {"SIM PUK", "puk", "PUKAttemptsLeft", 10},
                                     {"SIM PIN2", "pin2", "PINAttemptsLeft", 3}, {"SIM PUK2", "puk2", "PUKAttemptsLeft", 10}};
        if (which == 4)
            return s->done();
        const Code &code = codes[which];
        if (!QByteArray(code.name).startsWith(wanted))
            return attempts(which + 1, wanted);
        s->ask(Security, code.member, {QLatin1String(code.type)}, [this, which, wanted, code](const AtAnswer &a) {
            if (!a.is("i"))
                return s->cmeError(cardError(a.error()));
            s->info("+CPINR: " + QByteArray(code.name) + ',' + QByteArray::number(a.value(0).toInt()) + ','
                    + QByteArray::number(code.most));
            attempts(which + 1, wanted);
        });
    }

    // The card's facilities here; the network's barring programs are the
    // supplementary services'.
    void clck(const AtCommand &c)
    {
        if (c.type == AtCommand::Test) {
            s->info("+CLCK: (\"SC\",\"FD\",\"PN\",\"AO\",\"OI\",\"OX\",\"AI\",\"IR\",\"AB\",\"AG\",\"AC\")");
            return s->done();
        }
        bool ok = false;
        const QByteArray facility = c.argument(0).text.toUpper();
        const int mode = c.argument(1).number(&ok, -1);
        const QString code = QString::fromLatin1(c.argument(2).text);
        if (c.type != AtCommand::Set || !ok || mode < 0 || mode > 2)
            return s->cmeError(50);
        if (facility == "SC") {
            if (mode == 2) {
                return s->ask(Security, "GetPINQueryState", {QStringLiteral("pin")}, [this](const AtAnswer &a) {
                    if (!a.is("b"))
                        return s->cmeError(cardError(a.error()));
                    s->info(QByteArray("+CLCK: ") + (a.value(0).toBool() ? '1' : '0'));
                    s->done();
                });
            }
            return s->ask(Security, mode ? "EnablePINQuery" : "DisablePINQuery", {QStringLiteral("pin"), code},
                          [this](const AtAnswer &a) { a.is("") ? s->done() : s->cmeError(cardError(a.error())); });
        }
        if (facility == "FD")
            return fixedDialling(mode, code);
        if (facility == "PN")
            return networkLock(mode, code);
        s->forward("+CLCK barring", c);
    }

    // Fixed dialling: switched with PIN2.
    void fixedDialling(int mode, const QString &pin2)
    {
        if (mode == 2) {
            return s->ask(Phonebook, "GetFDNStatus", {}, [this](const AtAnswer &a) {
                if (!a.is("s"))
                    return s->cmeError(cardError(a.error()));
                s->info(QByteArray("+CLCK: ") + (a.value(0).toString() == QLatin1String("Enabled") ? '1' : '0'));
                s->done();
            });
        }
        s->ask(Security, "VerifyPIN", {QStringLiteral("pin2"), pin2}, [this, mode](const AtAnswer &a) {
            if (!a.is("b") || !a.value(0).toBool())
                return a.is("b") ? s->cmeError(16) : s->cmeError(cardError(a.error()));
            s->ask(Phonebook, "SetFDNStatus", {mode ? QStringLiteral("Enabled") : QStringLiteral("Disabled")},
                   [this](const AtAnswer &b) { b.is("") ? s->done() : s->cmeError(17); });
        });
    }

    // The phone's network lock: read, or opened with its code.
    void networkLock(int mode, const QString &code)
    {
        if (mode == 2) {
            s->info(QByteArray("+CLCK: ") + (s->state("com.kelvo.hvt.SIM.SIMLock", "Status") == QLatin1String("Ok") ? '0' : '1'));
            return s->done();
        }
        if (mode == 1)
            return s->cmeError(3);
        s->ask("com.kelvo.hvt.SIM.SIMLock", "UnlockSIMLock", {1, code},
               [this](const AtAnswer &a) { a.is("") ? s->done() : s->cmeError(cardError(a.error())); });
    }

    void cpwd(const AtCommand &c)
    {
        if (c.type == AtCommand::Test) {
            s->info("+CPWD: (\"SC\",8),(\"P2\",8),(\"AO\",4),(\"OI\",4),(\"OX\",4),(\"AI\",4),(\"IR\",4),(\"AB\",4),(\"AG\",4),(\"AC\",4)");
            return s->done();
        }
        const QByteArray facility = c.argument(0).text.toUpper();
        if (c.type != AtCommand::Set)
            return s->cmeError(50);
        if (facility != "SC" && facility != "P2")
            return s->forward("+CPWD barring", c);
        const QVariantList args{facility == "SC" ? QStringLiteral("pin") : QStringLiteral("pin2"),
                                QString::fromLatin1(c.argument(1).text), QString::fromLatin1(c.argument(2).text)};
        s->ask(Security, "ChangePIN", args, [this](const AtAnswer &a) { checked(a); });
    }

    void cimi(const AtCommand &c)
    {
        if (c.type != AtCommand::Execute)
            return c.type == AtCommand::Test ? s->done() : s->error();
        s->ask(Identity, "GetIMSI", {}, [this](const AtAnswer &a) {
            if (!a.is("s"))
                return s->cmeError(cardError(a.error()));
            s->info(s->text(a.value(0).toString()));
            s->done();
        });
    }

    // ---- Files ----

    void crsm(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            return s->done();
        bool ok[5];
        const int command = c.argument(0).number(&ok[0], -1);
        const int id = c.argument(1).number(&ok[1], -1);
        const int p1 = c.argument(2).number(&ok[2], 0);
        const int p2 = c.argument(3).number(&ok[3], 0);
        const int p3 = c.argument(4).number(&ok[4], 0);
        if (c.type != AtCommand::Set || !(ok[0] && ok[1] && ok[2] && ok[3] && ok[4]) || id < 0 || id > 0xffff
            || p1 > 255 || p2 > 255 || p3 > 255)
            return s->cmeError(50);
        const QString now = status();
        if (now == QLatin1String("NoSIM"))
            return s->cmeError(10);
        if (command == 214 || command == 220)
            return answer(NoAccess);   // the modem's files are the card's to write
        if (command == 242)
            return answer(Success);
        if (command != 192 && command != 176 && command != 178)
            return s->cmeError(50);
        // Before the PIN only the files anybody may read.
        const bool open = id == SimFiles::Iccid || id == SimFiles::PreferredLanguages || id == SimFiles::Languages
                          || id == SimFiles::Phase || id == SimFiles::AdministrativeData
                          || id == SimFiles::EmergencyNumbers;
        if (!open && now != QLatin1String("Ok"))
            return answer(NoAccess);
        file(id, [this, command, id, p1, p2, p3, open](bool found, const SimFile &f) {
            if (!found)
                return answer(NotFound);
            if (command == 192)
                return answer(Success, SimFiles::status(id, f, open));
            const int length = p3 ? p3 : 256;
            if (command == 176) {
                const int offset = p1 << 8 | p2;
                if (f.recordLength || offset >= f.data.size())
                    return answer(OutOfRange);
                return answer(Success, f.data.mid(offset, length));
            }
            const int records = f.recordLength ? f.data.size() / f.recordLength : 0;
            if (p2 != 4 || p1 < 1 || p1 > records)
                return answer(OutOfRange);
            answer(Success, f.data.mid((p1 - 1) * f.recordLength, qMin(length, f.recordLength)));
        });
    }

    void answer(const QByteArray &words, const QByteArray &data = QByteArray())
    {
        s->info("+CRSM: " + words + (data.isEmpty() ? QByteArray() : ",\"" + data.toHex().toUpper() + '"'));
        s->done();
    }

    // A file as the card holds it now; `found` false for one it has not.
    void file(int id, std::function<void(bool found, const SimFile &)> then)
    {
        auto identity = [this](const char *name) { return s->state(Identity, name).toString(); };
        const auto gsm = [this](const QString &text) { return s->gsm(text); };
        switch (id) {
        case SimFiles::Iccid:
            return then(true, {SimFiles::iccid(identity("ICCID")), 0});
        case SimFiles::Spn:
            return then(true, {SimFiles::spn(s->gsm(identity("ServiceProviderName"))), 0});
        case SimFiles::AdministrativeData:
            return then(true, {SimFiles::administrativeData(qBound(2, identity("MNC").size(), 3)), 0});
        case SimFiles::Phase:
            return then(true, {QByteArray(1, 0x03), 0});
        case SimFiles::ServiceTable:
            return then(true, {SimFiles::serviceTable(), 0});
        case SimFiles::PreferredLanguages:
            return then(true, {SimFiles::preferredLanguages(s->state(Identity, "Languages").toStringList()), 0});
        case SimFiles::Languages:
            return then(true, {SimFiles::languages(s->state(Identity, "Languages").toStringList()), 0});
        case SimFiles::EmergencyNumbers:
            return emergencyNumbers(then);
        default:
            break;
        }
        static const QHash<int, const char *> books{{SimFiles::MsIsdn, "msisdn"}, {SimFiles::Sdn, "sdn"},
                                                    {SimFiles::Adn, "adn"}, {SimFiles::Fdn, "fdn"}};
        if (!books.contains(id))
            return then(false, SimFile());
        readBook(s, QLatin1String(books.value(id)), [then, gsm](bool ok, const QString &, const Book &book) {
            if (!ok)
                return then(false, SimFile());
            then(true, SimFiles::dialNumbers(book, qMax(book.nameLength, 1), gsm));
        });
    }

    // The card's own emergency numbers, which the modem lists with its own.
    void emergencyNumbers(std::function<void(bool, const SimFile &)> then)
    {
        s->ask("com.kelvo.hvt.Call", "GetEmergencyNumbers", {}, [then](const AtAnswer &a) {
            QStringList numbers;
            for (const EmergencyNumber &e : a.list<EmergencyNumber>(0)) {
                if (e.source == 1)
                    numbers << e.number;
            }
            then(true, {SimFiles::emergencyNumbers(numbers), 0});
        });
    }
};

} // namespace

std::unique_ptr<AtPart> createAtCard(AtSession *session)
{
    return std::make_unique<Card>(session);
}
