// SPDX-License-Identifier: LGPL-2.1-or-later
// The SIM card: its status, its codes with their attempt counters, its
// identity, its phonebooks with fixed dialling, and the phone's SIM lock.
//
// The card starts ready (PIN query on, PIN already entered). Its codes are
// PIN 1234, PIN2 5678, PUK 12345678, PUK2 87654321; the SIM lock is open and
// its unlock code is 12345678. Setting the property "Present" of
// com.kelvo.hvt.SIM takes the card out or puts it back (asking for the PIN),
// setting "Status" puts it in any state.

#include "modem.h"
#include "simulator.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMap>
#include <QRegularExpression>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const char BusName[] = "com.kelvo.hvt.SIM";
const char Path[] = "/com/kelvo/hvt/sim";
const char SimInterface[] = "com.kelvo.hvt.SIM";
const char SecurityInterface[] = "com.kelvo.hvt.SIM.Security";

const QString Status = QStringLiteral("Status");
const QString Present = QStringLiteral("Present");

QString simError(const char *reason)
{
    return QStringLiteral("com.kelvo.hvt.SIM.Error.") + QLatin1String(reason);
}

QString phonebookError(const char *reason)
{
    return QStringLiteral("com.kelvo.hvt.SIM.Phonebook.Error.") + QLatin1String(reason);
}

// What the card's five interfaces share: they are one card.
struct Card {
    std::function<void(const QString &)> setStatus;   // the status interface announces it
    QString status;
    bool pinQuery = true;
    bool pin2Verified = false;   // since the card started: fixed dialling may change
};
using CardRef = std::shared_ptr<Card>;

// The SIM error a request for the card's data meets in its state; empty when the card answers.
const char *unavailable(const QString &status)
{
    if (status == QLatin1String("NoSIM"))
        return "NoSIM";
    if (status == QLatin1String("NotReady"))
        return "ModemNotReady";
    if (status == QLatin1String("PINRequired") || status == QLatin1String("PUKRequired"))
        return "SecurityCodeRequired";
    if (status == QLatin1String("PermanentlyBlocked"))
        return "CodeBlocked";
    if (status == QLatin1String("Rejected") || status == QLatin1String("SIMLockRejected"))
        return "SIMRejected";
    return nullptr;
}

// ---- Status ----

class SimCard : public ModemService
{
    CardRef card;

public:
    SimCard(Simulator *sim, ModemEvents *events, CardRef card)
        : ModemService(sim, events, BusName, Path, SimInterface)
        , card(std::move(card))
    {
    }

    void reset() override
    {
        setDefaults({{Status, QStringLiteral("Ok")}, {Present, true}});
        card->status = events->cardStatus = QStringLiteral("Ok");
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetSIMStatus"))
            return false;
        sim->reply(message, {property(Status).toString()});
        return true;
    }

protected:
    // A new state is announced, and a state that wants a code asks for it.
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == Present) {
            const bool query = card->pinQuery;
            setProperty(Status, !value.toBool() ? QStringLiteral("NoSIM")
                                : query          ? QStringLiteral("PINRequired")
                                                 : QStringLiteral("Ok"));
            return;
        }
        if (name != Status)
            return;
        const QString status = value.toString();
        emitSignal(QStringLiteral("SIMStatus"), {status});
        const char *code = status == QLatin1String("PINRequired")   ? "pin"
                           : status == QLatin1String("PUKRequired") ? "puk"
                                                                    : nullptr;
        if (code) {
            sim->emitSignal(path(), QLatin1String(SecurityInterface), QStringLiteral("VerifyCodeRequired"),
                            {QLatin1String(code)});
        }
        card->status = status;
        events->cardStatus = status;
        emit events->cardStatusChanged(status);
    }
};

// ---- Codes ----

// One code and the key that unblocks it.
struct CodePair {
    const char *type;       // "pin", "pin2"
    const char *keyType;    // "puk", "puk2"
    QString code;
    QString key;
    int attempts;
    int keyAttempts;
};

constexpr int PinTries = 3;
constexpr int PukTries = 10;

class SimSecurity : public ModemService
{
    CardRef card;

public:
    SimSecurity(Simulator *sim, ModemEvents *events, CardRef card)
        : ModemService(sim, events, BusName, Path, SecurityInterface)
        , card(std::move(card))
    {
    }

