// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_SIMERROR_H
#define ONDRIX_SIMERROR_H

#include "ondrix_global.h"

#include <QMetaType>
#include <QObject>

namespace Ondrix {
/** The SIM card's services: status, security codes and identity. */
namespace SIM {
Q_NAMESPACE_EXPORT(ONDRIX_EXPORT)

/** The outcome of a call of SIMStatus, SIMSecurity or SIMIdentity: 0 is
 * success, 1 a call that could not be made or failed on the bus, the others
 * the daemon's SIM error names ("com.kelvo.hvt.SIM.Error." and the reason). */
enum SIMError {
    NoError = 0,                /**< the call succeeded */
    CommunicationError = 1,     /**< not sent, no answer, no daemon, or a reply of the wrong type */
    InvalidParameter = 2,       /**< "InvalidParameter": the daemon refused an argument */
    ModemNotReady = 3,          /**< "ModemNotReady" */
    ServiceBusy = 4,            /**< "ServiceBusy": another operation runs */
    ModemError = 5,             /**< "Modem": the modem failed */
    DataNotAvailable = 6,       /**< "DataNotAvailable": the card lacks the data */
    WrongPassword = 7,          /**< "WrongPassword": a wrong code */
    PINDisabled = 8,            /**< "PINDisabled": the PIN query is off */
    CodeBlocked = 9,            /**< "CodeBlocked": the code is blocked */
    NoSIM = 10,                 /**< "NoSIM": no card */
    SIMRejected = 11,           /**< "SIMRejected": the card was rejected */
    SecurityCodeRequired = 12,  /**< "SecurityCodeRequired": a code must be entered first */
    UnknownError = 13,          /**< "Unknown", and any SIM error name the library does not know */
};
Q_ENUM_NS(SIMError)

} // namespace SIM
} // namespace Ondrix

#endif
