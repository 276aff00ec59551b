// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SIMPHONEBOOK_H
#define ONDRIX_SIMPHONEBOOK_H

#include "ondrix_global.h"

#include <QObject>
#include <QString>

namespace Ondrix {

class SIMPhonebookPrivate;

/**
 * @brief The phonebooks stored on the SIM card, and fixed dialling.
 *
 * Reads entries one by one or by index, creates, updates and deletes them,
 * reads a phonebook's capacity and field limits, reads and switches fixed
 * dialling (FDN), and relays the card's FDN announcements. Every operation
 * ends in exactly one completion signal; the library keeps no entries.
 */
class ONDRIX_EXPORT SIMPhonebook : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** A phonebook of the card, named on the wire by its lower-case name. */
    enum PhonebookType {
        ADN = 0,    /**< abbreviated dialling numbers: the user's contacts ("adn") */
        FDN = 1,    /**< fixed dialling numbers ("fdn") */
        SDN = 2,    /**< service dialling numbers ("sdn") */
        VMBX = 3,   /**< the voice mailbox number ("vmbx") */
        MBDN = 4,   /**< mailbox dialling numbers ("mbdn") */
        EN = 5,     /**< the daemon's phonebook of that name ("en") */
        MSISDN = 6, /**< the subscriber's own numbers ("msisdn") */
    };
    Q_ENUM(PhonebookType)

    /** Whether fixed dialling is on. */
    enum FDNStatus {
        Enabled = 0,    /**< only the numbers of the FDN phonebook may be called */
        Disabled = 1,   /**< any number may be called; also every failure */
    };
    Q_ENUM(FDNStatus)

    /** The outcome of a phonebook call ("com.kelvo.hvt.SIM.Phonebook.Error." and the reason). */
    enum SIMPhonebookError {
        NoError = 0,                    /**< the call succeeded */
        CommunicationError = 1,         /**< not sent, no answer, no daemon, or a reply of the wrong type */
        DataNotAvailable = 2,           /**< "DataNotAvailable": no such entry */
        InvalidLocation = 3,            /**< "InvalidLocation": an index outside the phonebook */
        OperationFailed = 4,            /**< "OperationFailed" */
        ParameterError = 5,             /**< "Parameter": a field the card cannot store */
        VastroError = 6,                /**< "Vastro" */
        ServiceError = 7,               /**< "Service" */
        Timeout = 8,                    /**< "Timeout" */
        UnknownError = 9,               /**< "Unknown", and any phonebook error name the library does not know */
        PhonebookTypeNotSupported = 10, /**< "PhonebookTypeNotSupported" */
        InvalidParameter = 11,          /**< "InvalidParameter" */
        NoSIMService = 12,              /**< "NoSIMService": no card, or the card offers no phonebook */
    };
    Q_ENUM(SIMPhonebookError)

    /** Makes no call; subscribes to the FDN announcements. */
    explicit SIMPhonebook(QObject *parent = nullptr);
    ~SIMPhonebook() override;

    /** True while the SIM daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;

public Q_SLOTS:
    /** Reads the first entry; answered by readFirstComplete(). */
    void readFirst(SIMPhonebook::PhonebookType phonebook);
    /** Reads the entry after `index`; answered by readNextComplete(). */
    void readNext(SIMPhonebook::PhonebookType phonebook, int index);
    /** Reads entry `index`; answered by readExactComplete(). */
    void readExact(SIMPhonebook::PhonebookType phonebook, int index);
    /** Stores a new entry; answered by createEntryComplete() with its index. */
    void createEntry(SIMPhonebook::PhonebookType phonebook, const QString &name, const QString &number,
                     const QString &secondName, const QString &additionalNumber, const QString &email);
    /** Replaces entry `index`; answered by updateEntryComplete(). */
    void updateEntry(SIMPhonebook::PhonebookType phonebook, int index, const QString &name,
                     const QString &number, const QString &secondName,
                     const QString &additionalNumber, const QString &email);
    /** Deletes entry `index`; answered by deleteEntryComplete(). */
    void deleteEntry(SIMPhonebook::PhonebookType phonebook, int index);
    /** Reads capacity and field limits; answered by infoComplete(). */
    void info(SIMPhonebook::PhonebookType phonebook);
    /** Reads whether fixed dialling is on; answered by fdnStatusComplete(). */
    void getFDNStatus();
    /** Switches fixed dialling; answered by setFDNStatusComplete(). */
    void setFDNStatus(SIMPhonebook::FDNStatus status);

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The answer of readFirst(): an entry, or index 0 and empty fields with the error. */
    void readFirstComplete(int index, const QString &name, const QString &number,
                           const QString &secondName, const QString &additionalNumber,
                           const QString &email, SIMPhonebook::SIMPhonebookError error);
    /** The answer of readNext(), as readFirstComplete(). */
    void readNextComplete(int index, const QString &name, const QString &number,
                          const QString &secondName, const QString &additionalNumber,
                          const QString &email, SIMPhonebook::SIMPhonebookError error);
    /** The answer of readExact(), as readFirstComplete(). */
    void readExactComplete(int index, const QString &name, const QString &number,
                           const QString &secondName, const QString &additionalNumber,
                           const QString &email, SIMPhonebook::SIMPhonebookError error);
    /** The answer of createEntry(): the new entry's index, 0 on failure. */
    void createEntryComplete(int index, SIMPhonebook::SIMPhonebookError error);
    /** The answer of updateEntry(): the entry's index, 0 on failure. */
    void updateEntryComplete(int index, SIMPhonebook::SIMPhonebookError error);
    /** The answer of deleteEntry(). */
    void deleteEntryComplete(SIMPhonebook::SIMPhonebookError error);
    /** The answer of info(): entries, name and number lengths, second names,
     * additional numbers and e-mails (count and length each); zeros on failure. */
    void infoComplete(uint maxEntries, uint maxName, uint maxNumber, uint maxSNEEntries,
                      uint maxSNELength, uint maxSNREntries, uint maxSNRLength,
                      uint maxEmailEntries, uint maxEmailLength,
                      SIMPhonebook::SIMPhonebookError error);
    /** The answer of getFDNStatus(); Disabled on failure. */
    void fdnStatusComplete(SIMPhonebook::FDNStatus status, SIMPhonebook::SIMPhonebookError error);
    /** The answer of setFDNStatus(). */
    void setFDNStatusComplete(SIMPhonebook::SIMPhonebookError error);
    /** The card announced that fixed dialling is on. */
    void fdnEnabled();
    /** The card announced that fixed dialling is off. */
    void fdnDisabled();

private:
    Q_DECLARE_PRIVATE_D(d, SIMPhonebook)
    SIMPhonebookPrivate *d;
};

} // namespace Ondrix

#endif
