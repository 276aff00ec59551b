// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix sim: the SIM card's status, codes, identity, phonebooks and lock.
// Codes are read from the terminal (or standard input), never from the
// command line, where other users could see them.

#include "common.h"

#include <ondrix-qt/simidentity.h>
#include <ondrix-qt/simlock.h>
#include <ondrix-qt/simphonebook.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>

#include <QJsonArray>

using namespace Ondrix;
using SIM::SIMError;
using SIM::SIMSecurity;

namespace {

const char Usage[] =
    "usage: ondrix sim status\n"
    "       ondrix sim unlock [pin|pin2]             enter a PIN (read from the terminal)\n"
    "       ondrix sim puk [puk|puk2]                unblock with a PUK and a new PIN\n"
    "       ondrix sim change-pin [pin|pin2]\n"
    "       ondrix sim pin-query on|off\n"
    "       ondrix sim attempts\n"
    "       ondrix sim identity\n"
    "       ondrix sim phonebook list [BOOK]\n"
    "       ondrix sim phonebook add BOOK NAME NUMBER\n"
    "       ondrix sim phonebook edit BOOK INDEX NAME NUMBER\n"
    "       ondrix sim phonebook delete BOOK INDEX\n"
    "       ondrix sim fdn [on|off]                  fixed dialling (switching it asks for PIN2)\n"
    "       ondrix sim lock status | lock unlock [LEVEL]\n"
    "BOOK: adn fdn sdn vmbx mbdn en msisdn\n";

QString command;   // the command being run, for its usage line

int usage()
{
    return usageError(Usage, command);
}

const char *const NoAnswer = "from the SIM";

QString errorName(SIMError error)
{
    return enumName<SIMError>(error);
}

// Prints the outcome of an operation: 0 on success, else the error and 1.
int outcome(SIMError error)
{
    if (error == SIM::NoError)
        return 0;
    err() << "ondrix: " << errorName(error) << '\n';
    return 1;
}

// "pin"/"pin2" (or "puk"/"puk2") of the argument, defaulting to the first.
bool codeType(const QStringList &args, const char *first, const char *second, int &type)
{
    if (args.size() > 1)
        return false;
    const QString name = args.value(0, QLatin1String(first));
    type = name == QLatin1String(first) ? 0 : name == QLatin1String(second) ? 1 : -1;
    return type >= 0;
}

// A new code, typed twice; empty (after saying why) when it was empty or typed differently.
Secret readNewCode(const QString &what)
{
    Secret code = readSecret(QStringLiteral("New %1: ").arg(what));
    if (code.isEmpty() || readSecret(QStringLiteral("New %1 again: ").arg(what)) != code) {
        err() << "ondrix: the new " << what << " was empty or typed differently\n";
        return Secret();
    }
    return code;
}

int status(SIM::SIMStatus &card)
{
    const auto answer = awaitSignal(&card, &SIM::SIMStatus::statusComplete, [&] { card.status(); });
    if (!answer)
        return timedOut(NoAnswer, 30000);
    if (std::get<1>(*answer) == SIM::NoError)
        Output::field("sim", enumName<SIM::SIMStatus::Status>(std::get<0>(*answer)));
    return outcome(std::get<1>(*answer));
}

// Attempts left for one code, or -1 when the card did not say.
int attemptsOf(SIMSecurity &security, bool key, int type)
{
    const auto answer = key ? awaitSignal(&security, &SIMSecurity::pukAttemptsLeftComplete,
                                          [&] { security.pukAttemptsLeft(SIMSecurity::PUKType(type)); })
                            : awaitSignal(&security, &SIMSecurity::pinAttemptsLeftComplete,
                                          [&] { security.pinAttemptsLeft(SIMSecurity::PINType(type)); });
    return answer && std::get<1>(*answer) == SIM::NoError ? std::get<0>(*answer) : -1;
}

void attemptsField(const char *key, int left)
{
    Output::field(key, left < 0 ? QJsonValue() : QJsonValue(left), left < 0 ? QStringLiteral("?") : QString::number(left));
}

// The answer of a verification: right, wrong (with the attempts left) or an
// error. A code accepted is the answer when it is `theAnswer`.
int verified(SIMSecurity &security, const std::optional<std::tuple<bool, SIMError>> &answer, bool key, int type,
             const char *what, bool theAnswer = true)
{
    if (!answer)
        return timedOut(NoAnswer, 30000);
    if (std::get<1>(*answer) != SIM::NoError)
        return outcome(std::get<1>(*answer));
    if (std::get<0>(*answer)) {
        Output::text(QString::fromLatin1(what), QStringLiteral("accepted"));
        if (theAnswer) {
            Output::data("code", QLatin1String(what));
            Output::data("accepted", true);
        }
        return 0;
    }
    const int left = attemptsOf(security, key, type);
    err() << "ondrix: wrong " << what << ", " << (left < 0 ? QStringLiteral("?") : QString::number(left))
          << (left == 1 ? " attempt" : " attempts") << " left\n";
    return 1;
}

int unlock(const QStringList &args)
{
    int type = 0;
    if (!codeType(args, "pin", "pin2", type))
        return usage();
    SIMSecurity security;
    const Secret code = readSecret(type ? QStringLiteral("PIN2: ") : QStringLiteral("PIN: "));
    const auto answer = awaitSignal(&security, &SIMSecurity::verifyPINComplete,
                                    [&] { security.verifyPIN(SIMSecurity::PINType(type), code.text()); });
    return verified(security, answer, false, type, type ? "PIN2" : "PIN");
}

int puk(const QStringList &args)
{
    int type = 0;
    if (!codeType(args, "puk", "puk2", type))
        return usage();
    SIMSecurity security;
    const Secret key = readSecret(type ? QStringLiteral("PUK2: ") : QStringLiteral("PUK: "));
    const Secret code = readNewCode(type ? QStringLiteral("PIN2") : QStringLiteral("PIN"));
    if (code.isEmpty())
        return 1;
    const auto answer = awaitSignal(&security, &SIMSecurity::verifyPUKComplete,
                                    [&] { security.verifyPUK(SIMSecurity::PUKType(type), key.text(), code.text()); });
    return verified(security, answer, true, type, type ? "PUK2" : "PUK");
}

int changePin(const QStringList &args)
{
    int type = 0;
    if (!codeType(args, "pin", "pin2", type))
        return usage();
    SIMSecurity security;
    const QString what = type ? QStringLiteral("PIN2") : QStringLiteral("PIN");
    const Secret old = readSecret(QStringLiteral("Current %1: ").arg(what));
    const Secret code = readNewCode(what);
    if (code.isEmpty())
        return 1;
    const auto answer = awaitSignal(&security, &SIMSecurity::changePINComplete,
                                    [&] { security.changePIN(SIMSecurity::PINType(type), old.text(), code.text()); });
    return verified(security, answer, false, type, type ? "PIN2" : "PIN");
}

int pinQuery(const QStringList &args)
{
    if (args.size() != 1 || (args[0] != QLatin1String("on") && args[0] != QLatin1String("off")))
        return usage();
    const bool on = args[0] == QLatin1String("on");
    SIMSecurity security;
    const Secret code = readSecret(QStringLiteral("PIN: "));
    const auto answer = awaitSignal(&security, on ? &SIMSecurity::enablePINQueryComplete
                                                  : &SIMSecurity::disablePINQueryComplete, [&] {
        on ? security.enablePINQuery(SIMSecurity::PIN, code.text()) : security.disablePINQuery(SIMSecurity::PIN, code.text());
    });
    if (!answer)
        return timedOut(NoAnswer, 30000);
    if (std::get<0>(*answer) == SIM::NoError)
        Output::field("pin_query", on, args[0]);
    return outcome(std::get<0>(*answer));
}

int attempts(const QStringList &args)
{
    if (!args.isEmpty())
        return usage();
    SIMSecurity security;
    attemptsField("pin", attemptsOf(security, false, SIMSecurity::PIN));
    attemptsField("pin2", attemptsOf(security, false, SIMSecurity::PIN2));
    attemptsField("puk", attemptsOf(security, true, SIMSecurity::PUK));
    attemptsField("puk2", attemptsOf(security, true, SIMSecurity::PUK2));
    return 0;
}

// An answer that came without an error (its last value).
template <typename Answer>
bool given(const Answer &answer)
{
    return answer && std::get<std::tuple_size_v<typename Answer::value_type> - 1>(*answer) == SIM::NoError;
}

int identity(const QStringList &args)
{
    if (!args.isEmpty())
        return usage();
    SIM::SIMIdentity id;
    using Id = SIM::SIMIdentity;
    const auto imsi = awaitSignal(&id, &Id::imsiComplete, [&] { id.imsi(); });
    if (!imsi)
        return timedOut(NoAnswer, 30000);
    if (std::get<1>(*imsi) != SIM::NoError)
        return outcome(std::get<1>(*imsi));
    const auto iccid = awaitSignal(&id, &Id::iccidComplete, [&] { id.iccid(); });
    const auto home = awaitSignal(&id, &Id::hplmnComplete, [&] { id.hplmn(); });
    const auto spn = awaitSignal(&id, &Id::serviceProviderNameComplete, [&] { id.serviceProviderName(); });
    const auto languages = awaitSignal(&id, &Id::languagesComplete, [&] { id.languages(); });
    // A value the card does not give is null, and no line.
    Output::field("imsi", std::get<0>(*imsi));
    Output::field("iccid", given(iccid) ? std::get<0>(*iccid) : QString());
    if (given(home))
        Output::text(QStringLiteral("home"), std::get<0>(*home) + QLatin1Char(' ') + std::get<1>(*home));
    Output::data("home_mcc", given(home) ? orNull(std::get<0>(*home)) : QJsonValue());
    Output::data("home_mnc", given(home) ? orNull(std::get<1>(*home)) : QJsonValue());
    Output::field("provider", given(spn) ? std::get<0>(*spn) : QString());
    const QStringList spoken = given(languages) ? std::get<0>(*languages) : QStringList();
    Output::field("languages", QJsonArray::fromStringList(spoken), spoken.join(QLatin1Char(' ')));
    return 0;
}

// ---- Phonebooks ----

bool bookOf(const QString &name, SIMPhonebook::PhonebookType &book)
{
    const QMetaEnum types = QMetaEnum::fromType<SIMPhonebook::PhonebookType>();
    bool ok = false;
    book = SIMPhonebook::PhonebookType(types.keyToValue(name.toUpper().toLatin1().constData(), &ok));
    return ok;
}

int phonebookOutcome(SIMPhonebook::SIMPhonebookError error)
{
    if (error == SIMPhonebook::NoError)
        return 0;
    err() << "ondrix: " << enumName<SIMPhonebook::SIMPhonebookError>(error) << '\n';
    return 1;
}

int listBook(SIMPhonebook &phonebook, SIMPhonebook::PhonebookType book)
{
    Output::list("entries");
    auto answer = awaitSignal(&phonebook, &SIMPhonebook::readFirstComplete, [&] { phonebook.readFirst(book); });
    // The card answers DataNotAvailable after the last entry; 255 entries at most are shown.
    for (int shown = 0; answer && shown < 255; shown++) {
        const auto &[index, name, number, second, additional, email, error] = *answer;
        if (error == SIMPhonebook::DataNotAvailable)
            return 0;
        if (error != SIMPhonebook::NoError)
            return phonebookOutcome(error);
        const QString extra = QStringList({second, additional, email}).join(QLatin1Char(' ')).trimmed();
        QString row = QStringLiteral("%1  %2 %3 %4").arg(index, 3).arg(name, -20).arg(number, -20).arg(extra);
        while (row.endsWith(QLatin1Char(' ')))
            row.chop(1);
        Output::row("entries",
                    QJsonObject{{QStringLiteral("index"), index}, {QStringLiteral("name"), name},
                                {QStringLiteral("number"), number}, {QStringLiteral("second_name"), second},
                                {QStringLiteral("additional_number"), additional}, {QStringLiteral("email"), email}},
                    row);
        const int after = index;
        answer = awaitSignal(&phonebook, &SIMPhonebook::readNextComplete,
                             [&] { phonebook.readNext(book, after); });
    }
    return answer ? 0 : timedOut(NoAnswer, 30000);
}

int phonebook(const QStringList &args)
{
    const QString action = args.value(0);
    SIMPhonebook::PhonebookType book = SIMPhonebook::ADN;
    if (args.size() >= 2 && !bookOf(args[1], book))
        return usage();
    bool isIndex = false;
    const int index = args.value(2).toInt(&isIndex);
    SIMPhonebook phonebook;
    std::optional<std::tuple<int, SIMPhonebook::SIMPhonebookError>> written;
    if (action == QLatin1String("list") && args.size() <= 2)
        return listBook(phonebook, book);
    if (action == QLatin1String("add") && args.size() == 4) {
        written = awaitSignal(&phonebook, &SIMPhonebook::createEntryComplete,
                              [&] { phonebook.createEntry(book, args[2], args[3], {}, {}, {}); });
    } else if (action == QLatin1String("edit") && args.size() == 5 && isIndex) {
        written = awaitSignal(&phonebook, &SIMPhonebook::updateEntryComplete,
                              [&] { phonebook.updateEntry(book, index, args[3], args[4], {}, {}, {}); });
    } else if (action == QLatin1String("delete") && args.size() == 3 && isIndex) {
        const auto answer = awaitSignal(&phonebook, &SIMPhonebook::deleteEntryComplete,
                                        [&] { phonebook.deleteEntry(book, index); });
        if (!answer)
            return timedOut(NoAnswer, 30000);
        if (std::get<0>(*answer) == SIMPhonebook::NoError)
            Output::field("deleted", index, QString::number(index));
        return phonebookOutcome(std::get<0>(*answer));
    } else {
        return usage();
    }
    if (!written)
        return timedOut(NoAnswer, 30000);
    if (std::get<1>(*written) == SIMPhonebook::NoError)
        Output::field("entry", std::get<0>(*written), QString::number(std::get<0>(*written)));
    return phonebookOutcome(std::get<1>(*written));
}

// Fixed dialling: shown, or switched after PIN2.
int fdn(const QStringList &args)
{
    SIMPhonebook phonebook;
    if (args.isEmpty()) {
        const auto answer = awaitSignal(&phonebook, &SIMPhonebook::fdnStatusComplete, [&] { phonebook.getFDNStatus(); });
        if (!answer)
            return timedOut(NoAnswer, 30000);
        if (std::get<1>(*answer) == SIMPhonebook::NoError)
            Output::field("fdn", std::get<0>(*answer) == SIMPhonebook::Enabled,
                          enumName<SIMPhonebook::FDNStatus>(std::get<0>(*answer)));
        return phonebookOutcome(std::get<1>(*answer));
    }
    if (args.size() != 1 || (args[0] != QLatin1String("on") && args[0] != QLatin1String("off")))
        return usage();
    SIMSecurity security;
    const Secret code = readSecret(QStringLiteral("PIN2: "));
    const auto pin2 = awaitSignal(&security, &SIMSecurity::verifyPINComplete,
                                  [&] { security.verifyPIN(SIMSecurity::PIN2, code.text()); });
    if (const int rc = verified(security, pin2, false, SIMSecurity::PIN2, "PIN2", false))
        return rc;
    const auto status = args[0] == QLatin1String("on") ? SIMPhonebook::Enabled : SIMPhonebook::Disabled;
    const auto answer = awaitSignal(&phonebook, &SIMPhonebook::setFDNStatusComplete,
                                    [&] { phonebook.setFDNStatus(status); });
    if (!answer)
        return timedOut(NoAnswer, 30000);
    if (std::get<0>(*answer) == SIMPhonebook::NoError)
        Output::field("fdn", status == SIMPhonebook::Enabled, args[0]);
    return phonebookOutcome(std::get<0>(*answer));
}

int lock(const QStringList &args)
{
    SIMLock simLock;
    if (args.size() == 1 && args[0] == QLatin1String("status")) {
        const auto answer = awaitSignal(&simLock, &SIMLock::simLockStatusComplete, [&] { simLock.simLockStatus(); });
        if (!answer)
            return timedOut(NoAnswer, 30000);
        if (std::get<1>(*answer) != SIMLock::NoError) {
            err() << "ondrix: " << enumName<SIMLock::SIMLockError>(std::get<1>(*answer)) << '\n';
            return 1;
        }
        Output::field("sim_lock", enumName<SIMLock::SIMLockStatus>(std::get<0>(*answer)));
        return 0;
    }
    bool isLevel = true;
    const int level = args.size() == 2 ? args[1].toInt(&isLevel) : 1;
    if (args.isEmpty() || args.size() > 2 || args[0] != QLatin1String("unlock") || !isLevel)
        return usage();
    const Secret code = readSecret(QStringLiteral("Unlock code: "));
    const auto answer = awaitSignal(&simLock, &SIMLock::simLockUnlockComplete,
                                    [&] { simLock.simLockUnlock(SIMLock::SIMLockLevel(level), code.text()); });
    if (!answer)
        return timedOut(NoAnswer, 30000);
    if (std::get<0>(*answer) == SIMLock::NoError) {
        Output::field("sim_lock", QStringLiteral("open"));
        return 0;
    }
    err() << "ondrix: " << enumName<SIMLock::SIMLockError>(std::get<0>(*answer)) << '\n';
    return 1;
}

} // namespace

int sim(const QStringList &args)
{
    command = args.value(0);
    const QStringList rest = args.mid(1);
    if (command == QLatin1String("--help") && rest.isEmpty()) {
        out() << Usage;
        return 0;
    }
    if (command == QLatin1String("status") && rest.isEmpty()) {
        SIM::SIMStatus card;
        return card.isValid() ? status(card) : daemonAbsent();
    }
    const struct {
        const char *name;
        int (*run)(const QStringList &);
    } commands[] = {
        {"unlock", unlock}, {"puk", puk}, {"change-pin", changePin}, {"pin-query", pinQuery},
        {"attempts", attempts}, {"identity", identity}, {"phonebook", phonebook}, {"fdn", fdn}, {"lock", lock},
    };
    for (const auto &c : commands) {
        if (command != QLatin1String(c.name))
            continue;
        // Before anybody types a code.
        if (!SIM::SIMStatus().isValid())
            return daemonAbsent();
        return c.run(rest);
    }
    return usage();
}