    void reset() override
    {
        pins[0] = {"pin", "puk", QStringLiteral("1234"), QStringLiteral("12345678"), PinTries, PukTries};
        pins[1] = {"pin2", "puk2", QStringLiteral("5678"), QStringLiteral("87654321"), PinTries, PukTries};
        card->pin2Verified = false;
        card->pinQuery = true;
        setDefaults({{QStringLiteral("PINQuery"), true}});
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        const QStringList args = strings(message);
        if (!describedMember(member))
            return false;
        if (card->status == QLatin1String("NoSIM"))
            return refuse(message, "NoSIM", "No SIM card");
        if (card->status == QLatin1String("NotReady"))
            return refuse(message, "ModemNotReady", "The card is starting");
        CodePair *pair = args.isEmpty() ? nullptr : pairOf(args[0]);
        const bool byKey = member == QLatin1String("VerifyPUK") || member == QLatin1String("PUKAttemptsLeft");
        if (!pair || !(byKey ? args[0] == QLatin1String(pair->keyType) : args[0] == QLatin1String(pair->type)))
            return refuse(message, "InvalidParameter", "Unknown code type");

        if (member == QLatin1String("PINAttemptsLeft")) {
            sim->reply(message, {pair->attempts});
        } else if (member == QLatin1String("PUKAttemptsLeft")) {
            sim->reply(message, {pair->keyAttempts});
        } else if (member == QLatin1String("GetPINQueryState")) {
            sim->reply(message, {pair != &pins[0] || property(QStringLiteral("PINQuery")).toBool()});
        } else if (member == QLatin1String("VerifyPIN") && args.size() == 2) {
            verify(message, *pair, args[1]);
        } else if (member == QLatin1String("VerifyPUK") && args.size() == 3) {
            unblock(message, *pair, args[1], args[2]);
        } else if (member == QLatin1String("ChangePIN") && args.size() == 3) {
            change(message, *pair, args[1], args[2]);
        } else if ((member == QLatin1String("EnablePINQuery") || member == QLatin1String("DisablePINQuery"))
                   && args.size() == 2) {
            query(message, *pair, args[1], member == QLatin1String("EnablePINQuery"));
        } else {
            return refuse(message, "InvalidParameter", "Unexpected arguments");
        }
        return true;
    }

private:
    static QStringList strings(const QDBusMessage &message)
    {
        QStringList out;
        for (const QVariant &arg : message.arguments()) {
            if (arg.userType() != QMetaType::QString)
                return {};
            out << arg.toString();
        }
        return out;
    }

    bool describedMember(const QString &member) const { return replySignatures().contains(member); }

    bool refuse(const QDBusMessage &message, const char *reason, const char *text)
    {
        sim->replyError(message, simError(reason), QLatin1String(text));
        return true;
    }

    CodePair *pairOf(const QString &type)
    {
        for (CodePair &pair : pins) {
            if (type == QLatin1String(pair.type) || type == QLatin1String(pair.keyType))
                return &pair;
        }
        return nullptr;
    }

    static bool wellFormed(const QString &code, int least, int most)
    {
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        return code.size() >= least && code.size() <= most && digits.match(code).hasMatch();
    }

    bool isMainPin(const CodePair &pair) const { return &pair == &pins[0]; }

    // One wrong code: the counter falls, and at zero the card wants the key.
    void wrongCode(CodePair &pair)
    {
        if (--pair.attempts > 0)
            return;
        if (isMainPin(pair))
            card->setStatus(QStringLiteral("PUKRequired"));
        else
            emitSignal(QStringLiteral("VerifyCodeRequired"), {QLatin1String(pair.keyType)});
    }

    void rightCode(CodePair &pair)
    {
        pair.attempts = PinTries;
        if (!isMainPin(pair))
            card->pin2Verified = true;
        else if (card->status == QLatin1String("PINRequired"))
            card->setStatus(QStringLiteral("Ok"));
    }

    void verify(const QDBusMessage &message, CodePair &pair, const QString &code)
    {
        if (pair.attempts == 0) {
            refuse(message, "CodeBlocked", "Enter the PUK");
            return;
        }
        const bool right = code == pair.code;
        right ? rightCode(pair) : wrongCode(pair);
        sim->reply(message, {right});
    }

