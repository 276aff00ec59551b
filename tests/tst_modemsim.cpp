// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulator itself: scripting, the call log, properties and names, as
// application developers use them through its control interface.

#include "simbench.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVariant>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Modem = QStringLiteral("com.kelvo.YKM.Modem");

QDBusMessage callModem(const QString &member, const QVariantList &args = {}, int timeout = 2000)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Modem, QStringLiteral("/com/kelvo/ykm/modem"), Modem, member);
    call.setArguments(args);
    return QDBusConnection::systemBus().call(call, QDBus::Block, timeout);
}

QDBusMessage callProperties(const QString &member, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("com.kelvo.hvt.CSNet"), QStringLiteral("/com/kelvo/hvt/csnet"),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"), member);
    call.setArguments(args);
    return QDBusConnection::systemBus().call(call, QDBus::Block, 2000);
}

QDBusMessage callSecurity(const QString &member, const QVariantList &args)
{
    const QString security = QStringLiteral("com.kelvo.hvt.SIM.Security");
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("com.kelvo.hvt.SIM"), QStringLiteral("/com/kelvo/hvt/sim"),
                                                       security, member);
    call.setArguments(args);
    return QDBusConnection::systemBus().call(call, QDBus::Block, 2000);
}

// The attempts left of a code and of its key, as "PIN/PUK".
QString attempts(const QString &code, const QString &key)
{
    return QStringLiteral("%1/%2").arg(callSecurity(QStringLiteral("PINAttemptsLeft"), {code}).arguments().value(0).toInt())
                                  .arg(callSecurity(QStringLiteral("PUKAttemptsLeft"), {key}).arguments().value(0).toInt());
}

} // namespace

