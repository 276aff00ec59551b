// SPDX-License-Identifier: LGPL-2.1-or-later
// Supplementary services and USSD, from oFono's call forwarding, call
// barring, call settings and supplementary services. oFono offers them for
// voice calls: the basic services the contract takes are all telephony
// ("" or "11", "10" for all tele-services).

#include "bridge.h"
#include "records.h"

#include <QTimer>
#include <QtDBus/QDBusVariant>

namespace {

const char BusName[] = "com.kelvo.hvt.SS";
const char Path[] = "/com/kelvo/hvt/ss";
const char Forwarding[] = "org.ofono.CallForwarding";
const char Barring[] = "org.ofono.CallBarring";
const char Settings[] = "org.ofono.CallSettings";
const char Ussd[] = "org.ofono.SupplementaryServices";

// Divert codes and oFono's properties for them.
const QMap<QString, QString> Diverts{{QStringLiteral("21"), QStringLiteral("VoiceUnconditional")},
                                     {QStringLiteral("61"), QStringLiteral("VoiceNoReply")},
                                     {QStringLiteral("62"), QStringLiteral("VoiceNotReachable")},
                                     {QStringLiteral("67"), QStringLiteral("VoiceBusy")}};

QStringList divertsOf(const QString &code)
{
    if (code == QLatin1String("002"))
        return Diverts.keys();
    if (code == QLatin1String("004"))
        return {QStringLiteral("61"), QStringLiteral("62"), QStringLiteral("67")};
    return Diverts.contains(code) ? QStringList{code} : QStringList();
}

// Barring programs: oFono's property and its value for each.
struct Program {
    const char *property;
    const char *value;
};
const QMap<QString, Program> Programs{{QStringLiteral("33"), {"VoiceOutgoing", "all"}},
                                      {QStringLiteral("331"), {"VoiceOutgoing", "international"}},
                                      {QStringLiteral("332"), {"VoiceOutgoing", "internationalnothome"}},
                                      {QStringLiteral("35"), {"VoiceIncoming", "always"}},
                                      {QStringLiteral("351"), {"VoiceIncoming", "whenroaming"}}};

QStringList barringsOf(const QString &code)
{
    if (code == QLatin1String("330"))
        return Programs.keys();
    if (code == QLatin1String("333"))
        return {QStringLiteral("33"), QStringLiteral("331"), QStringLiteral("332")};
    if (code == QLatin1String("353"))
        return {QStringLiteral("35"), QStringLiteral("351")};
    return Programs.contains(code) ? QStringList{code} : QStringList();
}

bool voice(const QString &basic)
{
    return basic.isEmpty() || basic == QLatin1String("10") || basic == QLatin1String("11");
}

class CallServices : public BridgeService
{
public:
    CallServices(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, BusName, Path, "com.kelvo.hvt.SS")
    {
        errorPrefix = QStringLiteral("com.kelvo.hvt.SS.Error.");
    }

    void reset() override
    {
        busyWith.clear();
        setDefaults({{QStringLiteral("CLIR"), QStringLiteral("off")}, {QStringLiteral("CLIP"), false},
                     {QStringLiteral("COLP"), false}, {QStringLiteral("COLR"), false}, {QStringLiteral("CNAP"), false}});
    }

