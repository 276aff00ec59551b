// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SUPPLEMENTARYSERVICES_H
#define ONDRIX_SUPPLEMENTARYSERVICES_H

#include "ondrix_global.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QtDBus/QDBusArgument>

namespace Ondrix {

class SupplementaryServicesPrivate;

/**
 * @brief The network's supplementary services for calls, USSD, and dialler service codes.
 *
 * Call divert, barring and waiting, the identity-presentation interrogations
 * (CLIR, CLIP, COLP, COLR, CNAP), the USSD dialogue, and the control strings
 * of 3GPP TS 22.030 that users type into a dialler. Every operation ends in
 * exactly one completion signal; nothing is cached. Services and basic
 * services travel as their 3GPP TS 22.030 code strings.
 */
class ONDRIX_EXPORT SupplementaryServices : public QObject
{
    Q_OBJECT
    /** Whether the daemon serving the type is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
public:
    /** The outcome of a call service operation ("com.kelvo.hvt.SS.Error." and the reason). */
    enum Error {
        CommunicationError = -1,     /**< a standard D-Bus error: no reply, no daemon, a reply of the wrong type */
        NoError = 0,                 /**< the operation succeeded */
        UnknownError = 1,            /**< the daemon is absent or the call could not be sent; also an unknown error name */
        NotProvisioned = 2,          /**< "NotProvisioned": the subscription lacks the service */
        WrongPassword = 3,           /**< "Password": a wrong barring password */
        InvalidTelephoneNumber = 4,  /**< "InvalidTelephoneNumber" */
        QuiescentService = 5,        /**< "QuiescentService" */
        Incompatibility = 6,         /**< "Incompatibility": the request conflicts with another service */
        NotAvailable = 7,            /**< "NotAvailable" */
        TooManyPasswordAttempts = 8, /**< "TooManyPasswordAttempts": the barring password is blocked */
        SubscriptionViolation = 9,   /**< "SubscriptionViolation" */
        FixedDialNumbers = 10,       /**< "FixedDialNumbers": fixed dialling forbids it */
        Busy = 11,                   /**< "Busy": another operation runs */
        Suspended = 12,              /**< "Suspended" */
    };
    Q_ENUM(Error)

    /** A basic service group; the value is its 3GPP TS 22.030 code. */
    enum BasicService {
        UnknownBasicService = -1,     /**< a received code the library does not know */
        AllBasicServices = 0,         /**< every service ("") */
        AllTeleservices = 10,         /**< "10" */
        Telephony = 11,               /**< "11" */
        AllDataTeleservices = 12,     /**< "12" */
        FacsimileServices = 13,       /**< "13" */
        ShortMessageServices = 16,    /**< "16" */
        VoiceGroupCallService = 17,   /**< "17" */
        VoiceBroadcastService = 18,   /**< "18" */
        AllTeleservicesExceptSms = 19, /**< "19" */
        AllBearerServices = 20,       /**< "20" */
        AllAsyncServices = 21,        /**< "21" */
        AllSyncServices = 22,         /**< "22" */
        AllDataCircuitSync = 24,      /**< "24" */
        AllDataCircuitAsync = 25,     /**< "25" */
        AllDedicatedPacketAccess = 26, /**< "26" */
        AllDedicatedPadAccess = 27,   /**< "27" */
    };
    Q_ENUM(BasicService)

    /** A call divert service (3GPP TS 22.030 annex B). */
    enum DivertServiceCode {
        UnknownDivertService = -1,  /**< not a divert code; sent as "Unknown" */
        AllDiverts = 2,             /**< every divert ("002") */
        AllConditionalDiverts = 4,  /**< every conditional divert ("004") */
        DivertUnconditional = 21,   /**< every call ("21") */
        DivertNoReply = 61,         /**< when not answered ("61") */
        DivertNotReachable = 62,    /**< when not reachable ("62") */
        DivertBusy = 67,            /**< when busy ("67") */
    };
    Q_ENUM(DivertServiceCode)

