// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_NETWORKREGISTRATION_H
#define ONDRIX_NETWORKREGISTRATION_H

#include "ondrix_global.h"
#include "availableoperator.h"

#include <QObject>

namespace Ondrix {

class NetworkRegistrationPrivate;

/**
 * @brief Registration with the network and operator selection.
 *
 * Registration status with its reject cause, the operator selection mode,
 * and the two long operations of network selection: scanning for operators
 * and registering to one chosen by hand or automatically, each cancellable.
 * Scans and selections time out after two minutes; each outcome arrives
 * through the signals listed with the operation.
 *
 * While its daemon is away (valid() false) the object still holds the status, reject code and
 * selection mode (and the operators of the last scan) it last had, or neutral values when it never
 * read any: they are not the modem's state, so a screen should not show them as live. The object
 * reads them again when the daemon returns.
 */
class ONDRIX_EXPORT NetworkRegistration : public QObject
{
    Q_OBJECT
    /** The registration (Status): at home, roaming, searching, rejected, no coverage, .... Changes announced by
     *  statusChanged(). Read-only. */
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    /** Why the network refused the registration (RejectCode), when status is Rejected. Changes announced by
     *  statusWithRejectCodeChanged(). Read-only. */
    Q_PROPERTY(RejectCode rejectCode READ rejectCode NOTIFY statusWithRejectCodeChanged)
    /** How the operator is chosen (Mode): automatically, manually or forced automatic. Changes announced by
     *  modeChanged(). Read-only. */
    Q_PROPERTY(Mode mode READ mode NOTIFY modeChanged)
    /** Whether the network daemon is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)

public:
    /** Registration status, from the daemon's "RegistrationStatus" text. */
    enum Status {
        UnknownStatus = -1, /**< no status read yet, or a text outside the table */
        AtHome = 0, /**< registered with the home network ("Home") */
        Roaming = 1, /**< registered with a visited network ("Roaming") */
        Offline = 2, /**< not registered ("Offline") */
        Searching = 3, /**< searching for a network ("Searching") */
        NoSim = 4, /**< no SIM card ("NoSim") */
        Rejected = 5, /**< registration refused: see rejectCode() ("Rejected") */
        PowerOff = 6, /**< the radio is off ("PowerOff") */
        PowerSave = 7, /**< the radio saves power ("PowerSave") */
        NoCoverage = 8, /**< no network in range ("NoCoverage") */
    };
    Q_ENUM(Status)

    /** Mobility-management reject causes of 3GPP TS 24.008 annex G, from the daemon's reject text. */
    enum RejectCode {
        Success = -1, /**< no failure (a selection that succeeded) */
        IMSIUnknownInHLR = 0, /**< cause #2: IMSI unknown in HLR */
        IllegalMS = 1, /**< cause #3: illegal MS */
        IMSIUnknownInVLR = 2, /**< cause #4: IMSI unknown in VLR */
        IMEINotAccepted = 3, /**< cause #5: IMEI not accepted */
        IllegalME = 4, /**< cause #6: illegal ME */
        GPRSServicesNotAllowed = 5, /**< cause #7: GPRS services not allowed */
        NonGPRSServicesNotAllowed = 6, /**< cause #8: GPRS and non-GPRS services not allowed */
        IdentityCannotBeDerived = 7, /**< cause #9: MS identity cannot be derived by the network */
        ImplicitlyDetached = 8, /**< cause #10: implicitly detached */
        PLMNNotAllowed = 9, /**< cause #11: PLMN not allowed */
        LocationAreaNotAllowed = 10, /**< cause #12: location area not allowed */
        RoamingNotAllowed = 11, /**< cause #13: roaming not allowed in this location area */
        ServicesNotAllowedInThisPLMN = 12, /**< cause #14: GPRS services not allowed in this PLMN */
        NoCellsInLocationArea = 13, /**< cause #15: no suitable cells in location area */
        TemporarilyNotReachable = 14, /**< cause #16: MSC temporarily not reachable */
        NetworkFailure = 15, /**< cause #17: network failure */
        MACFailure = 16, /**< cause #20: MAC failure */
        SynchFailure = 17, /**< cause #21: synch failure */
        Congestion = 18, /**< cause #22: congestion */
        AuthNotAcceptable = 19, /**< cause #23: GSM authentication unacceptable */
        OptionNotSupported = 20, /**< cause #32: service option not supported */
        OptionNotSubscribed = 21, /**< cause #33: requested service option not subscribed */
        OptionOutOfOrder = 22, /**< cause #34: service option temporarily out of order */
        RetryUponNewCell = 23, /**< causes #48-63: retry upon entry into a new cell */
        BadMessage = 24, /**< cause #95: semantically incorrect message */
        InvalidInformation = 25, /**< cause #96: invalid mandatory information */
        NoSuchMessage = 26, /**< cause #97: message type non-existent or not implemented */
        ConditionalIEError = 27, /**< cause #100: conditional IE error */
        IncompatibleMessage = 28, /**< cause #98: message type not compatible with the protocol state */
        UnspecifiedError = 29, /**< cause #111: protocol error, unspecified; also any text outside the table */
    };
    Q_ENUM(RejectCode)

