// SPDX-License-Identifier: LGPL-2.1-or-later
#include "simfiles.h"

#include "atsession.h"

namespace {

const char Phonebook[] = "com.kelvo.hvt.SIM.Phonebook";

// Semi-octets, the first digit in the low half (TS 51.011 10.5.1); "*" "#"
// and the pause are the codes A, B and C, F pads.
QByteArray swappedDigits(const QString &digits, int octets)
{
    QByteArray out(octets, char(0xff));
    int at = 0;
    for (const QChar c : digits) {
        int code;
        if (c.isDigit())
            code = c.digitValue();
        else if (c == QLatin1Char('*'))
            code = 0xa;
        else if (c == QLatin1Char('#'))
            code = 0xb;
        else if (c.toLower() == QLatin1Char('p') || c == QLatin1Char(','))
            code = 0xc;
        else
            continue;
        if (at / 2 >= octets)
            break;
        const char octet = out.at(at / 2);
        out[at / 2] = at % 2 ? char((octet & 0x0f) | code << 4) : char(0xf0 | code);
        at++;
    }
    return out;
}

// The readers' continuation: ReadFirst, then ReadNext until the book ends.
void readFrom(AtSession *s, const QString &type, int after, Book book,
              std::function<void(bool, const QString &, const Book &)> then)
{
    const char *member = after == 0 ? "ReadFirst" : "ReadNext";
    const QVariantList args = after == 0 ? QVariantList{type} : QVariantList{type, after};
    s->ask(Phonebook, member, args, [s, type, after, book, then](const AtAnswer &a) mutable {
        if (a.error() == QLatin1String("DataNotAvailable"))
            return then(true, QString(), book);
        if (!a.is("isssss"))
            return then(false, a.failed() ? a.error() : QStringLiteral("Garbled"), book);
        const BookEntry entry{a.value(0).toInt(), a.value(1).toString(), a.value(2).toString(),
                              a.value(3).toString(), a.value(4).toString(), a.value(5).toString()};
        // An index that does not move on would never end.
        if (entry.index <= after || book.entries.size() >= book.capacity)
            return then(true, QString(), book);
        book.entries.append(entry);
        readFrom(s, type, entry.index, book, then);
    });
}

} // namespace

void readBook(AtSession *s, const QString &type, std::function<void(bool, const QString &, const Book &)> then)
{
    s->ask(Phonebook, "GetInfo", {type}, [s, type, then](const AtAnswer &a) {
        if (!a.is("uuuuuuuuu"))
            return then(false, a.failed() ? a.error() : QStringLiteral("Garbled"), Book());
        Book book;
        book.capacity = int(qMin(a.value(0).toUInt(), 1000u));
        book.nameLength = int(qMin(a.value(1).toUInt(), 200u));
        book.numberLength = int(qMin(a.value(2).toUInt(), 40u));
        readFrom(s, type, 0, book, then);
    });
}

int numberType(const QString &number)
{
    return number.startsWith(QLatin1Char('+')) ? 145 : 129;
}

QByteArray dialable(const QString &number)
{
    QByteArray out;
    for (const QChar c : number) {
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || QStringLiteral("+*#pwPW,").contains(c))
            out += char(c.unicode());
    }
    return out;
}

namespace SimFiles {

QByteArray iccid(const QString &digits)
{
    return swappedDigits(digits, 10);
}

QByteArray spn(const QByteArray &gsmName)
{
    // Display condition: at home the provider's name alone, abroad with the network's.
    QByteArray out(1, '\0');
    out += gsmName.left(16);
    out += QByteArray(17 - out.size(), char(0xff));
    return out;
}

QByteArray administrativeData(int mncLength)
{
    return QByteArray::fromHex("000000") + char(mncLength);
}

// Two bits a service, allocated and activated: CHV1 disabling, ADN, FDN,
// SMS, MSISDN, SMS parameters, SPN and SDN.
QByteArray serviceTable()
{
    QByteArray table(5, '\0');
    for (int service : {1, 2, 3, 4, 9, 11, 17, 18})
        table[(service - 1) / 4] = char(table[(service - 1) / 4] | 3 << ((service - 1) % 4 * 2));
    return table;
}

QByteArray emergencyNumbers(const QStringList &numbers)
{
    QByteArray out;
    for (const QString &number : numbers.mid(0, 5))
        out += swappedDigits(number, 3);
    return out.isEmpty() ? QByteArray(3, char(0xff)) : out;
}

QByteArray preferredLanguages(const QStringList &codes)
{
    QByteArray out;
    for (const QString &code : codes) {
        if (code.size() == 2)
            out += code.toLatin1();
    }
    return out.isEmpty() ? QByteArray(2, char(0xff)) : out;
}

// The coding groups of 3GPP TS 23.038 for the languages a card may prefer.
QByteArray languages(const QStringList &codes)
{
    static const QStringList order{QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("it"),
                                   QStringLiteral("fr"), QStringLiteral("es"), QStringLiteral("nl"),
                                   QStringLiteral("sv"), QStringLiteral("da"), QStringLiteral("pt"),
                                   QStringLiteral("fi"), QStringLiteral("no"), QStringLiteral("el"),
                                   QStringLiteral("tr")};
    QByteArray out;
    for (const QString &code : codes) {
        if (order.contains(code))
            out += char(order.indexOf(code));
    }
    return out.isEmpty() ? QByteArray(1, char(0xff)) : out;
}

SimFile dialNumbers(const Book &book, int alphaLength, const std::function<QByteArray(const QString &)> &gsm)
{
    SimFile file;
    file.recordLength = alphaLength + 14;
    file.data.fill(char(0xff), book.capacity * file.recordLength);
    for (const BookEntry &entry : book.entries) {
        if (entry.index < 1 || entry.index > book.capacity)
            continue;
        QByteArray record = gsm(entry.name).left(alphaLength);
        record += QByteArray(alphaLength - record.size(), char(0xff));
        QString digits = entry.number;
        digits.remove(QLatin1Char('+'));
        const QByteArray number = swappedDigits(digits, 10);
        const int used = qMin((digits.size() + 1) / 2, 10);
        record += char(used + 1);
        record += char(numberType(entry.number) == 145 ? 0x91 : 0x81);
        record += number;
        record += QByteArray(2, char(0xff));   // no capability, no extension
        file.data.replace((entry.index - 1) * file.recordLength, file.recordLength, record);
    }
    return file;
}

QByteArray status(int id, const SimFile &file, bool open)
{
    QByteArray out(15, '\0');
    out[2] = char(file.data.size() >> 8);
    out[3] = char(file.data.size());
    out[4] = char(id >> 8);
    out[5] = char(id);
    out[6] = 0x04;                       // an elementary file
    out[8] = char(open ? 0x01 : 0x11);   // read: always or after the PIN; update: after the PIN
    out[9] = char(0xff);
    out[10] = 0x44;
    out[11] = 0x01;                      // not invalidated
    out[12] = 0x02;
    out[13] = char(file.recordLength ? 0x01 : 0x00);
    out[14] = char(file.recordLength);
    return out;
}

} // namespace SimFiles