    /** A call barring program (3GPP TS 22.030 annex B). */
    enum BarringServiceCode {
        UnknownBarringService = -1,                 /**< not a barring code; sent as "Unknown" */
        BarAllOutgoing = 33,                        /**< all outgoing calls ("33") */
        BarOutgoingInternational = 331,             /**< outgoing international calls ("331") */
        BarOutgoingInternationalExceptHome = 332,   /**< outgoing international calls except home ("332") */
        BarAllIncoming = 35,                        /**< all incoming calls ("35") */
        BarIncomingWhenRoaming = 351,               /**< incoming calls when roaming ("351") */
        AllBarringServices = 330,                   /**< every barring program ("330") */
        AllOutgoingBarring = 333,                   /**< every outgoing barring program ("333") */
        AllIncomingBarring = 353,                   /**< every incoming barring program ("353") */
    };
    Q_ENUM(BarringServiceCode)

    /** The answer of checkClir(). */
    enum ClirStatus {
        UnknownClirStatus = -1, /**< any other answer, and every failure */
        ClirPermanent = 0,      /**< the number is always withheld ("permanent") */
        ClirOn = 1,             /**< withheld by default ("on") */
        ClirOff = 2,            /**< presented by default ("off") */
    };
    Q_ENUM(ClirStatus)

    /** The USSD operation that failed, in ussdError(). */
    enum UssdOp {
        UssdCommandOp = 0,      /**< sendCommand() */
        UssdReplyOp = 1,        /**< sendReply() */
        UssdNotifyAckOp = 2,    /**< sendNotifyAck() */
        UssdReleaseOp = 3,      /**< ussdRelease() */
    };
    Q_ENUM(UssdOp)

    /** The outcome of a failed USSD operation ("com.kelvo.hvt.SS.USSD.Error." and the reason). */
    enum UssdError {
        UssdUnknownError = 0,           /**< a standard D-Bus error, or a name the library does not know */
        UssdFailed = 1,                 /**< "Failed"; also: the daemon is absent or the call could not be sent */
        UssdInvalidParameters = 2,      /**< "InvalidParameters" */
        UssdBusy = 3,                   /**< "Busy": a dialogue is running */
        UssdOffline = 4,                /**< "Offline" */
        UssdNetworkError = 5,           /**< "Network" */
        UssdNetworkBusy = 6,            /**< "Network.Busy" */
        UssdNoModemService = 7,         /**< "NoModemService" */
        UssdFixedDialNumbers = 8,       /**< "FixedDialNumbers" */
        UssdMissingRequest = 9,         /**< "MissingRequest": a reply without a request */
        UssdMissingNotify = 10,         /**< "MissingNotify": an acknowledgement without a notification */
        UssdBadData = 11,               /**< "BadData" */
        UssdReleased = 12,              /**< "Released": the dialogue has ended */
        UssdSuspended = 13,             /**< "Suspended" */
        UssdSystemFailure = 14,         /**< "SystemFailure" */
        UssdCallBarred = 15,            /**< "CallBarred" */
        UssdDataMissing = 16,           /**< "DataMissing" */
        UssdUnexpectedDataValue = 17,   /**< "UnexpectedDataValue" */
        UssdUnknownAlphabet = 18,       /**< "UnknownAlphabet" */
    };
    Q_ENUM(UssdError)

    /** The other service codes a control string may name (3GPP TS 22.030 annex B). */
    enum OtherServiceCode {
        UnknownOtherService = -1,   /**< no such code */
        BarringPasswordCode = 3,    /**< change of the barring password ("03") */
        ClipCode = 30,              /**< CLIP ("30") */
        ClirCode = 31,              /**< CLIR ("31") */
        CallWaitingCode = 43,       /**< call waiting ("43") */
        ColpCode = 76,              /**< COLP ("76") */
        ColrCode = 77,              /**< COLR ("77") */
        CnapCode = 300,             /**< CNAP ("300") */
    };
    Q_ENUM(OtherServiceCode)

    /** The procedure a control string's prefix names (3GPP TS 22.030 clause 6.5.2). */
    enum Operation {
        UnknownOperation = -1,  /**< none of the five */
        Registration = 0,       /**< "**" */
        Activation = 1,         /**< "*" */
        Deactivation = 2,       /**< "#" */
        Erasure = 3,            /**< "##" */
        Interrogation = 4,      /**< "*#" */
    };

