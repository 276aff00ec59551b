// SPDX-License-Identifier: LGPL-2.1-or-later
// Every type the library registers, in one table: the D-Bus value types (so
// that replies and signals can carry them) and the names under which the
// enumerations and values travel in queued signals and properties.

#include "frame.h"

#include "ondrix-qt/calltimers.h"
#include "ondrix-qt/emergencynumbers.h"
#include "ondrix-qt/networkcell.h"
#include "ondrix-qt/networkregistration.h"
#include "ondrix-qt/networktime.h"
#include "ondrix-qt/phoneinfo.h"
#include "ondrix-qt/radioaccess.h"
#include "ondrix-qt/simerror.h"
#include "ondrix-qt/simlock.h"
#include "ondrix-qt/simphonebook.h"
#include "ondrix-qt/simsecurity.h"
#include "ondrix-qt/simstatus.h"
#include "ondrix-qt/supplementaryservices.h"
#include "ondrix-qt/systemcontrol.h"

namespace Ondrix {
namespace Frame {

namespace {

// One type under its names: the first registers it, the others are aliases.
template <typename T>
void named(std::initializer_list<const char *> names)
{
    for (const char *name : names)
        qRegisterMetaType<T>(name);
}

} // namespace

void registerTypes()
{
    once([] {
        using SS = SupplementaryServices;
        // On the bus: element types before their lists.
        qDBusRegisterMetaType<OperatorStruct>();
        qDBusRegisterMetaType<OperatorList>();
        qDBusRegisterMetaType<SS::DivertService>();
        qDBusRegisterMetaType<SS::DivertServiceList>();
        qDBusRegisterMetaType<EmergencyNumbers::EmergencyNumberInfo>();
        qDBusRegisterMetaType<EmergencyNumbers::EmergencyNumbersList>();
        qDBusRegisterMetaType<CellServiceMap>();

        named<OperatorList>({"OperatorList"});
        named<CellServiceMap>({"CellServiceMap"});
        named<SystemControl::Status>({"SystemControl::Status"});
        named<NetworkRegistration::Status>({"NetworkRegistration::Status"});
        named<NetworkRegistration::RejectCode>({"NetworkRegistration::RejectCode"});
        named<NetworkRegistration::Mode>({"NetworkRegistration::Mode"});
        named<QList<AvailableOperator>>({"QList<AvailableOperator>"});
        named<AvailableOperator::Availability>({"AvailableOperator::Availability"});
        named<AvailableOperator::Band>({"AvailableOperator::Band"});
        named<AvailableOperator::Preference>({"AvailableOperator::Preference"});
        named<SIM::SIMError>({"SIMError"});
        named<SIM::SIMStatus::Status>({"SIMStatus::Status"});
        named<SIM::SIMSecurity::PINType>({"SIMSecurity::PINType"});
        named<SIM::SIMSecurity::PUKType>({"SIMSecurity::PUKType"});
        named<SIM::SIMSecurity::PINQuery>({"SIMSecurity::PINQuery"});
        named<SIMPhonebook::SIMPhonebookError>({"SIMPhonebook::SIMPhonebookError"});
        named<SIMPhonebook::PhonebookType>({"SIMPhonebook::PhonebookType"});
        named<SIMPhonebook::FDNStatus>({"SIMPhonebook::FDNStatus"});
        named<SIMLock::SIMLockError>({"SIMLock::SIMLockError"});
        named<SIMLock::SIMLockStatus>({"SIMLock::SIMLockStatus"});
        named<SS::Error>({"SupplementaryServices::Error"});
        named<SS::UssdOp>({"SupplementaryServices::UssdOp"});
        named<SS::UssdError>({"SupplementaryServices::UssdError"});
        named<SS::DivertServiceCode>({"SupplementaryServices::DivertServiceCode"});
        named<SS::BarringServiceCode>({"SupplementaryServices::BarringServiceCode"});
        named<SS::OtherServiceCode>({"SupplementaryServices::OtherServiceCode"});
        named<SS::BasicService>({"SupplementaryServices::BasicService"});
        named<SS::BasicServiceList>({"SupplementaryServices::BasicServiceList"});
        named<SS::DivertService>({"SupplementaryServices::DivertService", "Ondrix::SupplementaryServices::DivertService"});
        named<SS::ClirStatus>({"SupplementaryServices::ClirStatus"});
        named<SS::DivertServiceList>(
            {"SupplementaryServices::DivertServiceList", "Ondrix::SupplementaryServices::DivertServiceList"});
        named<EmergencyNumbers::EmergencyNumberInfo>({"Ondrix::EmergencyNumbers::EmergencyNumberInfo"});
        named<EmergencyNumbers::EmergencyNumbersList>({"Ondrix::EmergencyNumbers::EmergencyNumbersList"});
        named<CallTimers::CallTimersInfo>({"CallTimers::CallTimersInfo"});
        named<PhoneInfo::SettingStatus>({"PhoneInfo::SettingStatus"});
        named<RadioAccess::Mode>({"RadioAccess::Mode"});
        named<RadioAccess::Technology>({"RadioAccess::Technology"});
        named<RadioAccess::State>({"RadioAccess::State"});
        named<RadioAccess::Flags>({"RadioAccess::Flags"});
        named<NetworkCell::Type>({"NetworkCell::Type"});
        named<NetworkCell::Services>({"NetworkCell::Services"});
        named<NetworkTimeInfo>({"NetworkTimeInfo"});
    });
}

} // namespace Frame
} // namespace Ondrix