    /** Operator selection mode, from the daemon's "SelectionMode" text. */
    enum Mode {
        UnknownMode = -1, /**< no mode read yet, or a text outside the table */
        Manual = 0, /**< chosen by hand ("Manual") */
        Automatic = 1, /**< chosen by the modem ("Auto") */
        ForcedAutomatic = 2, /**< automatic, forced by the network or the SIM ("Forced") */
    };
    Q_ENUM(Mode)

    /** Reads the status, reject code and mode (blocking for 250 ms at most). */
    explicit NetworkRegistration(QObject *parent = nullptr);
    /** Cancels an outstanding scan and manual selection; their answers are no longer awaited. */
    ~NetworkRegistration() override;

    /** The registration status. */
    Status status() const;
    /** The reject cause of the last registration change; UnspecifiedError before one is read. */
    RejectCode rejectCode() const;
    /** The operator selection mode. */
    Mode mode() const;
    /** True while the network daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;
    /** The operators of the last successful scanOperators(); emptied by a failed one. */
    QList<AvailableOperator> availableOperators() const;

public Q_SLOTS:
    /** Selects automatically; answered by selectionCompleted() and selectionSuccess(),
     * selectionFailure() or selectionCanceled(). */
    void selectOperator();
    /** Selects the network of `mnc` and `mcc` by hand; answered as selectOperator(). */
    void selectOperator(const QString &mnc, const QString &mcc);
    /** Selects the network of a scanned operator by hand. */
    void selectOperator(const AvailableOperator &oper);
    /** Selects entry `index` of availableOperators(); out of range: selectionFailure() at once. */
    void selectOperator(int index);
    /** Cancels a selection; answered by selectOperatorCanceled(). */
    void cancelSelectOperator();
    /** Scans, answered by availableOperators(bool, ...); availableOperators() is kept. */
    void queryAvailableOperators();
    /** Cancels the scans in progress; answered by availableOperatorsCanceled(). */
    void cancelQueryAvailableOperators();
    /** Scans and replaces availableOperators(); answered by operatorsSuccess(),
     * operatorsFailure() or operatorsCanceled(). */
    void scanOperators();
    /** Cancels an outstanding scan and manual selection. */
    void reset();

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The registration status changed (a Status value). */
    void statusChanged(int status);
    /** The status or the reject cause changed (Status and RejectCode values). */
    void statusWithRejectCodeChanged(int status, int rejectCode);
    /** The selection mode changed (a Mode value). */
    void modeChanged(int mode);
    /** The answer of queryAvailableOperators(): the operators, or the reason of the failure. */
    void availableOperators(bool success, const QList<AvailableOperator> &operators,
                            const QString &reason);
    /** A selection ended: success, or the daemon's reason of the failure. */
    void selectionCompleted(bool success, const QString &reason);
    /** A selection ended: -1 (Success) or the RejectCode of the failure. */
    void selectionCompleted(int code);
    /** The answer of cancelQueryAvailableOperators(). */
    void availableOperatorsCanceled(bool success, const QString &reason);
    /** The answer of cancelSelectOperator(). */
    void selectOperatorCanceled(bool success, const QString &reason);
    /** scanOperators() succeeded: read availableOperators(). */
    void operatorsSuccess();
    /** scanOperators() failed. */
    void operatorsFailure();
    /** scanOperators() was cancelled. */
    void operatorsCanceled();
    /** A selection succeeded. */
    void selectionSuccess();
    /** A selection failed. */
    void selectionFailure();
    /** A selection was cancelled. */
    void selectionCanceled();

private:
    Q_DECLARE_PRIVATE_D(d, NetworkRegistration)
    NetworkRegistrationPrivate *d;
};

} // namespace Ondrix

#endif