    /** Basic service groups, in the daemon's order. */
    typedef QList<BasicService> BasicServiceList;

    /** One diversion in the answer of checkDivert(); D-Bus (sbsu). */
    struct DivertService {
        BasicService basicService = AllBasicServices;   /**< the basic service group it applies to */
        bool active = false;                            /**< the diversion is active */
        QString telephoneNumber;                        /**< the number calls go to */
        unsigned int forwardDelay = 0;                  /**< the no-reply delay in seconds */
    };
    /** The diversions of checkDivert(); D-Bus a(sbsu). */
    typedef QList<DivertService> DivertServiceList;

    /** Subscribes to the busy and USSD signals; makes no call. */
    explicit SupplementaryServices(QObject *parent = nullptr);
    ~SupplementaryServices() override;

    /** True while the daemon's supplementary services (both interfaces) are on the bus. */
    Q_INVOKABLE bool isValid() const;

public Q_SLOTS:
    /** Registers (and so activates) a diversion to `telephoneNumber`. */
    void registerDivert(SupplementaryServices::DivertServiceCode supplementaryService,
                        SupplementaryServices::BasicService basicService, const QString &telephoneNumber,
                        uint forwardDelay = 0);
    /** Erases a diversion's registration. */
    void eraseDivert(SupplementaryServices::DivertServiceCode supplementaryService,
                     SupplementaryServices::BasicService basicService);
    /** Activates a registered diversion. */
    void activateDivert(SupplementaryServices::DivertServiceCode supplementaryService,
                        SupplementaryServices::BasicService basicService);
    /** Deactivates a diversion. */
    void deactivateDivert(SupplementaryServices::DivertServiceCode supplementaryService,
                          SupplementaryServices::BasicService basicService);
    /** Asks for the diversions of a service. */
    void checkDivert(SupplementaryServices::DivertServiceCode supplementaryService,
                     SupplementaryServices::BasicService basicService);
    /** Changes the barring password. */
    void changeBarringPassword(SupplementaryServices::BarringServiceCode supplementaryService,
                               const QString &oldPassword, const QString &newPassword);
    /** Activates a barring program. */
    void activateBarring(SupplementaryServices::BarringServiceCode supplementaryService,
                         SupplementaryServices::BasicService basicService, const QString &password);
    /** Deactivates a barring program. */
    void deactivateBarring(SupplementaryServices::BarringServiceCode supplementaryService,
                           SupplementaryServices::BasicService basicService, const QString &password);
    /** Asks for the basic services a barring program bars. */
    void checkBarring(SupplementaryServices::BarringServiceCode supplementaryService);
    /** Activates call waiting. */
    void activateWaiting(SupplementaryServices::BasicService basicService);
    /** Deactivates call waiting. */
    void deactivateWaiting(SupplementaryServices::BasicService basicService);
    /** Asks for the basic services with call waiting. */
    void checkWaiting(SupplementaryServices::BasicService basicService);
    /** Asks for CLIR, the withholding of the own number. */
    void checkClir();
    /** Asks for CLIP, the presentation of the caller's number. */
    void checkClip();
    /** Asks for COLP, the presentation of the connected number. */
    void checkColp();
    /** Asks for COLR, the withholding of the own number from callers. */
    void checkColr();
    /** Asks for CNAP, the presentation of the caller's name. */
    void checkCnap();
    /** True when the daemon is busy with a supplementary service; blocks for its answer. */
    bool isBusy();

