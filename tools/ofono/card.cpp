// SPDX-License-Identifier: LGPL-2.1-or-later
// The SIM card: its status, codes, identity, phonebook, the SIM lock and the
// service centre, from oFono's SIM manager, phonebook and message manager.

#include "bridge.h"

#include <QMap>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

const char BusName[] = "com.kelvo.hvt.SIM";
const char Path[] = "/com/kelvo/hvt/sim";
const char SimManager[] = "org.ofono.SimManager";
const char SecurityInterface[] = "com.kelvo.hvt.SIM.Security";

// The card's status as the contract names it.
QString cardStatus(const Ofono *ofono)
{
    const QString sim = QLatin1String(SimManager);
    if (!ofono->ready() || !ofono->has(sim))
        return QStringLiteral("NotReady");
    if (!ofono->value(sim, QStringLiteral("Present")).toBool())
        return QStringLiteral("NoSIM");
    const QString required = ofono->value(sim, QStringLiteral("PinRequired")).toString();
    const QVariantMap retries = ofono->value(sim, QStringLiteral("Retries")).toMap();
    if (required == QLatin1String("pin"))
        return QStringLiteral("PINRequired");
    if (required == QLatin1String("puk"))
        return retries.contains(QStringLiteral("puk")) && retries.value(QStringLiteral("puk")).toUInt() == 0
                   ? QStringLiteral("PermanentlyBlocked") : QStringLiteral("PUKRequired");
    if (required.startsWith(QLatin1String("ph")))   // a personalisation lock
        return QStringLiteral("SIMLockRejected");
    return QStringLiteral("Ok");
}

// The card's interfaces share their errors: oFono's SIM not ready is the modem's.
class CardService : public BridgeService
{
public:
    CardService(ContractServer *server, Ofono *ofono, const char *path, const char *interface,
                const char *prefix = "com.kelvo.hvt.SIM.Error.")
        : BridgeService(server, ofono, BusName, path, interface)
    {
        errorPrefix = QLatin1String(prefix);
    }

protected:
    QString errorFor(const QDBusMessage &error) const override
    {
        if (error.errorName().endsWith(QLatin1String(".SimNotReady")))
            return errorPrefix + QStringLiteral("ModemNotReady");
        return BridgeService::errorFor(error);
    }
};

class SimStatus : public CardService
{
public:
    SimStatus(ContractServer *server, Ofono *ofono)
        : CardService(server, ofono, Path, "com.kelvo.hvt.SIM")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("Status"), QStringLiteral("NotReady")}, {QStringLiteral("Present"), false}});
    }

    void follow() override
    {
        store(QStringLiteral("Present"), ofonoValue(SimManager, "Present").toBool());
        setProperty(QStringLiteral("Status"), cardStatus(ofono));
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetSIMStatus"))
            return false;
        server->reply(message, {property(QStringLiteral("Status")).toString()});
        return true;
    }

protected:
    // A new state is announced, and a state that wants a code asks for it.
    void announce(const QString &, const QVariant &value) override
    {
        const QString status = value.toString();
        emitSignal(QStringLiteral("SIMStatus"), {status});
        if (status == QLatin1String("PINRequired") || status == QLatin1String("PUKRequired")) {
            server->emitSignal(path(), QLatin1String(SecurityInterface), QStringLiteral("VerifyCodeRequired"),
                               {status == QLatin1String("PINRequired") ? QStringLiteral("pin") : QStringLiteral("puk")});
        }
    }
};

// The codes, passed to oFono as they came and kept nowhere. oFono refuses a
// wrong code as failed: the contract answers it with false (verifying) or
// as a wrong password (switching the query).
class Security : public CardService
{
public:
    Security(ContractServer *server, Ofono *ofono)
        : CardService(server, ofono, Path, SecurityInterface)
    {
    }

    void reset() override
    {
        const QList<Held> answers = std::exchange(held, {});
        for (const Held &h : answers)
            h.expire();
        setDefaults({{QStringLiteral("PINQuery"), false}});
    }