    void unblock(const QDBusMessage &message, CodePair &pair, const QString &key, const QString &newCode)
    {
        if (pair.keyAttempts == 0) {
            refuse(message, "CodeBlocked", "The PUK is blocked");
            return;
        }
        if (!wellFormed(newCode, 4, 8)) {
            refuse(message, "InvalidParameter", "A PIN has 4 to 8 digits");
            return;
        }
        const bool right = key == pair.key;
        if (right) {
            pair.keyAttempts = PukTries;
            pair.code = newCode;
            pair.attempts = PinTries;
            if (isMainPin(pair) && card->status == QLatin1String("PUKRequired"))
                card->setStatus(QStringLiteral("Ok"));
            else if (!isMainPin(pair))
                card->pin2Verified = true;
        } else if (--pair.keyAttempts == 0 && isMainPin(pair)) {
            card->setStatus(QStringLiteral("PermanentlyBlocked"));
        }
        sim->reply(message, {right});
    }

    void change(const QDBusMessage &message, CodePair &pair, const QString &oldCode, const QString &newCode)
    {
        if (isMainPin(pair) && !property(QStringLiteral("PINQuery")).toBool()) {
            refuse(message, "PINDisabled", "The PIN query is off");
            return;
        }
        if (pair.attempts == 0) {
            refuse(message, "CodeBlocked", "Enter the PUK");
            return;
        }
        if (!wellFormed(newCode, 4, 8)) {
            refuse(message, "InvalidParameter", "A PIN has 4 to 8 digits");
            return;
        }
        const bool right = oldCode == pair.code;
        if (right) {
            pair.code = newCode;
            rightCode(pair);
        } else {
            wrongCode(pair);
        }
        sim->reply(message, {right});
    }

    void query(const QDBusMessage &message, CodePair &pair, const QString &code, bool on)
    {
        if (!isMainPin(pair)) {
            refuse(message, "InvalidParameter", "Only the PIN query can be switched");
            return;
        }
        if (pair.attempts == 0) {
            refuse(message, "CodeBlocked", "Enter the PUK");
            return;
        }
        if (!on && !property(QStringLiteral("PINQuery")).toBool()) {
            refuse(message, "PINDisabled", "The PIN query is off already");
            return;
        }
        if (code != pair.code) {
            wrongCode(pair);
            refuse(message, "WrongPassword", "Wrong PIN");
            return;
        }
        rightCode(pair);
        store(QStringLiteral("PINQuery"), on);
        card->pinQuery = on;
        sim->reply(message);
    }

    CodePair pins[2];
};

// ---- Identity ----

class SimIdentity : public ModemService
{
    CardRef card;

public:
    SimIdentity(Simulator *sim, ModemEvents *events, CardRef card)
        : ModemService(sim, events, BusName, Path, "com.kelvo.hvt.SIM.Identity")
        , card(std::move(card))
    {
    }

    // A subscriber of Ondrix Mobile (244 05) in Finland.
    void reset() override
    {
        setDefaults({
            {QStringLiteral("IMSI"), QStringLiteral("244050123456789")},
            {QStringLiteral("ICCID"), QStringLiteral("89358050000012345678")},
            {QStringLiteral("MCC"), QStringLiteral("244")},
            {QStringLiteral("MNC"), QStringLiteral("05")},
            {QStringLiteral("ServiceProviderName"), QStringLiteral("Ondrix Mobile")},
            {QStringLiteral("Languages"), QStringList{QStringLiteral("fi"), QStringLiteral("sv"), QStringLiteral("en")}},
        });
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (!replySignatures().contains(member))
            return false;
        if (const char *reason = unavailable(card->status)) {
            sim->replyError(message, simError(reason), QStringLiteral("The card does not answer"));
        } else if (member == QLatin1String("GetIMSI")) {
            sim->reply(message, {property(QStringLiteral("IMSI"))});
        } else if (member == QLatin1String("GetICCID")) {
            sim->reply(message, {property(QStringLiteral("ICCID"))});
        } else if (member == QLatin1String("GetHPLMN")) {
            sim->reply(message, {property(QStringLiteral("MCC")), property(QStringLiteral("MNC"))});
        } else if (member == QLatin1String("GetServiceProviderName")) {
            sim->reply(message, {property(QStringLiteral("ServiceProviderName"))});
        } else if (member == QLatin1String("GetLanguages")) {
            sim->reply(message, {property(QStringLiteral("Languages")).toStringList()});
        } else {
            authenticate(message);
        }
        return true;
    }

private:
    // The card's answer to a 16-octet challenge: SRES (4 octets) and Kc (8)
    // of GSM, CK and IK (16 each) of UMTS, derived from the challenge.
    void authenticate(const QDBusMessage &message)
    {
        const QByteArray rand = signatureOf(message) == QLatin1String("ay")
                                    ? message.arguments().at(0).toByteArray() : QByteArray();
        if (rand.size() != 16) {
            sim->replyError(message, simError("InvalidParameter"), QStringLiteral("RAND has 16 octets"));
            return;
        }
        const QByteArray key = property(QStringLiteral("IMSI")).toString().toLatin1();
        const QByteArray a = QCryptographicHash::hash(key + rand, QCryptographicHash::Sha256);
        const QByteArray b = QCryptographicHash::hash(rand + key, QCryptographicHash::Sha256);
        sim->reply(message, {a.left(4), a.mid(4, 8), b.left(16), b.mid(16, 16)});
    }
};

