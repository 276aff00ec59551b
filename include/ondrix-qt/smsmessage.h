// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SMSMESSAGE_H
#define ONDRIX_SMSMESSAGE_H

#include "ondrix_global.h"

#include <QString>

namespace Ondrix {

class SMSMessagePrivate;

/* The segment counter under a message editor: how many SMS segments a text
 * needs in a language, and how much room is left. */
class ONDRIX_EXPORT SMSMessage
{
public:
    enum Language {
        LanguageDefault = 0,
        LanguageTurkish = 1,
        LanguageSpanish = 2,
        LanguagePortuguese = 3,
        /* Latin-1, Latin Extended-A and Greek letters stay in GSM 7-bit. */
        LanguageTransliterated = 4,
    };

    SMSMessage();
    explicit SMSMessage(Language language);
    SMSMessage(Language language, const QString &text);
    explicit SMSMessage(const QString &text);
    ~SMSMessage();

    SMSMessage(const SMSMessage &) = delete;
    SMSMessage &operator=(const SMSMessage &) = delete;

    void setText(const QString &text);
    QString text() const;

    /* 0: measured; 1: no text; 2: longer than 255 segments; 3: the text does
     * not convert; 4: another failure. `remaining` and `maxLength` count GSM
     * septets, or UTF-16 units when the text needs UCS-2. */
    int getSize(unsigned int &segments, unsigned int &remaining, unsigned int &maxLength) const;

private:
    SMSMessagePrivate *d;
};

} // namespace Ondrix

#endif
