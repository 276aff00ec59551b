// SPDX-License-Identifier: LGPL-2.1-or-later
// The network's supplementary services: call divert, barring (guarded by a
// barring password, 0000, with three attempts), waiting, the identity
// services, and a USSD network with a small menu:
//   *100#  the balance, at once
//   *123#  a menu that asks for a choice (1 balance, 2 data bundles, 0 exit)
//   *101#  a notification to acknowledge
//   *199#  a dialogue the network releases
// Each operation keeps the service busy for "SSTime" ms; another one then is refused as busy.

#include "modem.h"
#include "simulator.h"

#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>


namespace {

const char BusName[] = "com.kelvo.hvt.SS";
const char Path[] = "/com/kelvo/hvt/ss";

QString ssError(const char *reason)
{
    return QStringLiteral("com.kelvo.hvt.SS.Error.") + QLatin1String(reason);
}

const QStringList DivertCodes{QStringLiteral("21"), QStringLiteral("61"), QStringLiteral("62"), QStringLiteral("67")};
const QStringList Outgoing{QStringLiteral("33"), QStringLiteral("331"), QStringLiteral("332")};
const QStringList Incoming{QStringLiteral("35"), QStringLiteral("351")};
const QStringList BasicCodes{QString(), QStringLiteral("10"), QStringLiteral("11"), QStringLiteral("12"),
                             QStringLiteral("13"), QStringLiteral("16"), QStringLiteral("17"), QStringLiteral("18"),
                             QStringLiteral("19"), QStringLiteral("20"), QStringLiteral("21"), QStringLiteral("22"),
                             QStringLiteral("24"), QStringLiteral("25"), QStringLiteral("26"), QStringLiteral("27")};

// The divert services a code stands for.
QStringList divertsOf(const QString &code)
{
    if (code == QLatin1String("002"))
        return DivertCodes;
    if (code == QLatin1String("004"))
        return DivertCodes.mid(1);
    return DivertCodes.contains(code) ? QStringList{code} : QStringList();
}

// The barring programs a code stands for.
QStringList barringsOf(const QString &code)
{
    if (code == QLatin1String("330"))
        return Outgoing + Incoming;
    if (code == QLatin1String("333"))
        return Outgoing;
    if (code == QLatin1String("353"))
        return Incoming;
    return Outgoing.contains(code) || Incoming.contains(code) ? QStringList{code} : QStringList();
}

bool matches(const QString &basic, const QString &wanted)
{
    return wanted.isEmpty() || basic.isEmpty() || basic == wanted;
}

constexpr int PasswordTries = 3;

class CallServices : public ModemService
{
public:
    CallServices(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, BusName, Path, "com.kelvo.hvt.SS")
    {
    }

    void reset() override
    {
        diverts.clear();
        barred.clear();
        waiting = {QStringLiteral("11")};
        wrongPasswords = 0;
        busyWith.clear();
        barringPassword = QStringLiteral("0000");
        setDefaults({{QStringLiteral("CLIR"), QStringLiteral("off")},
                     {QStringLiteral("CLIP"), true}, {QStringLiteral("COLP"), false},
                     {QStringLiteral("COLR"), false}, {QStringLiteral("CNAP"), true}});
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (!replySignatures().contains(member))
            return false;
        if (member == QLatin1String("GetBusyWith")) {
            sim->reply(message, {busyWith});
            return true;
        }
        if (!busyWith.isEmpty()) {
            sim->replyError(message, ssError("Busy"), QStringLiteral("Busy with %1").arg(busyWith));
            return true;
        }
        // The network takes a while; meanwhile the service is busy.
        const int time = setting(QStringLiteral("SSTime"));
        if (time <= 0) {
            answer(message);
            return true;
        }
        busyWith = member;
        emitSignal(QStringLiteral("BusyWith"), {busyWith});
        QTimer::singleShot(time, sim, [this, message] {
            busyWith.clear();
            answer(message);
            emitSignal(QStringLiteral("BusyWith"), {QString()});
        });
        return true;
    }

private:
    struct Divert {
        bool active = false;
        QString number;
        uint delay = 0;
    };

    void refuse(const QDBusMessage &message, const char *reason, const QString &text)
    {
        sim->replyError(message, ssError(reason), text);
    }

    static QStringList strings(const QDBusMessage &message, int count)
    {
        QStringList out;
        const QVariantList args = message.arguments();
        for (int i = 0; i < count && i < args.size(); i++)
            out << args[i].toString();
        return out;
    }