// ---- Phonebooks ----

struct Entry {
    QString name, number, secondName, additionalNumber, email;
};

// One phonebook: its capacity, field limits and entries (from index 1).
struct Book {
    uint capacity = 0, nameLength = 14, numberLength = 20;
    uint sneLength = 0, snrLength = 0, emailLength = 0;   // 0: the field is not offered
    bool writable = true;
    QMap<int, Entry> entries;
};

class SimPhonebook : public ModemService
{
    CardRef card;

public:
    SimPhonebook(Simulator *sim, ModemEvents *events, CardRef card)
        : ModemService(sim, events, BusName, "/com/kelvo/hvt/sim/phonebook", "com.kelvo.hvt.SIM.Phonebook")
        , card(std::move(card))
    {
    }

    void reset() override
    {
        books.clear();
        Book adn;
        adn.capacity = 250;
        adn.sneLength = 14;
        adn.snrLength = 20;
        adn.emailLength = 40;
        adn.entries = {
            {1, {QStringLiteral("Aino"), QStringLiteral("+358401234567"), QString(), QString(), QStringLiteral("aino@example.fi")}},
            {2, {QStringLiteral("Home"), QStringLiteral("0912345678"), QString(), QString(), QString()}},
            {5, {QStringLiteral("Mikko"), QStringLiteral("+358509876543"), QStringLiteral("Mikko work"), QStringLiteral("+35891234567"), QString()}},
        };
        Book fdn;
        fdn.capacity = 10;
        fdn.entries = {{1, {QStringLiteral("Home"), QStringLiteral("0912345678"), {}, {}, {}}}};
        Book sdn;
        sdn.capacity = 5;
        sdn.writable = false;
        sdn.entries = {{1, {QStringLiteral("Customer care"), QStringLiteral("020202"), {}, {}, {}}},
                       {2, {QStringLiteral("Balance"), QStringLiteral("*100#"), {}, {}, {}}}};
        Book mbdn;
        mbdn.capacity = 4;
        mbdn.entries = {{1, {QStringLiteral("Voice mail"), QStringLiteral("+358405200000"), {}, {}, {}}}};
        Book msisdn;
        msisdn.capacity = 2;
        msisdn.entries = {{1, {QStringLiteral("Own number"), QStringLiteral("+358401112223"), {}, {}, {}}}};
        books = {{QStringLiteral("adn"), adn}, {QStringLiteral("fdn"), fdn}, {QStringLiteral("sdn"), sdn},
                 {QStringLiteral("mbdn"), mbdn}, {QStringLiteral("msisdn"), msisdn}};
        setDefaults({{QStringLiteral("FDN"), false}});
    }