    void follow() override
    {
        const QString clir = ofonoValue(Settings, "CallingLineRestriction").toString();
        store(QStringLiteral("CLIR"), clir == QLatin1String("on") || clir == QLatin1String("permanent") ? clir : QStringLiteral("off"));
        store(QStringLiteral("CLIP"), ofonoValue(Settings, "CallingLinePresentation").toString() == QLatin1String("enabled"));
        store(QStringLiteral("COLP"), ofonoValue(Settings, "ConnectedLinePresentation").toString() == QLatin1String("enabled"));
        store(QStringLiteral("COLR"), ofonoValue(Settings, "ConnectedLineRestriction").toString() == QLatin1String("enabled"));
        store(QStringLiteral("CNAP"), ofonoValue(Settings, "CallingNamePresentation").toString() == QLatin1String("enabled"));
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (!replySignatures().contains(member))
            return false;
        if (member == QLatin1String("GetBusyWith")) {
            server->reply(message, {busyWith});
            return true;
        }
        if (!busyWith.isEmpty()) {
            server->replyError(message, errorPrefix + QStringLiteral("Busy"), QStringLiteral("Busy with %1").arg(busyWith));
            return true;
        }
        QStringList args;
        for (const QVariant &arg : message.arguments())
            args << arg.toString();
        const QString signature = signatureOf(message);
        if (member == QLatin1String("RegisterDivert") && signature == QLatin1String("sssu"))
            registerDivert(message, args[0], args[1], args[2], message.arguments().at(3).toUInt());
        else if (member.endsWith(QLatin1String("Divert")) && signature == QLatin1String("ss"))
            divert(message, member, args[0], args[1]);
        else if (member == QLatin1String("ChangePassword") && signature == QLatin1String("sss"))
            changePassword(message, args[0], args[1], args[2]);
        else if (member.endsWith(QLatin1String("Barring")) && signature == QLatin1String("sss"))
            barring(message, member == QLatin1String("ActivateBarring"), args[0], args[1], args[2]);
        else if (member == QLatin1String("CheckBarring") && signature == QLatin1String("s"))
            checkBarring(message, args[0]);
        else if (member.endsWith(QLatin1String("Waiting")) && signature == QLatin1String("s"))
            waiting(message, member, args[0]);
        else if (member == QLatin1String("CheckCLIR"))
            server->reply(message, {property(QStringLiteral("CLIR")).toString()});
        else if (member.startsWith(QLatin1String("Check")) && signature.isEmpty())
            server->reply(message, {property(member.mid(5).toUpper()).toBool()});
        else
            refuse(message, "NotAvailable", QStringLiteral("Unexpected arguments"));
        return true;
    }

protected:
    // A refusal of oFono's is the network's: a wrong password for barring,
    // a service not available for the others.
    QString errorFor(const QDBusMessage &error) const override
    {
        const QString name = error.errorName().section(QLatin1Char('.'), -1);
        if (name == QLatin1String("Failed") || name == QLatin1String("IncorrectPassword"))
            return errorPrefix + (busyWith.endsWith(QLatin1String("Barring")) || busyWith == QLatin1String("ChangePassword")
                                      ? QStringLiteral("Password") : QStringLiteral("NotAvailable"));
        if (name == QLatin1String("InvalidFormat") || name == QLatin1String("InvalidArguments"))
            return errorPrefix + (busyWith == QLatin1String("RegisterDivert") ? QStringLiteral("InvalidTelephoneNumber")
                                                                              : QStringLiteral("Incompatibility"));
        if (name == QLatin1String("InProgress"))
            return errorPrefix + QStringLiteral("Busy");
        return errorPrefix + QStringLiteral("NotAvailable");
    }

private:
    void refuse(const QDBusMessage &message, const char *reason, const QString &text)
    {
        server->replyError(message, errorPrefix + QLatin1String(reason), text);
    }

    bool usable(const QDBusMessage &message, const char *interface, const QString &basic)
    {
        if (!offers(interface)) {
            notSupported(message, QStringLiteral("The modem has no %1 now").arg(QLatin1String(interface)));
            return false;
        }
        if (!voice(basic)) {
            refuse(message, "NotAvailable", QStringLiteral("oFono offers basic service %1 for voice only").arg(basic));
            return false;
        }
        return true;
    }

    // oFono's properties set one after another, with `extra` arguments (a
    // password); the call is answered after the last, or with the first error.
    void setAll(const QDBusMessage &message, const char *interface, QList<QPair<QString, QVariant>> sets,
                const QVariantList &extra = {})
    {
        busy(message.member());
        runSets(message, QLatin1String(interface), std::move(sets), extra);
    }

