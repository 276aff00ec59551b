// SPDX-License-Identifier: LGPL-2.1-or-later
#include <ondrix-qt/systemcontrol.h>

#include "simbench.h"

#include <QSignalSpy>
#include <QtDBus/QDBusMetaType>
#include <QtTest>

using Ondrix::SystemControl;

namespace {

const QString Modem = QStringLiteral("com.kelvo.YKM.Modem");
const QString CSNet = QStringLiteral("com.kelvo.hvt.CSNet");
const QString PropertiesChanged = QStringLiteral("PropertiesChanged");

// A property map without the keys whose value is "-".
QVariantMap modemMap(const QString &requested, const QString &modemState, const QString &serviceState)
{
    QVariantMap map;
    if (requested != QLatin1String("-"))
        map.insert(QStringLiteral("RequestedMode"), requested);
    if (modemState != QLatin1String("-"))
        map.insert(QStringLiteral("ModemState"), modemState);
    if (serviceState != QLatin1String("-"))
        map.insert(QStringLiteral("ServiceState"), serviceState);
    return map;
}

} // namespace

class TestSystemControl : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void readsInitialStateFromBothDaemons()
    {
        bench.setProperty(CSNet, QStringLiteral("Activity"), QStringLiteral("Data"));
        bench.clearCalls();
        SystemControl control;
        QVERIFY(control.isValid());
        QCOMPARE(control.power(), true);
        QCOMPARE(control.status(), SystemControl::FullService);
        QCOMPARE(control.activity(), SystemControl::Data);
        QVERIFY(SimBench::log().isEmpty());

        QCOMPARE(bench.wire(), (QStringList{"GetProperties()", "GetAll(s) \"com.kelvo.hvt.CSNet\""}));
    }

    void initialModemRead_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QString>("modemState");
        QTest::addColumn<QString>("serviceState");
        QTest::addColumn<bool>("power");
        QTest::addColumn<int>("status");

        QTest::newRow("requested active") << "Active" << "Inactive" << "Normal" << true << 0;
        QTest::newRow("modem normal") << "-" << "Normal" << "EmergencyOnly" << true << 1;
        QTest::newRow("inactive request, normal modem") << "Inactive" << "Normal" << "NoCoverage" << true << 2;
        QTest::newRow("service overrides") << "Inactive" << "Service" << "Normal" << false << 3;
        QTest::newRow("no service state") << "Active" << "Normal" << "-" << true << -1;
        QTest::newRow("empty service state") << "Active" << "Normal" << "" << true << -1;
        QTest::newRow("case matters") << "active" << "normal" << "normal" << false << -1;
        QTest::newRow("empty map") << "-" << "-" << "-" << false << -1;
    }

    void initialModemRead()
    {
        QFETCH(QString, requested);
        QFETCH(QString, modemState);
        QFETCH(QString, serviceState);
        bench.script(Modem, QStringLiteral("GetProperties"),
                     {{QStringLiteral("reply"),
                       QVariantList{modemMap(requested, modemState, serviceState)}}});
        SystemControl control;
        QTEST(control.power(), "power");
        QTEST(int(control.status()), "status");
        QVERIFY(SimBench::log().isEmpty());
    }

    void initialActivityRead_data()
    {
        QTest::addColumn<QVariantMap>("properties");
        QTest::addColumn<int>("activity");
        QTest::newRow("idle") << QVariantMap{{QStringLiteral("Activity"), QStringLiteral("Idle")}} << 0;
        QTest::newRow("signaling") << QVariantMap{{QStringLiteral("Activity"), QStringLiteral("Signaling")}} << 1;
        QTest::newRow("call") << QVariantMap{{QStringLiteral("Activity"), QStringLiteral("Call")}} << 2;
        QTest::newRow("unknown text") << QVariantMap{{QStringLiteral("Activity"), QStringLiteral("Busy")}} << -1;
        QTest::newRow("missing key") << QVariantMap{{QStringLiteral("Other"), 1}} << -1;
    }

    void initialActivityRead()
    {
        QFETCH(QVariantMap, properties);
        bench.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                     {{QStringLiteral("reply"), QVariantList{properties}}});
        SystemControl control;
        QTEST(int(control.activity()), "activity");
    }

    void daemonAbsentThenAppearing()
    {
        bench.releaseNames();
        SystemControl control;
        QVERIFY(!control.isValid());
        QCOMPARE(control.power(), false);
        QCOMPARE(control.status(), SystemControl::UnknownStatus);
        QCOMPARE(control.activity(), SystemControl::UnknownActivity);
        const QStringList log = SimBench::log();
        QCOMPARE(log.size(), 2);
        for (const QString &line : log)
            QVERIFY2(line.startsWith(QLatin1String("Error: \"org.freedesktop.DBus.Error.ServiceUnknown\" \"")),
                     qPrintable(line));
        QVERIFY(bench.calls().isEmpty());

        QSignalSpy valid(&control, &SystemControl::validChanged);
        QSignalSpy activity(&control, &SystemControl::activityChanged);
        QSignalSpy status(&control, &SystemControl::statusChanged);
        QSignalSpy power(&control, &SystemControl::powerChanged);
        bench.acquireNames();
        // Both daemons came: valid, and what they say is read and announced.
        QTRY_COMPARE(status.count(), 1);
        QTRY_COMPARE(activity.count(), 1);
        QCOMPARE(firstArguments<bool>(valid), QList<bool>{true});
        QCOMPARE(firstArguments<bool>(power), QList<bool>{true});
        QCOMPARE(firstArguments<int>(status), QList<int>{SystemControl::FullService});
        QCOMPARE(firstArguments<int>(activity), QList<int>{SystemControl::Idle});
        bench.emitSignal(CSNet, QStringLiteral("ActivityChanged"), {QStringLiteral("Call")});
        bench.emitSignal(Modem, PropertiesChanged, {modemMap("-", "-", "EmergencyOnly")});
        QTRY_COMPARE(status.count(), 2);
        QCOMPARE(firstArguments<int>(activity), (QList<int>{SystemControl::Idle, SystemControl::Call}));
        QCOMPARE(control.status(), SystemControl::LimitedService);
    }

    void failedReadsLogAndKeepValues_data()
    {
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariantMap>("answer");
        QTest::addColumn<QString>("logLine");

        QTest::newRow("slow modem") << Modem << "GetProperties"
                                    << QVariantMap{{QStringLiteral("delay"), 400}}
                                    << "Error: \"org.freedesktop.DBus.Error.NoReply\"";
        QTest::newRow("silent network") << "org.freedesktop.DBus.Properties" << "GetAll"
                                        << QVariantMap{{QStringLiteral("noreply"), true}}
                                        << "Error: \"org.freedesktop.DBus.Error.NoReply\"";
        QTest::newRow("modem error")
            << Modem << "GetProperties"
            << QVariantMap{{QStringLiteral("error"), QStringLiteral("com.kelvo.YKM.Modem.Error.Failed")},
                           {QStringLiteral("message"), QStringLiteral("modem asleep")}}
            << "Error: \"com.kelvo.YKM.Modem.Error.Failed\" \"modem asleep\"";
    }

    void failedReadsLogAndKeepValues()
    {
        QFETCH(QString, interface);
        QFETCH(QString, member);
        QFETCH(QVariantMap, answer);
        QFETCH(QString, logLine);
        bench.script(interface, member, answer);
        SystemControl control;
        const QStringList log = SimBench::log();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.first().startsWith(logLine), qPrintable(log.first()));
        // The other read still ran.
        QVERIFY(bench.calls().size() >= 2);
        if (interface == Modem) {
            QCOMPARE(control.status(), SystemControl::UnknownStatus);
            QCOMPARE(control.activity(), SystemControl::Idle);
        } else {
            QCOMPARE(control.status(), SystemControl::FullService);
            QCOMPARE(control.activity(), SystemControl::UnknownActivity);
        }
        // A read that timed out is read again, and its values arrive; an error is no answer to wait for.
        const bool timedOut = logLine.contains(QLatin1String("NoReply"));
        QTRY_COMPARE(bench.calls().size(), timedOut ? 3 : 2);
        if (timedOut) {
            QTRY_COMPARE(control.status(), SystemControl::FullService);
            QTRY_COMPARE(control.activity(), SystemControl::Idle);
        }
    }

    // A peer that owns the daemon's name may answer anything: a read of the
    // wrong type is ignored like one of the wrong argument count.
    void wrongTypedReadsAreIgnored_data()
    {
        QTest::addColumn<QVariant>("reply");
        qDBusRegisterMetaType<QList<int>>();
        qDBusRegisterMetaType<QMap<QString, QString>>();
        QTest::newRow("ai") << QVariant::fromValue(QList<int>{1, 2, 3});
        QTest::newRow("a{ss}") << QVariant::fromValue(QMap<QString, QString>{{"ModemState", "Normal"}});
        QTest::newRow("as") << QVariant(QStringList{"ModemState"});
        QTest::newRow("s") << QVariant(QStringLiteral("Normal"));
    }

    void wrongTypedReadsAreIgnored()
    {
        QFETCH(QVariant, reply);
        bench.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                     {{QStringLiteral("reply"), QVariantList{reply}}});
        bench.script(Modem, QStringLiteral("GetProperties"), {{QStringLiteral("reply"), QVariantList{reply}}});
        SystemControl control;
        QVERIFY(SimBench::log().isEmpty());
        QCOMPARE(control.status(), SystemControl::UnknownStatus);
        QCOMPARE(control.activity(), SystemControl::UnknownActivity);
    }

    // Values of the wrong type inside a right map convert as QVariant does.
    void wrongTypedValuesConvert()
    {
        bench.script(Modem, QStringLiteral("GetProperties"),
                     {{QStringLiteral("reply"), QVariantList{QVariantMap{{"RequestedMode", 1},
                                                                          {"ModemState", QVariantMap{{"Normal", 1}}},
                                                                          {"ServiceState", true}}}}});
        SystemControl control;
        QCOMPARE(control.power(), false);
        QCOMPARE(control.status(), SystemControl::UnknownStatus);
        QSignalSpy status(&control, &SystemControl::statusChanged);
        QSignalSpy power(&control, &SystemControl::powerChanged);
        bench.emitSignal(Modem, PropertiesChanged, {QVariantMap{{"ModemState", 7}, {"ServiceState", QVariantMap{}}}});
        bench.emitSignal(Modem, PropertiesChanged, {QStringLiteral("not a map")});
        bench.emitSignal(Modem, PropertiesChanged, {QVariantMap{{"ServiceState", "Normal"}}});
        QVERIFY(bench.flush());
        QCOMPARE(firstArguments<int>(status), QList<int>{SystemControl::FullService});
        QVERIFY(power.isEmpty());
    }

    void propertiesChanged_data()
    {
        QTest::addColumn<QVariantMap>("change");
        QTest::addColumn<QList<int>>("statusSignals");
        QTest::addColumn<QList<bool>>("powerSignals");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("power");

        // The object starts with the radio on and full service.
        QTest::newRow("deferred turns off") << modemMap("Deferred", "-", "-")
                                            << QList<int>{} << QList<bool>{false} << 0 << false;
        QTest::newRow("requested inactive beats normal modem")
            << modemMap("Inactive", "Normal", "-") << QList<int>{} << QList<bool>{false} << 0 << false;
        QTest::newRow("tablet modem") << modemMap("-", "Tablet", "-")
                                      << QList<int>{} << QList<bool>{false} << 0 << false;
        QTest::newRow("inactive modem") << modemMap("Active", "Inactive", "-")
                                        << QList<int>{} << QList<bool>{false} << 0 << false;
        QTest::newRow("power on repeated") << modemMap("-", "Normal", "-")
                                           << QList<int>{} << QList<bool>{true} << 0 << true;
        QTest::newRow("service overrides service state")
            << modemMap("-", "Service", "Normal") << QList<int>{3} << QList<bool>{} << 3 << true;
        QTest::newRow("emergency only") << modemMap("-", "-", "EmergencyOnly")
                                        << QList<int>{1} << QList<bool>{} << 1 << true;
        QTest::newRow("repeated service state") << modemMap("-", "-", "Normal")
                                                << QList<int>{} << QList<bool>{} << 0 << true;
        QTest::newRow("empty service state") << modemMap("-", "-", "")
                                             << QList<int>{} << QList<bool>{} << 0 << true;
        QTest::newRow("unknown service state") << modemMap("-", "-", "Roaming")
                                               << QList<int>{-1} << QList<bool>{} << -1 << true;
        QTest::newRow("no known key") << QVariantMap{{QStringLiteral("Other"), QStringLiteral("x")}}
                                      << QList<int>{} << QList<bool>{} << 0 << true;
        QTest::newRow("no coverage and off") << modemMap("Inactive", "Inactive", "NoCoverage")
                                             << QList<int>{2} << QList<bool>{false} << 2 << false;
    }

    void propertiesChanged()
    {
        QFETCH(QVariantMap, change);
        SystemControl control;
        QSignalSpy status(&control, &SystemControl::statusChanged);
        QSignalSpy power(&control, &SystemControl::powerChanged);
        bench.emitSignal(Modem, PropertiesChanged, {change});
        QVERIFY(bench.flush());
        QTEST(firstArguments<int>(status), "statusSignals");
        QTEST(firstArguments<bool>(power), "powerSignals");
        QTEST(int(control.status()), "status");
        QTEST(control.power(), "power");
    }

    void modemFailureIsSignalledOnce()
    {
        SystemControl control;
        QSignalSpy status(&control, &SystemControl::statusChanged);
        bench.emitSignal(Modem, PropertiesChanged, {modemMap("-", "Service", "-")});
        bench.emitSignal(Modem, PropertiesChanged, {modemMap("-", "Service", "NoCoverage")});
        bench.emitSignal(Modem, PropertiesChanged, {modemMap("-", "Normal", "Normal")});
        QVERIFY(bench.flush());
        QCOMPARE(firstArguments<int>(status), (QList<int>{SystemControl::ModemFailure, SystemControl::FullService}));
    }

    void activityChanges()
    {
        SystemControl control;
        QSignalSpy activity(&control, &SystemControl::activityChanged);
        for (const char *text : {"Idle", "Busy", "Other", "Data", "Data", "Signaling"})
            bench.emitSignal(CSNet, QStringLiteral("ActivityChanged"), {QString::fromLatin1(text)});
        QVERIFY(bench.flush());
        QCOMPARE(firstArguments<int>(activity), (QList<int>{-1, SystemControl::Data, SystemControl::Signaling}));
        QCOMPARE(control.activity(), SystemControl::Signaling);
    }

    void setPowerToCurrentValueDoesNothing()
    {
        SystemControl control;
        QSignalSpy power(&control, &SystemControl::powerChanged);
        control.setPower(true);
        QVERIFY(bench.flush());
        QVERIFY(power.isEmpty());
        QVERIFY(bench.calls(QStringLiteral("RequestRadio")).isEmpty());
    }

    void setPowerRoundTrip()
    {
        SystemControl control;
        QSignalSpy power(&control, &SystemControl::powerChanged);
        QSignalSpy status(&control, &SystemControl::statusChanged);
        control.setPower(false);
        QCOMPARE(control.power(), true);   // follows the controller, not the request

        QTRY_COMPARE(status.count(), 1);
        QCOMPARE(firstArguments<int>(status), QList<int>{SystemControl::NoService});
        QCOMPARE(firstArguments<bool>(power), (QList<bool>{false, false}));
        QCOMPARE(control.power(), false);

        QCOMPARE(bench.wire(Modem).filter("RequestRadio"), QStringList{"RequestRadio(bb) false, true"});

        power.clear();
        status.clear();
        control.setProperty("power", true);
        QTRY_COMPARE(status.count(), 1);
        QCOMPARE(firstArguments<int>(status), QList<int>{SystemControl::FullService});
        QCOMPARE(firstArguments<bool>(power), (QList<bool>{true, true}));
        QCOMPARE(control.property("power").toBool(), true);
        QCOMPARE(bench.wire(Modem).filter("RequestRadio").last(), QStringLiteral("RequestRadio(bb) true, true"));
        QVERIFY(SimBench::log().isEmpty());
    }

    // Before the first read has come the cached value says nothing: a
    // request always goes out, and the modem's answer is what shows.
    void setPowerDuringASlowStart()
    {
        bench.script(Modem, QStringLiteral("GetProperties"), {{QStringLiteral("delay"), 400}});
        SystemControl control;
        QCOMPARE(control.power(), false);
        control.setPower(false);
        QTRY_COMPARE(bench.wire(Modem).filter("RequestRadio"), QStringList{"RequestRadio(bb) false, true"});
        QTRY_COMPARE(bench.properties(Modem).value(QStringLiteral("RequestedMode")).toString(), QStringLiteral("Inactive"));
        QTRY_COMPARE(control.status(), SystemControl::NoService);
        QCOMPARE(control.power(), false);
    }

    void refusedPowerRequest()
    {
        bench.script(Modem, QStringLiteral("RequestRadio"),
                     {{QStringLiteral("error"), QStringLiteral("com.kelvo.YKM.Modem.Error.Refused")},
                      {QStringLiteral("message"), QStringLiteral("flight mode locked")}});
        SystemControl control;
        QSignalSpy power(&control, &SystemControl::powerChanged);
        control.setPower(false);
        QTRY_COMPARE(power.count(), 1);
        QCOMPARE(firstArguments<bool>(power), QList<bool>{true});
        QCOMPARE(control.power(), true);
        QCOMPARE(SimBench::log(),
                 QStringList{"Error: \"com.kelvo.YKM.Modem.Error.Refused\" \"flight mode locked\""});
    }

};

QTEST_GUILESS_MAIN(TestSystemControl)
#include "tst_systemcontrol.moc"
