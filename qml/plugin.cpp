// SPDX-License-Identifier: LGPL-2.1-or-later
// The QML module "Ondrix 1.0": every service class, its enums, and the
// value types as lists and maps.

#include "simcard.h"
#include "smscounter.h"
#include "wrappers.h"

#include <ondrix-qt/networkcell.h>
#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/phoneinfo.h>
#include <ondrix-qt/radioaccess.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/simidentity.h>
#include <ondrix-qt/simlock.h>
#include <ondrix-qt/simphonebook.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/smsparameters.h>
#include <ondrix-qt/systemcontrol.h>

#include <QQmlExtensionPlugin>
#include <QtQml>

class OndrixPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override
    {
        using namespace Ondrix;
        const int major = 1, minor = 0;
        qmlRegisterType<SystemControl>(uri, major, minor, "SystemControl");
        qmlRegisterType<Qml::NetworkRegistration>(uri, major, minor, "NetworkRegistration");
        qmlRegisterType<NetworkOperator>(uri, major, minor, "NetworkOperator");
        qmlRegisterType<SignalStrength>(uri, major, minor, "SignalStrength");
        qmlRegisterType<RadioAccess>(uri, major, minor, "RadioAccess");
        qmlRegisterType<NetworkCell>(uri, major, minor, "NetworkCell");
        qmlRegisterType<Qml::NetworkTime>(uri, major, minor, "NetworkTime");
        qmlRegisterType<SIM::SIMStatus>(uri, major, minor, "SIMStatus");
        qmlRegisterType<SIM::SIMSecurity>(uri, major, minor, "SIMSecurity");
        qmlRegisterType<Qml::SimCard>(uri, major, minor, "SimCard");
        qmlRegisterType<SIM::SIMIdentity>(uri, major, minor, "SIMIdentity");
        qmlRegisterUncreatableMetaObject(SIM::staticMetaObject, uri, major, minor, "SIM",
                                         QStringLiteral("SIM holds the SIM error values"));
        qmlRegisterType<SIMPhonebook>(uri, major, minor, "SIMPhonebook");
        qmlRegisterType<SIMLock>(uri, major, minor, "SIMLock");
        qmlRegisterType<Qml::SupplementaryServices>(uri, major, minor, "SupplementaryServices");
        qmlRegisterType<Qml::EmergencyNumbers>(uri, major, minor, "EmergencyNumbers");
        qmlRegisterType<Qml::CallTimers>(uri, major, minor, "CallTimers");
        qmlRegisterType<PhoneInfo>(uri, major, minor, "PhoneInfo");
        qmlRegisterType<SMSParameters>(uri, major, minor, "SMSParameters");
        qmlRegisterType<Qml::SmsCounter>(uri, major, minor, "SmsCounter");
        qmlRegisterSingletonType<Qml::SmsCodec>(uri, major, minor, "SmsCodec",
                                                [](QQmlEngine *, QJSEngine *) -> QObject * { return new Qml::SmsCodec; });
    }
};

#include "plugin.moc"
