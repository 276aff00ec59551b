// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/simphonebook.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {

const TextValue phonebookErrors[] = {
    {"com.kelvo.hvt.SIM.Phonebook.Error.DataNotAvailable", SIMPhonebook::DataNotAvailable},
    {"com.kelvo.hvt.SIM.Phonebook.Error.InvalidLocation", SIMPhonebook::InvalidLocation},
    {"com.kelvo.hvt.SIM.Phonebook.Error.OperationFailed", SIMPhonebook::OperationFailed},
    {"com.kelvo.hvt.SIM.Phonebook.Error.Parameter", SIMPhonebook::ParameterError},
    {"com.kelvo.hvt.SIM.Phonebook.Error.Vastro", SIMPhonebook::VastroError},
    {"com.kelvo.hvt.SIM.Phonebook.Error.Service", SIMPhonebook::ServiceError},
    {"com.kelvo.hvt.SIM.Phonebook.Error.Timeout", SIMPhonebook::Timeout},
    {"com.kelvo.hvt.SIM.Phonebook.Error.Unknown", SIMPhonebook::UnknownError},
    {"com.kelvo.hvt.SIM.Phonebook.Error.PhonebookTypeNotSupported", SIMPhonebook::PhonebookTypeNotSupported},
    {"com.kelvo.hvt.SIM.Phonebook.Error.InvalidParameter", SIMPhonebook::InvalidParameter},
    {"com.kelvo.hvt.SIM.Phonebook.Error.NoSIMService", SIMPhonebook::NoSIMService},
};

const char *const phonebookTypes[] = {"adn", "fdn", "sdn", "vmbx", "mbdn", "en", "msisdn"};

// The wire name of a phonebook; a value outside the table sends "" and the daemon decides.
QString typeName(int type)
{
    return type >= 0 && type < int(std::size(phonebookTypes)) ? QLatin1String(phonebookTypes[type])
                                                              : QString(QLatin1String(""));
}

using Error = SIMPhonebook::SIMPhonebookError;
using EntrySignal = void (SIMPhonebook::*)(int, const QString &, const QString &, const QString &,
                                           const QString &, const QString &, Error);

} // namespace

class SIMPhonebookPrivate : public QObject
{
public:
    explicit SIMPhonebookPrivate(SIMPhonebook *q)
        : QObject(q)
        , q_ptr(q)
    {
        registerTypes();
        subscribe(Bus::SimPhonebook, "FDNDisabled", this, &SIMPhonebookPrivate::fdnDisabledSignal);
        subscribe(Bus::SimPhonebook, "FDNEnabled", this, &SIMPhonebookPrivate::fdnEnabledSignal);
        proxy = createProxy(Bus::SimPhonebook, this);
        daemons = followDaemons({proxy}, this, q);
    }

    // Sends one request: `done` gets the reply of `Args...`, `failed` the
    // phonebook error (a name outside the table is an unknown error).
    template <typename... Args, typename Done, typename Failed>
    void request(const char *method, const QVariantList &args, Done done, Failed failed)
    {
        operate<Args...>(methodCall(Bus::SimPhonebook, QLatin1String(method), args), this, done,
                         [failed](const QDBusError &error) {
                             failed(Error(errorValue(error, phonebookErrors, SIMPhonebook::UnknownError,
                                                     SIMPhonebook::CommunicationError)));
                         });
    }

    // A read answered with an entry, or index 0 and empty fields with the error.
    void read(const char *method, const QVariantList &args, EntrySignal complete)
    {
        SIMPhonebook *q = q_ptr;
        request<int, QString, QString, QString, QString, QString>(method, args,
            [q, complete](int index, const QString &name, const QString &number, const QString &second,
                          const QString &additional, const QString &email) {
                emit (q->*complete)(index, name, number, second, additional, email, SIMPhonebook::NoError);
            },
            [q, complete](Error error) {
                emit (q->*complete)(0, QString(), QString(), QString(), QString(), QString(), error);
            });
    }

    // A write answered with the entry's index, or 0 with the error.
    void write(const char *method, const QVariantList &args, void (SIMPhonebook::*complete)(int, Error))
    {
        SIMPhonebook *q = q_ptr;
        request<int>(method, args, [q, complete](int index) { emit (q->*complete)(index, SIMPhonebook::NoError); },
                     [q, complete](Error error) { emit (q->*complete)(0, error); });
    }

