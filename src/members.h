// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_MEMBERS_H
#define ONDRIX_MEMBERS_H

// The library's side of the daemons' interface files: every method it calls,
// every signal it follows and every property it writes, with the signatures
// it sends and takes. A call or a subscription names its row, so nothing goes
// on the bus that is not listed here; the tests hold every row to the
// interface files, and a debug build checks each call's arguments and each
// handler's parameters against their row.
//
// Internal to the library; nothing here is exported.

namespace Ondrix {
namespace Frame {

// One row per daemon interface the library talks to.
enum class Bus {
    Modem,               // system-state controller
    CSNet,
    NetworkRegistration,
    NetworkOperator,
    SignalStrength,
    RadioAccess,
    NetworkCell,
    NetworkTime,
    Gprs,
    Sim,
    SimSecurity,
    SimIdentity,
    SimPhonebook,
    SimLock,
    SS,
    Ussd,
    Call,
    Info,
    SmsSim,
};

struct BusName {
    const char *service;
    const char *path;
    const char *interface;
};

inline constexpr BusName BusNames[] = {
    {"com.kelvo.YKM.Modem", "/com/kelvo/ykm/modem", "com.kelvo.YKM.Modem"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkRegistration"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkOperator"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.SignalStrength"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.RadioAccess"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkCell"},
    {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkTime"},
    {"com.kelvo.hvt.GPRS", "/com/kelvo/hvt/gprs", "com.kelvo.hvt.GPRS"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim", "com.kelvo.hvt.SIM"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim", "com.kelvo.hvt.SIM.Security"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim", "com.kelvo.hvt.SIM.Identity"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim/phonebook", "com.kelvo.hvt.SIM.Phonebook"},
    {"com.kelvo.hvt.SIM", "/com/kelvo/hvt/sim", "com.kelvo.hvt.SIM.SIMLock"},
    {"com.kelvo.hvt.SS", "/com/kelvo/hvt/ss", "com.kelvo.hvt.SS"},
    {"com.kelvo.hvt.SS", "/com/kelvo/hvt/ss", "com.kelvo.hvt.SS.USSD"},
    {"com.kelvo.hvt.Call", "/com/kelvo/hvt/call", "com.kelvo.hvt.Call"},
    {"com.kelvo.hvt.Info", "/com/kelvo/hvt/info", "com.kelvo.hvt.Info"},
    {"com.kelvo.hvt.SMS", "/com/kelvo/hvt/sms", "com.kelvo.hvt.SMS.SIM"},
};

static_assert(sizeof(BusNames) / sizeof(BusNames[0]) == static_cast<int>(Bus::SmsSim) + 1, "one row per Bus");

constexpr const BusName &busName(Bus bus) { return BusNames[static_cast<int>(bus)]; }

// X(bus, method, arguments, reply)
#define ONDRIX_METHODS(X) \
    X(Modem, GetProperties, "", "a{sv}") \
    X(Modem, RequestRadio, "bb", "") \
    X(NetworkRegistration, GetNetworks, "", "a(ssssssb)") \
    X(NetworkRegistration, CancelQuery, "", "") \
    X(NetworkRegistration, SelectAnyOperator, "", "") \
    X(NetworkRegistration, SelectOperator, "ss", "") \
    X(NetworkRegistration, CancelRegister, "", "") \
    X(RadioAccess, SetSelectionMode, "s", "") \
    X(NetworkCell, GetServices, "", "a{sb}") \
    X(NetworkTime, GetRawNetworkTime, "", "a{sv}") \
    X(Sim, GetSIMStatus, "", "s") \
    X(SimSecurity, VerifyPIN, "ss", "b") \
    X(SimSecurity, VerifyPUK, "sss", "b") \
    X(SimSecurity, ChangePIN, "sss", "b") \
    X(SimSecurity, EnablePINQuery, "ss", "") \
    X(SimSecurity, DisablePINQuery, "ss", "") \
    X(SimSecurity, GetPINQueryState, "s", "b") \
    X(SimSecurity, PINAttemptsLeft, "s", "i") \
    X(SimSecurity, PUKAttemptsLeft, "s", "i") \
    X(SimIdentity, GetIMSI, "", "s") \
    X(SimIdentity, GetICCID, "", "s") \
    X(SimIdentity, GetHPLMN, "", "ss") \
    X(SimIdentity, GetServiceProviderName, "", "s") \
    X(SimIdentity, GetLanguages, "", "as") \
    X(SimIdentity, GetAuth, "ay", "ayayayay") \
    X(SimPhonebook, ReadFirst, "s", "isssss") \
    X(SimPhonebook, ReadNext, "si", "isssss") \
    X(SimPhonebook, ReadExact, "si", "isssss") \
    X(SimPhonebook, Create, "ssssss", "i") \
    X(SimPhonebook, Update, "sisssss", "i") \
    X(SimPhonebook, Delete, "si", "") \
    X(SimPhonebook, GetInfo, "s", "uuuuuuuuu") \
    X(SimPhonebook, GetFDNStatus, "", "s") \
    X(SimPhonebook, SetFDNStatus, "s", "") \
    X(SimLock, GetSIMLockStatus, "", "s") \
    X(SimLock, UnlockSIMLock, "is", "") \
    X(SS, RegisterDivert, "sssu", "") \
    X(SS, EraseDivert, "ss", "") \
    X(SS, ActivateDivert, "ss", "") \
    X(SS, DeactivateDivert, "ss", "") \
    X(SS, CheckDivert, "ss", "a(sbsu)") \
    X(SS, ChangePassword, "sss", "") \
    X(SS, ActivateBarring, "sss", "") \
    X(SS, DeactivateBarring, "sss", "") \
    X(SS, CheckBarring, "s", "as") \
    X(SS, ActivateWaiting, "s", "") \
    X(SS, DeactivateWaiting, "s", "") \
    X(SS, CheckWaiting, "s", "as") \
    X(SS, CheckCLIR, "", "s") \
    X(SS, CheckCLIP, "", "b") \
    X(SS, CheckCoLP, "", "b") \
    X(SS, CheckCoLR, "", "b") \
    X(SS, CheckCNAP, "", "b") \
    X(SS, GetBusyWith, "", "s") \
    X(Ussd, Command, "ss", "ss") \
    X(Ussd, Reply, "ss", "ss") \
    X(Ussd, NotifyAck, "", "") \
    X(Ussd, Release, "", "") \
    X(Call, GetEmergencyNumbers, "", "a(suu)") \
    X(Call, GetCallTimers, "", "uuuu") \
    X(Call, ClearCallTimers, "", "") \
    X(Call, SetCallUpdateTime, "u", "") \
    X(Call, GetCallUpdateTime, "", "u") \
    X(Info, GetIMEINumber, "", "s") \
    X(Info, GetMCUSWVersion, "", "s") \
    X(Info, GetDSPSWVersion, "", "s") \
    X(Info, GetHSXPASetting, "", "b") \
    X(SmsSim, GetParameters, "y", "ysyyysui")

// X(bus, signal, arguments)
#define ONDRIX_SIGNALS(X) \
    X(Modem, PropertiesChanged, "a{sv}") \
    X(CSNet, ActivityChanged, "s") \
    X(NetworkRegistration, RegistrationChanged, "ss") \
    X(NetworkRegistration, SelectionModeChanged, "s") \
    X(NetworkOperator, OperatorChanged, "ss") \
    X(NetworkOperator, OperatorNameChanged, "s") \
    X(SignalStrength, SignalBarsChanged, "i") \
    X(SignalStrength, SignalStrengthChanged, "ii") \
    X(RadioAccess, SelectionModeChanged, "s") \
    X(RadioAccess, DataTechnologyChanged, "s") \
    X(RadioAccess, ChannelChanged, "i") \
    X(RadioAccess, RadioIdle, "bbb") \
    X(Gprs, Available, "") \
    X(Gprs, Suspended, "us") \
    X(NetworkCell, CellChanged, "siii") \
    X(NetworkCell, CellNameChanged, "s") \
    X(NetworkCell, ServicesChanged, "a{sb}") \
    X(NetworkCell, CellNameDisplayEnabledChanged, "b") \
    X(NetworkTime, RawNetworkTimeChanged, "a{sv}") \
    X(Sim, SIMStatus, "s") \
    X(SimSecurity, VerifyCodeRequired, "s") \
    X(SimPhonebook, FDNEnabled, "") \
    X(SimPhonebook, FDNDisabled, "") \
    X(SS, BusyWith, "s") \
    X(Ussd, Request, "ss") \
    X(Ussd, Notify, "ss") \
    X(Ussd, Released, "ss") \
    X(Call, CallTimers, "uuuu")

// X(bus, property, type): the properties the library writes.
#define ONDRIX_WRITTEN_PROPERTIES(X) \
    X(NetworkCell, CellNameDisplayEnabled, "b")

#define ONDRIX_MEMBER_NAME(bus, name, ...) bus##name,
enum class Method { ONDRIX_METHODS(ONDRIX_MEMBER_NAME) };
enum class Signal { ONDRIX_SIGNALS(ONDRIX_MEMBER_NAME) };
enum class Property { ONDRIX_WRITTEN_PROPERTIES(ONDRIX_MEMBER_NAME) };
#undef ONDRIX_MEMBER_NAME

// A row: for a method its arguments and its reply, for a signal its
// arguments, for a property its type.
struct Member {
    Bus bus;
    const char *name;
    const char *arguments;
    const char *reply;
};

#define ONDRIX_METHOD_ROW(bus, name, arguments, reply) {Bus::bus, #name, arguments, reply},
#define ONDRIX_SIGNAL_ROW(bus, name, arguments) {Bus::bus, #name, arguments, nullptr},
inline constexpr Member Methods[] = {ONDRIX_METHODS(ONDRIX_METHOD_ROW)};
inline constexpr Member Signals[] = {ONDRIX_SIGNALS(ONDRIX_SIGNAL_ROW)};
inline constexpr Member WrittenProperties[] = {ONDRIX_WRITTEN_PROPERTIES(ONDRIX_SIGNAL_ROW)};
#undef ONDRIX_METHOD_ROW
#undef ONDRIX_SIGNAL_ROW

constexpr const Member &member(Method m) { return Methods[static_cast<int>(m)]; }
constexpr const Member &member(Signal s) { return Signals[static_cast<int>(s)]; }
constexpr const Member &member(Property p) { return WrittenProperties[static_cast<int>(p)]; }

} // namespace Frame
} // namespace Ondrix

#endif