    void follow() override
    {
        store(QStringLiteral("PINQuery"), ofonoValue(SimManager, "LockedPins").toStringList().contains(QStringLiteral("pin")));
        // Answers that waited for the card's counts go once they are there.
        const QVariant retries = ofonoValue(SimManager, "Retries");
        held.erase(std::remove_if(held.begin(), held.end(), [&](const Held &h) { return h.ready(retries); }), held.end());
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (!replySignatures().contains(member))
            return false;
        QStringList args;
        for (const QVariant &arg : message.arguments())
            args << arg.toString();
        static const QMap<QString, int> counts{{QStringLiteral("VerifyPIN"), 2}, {QStringLiteral("VerifyPUK"), 3},
                                               {QStringLiteral("ChangePIN"), 3}, {QStringLiteral("EnablePINQuery"), 2},
                                               {QStringLiteral("DisablePINQuery"), 2}};
        if (signatureOf(message) != QString(counts.value(member, 1), QLatin1Char('s'))) {
            server->replyError(message, errorPrefix + QStringLiteral("InvalidParameter"), QStringLiteral("Unexpected arguments"));
            return true;
        }
        const QString type = args.at(0);
        if (member == QLatin1String("PINAttemptsLeft") || member == QLatin1String("PUKAttemptsLeft")) {
            const QVariantMap retries = ofonoValue(SimManager, "Retries").toMap();
            if (retries.contains(type)) {
                server->reply(message, {int(retries.value(type).toUInt())});
                return true;
            }
            // oFono asks the card for its counts once it has found the card:
            // an application that asks first is answered when they come (two
            // seconds at most), not told that there are none.
            hold(2000, [this, message, type](const QVariant &counts) {
                const QVariantMap known = counts.toMap();
                if (known.contains(type))
                    server->reply(message, {int(known.value(type).toUInt())});
                return known.contains(type);
            }, [this, message] {
                server->replyError(message, errorPrefix + QStringLiteral("DataNotAvailable"),
                                   QStringLiteral("oFono does not know the count"));
            });
        } else if (member == QLatin1String("GetPINQueryState")) {
            server->reply(message, {type != QLatin1String("pin") || property(QStringLiteral("PINQuery")).toBool()});
        } else if (member == QLatin1String("VerifyPIN")) {
            verify(message, "EnterPin", {type, args.at(1)});
        } else if (member == QLatin1String("VerifyPUK")) {
            verify(message, "ResetPin", {type, args.at(1), args.at(2)});
        } else if (member == QLatin1String("ChangePIN")) {
            verify(message, "ChangePin", {type, args.at(1), args.at(2)});
        } else {
            forward(message, SimManager, member == QLatin1String("EnablePINQuery") ? "LockPin" : "UnlockPin",
                    {type, args.at(1)}, [this, message](const QDBusMessage &) { server->reply(message); });
        }
        return true;
    }

protected:
    QString errorFor(const QDBusMessage &error) const override
    {
        if (error.errorName().endsWith(QLatin1String(".Failed")))
            return errorPrefix + QStringLiteral("WrongPassword");
        return CardService::errorFor(error);
    }

private:
    // A code checked by the card: true when right, false when wrong.
    void verify(const QDBusMessage &message, const char *member, const QVariantList &args)
    {
        if (!offers(SimManager)) {
            notSupported(message, QStringLiteral("The modem has no SIM manager now"));
            return;
        }
        const QVariant retries = ofonoValue(SimManager, "Retries");
        ofono->call(QLatin1String(SimManager), QLatin1String(member), args, [this, message, retries](const QDBusMessage &reply) {
            if (reply.type() != QDBusMessage::ErrorMessage) {
                server->reply(message, {true});
            } else if (!reply.errorName().endsWith(QLatin1String(".Failed"))) {
                replyError(message, reply);
            } else if (ofonoValue(SimManager, "Retries") != retries) {
                server->reply(message, {false});
            } else {
                // oFono asks the card for its counts after a wrong code: the
                // answer waits for them (a second at most), so that an
                // application reading the attempts left reads the new count.
                auto wrong = [this, message] { server->reply(message, {false}); };
                hold(1000, [retries, wrong](const QVariant &counts) {
                    if (counts != retries)
                        wrong();
                    return counts != retries;
                }, wrong);
            }
        });
    }