    // A request answered with nothing.
    void plain(const char *method, const QVariantList &args, void (SIMPhonebook::*complete)(Error))
    {
        SIMPhonebook *q = q_ptr;
        request<>(method, args, [q, complete] { emit (q->*complete)(SIMPhonebook::NoError); },
                  [q, complete](Error error) { emit (q->*complete)(error); });
    }

    void info(int type)
    {
        Q_Q(SIMPhonebook);
        request<uint, uint, uint, uint, uint, uint, uint, uint, uint>("GetInfo", {typeName(type)},
            [q](uint entries, uint name, uint number, uint sneEntries, uint sneLength, uint snrEntries,
                uint snrLength, uint emailEntries, uint emailLength) {
                emit q->infoComplete(entries, name, number, sneEntries, sneLength, snrEntries, snrLength,
                                     emailEntries, emailLength, SIMPhonebook::NoError);
            },
            [q](Error error) { emit q->infoComplete(0, 0, 0, 0, 0, 0, 0, 0, 0, error); });
    }

    void getFDNStatus()
    {
        Q_Q(SIMPhonebook);
        request<QString>("GetFDNStatus", {},
            [q](const QString &text) {
                emit q->fdnStatusComplete(text.toLower() == QLatin1String("enabled") ? SIMPhonebook::Enabled
                                                                                     : SIMPhonebook::Disabled,
                                          SIMPhonebook::NoError);
            },
            [q](Error error) { emit q->fdnStatusComplete(SIMPhonebook::Disabled, error); });
    }

    void fdnDisabledSignal() { emit q_ptr->fdnDisabled(); }
    void fdnEnabledSignal() { emit q_ptr->fdnEnabled(); }

    SIMPhonebook *q_ptr;
    DBusIface *proxy;
    Daemons *daemons = nullptr;

private:
    Q_DECLARE_PUBLIC(SIMPhonebook)
};

SIMPhonebook::SIMPhonebook(QObject *parent)
    : QObject(parent)
    , d(new SIMPhonebookPrivate(this))
{
}

SIMPhonebook::~SIMPhonebook() = default;

bool SIMPhonebook::isValid() const { return d->daemons->valid(); }

void SIMPhonebook::readFirst(PhonebookType phonebook)
{
    d->read("ReadFirst", {typeName(phonebook)}, &SIMPhonebook::readFirstComplete);
}

void SIMPhonebook::readNext(PhonebookType phonebook, int index)
{
    d->read("ReadNext", {typeName(phonebook), index}, &SIMPhonebook::readNextComplete);
}

void SIMPhonebook::readExact(PhonebookType phonebook, int index)
{
    d->read("ReadExact", {typeName(phonebook), index}, &SIMPhonebook::readExactComplete);
}

void SIMPhonebook::createEntry(PhonebookType phonebook, const QString &name, const QString &number,
                               const QString &secondName, const QString &additionalNumber,
                               const QString &email)
{
    d->write("Create", {typeName(phonebook), name, number, secondName, additionalNumber, email},
             &SIMPhonebook::createEntryComplete);
}

void SIMPhonebook::updateEntry(PhonebookType phonebook, int index, const QString &name,
                               const QString &number, const QString &secondName,
                               const QString &additionalNumber, const QString &email)
{
    d->write("Update", {typeName(phonebook), index, name, number, secondName, additionalNumber, email},
             &SIMPhonebook::updateEntryComplete);
}

void SIMPhonebook::deleteEntry(PhonebookType phonebook, int index)
{
    d->plain("Delete", {typeName(phonebook), index}, &SIMPhonebook::deleteEntryComplete);
}

void SIMPhonebook::info(PhonebookType phonebook) { d->info(phonebook); }
void SIMPhonebook::getFDNStatus() { d->getFDNStatus(); }

void SIMPhonebook::setFDNStatus(FDNStatus status)
{
    d->plain("SetFDNStatus", {status == Enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled")},
             &SIMPhonebook::setFDNStatusComplete);
}

} // namespace Ondrix