    bool call(const QDBusMessage &message) override
    {
        const QString member = message.member();
        if (!replySignatures().contains(member))
            return false;
        const QString status = card->status;
        if (status == QLatin1String("NoSIM"))
            return refuse(message, "NoSIMService", "No SIM card");
        if (unavailable(status))
            return refuse(message, "Service", "The card does not answer");
        if (member == QLatin1String("GetFDNStatus")) {
            sim->reply(message, {property(QStringLiteral("FDN")).toBool() ? QStringLiteral("Enabled")
                                                                          : QStringLiteral("Disabled")});
            return true;
        }
        if (member == QLatin1String("SetFDNStatus"))
            return setFdn(message);

        const QVariantList args = message.arguments();
        const QString type = args.value(0).toString();
        if (type == QLatin1String("vmbx") || type == QLatin1String("en"))
            return refuse(message, "PhonebookTypeNotSupported", "The card has no such phonebook");
        if (!books.contains(type))
            return refuse(message, "InvalidParameter", "Unknown phonebook");
        Book &book = books[type];
        const QString signature = signatureOf(message);
        if (member == QLatin1String("GetInfo") && signature == QLatin1String("s")) {
            sim->reply(message, {book.capacity, book.nameLength, book.numberLength, uint(book.sneLength ? 1 : 0),
                                 book.sneLength, uint(book.snrLength ? 1 : 0), book.snrLength,
                                 uint(book.emailLength ? 1 : 0), book.emailLength});
        } else if (member == QLatin1String("ReadFirst") && signature == QLatin1String("s")) {
            replyEntry(message, book, book.entries.isEmpty() ? -1 : book.entries.firstKey());
        } else if (member == QLatin1String("ReadNext") && signature == QLatin1String("si")) {
            const auto next = book.entries.upperBound(args[1].toInt());
            replyEntry(message, book, next == book.entries.end() ? -1 : next.key());
        } else if (member == QLatin1String("ReadExact") && signature == QLatin1String("si")) {
            const int index = args[1].toInt();
            if (!inRange(message, book, index))
                return true;
            replyEntry(message, book, book.entries.contains(index) ? index : -1);
        } else if (member == QLatin1String("Create") && signature == QLatin1String("ssssss")) {
            store(message, type, book, 0, args.mid(1));
        } else if (member == QLatin1String("Update") && signature == QLatin1String("sisssss")) {
            const int index = args[1].toInt();
            if (inRange(message, book, index))
                store(message, type, book, index, args.mid(2));
        } else if (member == QLatin1String("Delete") && signature == QLatin1String("si")) {
            remove(message, type, book, args[1].toInt());
        } else {
            return refuse(message, "InvalidParameter", "Unexpected arguments");
        }
        return true;
    }

private:
    bool refuse(const QDBusMessage &message, const char *reason, const char *text)
    {
        sim->replyError(message, phonebookError(reason), QLatin1String(text));
        return true;
    }

    bool inRange(const QDBusMessage &message, const Book &book, int index)
    {
        if (index >= 1 && uint(index) <= book.capacity)
            return true;
        refuse(message, "InvalidLocation", "No such location");
        return false;
    }

    void replyEntry(const QDBusMessage &message, const Book &book, int index)
    {
        if (index < 0) {
            refuse(message, "DataNotAvailable", "No entry");
            return;
        }
        const Entry &e = book.entries[index];
        sim->reply(message, {index, e.name, e.number, e.secondName, e.additionalNumber, e.email});
    }

    // Fixed dialling entries and its switch want PIN2 first.
    bool guarded(const QDBusMessage &message, const QString &type)
    {
        if (type != QLatin1String("fdn") || card->pin2Verified)
            return true;
        sim->emitSignal(QLatin1String(Path), QLatin1String(SecurityInterface), QStringLiteral("VerifyCodeRequired"),
                        {QStringLiteral("pin2")});
        refuse(message, "OperationFailed", "PIN2 required");
        return false;
    }

    // The card refuses a field it cannot hold.
    static bool fits(const Book &book, const Entry &e)
    {
        static const QRegularExpression dialable(QStringLiteral("^\\+?[0-9*#pw]*$"));
        auto fitsLength = [](const QString &field, uint most) { return uint(field.size()) <= most; };
        return (!e.name.isEmpty() || !e.number.isEmpty()) && fitsLength(e.name, book.nameLength)
               && fitsLength(e.number, book.numberLength) && dialable.match(e.number).hasMatch()
               && fitsLength(e.secondName, book.sneLength) && fitsLength(e.additionalNumber, book.snrLength)
               && dialable.match(e.additionalNumber).hasMatch() && fitsLength(e.email, book.emailLength);
    }

    // Creates (index 0: the first free location) or replaces an entry.
    void store(const QDBusMessage &message, const QString &type, Book &book, int index, const QVariantList &fields)
    {
        if (!book.writable) {
            refuse(message, "OperationFailed", "The phonebook is read-only");
            return;
        }
        if (!guarded(message, type))
            return;
        const Entry entry{fields[0].toString(), fields[1].toString(), fields[2].toString(), fields[3].toString(),
                          fields[4].toString()};
        if (!fits(book, entry)) {
            refuse(message, "Parameter", "A field does not fit the card");
            return;
        }
        if (index == 0) {
            for (int i = 1; uint(i) <= book.capacity && index == 0; i++) {
                if (!book.entries.contains(i))
                    index = i;
            }
            if (index == 0) {
                refuse(message, "OperationFailed", "The phonebook is full");
                return;
            }
        }
        book.entries.insert(index, entry);
        sim->reply(message, {index});
    }