    // An answer held until oFono has the card's counts: `ready` answers
    // with the counts and says so; `expire` answers when they do not come
    // within `ms` or the modem goes.
    struct Held {
        quint64 id;
        std::function<bool(const QVariant &counts)> ready;
        std::function<void()> expire;
    };

    void hold(int ms, std::function<bool(const QVariant &)> ready, std::function<void()> expire)
    {
        const quint64 id = ++holds;
        held.append({id, std::move(ready), std::move(expire)});
        QTimer::singleShot(ms, server, [this, id] {
            const auto it = std::find_if(held.begin(), held.end(), [id](const Held &h) { return h.id == id; });
            if (it == held.end())
                return;
            const Held h = *it;
            held.erase(it);
            h.expire();
        });
    }

    QList<Held> held;
    quint64 holds = 0;
};

class Identity : public CardService
{
public:
    Identity(ContractServer *server, Ofono *ofono)
        : CardService(server, ofono, Path, "com.kelvo.hvt.SIM.Identity")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("IMSI"), QString()}, {QStringLiteral("ICCID"), QString()},
                     {QStringLiteral("MCC"), QString()}, {QStringLiteral("MNC"), QString()},
                     {QStringLiteral("ServiceProviderName"), QString()}, {QStringLiteral("Languages"), QStringList()}});
    }

    void follow() override
    {
        store(QStringLiteral("IMSI"), ofonoValue(SimManager, "SubscriberIdentity").toString());
        store(QStringLiteral("ICCID"), ofonoValue(SimManager, "CardIdentifier").toString());
        store(QStringLiteral("MCC"), ofonoValue(SimManager, "MobileCountryCode").toString());
        store(QStringLiteral("MNC"), ofonoValue(SimManager, "MobileNetworkCode").toString());
        store(QStringLiteral("ServiceProviderName"), ofonoValue(SimManager, "ServiceProviderName").toString());
        store(QStringLiteral("Languages"), ofonoValue(SimManager, "PreferredLanguages").toStringList());
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (!replySignatures().contains(member))
            return false;
        const QString status = cardStatus(ofono);
        if (member == QLatin1String("GetAuth")) {
            notSupported(message, QStringLiteral("oFono does not run the card's authentication for other programs"));
        } else if (status != QLatin1String("Ok")) {
            server->replyError(message, errorPrefix + (status == QLatin1String("NoSIM") ? QStringLiteral("NoSIM")
                                                                                         : QStringLiteral("SecurityCodeRequired")),
                               QStringLiteral("The card does not answer"));
        } else if (member == QLatin1String("GetHPLMN")) {
            server->reply(message, {property(QStringLiteral("MCC")), property(QStringLiteral("MNC"))});
        } else if (member == QLatin1String("GetLanguages")) {
            server->reply(message, {property(QStringLiteral("Languages")).toStringList()});
        } else {
            server->reply(message, {property(member.mid(3))});   // GetIMSI, GetICCID, GetServiceProviderName
        }
        return true;
    }
};

// The card's phonebook as oFono reads it: all of it at once, as vCards,
// without the card's locations (entries are numbered in the order read) and
// without writing. Fixed dialling is shown, not switched.
class Phonebook : public CardService
{
public:
    Phonebook(ContractServer *server, Ofono *ofono)
        : CardService(server, ofono, "/com/kelvo/hvt/sim/phonebook", "com.kelvo.hvt.SIM.Phonebook",
                      "com.kelvo.hvt.SIM.Phonebook.Error.")
    {
    }