    void answer(const QDBusMessage &message)
    {
        const QString member = message.member();
        const QString signature = signatureOf(message);
        const QStringList args = strings(message, 3);
        if (member == QLatin1String("RegisterDivert") && signature == QLatin1String("sssu"))
            registerDivert(message, args[0], args[1], args[2], message.arguments()[3].toUInt());
        else if (member.endsWith(QLatin1String("Divert")) && signature == QLatin1String("ss"))
            divert(message, member, args[0], args[1]);
        else if (member == QLatin1String("ChangePassword") && signature == QLatin1String("sss"))
            changePassword(message, args[0], args[1], args[2]);
        else if (member.endsWith(QLatin1String("Barring")) && signature == QLatin1String("sss"))
            barring(message, member == QLatin1String("ActivateBarring"), args[0], args[1], args[2]);
        else if (member == QLatin1String("CheckBarring") && signature == QLatin1String("s"))
            checkBarring(message, args[0]);
        else if (member.endsWith(QLatin1String("Waiting")) && signature == QLatin1String("s"))
            callWaiting(message, member, args[0]);
        else if (member == QLatin1String("CheckCLIR"))
            sim->reply(message, {property(QStringLiteral("CLIR")).toString()});
        else if (member.startsWith(QLatin1String("Check")) && signature.isEmpty())
            sim->reply(message, {property(member.mid(5).toUpper()).toBool()});
        else
            refuse(message, "NotAvailable", QStringLiteral("Unexpected arguments"));
    }

    bool knownBasic(const QDBusMessage &message, const QString &basic)
    {
        if (BasicCodes.contains(basic))
            return true;
        refuse(message, "NotAvailable", QStringLiteral("No basic service %1").arg(basic));
        return false;
    }

    void registerDivert(const QDBusMessage &message, const QString &code, const QString &basic,
                        const QString &number, uint delay)
    {
        static const QRegularExpression dialable(QStringLiteral("^\\+?[0-9]{3,20}$"));
        const QStringList codes = divertsOf(code);
        if (codes.isEmpty() || !knownBasic(message, basic)) {
            if (codes.isEmpty())
                refuse(message, "NotAvailable", QStringLiteral("No divert service %1").arg(code));
            return;
        }
        if (!dialable.match(number).hasMatch()) {
            refuse(message, "InvalidTelephoneNumber", QStringLiteral("Cannot divert to \"%1\"").arg(number));
            return;
        }
        if (delay != 0 && (delay < 5 || delay > 30 || delay % 5 != 0)) {
            refuse(message, "Incompatibility", QStringLiteral("The no-reply delay is 5 to 30 s in steps of 5"));
            return;
        }
        for (const QString &c : codes)
            diverts[c][basic] = {true, number, c == QLatin1String("61") ? (delay ? delay : 20) : 0};
        sim->reply(message);
    }

    void divert(const QDBusMessage &message, const QString &member, const QString &code, const QString &basic)
    {
        const QStringList codes = divertsOf(code);
        if (codes.isEmpty()) {
            refuse(message, "NotAvailable", QStringLiteral("No divert service %1").arg(code));
            return;
        }
        if (!knownBasic(message, basic))
            return;
        if (member == QLatin1String("CheckDivert")) {
            QList<Diversion> list;
            for (const QString &c : codes) {
                for (auto it = diverts[c].cbegin(); it != diverts[c].cend(); ++it) {
                    if (matches(it.key(), basic))
                        list.append({it.key(), it->active, it->number, it->delay});
                }
            }
            sim->reply(message, {marshalled(list)});
            return;
        }
        bool found = false;
        for (const QString &c : codes) {
            for (auto it = diverts[c].begin(); it != diverts[c].end();) {
                if (!matches(it.key(), basic)) {
                    ++it;
                    continue;
                }
                found = true;
                if (member == QLatin1String("EraseDivert")) {
                    it = diverts[c].erase(it);
                    continue;
                }
                it->active = member == QLatin1String("ActivateDivert");
                ++it;
            }
        }
        if (!found && member == QLatin1String("ActivateDivert"))
            refuse(message, "NotProvisioned", QStringLiteral("No number registered for the divert"));
        else
            sim->reply(message);
    }