    void runSets(const QDBusMessage &message, const QString &interface, QList<QPair<QString, QVariant>> sets,
                 const QVariantList &extra)
    {
        if (sets.isEmpty()) {
            done(message, QDBusMessage());
            return;
        }
        const auto next = sets.takeFirst();
        ofono->set(interface, next.first, next.second, [=](const QDBusMessage &reply) {
            if (reply.type() == QDBusMessage::ErrorMessage)
                done(message, reply);
            else
                runSets(message, interface, sets, extra);
        }, extra);
    }

    // The service is busy while oFono works, as the daemon is.
    void busy(const QString &member)
    {
        busyWith = member;
        emitSignal(QStringLiteral("BusyWith"), {busyWith});
    }

    void done(const QDBusMessage &message, const QDBusMessage &error, const QVariantList &args = {})
    {
        if (error.type() == QDBusMessage::ErrorMessage)
            replyError(message, error);
        else
            server->reply(message, args);
        busyWith.clear();
        emitSignal(QStringLiteral("BusyWith"), {QString()});
    }

    void registerDivert(const QDBusMessage &message, const QString &code, const QString &basic,
                        const QString &number, uint delay)
    {
        const QStringList codes = divertsOf(code);
        if (codes.isEmpty())
            return refuse(message, "NotAvailable", QStringLiteral("No divert service %1").arg(code));
        if (!usable(message, Forwarding, basic))
            return;
        if (delay != 0 && (delay < 5 || delay > 30 || delay % 5 != 0))
            return refuse(message, "Incompatibility", QStringLiteral("The no-reply delay is 5 to 30 s in steps of 5"));
        QList<QPair<QString, QVariant>> sets;
        if (delay && codes.contains(QStringLiteral("61")))
            sets.append({QStringLiteral("VoiceNoReplyTimeout"), QVariant::fromValue(ushort(delay))});
        for (const QString &c : codes)
            sets.append({Diverts.value(c), number});
        setAll(message, Forwarding, sets);
    }

    // oFono keeps a divert only while it is active: deactivating erases it,
    // activating is answered from what is registered.
    void divert(const QDBusMessage &message, const QString &member, const QString &code, const QString &basic)
    {
        const QStringList codes = divertsOf(code);
        if (codes.isEmpty())
            return refuse(message, "NotAvailable", QStringLiteral("No divert service %1").arg(code));
        if (!usable(message, Forwarding, basic))
            return;
        QList<Diversion> registered;
        for (const QString &c : codes) {
            const QString number = ofonoValue(Forwarding, Diverts.value(c).toLatin1().constData()).toString();
            if (!number.isEmpty()) {
                registered.append({QStringLiteral("11"), true, number,
                                   c == QLatin1String("61") ? uint(ofonoValue(Forwarding, "VoiceNoReplyTimeout").toUInt()) : 0u});
            }
        }
        if (member == QLatin1String("CheckDivert")) {
            server->reply(message, {marshalled(registered)});
        } else if (member == QLatin1String("ActivateDivert")) {
            if (registered.isEmpty())
                refuse(message, "NotProvisioned", QStringLiteral("No number registered for the divert"));
            else
                server->reply(message);
        } else {
            QList<QPair<QString, QVariant>> sets;
            for (const QString &c : codes)
                sets.append({Diverts.value(c), QString()});
            setAll(message, Forwarding, sets);
        }
    }

    void changePassword(const QDBusMessage &message, const QString &code, const QString &oldPassword,
                        const QString &newPassword)
    {
        if (barringsOf(code).isEmpty())
            return refuse(message, "NotAvailable", QStringLiteral("No barring service %1").arg(code));
        if (!usable(message, Barring, QString()))
            return;
        busy(message.member());
        ofono->call(QLatin1String(Barring), QStringLiteral("ChangePassword"), {oldPassword, newPassword},
                    [this, message](const QDBusMessage &reply) { done(message, reply); });
    }