    void reset() override
    {
        entries.clear();
        setDefaults({{QStringLiteral("FDN"), false}});
    }

    void follow() override
    {
        const bool fdn = ofonoValue(SimManager, "FixedDialing").toBool();
        if (fdn != property(QStringLiteral("FDN")).toBool()) {
            store(QStringLiteral("FDN"), fdn);
            emitSignal(fdn ? QStringLiteral("FDNEnabled") : QStringLiteral("FDNDisabled"), {});
        }
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (!replySignatures().contains(member))
            return false;
        const QString signature = signatureOf(message);
        const QVariantList args = message.arguments();
        if (member == QLatin1String("GetFDNStatus")) {
            server->reply(message, {property(QStringLiteral("FDN")).toBool() ? QStringLiteral("Enabled") : QStringLiteral("Disabled")});
        } else if (member == QLatin1String("ReadFirst") && signature == QLatin1String("s") && adn(message)) {
            forward(message, "org.ofono.Phonebook", "Import", {}, [this, message](const QDBusMessage &reply) {
                entries = reply.signature() == QLatin1String("s") ? parse(reply.arguments().at(0).toString()) : QList<QStringList>();
                answer(message, 1);
            });
        } else if ((member == QLatin1String("ReadNext") || member == QLatin1String("ReadExact"))
                   && signature == QLatin1String("si") && adn(message)) {
            const int index = args.at(1).toInt();
            answer(message, member == QLatin1String("ReadNext") ? index + 1 : index);
        } else if (member == QLatin1String("ReadFirst") || member == QLatin1String("ReadNext")
                   || member == QLatin1String("ReadExact")) {
            if (signature.startsWith(QLatin1Char('s')) && adn(message))
                server->replyError(message, errorPrefix + QStringLiteral("InvalidParameter"), QStringLiteral("Unexpected arguments"));
        } else {
            notSupported(message, QStringLiteral("oFono reads the card's phonebook whole and writes nothing to it"));
        }
        return true;
    }

private:
    // oFono imports the card's main phonebook only.
    bool adn(const QDBusMessage &message)
    {
        if (message.arguments().value(0).toString() == QLatin1String("adn"))
            return true;
        server->replyError(message, errorPrefix + QStringLiteral("PhonebookTypeNotSupported"),
                           QStringLiteral("oFono reads the main phonebook (adn) only"));
        return false;
    }

    void answer(const QDBusMessage &message, int index)
    {
        if (index < 1 || index > entries.size()) {
            server->replyError(message, errorPrefix + QStringLiteral("DataNotAvailable"), QStringLiteral("No entry"));
            return;
        }
        const QStringList &e = entries.at(index - 1);
        server->reply(message, {index, e.at(0), e.at(1), e.at(2), e.at(3), e.at(4)});
    }

    // vCards as entries: name, number, second name, additional number, e-mail.
    static QList<QStringList> parse(const QString &cards)
    {
        QList<QStringList> list;
        QStringList entry;
        for (const QString &raw : cards.split(QRegularExpression(QStringLiteral("\r?\n")))) {
            const QString line = raw.trimmed();
            const QString value = line.section(QLatin1Char(':'), 1);
            if (line == QLatin1String("BEGIN:VCARD")) {
                entry = QStringList{QString(), QString(), QString(), QString(), QString()};
            } else if (line == QLatin1String("END:VCARD") && entry.size() == 5) {
                list << entry;
                entry.clear();
            } else if (entry.size() != 5) {
                continue;
            } else if (line.startsWith(QLatin1String("FN:"))) {
                entry[0] = value;
            } else if (line.startsWith(QLatin1String("TEL"))) {
                entry[entry[1].isEmpty() ? 1 : 3] = value;
            } else if (line.startsWith(QLatin1String("EMAIL"))) {
                entry[4] = value;
            } else if (line.startsWith(QLatin1String("NICKNAME")) || line.startsWith(QLatin1String("X-SNE"))) {
                entry[2] = value;
            }
        }
        return list;
    }