    // A wrong password counts; the third blocks barring changes until reset.
    bool passwordAccepted(const QDBusMessage &message, const QString &password)
    {
        if (wrongPasswords >= PasswordTries) {
            refuse(message, "TooManyPasswordAttempts", QStringLiteral("The barring password is blocked"));
            return false;
        }
        if (password == barringPassword) {
            wrongPasswords = 0;
            return true;
        }
        ++wrongPasswords;
        refuse(message, "Password", QStringLiteral("Wrong barring password"));
        return false;
    }

    void changePassword(const QDBusMessage &message, const QString &code, const QString &oldPassword,
                        const QString &newPassword)
    {
        static const QRegularExpression fourDigits(QStringLiteral("^[0-9]{4}$"));
        if (barringsOf(code).isEmpty()) {
            refuse(message, "NotAvailable", QStringLiteral("No barring service %1").arg(code));
            return;
        }
        if (!passwordAccepted(message, oldPassword))
            return;
        if (!fourDigits.match(newPassword).hasMatch()) {
            refuse(message, "Incompatibility", QStringLiteral("A barring password has four digits"));
            return;
        }
        barringPassword = newPassword;
        sim->reply(message);
    }

    void barring(const QDBusMessage &message, bool on, const QString &code, const QString &basic,
                 const QString &password)
    {
        const QStringList programs = barringsOf(code);
        if (programs.isEmpty() || (on && programs.size() > 1)) {
            refuse(message, programs.isEmpty() ? "NotAvailable" : "Incompatibility",
                   QStringLiteral("Barring %1 cannot be %2").arg(code, on ? QStringLiteral("activated")
                                                                          : QStringLiteral("deactivated")));
            return;
        }
        if (!knownBasic(message, basic) || !passwordAccepted(message, password))
            return;
        if (on) {
            // One outgoing and one incoming program at a time.
            for (const QString &other : Outgoing.contains(code) ? Outgoing : Incoming)
                barred[other].remove(basic);
            barred[code].insert(basic);
        } else {
            for (const QString &program : programs) {
                if (basic.isEmpty())
                    barred[program].clear();
                else
                    barred[program].remove(basic);
            }
        }
        sim->reply(message);
    }

    void checkBarring(const QDBusMessage &message, const QString &code)
    {
        const QStringList programs = barringsOf(code);
        if (programs.isEmpty()) {
            refuse(message, "NotAvailable", QStringLiteral("No barring service %1").arg(code));
            return;
        }
        QStringList basics;
        for (const QString &program : programs) {
            for (const QString &basic : barred.value(program)) {
                if (!basics.contains(basic))
                    basics << basic;
            }
        }
        sim->reply(message, {basics});
    }

    void callWaiting(const QDBusMessage &message, const QString &member, const QString &basic)
    {
        if (!knownBasic(message, basic))
            return;
        if (member == QLatin1String("ActivateWaiting")) {
            waiting.insert(basic);
        } else if (member == QLatin1String("DeactivateWaiting")) {
            if (basic.isEmpty())
                waiting.clear();
            waiting.remove(basic);
        } else {
            QStringList active;
            for (const QString &b : waiting) {
                if (matches(b, basic))
                    active << b;
            }
            active.sort();
            sim->reply(message, {active});
            return;
        }
        sim->reply(message);
    }

    QMap<QString, QMap<QString, Divert>> diverts;   // divert code -> basic service -> divert
    QMap<QString, QSet<QString>> barred;            // barring program -> basic services
    QSet<QString> waiting;
    int wrongPasswords = 0;
    // The network's, never a property: nobody on the bus reads it, no snapshot holds it.
    QString barringPassword;
    QString busyWith;
};

// ---- USSD ----

class Ussd : public ModemService
{
public:
    Ussd(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, BusName, Path, "com.kelvo.hvt.SS.USSD")
    {
        // A dialogue needs the network: it ends when the service does.
        QObject::connect(events, &ModemEvents::registrationChanged, sim, [this](const QString &status) {
            if (!inService(status))
                end(QStringLiteral("The network was lost"));
        });
    }

    void reset() override
    {
        end(QStringLiteral("The modem was reset"));
        setDefaults({{QStringLiteral("Balance"), QStringLiteral("12.34 EUR")}});
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        const QString text = message.arguments().value(0).toString();
        if (member == QLatin1String("Command"))
            command(message, text);
        else if (member == QLatin1String("Reply"))
            reply(message, text);
        else if (member == QLatin1String("NotifyAck"))
            acknowledge(message);
        else if (member == QLatin1String("Release"))
            release(message);
        else
            return false;
        return true;
    }

private:
    enum State { Idle, Menu, Bundles, Notified };