    void barring(const QDBusMessage &message, bool on, const QString &code, const QString &basic, const QString &password)
    {
        const QStringList programs = barringsOf(code);
        if (programs.isEmpty() || (on && programs.size() > 1)) {
            return refuse(message, programs.isEmpty() ? "NotAvailable" : "Incompatibility",
                          QStringLiteral("Barring %1 cannot be %2").arg(code, on ? QStringLiteral("activated")
                                                                                 : QStringLiteral("deactivated")));
        }
        if (!usable(message, Barring, basic))
            return;
        if (on) {
            const Program p = Programs.value(code);
            setAll(message, Barring, {{QLatin1String(p.property), QLatin1String(p.value)}}, {password});
            return;
        }
        if (programs.size() > 1) {
            busy(message.member());
            const char *all = code == QLatin1String("330") ? "DisableAll"
                              : code == QLatin1String("333") ? "DisableAllOutgoing" : "DisableAllIncoming";
            ofono->call(QLatin1String(Barring), QLatin1String(all), {password},
                        [this, message](const QDBusMessage &reply) { done(message, reply); });
            return;
        }
        const Program p = Programs.value(code);
        setAll(message, Barring, {{QLatin1String(p.property), QStringLiteral("disabled")}}, {password});
    }

    void checkBarring(const QDBusMessage &message, const QString &code)
    {
        const QStringList programs = barringsOf(code);
        if (programs.isEmpty())
            return refuse(message, "NotAvailable", QStringLiteral("No barring service %1").arg(code));
        if (!usable(message, Barring, QString()))
            return;
        bool barred = false;
        for (const QString &program : programs) {
            const Program p = Programs.value(program);
            barred = barred || ofonoValue(Barring, p.property).toString() == QLatin1String(p.value);
        }
        server->reply(message, {barred ? QStringList{QStringLiteral("11")} : QStringList()});
    }

    void waiting(const QDBusMessage &message, const QString &member, const QString &basic)
    {
        if (!usable(message, Settings, basic))
            return;
        if (member == QLatin1String("CheckWaiting")) {
            const bool on = ofonoValue(Settings, "VoiceCallWaiting").toString() == QLatin1String("enabled");
            server->reply(message, {on ? QStringList{QStringLiteral("11")} : QStringList()});
            return;
        }
        setAll(message, Settings, {{QStringLiteral("VoiceCallWaiting"),
                                    member == QLatin1String("ActivateWaiting") ? QStringLiteral("enabled")
                                                                               : QStringLiteral("disabled")}});
    }

    QString busyWith;
};

// USSD. oFono answers a request with the network's text and, when the
// network asks for more, stays in "user-response": the contract answers the
// call and sends the network's question as "Request". A final answer after
// a reply ends the dialogue as "Released" with its text.
class UssdService : public BridgeService
{
public:
    UssdService(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, BusName, Path, "com.kelvo.hvt.SS.USSD")
    {
        errorPrefix = QStringLiteral("com.kelvo.hvt.SS.USSD.Error.");
        QObject::connect(ofono, &Ofono::signalled, server,
                         [this](const QString &interface, const QString &member, const QVariantList &args) {
                             if (interface != QLatin1String(Ussd))
                                 return;
                             if (member == QLatin1String("RequestReceived"))
                                 emitSignal(QStringLiteral("Request"), {args.at(0).toString(), QString()});
                             else if (member == QLatin1String("NotificationReceived"))
                                 emitSignal(QStringLiteral("Notify"), {args.at(0).toString(), QString()});
                         });
    }

    // oFono has no balance of its own.
    void reset() override
    {
        state = QStringLiteral("idle");
        setDefaults({{QStringLiteral("Balance"), QString()}});
    }