// The modem's signals as they go out, "Member arg, arg" each, in order.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    SignalLog()
    {
        const QList<QStringList> watched = {
            {"com.kelvo.YKM.Modem", "/com/kelvo/ykm/modem", "com.kelvo.YKM.Modem", "PropertiesChanged"},
            {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkRegistration", "RegistrationChanged"},
            {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkOperator", "OperatorChanged"},
            {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkOperator", "OperatorNameChanged"},
            {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.SignalStrength", "SignalStrengthChanged"},
            {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.SignalStrength", "SignalBarsChanged"},
            {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkCell", "CellChanged"},
            {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkCell", "CellNameChanged"},
            {"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkCell", "ServicesChanged"},
            {"com.kelvo.hvt.GPRS", "/com/kelvo/hvt/gprs", "com.kelvo.hvt.GPRS", "Available"},
            {"com.kelvo.hvt.GPRS", "/com/kelvo/hvt/gprs", "com.kelvo.hvt.GPRS", "Suspended"},
        };
        for (const QStringList &w : watched)
            QDBusConnection::systemBus().connect(w[0], w[1], w[2], w[3], this, SLOT(seen(QDBusMessage)));
    }
    QStringList lines;

private Q_SLOTS:
    void seen(const QDBusMessage &message)
    {
        QStringList args;
        for (const QVariant &arg : message.arguments()) {
            if (arg.userType() == qMetaTypeId<QDBusArgument>()) {
                // A map's keys, but those set to false.
                const QDBusArgument map = arg.value<QDBusArgument>();
                QStringList keys;
                map.beginMap();
                while (!map.atEnd()) {
                    map.beginMapEntry();
                    const QString key = map.asVariant().toString();
                    const QVariant value = map.asVariant();
                    if (value.userType() != QMetaType::Bool || value.toBool())
                        keys << key;
                    map.endMapEntry();
                }
                map.endMap();
                keys.sort();
                args << keys.join(QLatin1Char('+'));
            } else {
                args << arg.toString();
            }
        }
        lines << message.member() + QLatin1Char(' ') + args.join(QLatin1String(", "));
    }
};

class TestModemSim : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void scriptsApplyToTheirCount()
    {
        bench.script(Modem, QStringLiteral("GetProperties"),
                     {{"count", 2}, {"error", "com.kelvo.YKM.Modem.Error.Busy"}, {"message", "busy"}});
        bench.script(Modem, QStringLiteral("GetProperties"), {{"reply", QVariantList{QStringLiteral("odd")}}});
        QCOMPARE(callModem(QStringLiteral("GetProperties")).errorName(), QStringLiteral("com.kelvo.YKM.Modem.Error.Busy"));
        QCOMPARE(callModem(QStringLiteral("GetProperties")).errorMessage(), QStringLiteral("busy"));
        const QDBusMessage odd = callModem(QStringLiteral("GetProperties"));
        QCOMPARE(odd.signature(), QStringLiteral("s"));
        QCOMPARE(callModem(QStringLiteral("GetProperties")).signature(), QStringLiteral("a{sv}"));
        QCOMPARE(bench.calls(QStringLiteral("GetProperties")).size(), 4);
    }

    void scriptsUntilCleared()
    {
        bench.script(Modem, QStringLiteral("RequestRadio"), {{"count", 0}, {"error", "x.Error.No"}});
        for (int i = 0; i < 3; i++)
            QCOMPARE(callModem(QStringLiteral("RequestRadio"), {false, true}).errorName(), QStringLiteral("x.Error.No"));
        bench.reset();
        QCOMPARE(callModem(QStringLiteral("RequestRadio"), {false, true}).type(), QDBusMessage::ReplyMessage);
    }

    void delayedAndSilentAnswers()
    {
        bench.script(Modem, QStringLiteral("GetProperties"), {{"delay", 300}, {"error", "x.Error.Late"}});
        QCOMPARE(callModem(QStringLiteral("GetProperties"), {}, 100).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
        bench.script(Modem, QStringLiteral("GetProperties"), {{"delay", 50}, {"error", "x.Error.Late"}});
        QCOMPARE(callModem(QStringLiteral("GetProperties"), {}, 5000).errorName(), QStringLiteral("x.Error.Late"));
        bench.script(Modem, QStringLiteral("GetProperties"), {{"noreply", true}});
        QCOMPARE(callModem(QStringLiteral("GetProperties"), {}, 200).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
    }

    void unknownMembersAndArguments()
    {
        QCOMPARE(callModem(QStringLiteral("Explode")).errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
        QCOMPARE(callModem(QStringLiteral("RequestRadio"), {QStringLiteral("on")}).errorName(),
                 QStringLiteral("com.kelvo.YKM.Modem.Error.InvalidArgs"));
        QCOMPARE(callProperties(QStringLiteral("GetAll"), {QStringLiteral("no.such.Interface")}).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"));
        const QList<SimCall> calls = bench.calls();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[1].signature, QStringLiteral("s"));
        QCOMPARE(calls[1].args, QVariantList{QStringLiteral("on")});
        // Both calls left the interface files, and the simulator says so.
        QCOMPARE(bench.contractViolations(),
                 QStringList({QStringLiteral("call of unknown com.kelvo.YKM.Modem.Explode"),
                              QStringLiteral("call of com.kelvo.YKM.Modem.RequestRadio with (s), not (bb)")}));
        bench.reset();
    }

    void propertiesInterface()
    {
        QSignalSpy activity(this, SIGNAL(activityChanged(QString)));
        QDBusConnection::systemBus().connect(QStringLiteral("com.kelvo.hvt.CSNet"), QStringLiteral("/com/kelvo/hvt/csnet"),
                                             QStringLiteral("com.kelvo.hvt.CSNet"), QStringLiteral("ActivityChanged"),
                                             this, SIGNAL(activityChanged(QString)));
        const QDBusMessage set = callProperties(QStringLiteral("Set"),
            {QStringLiteral("com.kelvo.hvt.CSNet"), QStringLiteral("Activity"),
             QVariant::fromValue(QDBusVariant(QStringLiteral("Data")))});
        QCOMPARE(set.type(), QDBusMessage::ReplyMessage);
        const QDBusMessage get = callProperties(QStringLiteral("Get"), {QStringLiteral("com.kelvo.hvt.CSNet"), QStringLiteral("Activity")});
        QCOMPARE(get.arguments().value(0).value<QDBusVariant>().variant().toString(), QStringLiteral("Data"));
        QVERIFY(bench.flush());
        QCOMPARE(activity.count(), 1);
        QCOMPARE(activity[0][0].toString(), QStringLiteral("Data"));
        QCOMPARE(callProperties(QStringLiteral("Get"), {QStringLiteral("com.kelvo.hvt.CSNet"), QStringLiteral("Nothing")}).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"));
    }

    void namesComeAndGo()
    {
        QDBusConnectionInterface *bus = QDBusConnection::systemBus().interface();
        const QStringList names = {"com.kelvo.YKM.Modem", "com.kelvo.hvt.CSNet", "com.kelvo.hvt.SMS"};
        bench.releaseNames();
        for (const QString &name : names)
            QVERIFY(!bus->isServiceRegistered(name).value());
        QVERIFY(bus->isServiceRegistered(QStringLiteral("org.ondrix.ModemSim")).value());
        bench.acquireNames();
        for (const QString &name : names)
            QVERIFY(bus->isServiceRegistered(name).value());
    }

    void radioSwitchIsRealistic()
    {
        QVERIFY(callModem(QStringLiteral("RequestRadio"), {false, true}).type() == QDBusMessage::ReplyMessage);
        QTRY_COMPARE(qdbus_cast<QVariantMap>(callModem(QStringLiteral("GetProperties")).arguments().value(0))
                         .value(QStringLiteral("ServiceState")).toString(),
                     QStringLiteral("NoCoverage"));
        const QVariantMap properties = qdbus_cast<QVariantMap>(callModem(QStringLiteral("GetProperties")).arguments().value(0));
        QCOMPARE(properties.value(QStringLiteral("ModemState")).toString(), QStringLiteral("Inactive"));
        QCOMPARE(properties.value(QStringLiteral("RequestedMode")).toString(), QStringLiteral("Inactive"));
    }

    // With the radio off, or in flight, the modem finds no network and reads
    // no signal: what it is told it finds is where it registers once the
    // radio is back.
    void radioOffHoldsWhatItFinds_data()
    {
        QTest::addColumn<bool>("flight");
        QTest::newRow("radio off") << false;
        QTest::newRow("flight mode") << true;
    }

    void radioOffHoldsWhatItFinds()
    {
        QFETCH(bool, flight);
        const QString registration = QStringLiteral("com.kelvo.hvt.CSNet.NetworkRegistration");
        const QString signal = QStringLiteral("com.kelvo.hvt.CSNet.SignalStrength");
        if (flight)
            bench.control(QStringLiteral("SetFlightMode"), {true});
        else
            callModem(QStringLiteral("RequestRadio"), {false, true});
        QTRY_COMPARE(bench.properties(registration).value(QStringLiteral("RegistrationStatus")).toString(),
                     QLatin1String(flight ? "Offline" : "PowerOff"));
        bench.control(QStringLiteral("Register"), {QStringLiteral("Roaming"), QStringLiteral("248"), QStringLiteral("01"),
                                                   QStringLiteral("Telia EE")});
        bench.control(QStringLiteral("SetSignal"), {-60});
        QVERIFY(bench.flush());
        QCOMPARE(bench.properties(registration).value(QStringLiteral("RegistrationStatus")).toString(),
                 QLatin1String(flight ? "Offline" : "PowerOff"));
        QCOMPARE(bench.properties(signal).value(QStringLiteral("SignalBars")).toInt(), 0);
        QCOMPARE(bench.properties(QStringLiteral("com.kelvo.hvt.CSNet.NetworkOperator")).value(QStringLiteral("OperatorName")).toString(),
                 QString());
        if (flight)
            bench.control(QStringLiteral("SetFlightMode"), {false});
        else
            callModem(QStringLiteral("RequestRadio"), {true, true});
        QTRY_COMPARE(bench.properties(registration).value(QStringLiteral("RegistrationStatus")).toString(),
                     QStringLiteral("Roaming"));
        QCOMPARE(bench.properties(QStringLiteral("com.kelvo.hvt.CSNet.NetworkOperator")).value(QStringLiteral("OperatorName")).toString(),
                 QStringLiteral("Telia EE"));
        QCOMPARE(bench.properties(signal).value(QStringLiteral("SignalDecibels")).toInt(), -60);
    }

    // Radio off clears what a modem clears, in the order a modem reports it;
    // radio on searches first, then brings it all back.
    void radioOffAndOnAsAModem()
    {
        SignalLog log;
        QVERIFY(callModem(QStringLiteral("RequestRadio"), {false, true}).type() == QDBusMessage::ReplyMessage);
        QTRY_VERIFY2(log.lines.contains(QStringLiteral("ServicesChanged ")), qPrintable(log.lines.join(QLatin1Char('|'))));
        QCOMPARE(log.lines, (QStringList{
            "PropertiesChanged RequestedMode", "PropertiesChanged ModemState+ServiceState",
            "RegistrationChanged PowerOff, ", "OperatorChanged , ", "OperatorNameChanged ",
            "SignalStrengthChanged 0, -113", "SignalBarsChanged 0", "Suspended 5, No service",
            "CellChanged , 0, 0, 0", "CellNameChanged ", "ServicesChanged "}));
        log.lines.clear();
        QVERIFY(callModem(QStringLiteral("RequestRadio"), {true, true}).type() == QDBusMessage::ReplyMessage);
        QTRY_VERIFY2(log.lines.contains(QStringLiteral("ServicesChanged HasCSServices+HasGPRSServices+SupportsHSDPA+SupportsHSUPA")), qPrintable(log.lines.join(QLatin1Char('|'))));
        QCOMPARE(log.lines, (QStringList{
            "PropertiesChanged RequestedMode", "PropertiesChanged ModemState",
            "RegistrationChanged Searching, ", "RegistrationChanged Home, ", "PropertiesChanged ServiceState",
            "OperatorChanged 05, 244", "OperatorNameChanged Ondrix Mobile",
            "SignalStrengthChanged 61, -75", "SignalBarsChanged 4", "Available ",
            "CellChanged WCDMA, 6699, 3841, 1", "CellNameChanged Kamppi",
            "ServicesChanged HasCSServices+HasGPRSServices+SupportsHSDPA+SupportsHSUPA"}));
    }

    // Without coverage or card the modem keeps what it still has: no
    // coverage loses the cell, no card keeps it for emergency calls.
    void coverageAndCard_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("service");
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("cell");
        QTest::newRow("no coverage") << "Register" << QVariant(QStringLiteral("NoCoverage")) << "NoCoverage" << 0 << 0;
        QTest::newRow("no card") << "SetProperty" << QVariant(false) << "EmergencyOnly" << 4 << 6699;
        QTest::newRow("flight mode") << "SetFlightMode" << QVariant(true) << "NoCoverage" << 0 << 0;
    }

    void coverageAndCard()
    {
        QFETCH(QString, command);
        QFETCH(QVariant, value);
        if (command == QLatin1String("Register"))
            bench.control(command, {value, QString(), QString(), QString()});
        else if (command == QLatin1String("SetProperty"))
            bench.setProperty(QStringLiteral("com.kelvo.hvt.SIM"), QStringLiteral("Present"), value);
        else
            bench.control(command, {value});
        QVERIFY(bench.flush());
        const QVariantMap modem = bench.properties(Modem);
        QTEST(modem.value(QStringLiteral("ServiceState")).toString(), "service");
        QTEST(bench.properties(QStringLiteral("com.kelvo.hvt.CSNet.SignalStrength")).value(QStringLiteral("SignalBars")).toInt(), "bars");
        QTEST(bench.properties(QStringLiteral("com.kelvo.hvt.CSNet.NetworkCell")).value(QStringLiteral("CellId")).toInt(), "cell");
        QCOMPARE(bench.properties(QStringLiteral("com.kelvo.hvt.CSNet.NetworkOperator")).value(QStringLiteral("OperatorName")).toString(), QString());
        QCOMPARE(bench.properties(QStringLiteral("com.kelvo.hvt.GPRS")).value(QStringLiteral("Available")).toBool(), false);
    }

    // The simulated card counts as a card does, for each code and its key:
    // after every wrong and every right code, the attempts left and the state.
    void cardCountsCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("rightKey");
        QTest::addColumn<QString>("blocked");   // the card's state once the code is used up
        QTest::newRow("PIN") << "pin" << "puk" << "1234" << "12345678" << "PUKRequired";
        QTest::newRow("PIN2") << "pin2" << "puk2" << "5678" << "87654321" << "Ok";
    }

    void cardCountsCodes()
    {
        QFETCH(QString, code);
        QFETCH(QString, key);
        QFETCH(QString, right);
        QFETCH(QString, rightKey);
        QFETCH(QString, blocked);
        const QString status = QStringLiteral("com.kelvo.hvt.SIM");
        QStringList seen{attempts(code, key)};
        for (int i = 0; i < 2; i++) {
            callSecurity(QStringLiteral("VerifyPIN"), {code, QStringLiteral("0000")});
            seen << attempts(code, key);
        }
        callSecurity(QStringLiteral("VerifyPIN"), {code, right});   // a right code fills the count again
        seen << attempts(code, key);
        for (int i = 0; i < 3; i++) {
            callSecurity(QStringLiteral("VerifyPIN"), {code, QStringLiteral("0000")});
            seen << attempts(code, key);
        }
        QCOMPARE(bench.properties(status).value(QStringLiteral("Status")).toString(), blocked);
        QCOMPARE(callSecurity(QStringLiteral("VerifyPIN"), {code, right}).errorName(),
                 QStringLiteral("com.kelvo.hvt.SIM.Error.CodeBlocked"));
        callSecurity(QStringLiteral("VerifyPUK"), {key, QStringLiteral("11111111"), QStringLiteral("4321")});
        seen << attempts(code, key);
        callSecurity(QStringLiteral("VerifyPUK"), {key, rightKey, QStringLiteral("4321")});
        seen << attempts(code, key);
        QCOMPARE(seen, (QStringList{"3/10", "2/10", "1/10", "3/10", "2/10", "1/10", "0/10", "0/9", "3/10"}));
        QCOMPARE(bench.properties(status).value(QStringLiteral("Status")).toString(), QStringLiteral("Ok"));
        QCOMPARE(callSecurity(QStringLiteral("VerifyPIN"), {code, QStringLiteral("4321")}).arguments().value(0).toBool(), true);
        // Ten wrong keys leave the main card blocked for good.
        for (int i = 0; i < 3; i++)
            callSecurity(QStringLiteral("VerifyPIN"), {code, QStringLiteral("0000")});
        for (int i = 0; i < 10; i++)
            callSecurity(QStringLiteral("VerifyPUK"), {key, QStringLiteral("11111111"), QStringLiteral("4321")});
        QCOMPARE(attempts(code, key), QStringLiteral("0/0"));
        QCOMPARE(bench.properties(status).value(QStringLiteral("Status")).toString(),
                 code == QLatin1String("pin") ? QStringLiteral("PermanentlyBlocked") : QStringLiteral("Ok"));
        bench.reset();
    }

Q_SIGNALS:
    void activityChanged(const QString &activity);
};

QTEST_GUILESS_MAIN(TestModemSim)
#include "tst_modemsim.moc"