    void refuse(const QDBusMessage &message, const char *reason, const QString &text)
    {
        sim->replyError(message, QStringLiteral("com.kelvo.hvt.SS.USSD.Error.") + QLatin1String(reason), text);
    }

    void answer(const QDBusMessage &message, const QString &text)
    {
        sim->reply(message, {text, QStringLiteral("en")});
    }

    // The network's side of the dialogue, after the answer to the call.
    void network(const char *signal, const QString &text)
    {
        emitSignal(QLatin1String(signal), {text, QStringLiteral("en")});
    }

    QString balance() const
    {
        return QStringLiteral("Balance %1, valid until 31.12.2026").arg(property(QStringLiteral("Balance")).toString());
    }

    void showMenu()
    {
        state = Menu;
        network("Request", QStringLiteral("Ondrix menu\n1 Balance\n2 Data bundles\n0 Exit"));
    }

    void command(const QDBusMessage &message, const QString &code)
    {
        static const QRegularExpression ussdString(QStringLiteral("^[*#][0-9*#]*#$"));
        if (signatureOf(message) != QLatin1String("ss") || !ussdString.match(code).hasMatch()) {
            refuse(message, "InvalidParameters", QStringLiteral("Not a USSD string"));
        } else if (state != Idle) {
            refuse(message, "Busy", QStringLiteral("A dialogue is running"));
        } else if (code == QLatin1String("*100#")) {
            answer(message, balance());
        } else if (code == QLatin1String("*123#")) {
            answer(message, QStringLiteral("Welcome to Ondrix Mobile"));
            showMenu();
        } else if (code == QLatin1String("*101#")) {
            answer(message, QString());
            state = Notified;
            network("Notify", QStringLiteral("Your data bundle ends in 3 days"));
        } else if (code == QLatin1String("*199#")) {
            answer(message, QString());
            network("Released", QStringLiteral("Service temporarily unavailable"));
        } else {
            answer(message, QStringLiteral("Unknown service code %1").arg(code));
        }
    }

    void reply(const QDBusMessage &message, const QString &choice)
    {
        if (state != Menu && state != Bundles) {
            refuse(message, "MissingRequest", QStringLiteral("The network asked for nothing"));
            return;
        }
        answer(message, QString());
        if (choice == QLatin1String("0")) {
            state = Idle;
            network("Released", QStringLiteral("Goodbye"));
        } else if (state == Menu && choice == QLatin1String("1")) {
            state = Idle;
            network("Released", balance());
        } else if (state == Menu && choice == QLatin1String("2")) {
            state = Bundles;
            network("Request", QStringLiteral("Data bundles\n1 1 GB, 5 EUR\n2 10 GB, 15 EUR\n0 Exit"));
        } else if (state == Bundles && (choice == QLatin1String("1") || choice == QLatin1String("2"))) {
            state = Notified;
            network("Notify", choice == QLatin1String("1") ? QStringLiteral("Ordered: 1 GB for 5 EUR")
                                                           : QStringLiteral("Ordered: 10 GB for 15 EUR"));
        } else {
            network("Request", QStringLiteral("Unknown choice \"%1\"\n1 Balance\n2 Data bundles\n0 Exit").arg(choice));
            state = Menu;
        }
    }

    void acknowledge(const QDBusMessage &message)
    {
        if (state != Notified) {
            refuse(message, "MissingNotify", QStringLiteral("Nothing to acknowledge"));
            return;
        }
        state = Idle;
        sim->reply(message);
        network("Released", QStringLiteral("Thank you"));
    }

    // The network ends an open dialogue by itself.
    void end(const QString &why)
    {
        if (state == Idle)
            return;
        state = Idle;
        network("Released", why);
    }

    void release(const QDBusMessage &message)
    {
        if (state == Idle) {
            refuse(message, "Released", QStringLiteral("No dialogue"));
            return;
        }
        state = Idle;
        sim->reply(message);
    }

    State state = Idle;
};

} // namespace

QList<Service *> createSupplementaryServices(Simulator *sim, ModemEvents *events)
{
    return {new CallServices(sim, events), new Ussd(sim, events)};
}
