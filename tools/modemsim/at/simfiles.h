// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_SIMFILES_H
#define MODEMSIM_SIMFILES_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class AtSession;

// One entry of a phonebook on the card.
struct BookEntry {
    int index = 0;
    QString name;
    QString number;
    QString secondName;
    QString additionalNumber;
    QString email;
};

// A phonebook as the card describes it and holds it.
struct Book {
    int capacity = 0;
    int nameLength = 0;
    int numberLength = 0;
    QList<BookEntry> entries;
};

// Reads a whole phonebook ("adn", "fdn", "sdn", "msisdn") from the modem for
// the running command; `ok` false when the card refused it (then `error` is
// the modem's reason).
void readBook(AtSession *session, const QString &type,
              std::function<void(bool ok, const QString &error, const Book &book)> then);

// The type of number of a dialling number: 145 international, 129 otherwise.
int numberType(const QString &number);
// A number as a response carries it: its dialling characters only.
QByteArray dialable(const QString &number);

// The elementary files of a GSM SIM (3GPP TS 51.011) the modem builds from
// the card's state. A file is its contents and, for a file of records, the
// length of one record.
struct SimFile {
    QByteArray data;
    int recordLength = 0;   // 0: a transparent file
};

namespace SimFiles {

// Identifiers of the files.
enum Id {
    Iccid = 0x2fe2,
    PreferredLanguages = 0x2f05,
    Languages = 0x6f05,
    ServiceTable = 0x6f38,
    MsIsdn = 0x6f40,
    Spn = 0x6f46,
    Sdn = 0x6f49,
    Adn = 0x6f3a,
    Fdn = 0x6f3b,
    Phase = 0x6fae,
    AdministrativeData = 0x6fad,
    EmergencyNumbers = 0x6fb7,
};

QByteArray iccid(const QString &digits);
// `gsmName` in GSM 7-bit codes, one per octet.
QByteArray spn(const QByteArray &gsmName);
QByteArray administrativeData(int mncLength);
QByteArray serviceTable();
QByteArray emergencyNumbers(const QStringList &numbers);
QByteArray preferredLanguages(const QStringList &codes);
QByteArray languages(const QStringList &codes);
// A file of dialling-number records (ADN, FDN, SDN, MSISDN): `alphaLength`
// octets of name in GSM codes, then the number.
SimFile dialNumbers(const Book &book, int alphaLength, const std::function<QByteArray(const QString &)> &gsm);
// The answer to GET RESPONSE: the file's size, kind and structure, read
// access always (`open`) or after the PIN.
QByteArray status(int id, const SimFile &file, bool open);

} // namespace SimFiles

#endif
