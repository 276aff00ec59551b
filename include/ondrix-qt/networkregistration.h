// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_NETWORKREGISTRATION_H
#define ONDRIX_NETWORKREGISTRATION_H

#include "ondrix_global.h"
#include "availableoperator.h"

#include <QObject>

namespace Ondrix {

class NetworkRegistrationPrivate;

/* Registration with the network, the operator selection mode, and the two
 * long operations of network selection: scanning for operators and
 * registering to one chosen by hand or automatically, each cancellable.
 *
 * Scans and selections time out after two minutes; each outcome arrives
 * through the signals listed with the operation. */
class ONDRIX_EXPORT NetworkRegistration : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Status status READ status)
    Q_PROPERTY(RejectCode rejectCode READ rejectCode)
    Q_PROPERTY(Mode mode READ mode)
    Q_PROPERTY(bool valid READ isValid)

public:
    enum Status {
        UnknownStatus = -1,
        AtHome = 0,
        Roaming = 1,
        Offline = 2,
        Searching = 3,
        NoSim = 4,
        Rejected = 5,
        PowerOff = 6,
        PowerSave = 7,
        NoCoverage = 8,
    };
    Q_ENUM(Status)

    /* Mobility-management reject causes (3GPP TS 24.008). */
    enum RejectCode {
        Success = -1,
        IMSIUnknownInHLR = 0,
        IllegalMS = 1,
        IMSIUnknownInVLR = 2,
        IMEINotAccepted = 3,
        IllegalME = 4,
        GPRSServicesNotAllowed = 5,
        NonGPRSServicesNotAllowed = 6,
        IdentityCannotBeDerived = 7,
        ImplicitlyDetached = 8,
        PLMNNotAllowed = 9,
        LocationAreaNotAllowed = 10,
        RoamingNotAllowed = 11,
        ServicesNotAllowedInThisPLMN = 12,
        NoCellsInLocationArea = 13,
        TemporarilyNotReachable = 14,
        NetworkFailure = 15,
        MACFailure = 16,
        SynchFailure = 17,
        Congestion = 18,
        AuthNotAcceptable = 19,
        OptionNotSupported = 20,
        OptionNotSubscribed = 21,
        OptionOutOfOrder = 22,
        RetryUponNewCell = 23,
        BadMessage = 24,
        InvalidInformation = 25,
        NoSuchMessage = 26,
        ConditionalIEError = 27,
        IncompatibleMessage = 28,
        UnspecifiedError = 29,
    };
    Q_ENUM(RejectCode)

    enum Mode {
        UnknownMode = -1,
        Manual = 0,
        Automatic = 1,
        ForcedAutomatic = 2,
    };
    Q_ENUM(Mode)

    explicit NetworkRegistration(QObject *parent = nullptr);
    /* Cancels an outstanding scan and manual selection. */
    ~NetworkRegistration() override;

    Status status() const;
    RejectCode rejectCode() const;
    Mode mode() const;
    bool isValid() const;
    /* The operators of the last successful scanOperators(). */
    QList<AvailableOperator> availableOperators() const;

public Q_SLOTS:
    /* Automatic selection. */
    void selectOperator();
    /* Manual selection. */
    void selectOperator(const QString &mnc, const QString &mcc);
    void selectOperator(const AvailableOperator &oper);
    /* Entry `index` of availableOperators(); out of range: selectionFailure() at once. */
    void selectOperator(int index);
    void cancelSelectOperator();
    /* A scan answered by availableOperators(bool, ...); availableOperators() is kept. */
    void queryAvailableOperators();
    void cancelQueryAvailableOperators();
    /* A scan that replaces availableOperators(); answered by operatorsSuccess() and its kin. */
    void scanOperators();
    /* Cancels an outstanding scan and manual selection. */
    void reset();

Q_SIGNALS:
    void statusChanged(int status);
    void statusWithRejectCodeChanged(int status, int rejectCode);
    void modeChanged(int mode);
    void availableOperators(bool success, const QList<AvailableOperator> &operators,
                            const QString &reason);
    void selectionCompleted(bool success, const QString &reason);
    void selectionCompleted(int code);
    void availableOperatorsCanceled(bool success, const QString &reason);
    void selectOperatorCanceled(bool success, const QString &reason);
    void operatorsSuccess();
    void operatorsFailure();
    void operatorsCanceled();
    void selectionSuccess();
    void selectionFailure();
    void selectionCanceled();

private:
    Q_DECLARE_PRIVATE_D(d, NetworkRegistration)
    NetworkRegistrationPrivate *d;
};

} // namespace Ondrix

#endif