    /** True when a dialled string is to be handled as a service code rather than called. */
    bool isServiceCode(const QString &command);
    /** Starts the operation a control string names; false (and nothing sent) when it names none. */
    bool sendSSRequest(const QString &command);
    /**
     * True when a dialled string names a procedure whose fields are codes: a
     * PIN or PUK procedure ("**04*", "**042*", "**05*", "**052*", which
     * SIM::SIMSecurity::sendCodeRequest() runs), a barring password change
     * ("**03*") or a barring programme ("*33*" and the others). Such a string
     * never goes to the network as USSD, and belongs in no call history or log.
     */
    static bool carriesCode(const QString &command);
    /**
     * Sends a USSD string; answered by commandCompleted() or ussdError(). A
     * string that carriesCode() is never sent: ussdError(UssdCommandOp,
     * UssdInvalidParameters, ...) follows at once.
     */
    void sendCommand(const QString &command);
    /** Answers the network's request; answered by replyCompleted() or ussdError(). Refuses what sendCommand() refuses. */
    void sendReply(const QString &command);
    /** Acknowledges the network's notification; answered by notifyAckCompleted() or ussdError(). */
    void sendNotifyAck();
    /** Ends the dialogue; silent on success, ussdError() on failure. */
    void ussdRelease();

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The answer of registerDivert(). */
    void registerDivertCompleted(SupplementaryServices::Error error);
    /** The answer of eraseDivert(). */
    void eraseDivertCompleted(SupplementaryServices::Error error);
    /** The answer of activateDivert(). */
    void activateDivertCompleted(SupplementaryServices::Error error);
    /** The answer of deactivateDivert(). */
    void deactivateDivertCompleted(SupplementaryServices::Error error);
    /** The answer of checkDivert(): the diversions, empty on failure. */
    void checkDivertCompleted(SupplementaryServices::DivertServiceList diversions, SupplementaryServices::Error error);
    /** The answer of changeBarringPassword(). */
    void changeBarringPasswordCompleted(SupplementaryServices::Error error);
    /** The answer of activateBarring(). */
    void activateBarringCompleted(SupplementaryServices::Error error);
    /** The answer of deactivateBarring(). */
    void deactivateBarringCompleted(SupplementaryServices::Error error);
    /** The answer of checkBarring(): the barred basic services, empty on failure. */
    void checkBarringCompleted(SupplementaryServices::BasicServiceList baddings, SupplementaryServices::Error error);
    /** The answer of activateWaiting(). */
    void activateWaitingCompleted(SupplementaryServices::Error error);
    /** The answer of deactivateWaiting(). */
    void deactivateWaitingCompleted(SupplementaryServices::Error error);
    /** The answer of checkWaiting(): the basic services with call waiting, empty on failure. */
    void checkWaitingCompleted(SupplementaryServices::BasicServiceList waitings, SupplementaryServices::Error error);
    /** The answer of checkClir(). */
    void checkClirCompleted(SupplementaryServices::ClirStatus status, SupplementaryServices::Error error);
    /** The answer of checkClip(); false on failure. */
    void checkClipCompleted(bool result, SupplementaryServices::Error error);
    /** The answer of checkColp(); false on failure. */
    void checkColpCompleted(bool result, SupplementaryServices::Error error);
    /** The answer of checkColr(); false on failure. */
    void checkColrCompleted(bool result, SupplementaryServices::Error error);
    /** The answer of checkCnap(); false on failure. */
    void checkCnapCompleted(bool result, SupplementaryServices::Error error);
    /** The daemon became busy or idle; emitted for every announcement. */
    void statusChanged(bool busy);
    /** The network's answer to sendCommand(). */
    void commandCompleted(const QString &result);
    /** The network's answer to sendReply(). */
    void replyCompleted(const QString &result);
    /** sendNotifyAck() succeeded. */
    void notifyAckCompleted();
    /** The network asks for an answer: reply with sendReply(). */
    void userActionRequested(const QString &result);
    /** The network notifies: acknowledge with sendNotifyAck(). */
    void notifyReceived(const QString &message);
    /** The network or the daemon ended the dialogue. */
    void ussdReleased(const QString &message);
    /** A USSD operation failed, with the daemon's message. */
    void ussdError(SupplementaryServices::UssdOp operation, SupplementaryServices::UssdError error,
                   const QString &message);

private:
    Q_DECLARE_PRIVATE_D(d, SupplementaryServices)
    SupplementaryServicesPrivate *d;
};

/** Marshals a diversion as (sbsu), the basic service as its code string. */
ONDRIX_EXPORT QDBusArgument &operator<<(QDBusArgument &argument,
                                        const SupplementaryServices::DivertService &service);
/** Demarshals a diversion from (sbsu); an unknown code gives UnknownBasicService. */
ONDRIX_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument,
                                              SupplementaryServices::DivertService &service);

} // namespace Ondrix

Q_DECLARE_METATYPE(Ondrix::SupplementaryServices::DivertService)

#endif