    void remove(const QDBusMessage &message, const QString &type, Book &book, int index)
    {
        if (!inRange(message, book, index))
            return;
        if (!book.writable) {
            refuse(message, "OperationFailed", "The phonebook is read-only");
            return;
        }
        if (!guarded(message, type))
            return;
        if (book.entries.remove(index) == 0) {
            refuse(message, "DataNotAvailable", "No entry");
            return;
        }
        sim->reply(message);
    }

    bool setFdn(const QDBusMessage &message)
    {
        const QString value = signatureOf(message) == QLatin1String("s") ? message.arguments()[0].toString() : QString();
        if (value != QLatin1String("Enabled") && value != QLatin1String("Disabled"))
            return refuse(message, "InvalidParameter", "Enabled or Disabled");
        if (!guarded(message, QStringLiteral("fdn")))
            return true;
        setProperty(QStringLiteral("FDN"), value == QLatin1String("Enabled"));
        sim->reply(message);
        return true;
    }

protected:
    void announce(const QString &name, const QVariant &value) override
    {
        if (name == QLatin1String("FDN"))
            emitSignal(value.toBool() ? QStringLiteral("FDNEnabled") : QStringLiteral("FDNDisabled"), {});
    }

private:
    QMap<QString, Book> books;
};

// ---- SIM lock ----

constexpr int LockTriesBeforeTimer = 3;
// The lock's unlock code: the simulator's, never a property anybody can read.
const char *const UnlockCode = "12345678";
constexpr int LockTriesInAll = 10;

class SimLockService : public ModemService
{
    CardRef card;

public:
    SimLockService(Simulator *sim, ModemEvents *events, CardRef card)
        : ModemService(sim, events, BusName, Path, "com.kelvo.hvt.SIM.SIMLock")
        , card(std::move(card))
    {
    }

    // An open lock of level 1 (network); set Status to "RestrictionOn" to close it.
    void reset() override
    {
        wrong = 0;
        waitUntil = 0;
        setDefaults({{Status, QStringLiteral("Ok")}, {QStringLiteral("Level"), 1}});
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() == QLatin1String("GetSIMLockStatus")) {
            sim->reply(message, {property(Status).toString()});
            return true;
        }
        if (message.member() != QLatin1String("UnlockSIMLock"))
            return false;
        const QVariantList args = message.arguments();
        const int level = args.value(0).toInt();
        if (signatureOf(message) != QLatin1String("is") || level < 1 || level > 5)
            return refuse(message, "InvalidParameter", "A level 1-5 and a code");
        if (level != property(QStringLiteral("Level")).toInt())
            return refuse(message, "WrongLevel", "The lock is of another level");
        if (property(Status) == QLatin1String("Ok"))
            return refuse(message, "AlreadyOpened", "The lock is open");
        if (wrong >= LockTriesInAll)
            return refuse(message, "HandlingBlocked", "Too many wrong codes");
        if (QDateTime::currentMSecsSinceEpoch() < waitUntil)
            return refuse(message, "TimerNotElapsed", "Wait before the next code");
        if (args[1].toString() != QLatin1String(UnlockCode)) {
            if (++wrong % LockTriesBeforeTimer == 0)
                waitUntil = QDateTime::currentMSecsSinceEpoch() + setting(QStringLiteral("SimLockWaitTime"));
            return refuse(message, "WrongPassword", "Wrong unlock code");
        }
        wrong = 0;
        store(Status, QStringLiteral("Ok"));
        sim->reply(message);
        return true;
    }

private:
    bool refuse(const QDBusMessage &message, const char *reason, const char *text)
    {
        sim->replyError(message, simError(reason), QLatin1String(text));
        return true;
    }

    int wrong = 0;
    qint64 waitUntil = 0;
};

} // namespace

QList<Service *> createCard(Simulator *sim, ModemEvents *events)
{
    auto card = std::make_shared<Card>();
    auto *status = new SimCard(sim, events, card);
    card->setStatus = [status](const QString &value) { status->setProperty(Status, value); };
    return {status, new SimSecurity(sim, events, card), new SimIdentity(sim, events, card),
            new SimPhonebook(sim, events, card), new SimLockService(sim, events, card)};
}