    void follow() override
    {
        const QString now = offers(Ussd) ? ofonoValue(Ussd, "State").toString() : QStringLiteral("idle");
        // A dialogue the network ended (or that went with the modem's service).
        if (now == QLatin1String("idle") && state != QLatin1String("idle") && !answering)
            emitSignal(QStringLiteral("Released"), {QString(), QString()});
        state = now;
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        const QString text = message.arguments().value(0).toString();
        const bool command = member == QLatin1String("Command");
        if (member == QLatin1String("NotifyAck")) {
            // oFono acknowledges a notification itself.
            server->replyError(message, errorPrefix + QStringLiteral("MissingNotify"), QStringLiteral("Nothing to acknowledge"));
        } else if (member != QLatin1String("Release") && !command && member != QLatin1String("Reply")) {
            return false;
        } else if (!offers(Ussd)) {
            notSupported(message, QStringLiteral("The modem has no supplementary services now"));
        } else if (member == QLatin1String("Release")) {
            if (state == QLatin1String("idle")) {
                server->replyError(message, errorPrefix + QStringLiteral("Released"), QStringLiteral("No dialogue"));
                return true;
            }
            ask(message, "Cancel", {}, [this, message](const QString &) { server->reply(message); });
        } else if (signatureOf(message) != QLatin1String("ss")) {
            server->replyError(message, errorPrefix + QStringLiteral("InvalidParameters"), QStringLiteral("Unexpected arguments"));
        } else if (!command && state != QLatin1String("user-response")) {
            server->replyError(message, errorPrefix + QStringLiteral("MissingRequest"), QStringLiteral("The network asked for nothing"));
        } else {
            ask(message, command ? "Initiate" : "Respond", {text}, [this, message, command](const QString &answer) {
                const bool asks = state == QLatin1String("user-response");
                server->reply(message, {asks || !command ? QString() : answer, QString()});
                if (asks)
                    emitSignal(QStringLiteral("Request"), {answer, QString()});
                else if (!command)
                    emitSignal(QStringLiteral("Released"), {answer, QString()});
            });
        }
        return true;
    }

protected:
    QString errorFor(const QDBusMessage &error) const override
    {
        const QString name = error.errorName().section(QLatin1Char('.'), -1);
        if (name == QLatin1String("InProgress") || name == QLatin1String("Busy"))
            return errorPrefix + QStringLiteral("Busy");
        if (name == QLatin1String("InvalidFormat") || name == QLatin1String("InvalidArguments"))
            return errorPrefix + QStringLiteral("InvalidParameters");
        if (name == QLatin1String("NotAllowed"))
            return errorPrefix + QStringLiteral("Offline");
        return errorPrefix + QStringLiteral("Failed");
    }

private:
    // A call to oFono's supplementary services; `answered` gets the
    // network's text (Initiate gives "USSD" and a variant, Respond a string)
    // once oFono's state is known.
    void ask(const QDBusMessage &message, const char *member, const QVariantList &args,
             std::function<void(const QString &answer)> answered)
    {
        answering = true;
        ofono->call(QLatin1String(Ussd), QLatin1String(member), args, [this, message, answered](const QDBusMessage &reply) {
            answering = false;
            state = ofonoValue(Ussd, "State").toString();
            if (reply.type() == QDBusMessage::ErrorMessage) {
                replyError(message, reply);
                return;
            }
            if (reply.signature() == QLatin1String("sv"))
                answered(reply.arguments().at(1).value<QDBusVariant>().variant().toString());
            else
                answered(reply.arguments().value(0).toString());
        });
    }

    QString state;          // oFono's: "idle", "active", "user-response"
    bool answering = false; // a call of ours is with oFono: its answer tells the end
};

} // namespace

QList<BridgeService *> createServices(ContractServer *server, Ofono *ofono)
{
    return {new CallServices(server, ofono), new UssdService(server, ofono)};
}
