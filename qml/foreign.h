// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_QML_FOREIGN_H
#define ONDRIX_QML_FOREIGN_H

// The library's classes as QML types, declared here so that the public
// headers stay free of QtQml. Qt 6 builds the module from these
// declarations and those in the adapters' own headers (qmltyperegistrar
// writes the registration, the qmldir and the type description); Qt 5
// registers the same types in plugin.cpp.

#include <ondrix-qt/networkcell.h>
#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/phoneinfo.h>
#include <ondrix-qt/radioaccess.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/simerror.h>
#include <ondrix-qt/simidentity.h>
#include <ondrix-qt/simlock.h>
#include <ondrix-qt/simphonebook.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/smsparameters.h>
#include <ondrix-qt/systemcontrol.h>

#include <QtQml/qqml.h>

namespace Ondrix {
namespace Qml {

#define ONDRIX_QML_FOREIGN(Class, Name) \
    struct Name##Type { \
        Q_GADGET \
        QML_FOREIGN(Class) \
        QML_NAMED_ELEMENT(Name) \
    };

ONDRIX_QML_FOREIGN(Ondrix::SystemControl, SystemControl)
ONDRIX_QML_FOREIGN(Ondrix::NetworkOperator, NetworkOperator)
ONDRIX_QML_FOREIGN(Ondrix::SignalStrength, SignalStrength)
ONDRIX_QML_FOREIGN(Ondrix::RadioAccess, RadioAccess)
ONDRIX_QML_FOREIGN(Ondrix::NetworkCell, NetworkCell)
ONDRIX_QML_FOREIGN(Ondrix::SIM::SIMStatus, SIMStatus)
ONDRIX_QML_FOREIGN(Ondrix::SIM::SIMSecurity, SIMSecurity)
ONDRIX_QML_FOREIGN(Ondrix::SIM::SIMIdentity, SIMIdentity)
ONDRIX_QML_FOREIGN(Ondrix::SIMPhonebook, SIMPhonebook)
ONDRIX_QML_FOREIGN(Ondrix::SIMLock, SIMLock)
ONDRIX_QML_FOREIGN(Ondrix::PhoneInfo, PhoneInfo)
ONDRIX_QML_FOREIGN(Ondrix::SMSParameters, SMSParameters)

#undef ONDRIX_QML_FOREIGN

// The SIM error values, as SIM.WrongPassword and the like.
namespace SIMType {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(Ondrix::SIM)
QML_NAMED_ELEMENT(SIM)
}

} // namespace Qml
} // namespace Ondrix

#endif