    QList<QStringList> entries;
};

// oFono shows a personalisation lock as a code the card asks for; it
// offers no way to lift it with the operator's code here.
class SimLock : public CardService
{
public:
    SimLock(ContractServer *server, Ofono *ofono)
        : CardService(server, ofono, Path, "com.kelvo.hvt.SIM.SIMLock")
    {
    }

    void reset() override { setDefaults({{QStringLiteral("Status"), QStringLiteral("Unknown")}, {QStringLiteral("Level"), 0}}); }

    void follow() override
    {
        const QString status = cardStatus(ofono);
        store(QStringLiteral("Status"), status == QLatin1String("SIMLockRejected") ? QStringLiteral("RestrictionOn")
                                        : status == QLatin1String("NotReady")      ? QStringLiteral("Unknown")
                                                                                   : QStringLiteral("Ok"));
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() == QLatin1String("GetSIMLockStatus"))
            server->reply(message, {property(QStringLiteral("Status")).toString()});
        else if (message.member() == QLatin1String("UnlockSIMLock"))
            notSupported(message, QStringLiteral("oFono cannot lift the SIM lock"));
        else
            return false;
        return true;
    }
};

// The service centre from oFono's message manager; the other parameters of
// the card's record read as none.
class SmsParameters : public BridgeService
{
public:
    SmsParameters(ContractServer *server, Ofono *ofono)
        : BridgeService(server, ofono, "com.kelvo.hvt.SMS", "/com/kelvo/hvt/sms", "com.kelvo.hvt.SMS.SIM")
    {
    }

    void reset() override
    {
        setDefaults({{QStringLiteral("ParameterIndicators"), QVariant::fromValue(uchar(0xFD))},
                     {QStringLiteral("DestinationAddress"), QString()},
                     {QStringLiteral("ProtocolIdentifier"), QVariant::fromValue(uchar(0))},
                     {QStringLiteral("DataCodingScheme"), QVariant::fromValue(uchar(0))},
                     {QStringLiteral("ValidityPeriod"), QVariant::fromValue(uchar(0))},
                     {QStringLiteral("ServiceCentreAddress"), QString()},
                     {QStringLiteral("ServiceCentreType"), 129u},
                     {QStringLiteral("Status"), 0}});
    }

    void follow() override
    {
        const QString centre = ofonoValue("org.ofono.MessageManager", "ServiceCenterAddress").toString();
        store(QStringLiteral("ServiceCentreAddress"), centre);
        store(QStringLiteral("ServiceCentreType"), centre.startsWith(QLatin1Char('+')) ? 145u : 129u);
        // Only the service centre is there: every other parameter is marked absent.
        store(QStringLiteral("ParameterIndicators"), QVariant::fromValue(uchar(centre.isEmpty() ? 0xFF : 0xFD)));
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetParameters"))
            return false;
        if (!offers("org.ofono.MessageManager")) {
            notSupported(message, QStringLiteral("The modem has no message manager now"));
            return true;
        }
        const QVariantMap p = properties();
        server->reply(message, {p.value(QStringLiteral("ParameterIndicators")), p.value(QStringLiteral("DestinationAddress")),
                                p.value(QStringLiteral("ProtocolIdentifier")), p.value(QStringLiteral("DataCodingScheme")),
                                p.value(QStringLiteral("ValidityPeriod")), p.value(QStringLiteral("ServiceCentreAddress")),
                                p.value(QStringLiteral("ServiceCentreType")), p.value(QStringLiteral("Status"))});
        return true;
    }
};

} // namespace

QList<BridgeService *> createCard(ContractServer *server, Ofono *ofono)
{
    return {new SimStatus(server, ofono), new Security(server, ofono), new Identity(server, ofono),
            new Phonebook(server, ofono), new SimLock(server, ofono), new SmsParameters(server, ofono)};
}
