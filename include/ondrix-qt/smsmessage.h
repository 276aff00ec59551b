// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SMSMESSAGE_H
#define ONDRIX_SMSMESSAGE_H

#include "ondrix_global.h"

#include <QList>
#include <QString>

namespace Ondrix {

class SMSMessagePrivate;

/**
 * @brief The segment counter under a message editor.
 *
 * How many SMS segments a text needs in a language, and how much room is
 * left. Not copyable.
 */
class ONDRIX_EXPORT SMSMessage
{
public:
    /** The national language tables the text may use (3GPP TS 23.038 annex A). */
    enum Language {
        LanguageDefault = 0, /**< the default alphabet and extension */
        LanguageTurkish = 1, /**< Turkish locking and single shift tables */
        LanguageSpanish = 2, /**< the Spanish single shift table */
        LanguagePortuguese = 3, /**< Portuguese locking and single shift tables */
        LanguageTransliterated = 4, /**< Latin-1, Latin Extended-A and Greek letters stay in GSM 7-bit */
    };

    /** A counter in the default language, without text. */
    SMSMessage();
    /** A counter in `language`, without text. */
    explicit SMSMessage(Language language);
    /** A counter in `language` for `text`. */
    SMSMessage(Language language, const QString &text);
    /** A counter in the default language for `text`. */
    explicit SMSMessage(const QString &text);
    ~SMSMessage();

    SMSMessage(const SMSMessage &) = delete;
    SMSMessage &operator=(const SMSMessage &) = delete;

    /** Replaces the text to measure. */
    void setText(const QString &text);
    /** The text measured; null before setText(). */
    QString text() const;

    /** Measures the text. Returns 0: measured; 1: no text; 2: longer than 255 segments; 3: the text does
     * not convert; 4: another failure. `remaining` and `maxLength` count GSM
     * septets, or UTF-16 units when the text needs UCS-2. */
    int getSize(unsigned int &segments, unsigned int &remaining, unsigned int &maxLength) const;

    /**
     * Counts each text with its cheapest shift tables: getSize() then
     * chooses, among the default tables and those of `languages`
     * (LanguageTurkish, LanguageSpanish, LanguagePortuguese; others count for
     * nothing), the locking and single shift tables that need the fewest
     * segments, as a sender who pays per segment would. An empty list counts
     * with the language given at construction again.
     */
    void setCheapestAmong(const QList<Language> &languages);
    /** The locking shift table the last getSize() counted with. */
    Language lockingLanguage() const;
    /** The single shift table the last getSize() counted with. */
    Language singleLanguage() const;

private:
    SMSMessagePrivate *d;
};

} // namespace Ondrix

#endif
