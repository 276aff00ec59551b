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

#include <mutex>

namespace Ondrix {
namespace Frame {

namespace {

// One type under its names: the first registers it, the others are aliases.
// The names are written normalized, so Qt is spared normalizing them.
template <typename T>
void named(std::initializer_list<const char *> names)
{
    for (const char *name : names)
        qRegisterNormalizedMetaType<T>(QByteArray::fromRawData(name, int(qstrlen(name))));
}

// The types of the classes that use one daemon interface.
void registerGroup(Bus bus)
{
    using SS = SupplementaryServices;
    switch (bus) {
    case Bus::Modem:
    case Bus::CSNet:
        named<SystemControl::Status>({"SystemControl::Status"});
        break;
    case Bus::NetworkRegistration:
        // On the bus: element types before their lists.
        qDBusRegisterMetaType<OperatorStruct>();
        qDBusRegisterMetaType<OperatorList>();
        named<OperatorList>({"OperatorList"});
        named<NetworkRegistration::Status>({"NetworkRegistration::Status"});
        named<NetworkRegistration::RejectCode>({"NetworkRegistration::RejectCode"});
        named<NetworkRegistration::Mode>({"NetworkRegistration::Mode"});
        named<QList<AvailableOperator>>({"QList<AvailableOperator>"});
        break;
    case Bus::RadioAccess:
    case Bus::Gprs:
        named<RadioAccess::Mode>({"RadioAccess::Mode"});
        named<RadioAccess::Technology>({"RadioAccess::Technology"});
        named<RadioAccess::State>({"RadioAccess::State"});
        named<RadioAccess::Flags>({"RadioAccess::Flags"});
        break;
    case Bus::NetworkCell:
        qDBusRegisterMetaType<CellServiceMap>();
        named<CellServiceMap>({"CellServiceMap"});
        named<NetworkCell::Type>({"NetworkCell::Type"});
        named<NetworkCell::Services>({"NetworkCell::Services"});
        break;
    case Bus::NetworkTime:
        named<NetworkTimeInfo>({"NetworkTimeInfo"});
        break;
    case Bus::Sim:
    case Bus::SimSecurity:
    case Bus::SimIdentity:
        named<SIM::SIMError>({"SIMError"});
        named<SIM::SIMStatus::Status>({"SIMStatus::Status"});
        named<SIM::SIMSecurity::PINType>({"SIMSecurity::PINType"});
        named<SIM::SIMSecurity::PUKType>({"SIMSecurity::PUKType"});
        named<SIM::SIMSecurity::PINQuery>({"SIMSecurity::PINQuery"});
        break;
    case Bus::SimPhonebook:
        named<SIMPhonebook::SIMPhonebookError>({"SIMPhonebook::SIMPhonebookError"});
        named<SIMPhonebook::PhonebookType>({"SIMPhonebook::PhonebookType"});
        named<SIMPhonebook::FDNStatus>({"SIMPhonebook::FDNStatus"});
        break;
    case Bus::SimLock:
        named<SIMLock::SIMLockError>({"SIMLock::SIMLockError"});
        named<SIMLock::SIMLockStatus>({"SIMLock::SIMLockStatus"});
        break;
    case Bus::SS:
    case Bus::Ussd:
        qDBusRegisterMetaType<SS::DivertService>();
        qDBusRegisterMetaType<SS::DivertServiceList>();
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
        break;
    case Bus::Call:
        qDBusRegisterMetaType<EmergencyNumbers::EmergencyNumberInfo>();
        qDBusRegisterMetaType<EmergencyNumbers::EmergencyNumbersList>();
        named<EmergencyNumbers::EmergencyNumberInfo>({"Ondrix::EmergencyNumbers::EmergencyNumberInfo"});
        named<EmergencyNumbers::EmergencyNumbersList>({"Ondrix::EmergencyNumbers::EmergencyNumbersList"});
        named<CallTimers::CallTimersInfo>({"CallTimers::CallTimersInfo"});
        break;
    case Bus::Info:
        named<PhoneInfo::SettingStatus>({"PhoneInfo::SettingStatus"});
        break;
    case Bus::NetworkOperator:
    case Bus::SignalStrength:
    case Bus::SmsSim:
        break;
    }
}

// The values of an operator record: every operator made registers them.
void registerOperators()
{
    named<AvailableOperator::Availability>({"AvailableOperator::Availability"});
    named<AvailableOperator::Band>({"AvailableOperator::Band"});
    named<AvailableOperator::Preference>({"AvailableOperator::Preference"});
}

} // namespace

void registerOperatorTypes()
{
    static std::once_flag done;
    std::call_once(done, registerOperators);
}

void registerTypes(Bus bus)
{
    // Once per group and process, whichever thread comes first.
    static std::once_flag done[std::size_t(Bus::SmsSim) + 1];
    std::call_once(done[std::size_t(bus)], registerGroup, bus);
}

} // namespace Frame
} // namespace Ondrix
