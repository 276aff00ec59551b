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

// A name outside the table is an unknown error, never success.
Error phonebookErrorOf(const QDBusError &error)
{
    return Error(errorValue(error, phonebookErrors, SIMPhonebook::UnknownError, SIMPhonebook::CommunicationError));
}

// A read answered with an entry, or index 0 and empty fields with the error.
void readEntry(SIMPhonebook *q, Method method, const QVariantList &args, EntrySignal signal)
{
    const QString none;
    complete<int, QString, QString, QString, QString, QString>(methodCall(method, args), q, signal,
                                                               phonebookErrorOf, 0, none, none, none, none, none);
}

} // namespace

class SIMPhonebookPrivate : public ServicePrivate<SIMPhonebook>
{
public:
    explicit SIMPhonebookPrivate(SIMPhonebook *q)
        : ServicePrivate(q, {Bus::SimPhonebook},
                         {on(Signal::SimPhonebookFDNDisabled, &SIMPhonebook::fdnDisabled),
                          on(Signal::SimPhonebookFDNEnabled, &SIMPhonebook::fdnEnabled)})
    {
    }
};

SIMPhonebook::SIMPhonebook(QObject *parent)
    : QObject(parent)
    , d(new SIMPhonebookPrivate(this))
{
}

SIMPhonebook::~SIMPhonebook() = default;

bool SIMPhonebook::isValid() const { return d->isValid(); }

void SIMPhonebook::readFirst(PhonebookType phonebook)
{
    readEntry(this, Method::SimPhonebookReadFirst, {typeName(phonebook)}, &SIMPhonebook::readFirstComplete);
}

void SIMPhonebook::readNext(PhonebookType phonebook, int index)
{
    readEntry(this, Method::SimPhonebookReadNext, {typeName(phonebook), index}, &SIMPhonebook::readNextComplete);
}

void SIMPhonebook::readExact(PhonebookType phonebook, int index)
{
    readEntry(this, Method::SimPhonebookReadExact, {typeName(phonebook), index}, &SIMPhonebook::readExactComplete);
}

void SIMPhonebook::createEntry(PhonebookType phonebook, const QString &name, const QString &number,
                               const QString &secondName, const QString &additionalNumber,
                               const QString &email)
{
    complete<int>(methodCall(Method::SimPhonebookCreate, {typeName(phonebook), name, number, secondName, additionalNumber, email}),
                  this, &SIMPhonebook::createEntryComplete, phonebookErrorOf, 0);
}

void SIMPhonebook::updateEntry(PhonebookType phonebook, int index, const QString &name,
                               const QString &number, const QString &secondName,
                               const QString &additionalNumber, const QString &email)
{
    complete<int>(methodCall(Method::SimPhonebookUpdate, {typeName(phonebook), index, name, number, secondName, additionalNumber, email}),
                  this, &SIMPhonebook::updateEntryComplete, phonebookErrorOf, 0);
}

void SIMPhonebook::deleteEntry(PhonebookType phonebook, int index)
{
    complete<>(methodCall(Method::SimPhonebookDelete, {typeName(phonebook), index}), this, &SIMPhonebook::deleteEntryComplete,
               phonebookErrorOf);
}

void SIMPhonebook::info(PhonebookType phonebook)
{
    complete<uint, uint, uint, uint, uint, uint, uint, uint, uint>(methodCall(Method::SimPhonebookGetInfo, {typeName(phonebook)}),
                                                                   this, &SIMPhonebook::infoComplete,
                                                                   phonebookErrorOf, 0u, 0u, 0u, 0u, 0u, 0u, 0u,
                                                                   0u, 0u);
}

void SIMPhonebook::getFDNStatus()
{
    operate<QString>(methodCall(Method::SimPhonebookGetFDNStatus, {}), this,
        [this](const QString &text) {
            emit fdnStatusComplete(text.toLower() == QLatin1String("enabled") ? Enabled : Disabled, NoError);
        },
        [this](const QDBusError &error) { emit fdnStatusComplete(Disabled, phonebookErrorOf(error)); });
}

void SIMPhonebook::setFDNStatus(FDNStatus status)
{
    complete<>(methodCall(Method::SimPhonebookSetFDNStatus, {status == Enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled")}),
               this, &SIMPhonebook::setFDNStatusComplete, phonebookErrorOf);
}

} // namespace Ondrix
