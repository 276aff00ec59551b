// SPDX-License-Identifier: LGPL-2.1-or-later
// The card's phonebooks (+CPBS, +CPBR) and its own numbers (+CNUM).

#include "atsession.h"
#include "simfiles.h"

namespace {

// The storages the terminal may choose, and the card's books behind them.
const QList<QPair<QByteArray, QString>> Storages{
    {"SM", QStringLiteral("adn")}, {"FD", QStringLiteral("fdn")}, {"SN", QStringLiteral("sdn")},
    {"ON", QStringLiteral("msisdn")}};

class Phonebook : public AtPart
{
public:
    explicit Phonebook(AtSession *session)
        : AtPart(session)
    {
        s->add("+CPBS", [this](const AtCommand &c) { cpbs(c); });
        s->add("+CPBR", [this](const AtCommand &c) { cpbr(c); });
        s->add("+CNUM", [this](const AtCommand &c) { cnum(c); });
    }

    void reset() override { storage = 0; }

private:
    // A book the card refuses: no card, no PIN yet, or another failure.
    void refused(const QString &error)
    {
        s->cmeError(error == QLatin1String("NoSIMService") ? 10 : error == QLatin1String("Service") ? 11 : 100);
    }

    void cpbs(const AtCommand &c)
    {
        if (c.type == AtCommand::Test) {
            s->info("+CPBS: (\"SM\",\"FD\",\"SN\",\"ON\")");
            return s->done();
        }
        if (c.type == AtCommand::Set) {
            const QByteArray name = c.argument(0).text.toUpper();
            for (int i = 0; i < Storages.size(); i++) {
                if (Storages[i].first == name) {
                    storage = i;
                    return s->done();
                }
            }
            return s->cmeError(50);
        }
        if (c.type != AtCommand::Read)
            return s->error();
        readBook(s, Storages[storage].second, [this](bool ok, const QString &error, const Book &book) {
            if (!ok)
                return refused(error);
            s->info("+CPBS: \"" + Storages[storage].first + "\"," + QByteArray::number(book.entries.size()) + ','
                    + QByteArray::number(book.capacity));
            s->done();
        });
    }

    // One entry, with the fields of 3GPP TS 27.007 after the name: hidden,
    // group, additional number and its type, second name, e-mail.
    QByteArray entry(const BookEntry &e) const
    {
        auto quoted = [this](const QString &text) { return '"' + s->text(text) + '"'; };
        QByteArray line = "+CPBR: " + QByteArray::number(e.index) + ",\"" + dialable(e.number) + "\","
                          + QByteArray::number(numberType(e.number)) + ',' + quoted(e.name);
        if (!e.additionalNumber.isEmpty() || !e.secondName.isEmpty() || !e.email.isEmpty()) {
            line += ",0,\"\",\"" + dialable(e.additionalNumber) + "\","
                    + QByteArray::number(numberType(e.additionalNumber)) + ',' + quoted(e.secondName) + ','
                    + quoted(e.email);
        }
        return line;
    }

    void cpbr(const AtCommand &c)
    {
        bool first = false, last = false;
        const int from = c.argument(0).number(&first, -1);
        const int to = c.argument(1).number(&last, from);
        if (c.type == AtCommand::Read || c.type == AtCommand::Execute || (c.type == AtCommand::Set && (!first || !last || from < 1 || to < from)))
            return s->cmeError(50);
        readBook(s, Storages[storage].second, [this, c, from, to](bool ok, const QString &error, const Book &book) {
            if (!ok)
                return refused(error);
            if (c.type == AtCommand::Test) {
                s->info("+CPBR: (1-" + QByteArray::number(book.capacity) + ")," + QByteArray::number(book.numberLength)
                        + ',' + QByteArray::number(book.nameLength));
                return s->done();
            }
            if (from > book.capacity)
                return s->cmeError(21);
            int shown = 0;
            for (const BookEntry &e : book.entries) {
                if (e.index >= from && e.index <= to) {
                    s->info(entry(e));
                    shown++;
                }
            }
            // One location asked for and empty: not found.
            shown || from != to ? s->done() : s->cmeError(22);
        });
    }

    void cnum(const AtCommand &c)
    {
        if (c.type != AtCommand::Execute)
            return c.type == AtCommand::Test ? s->done() : s->error();
        readBook(s, QStringLiteral("msisdn"), [this](bool ok, const QString &error, const Book &book) {
            if (!ok)
                return refused(error);
            for (const BookEntry &e : book.entries) {
                s->info("+CNUM: \"" + s->text(e.name) + "\",\"" + dialable(e.number) + "\","
                        + QByteArray::number(numberType(e.number)));
            }
            s->done();
        });
    }

    int storage = 0;
};

} // namespace

std::unique_ptr<AtPart> createAtPhonebook(AtSession *session)
{
    return std::make_unique<Phonebook>(session);
}
