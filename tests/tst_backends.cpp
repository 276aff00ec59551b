// SPDX-License-Identifier: LGPL-2.1-or-later
// What an application sees, held to one behaviour on both backends: the
// simulator's own daemons (ONDRIX_BACKEND=simulator) and the simulator's
// AT modem under a real oFono with ondrix-ofono serving the daemons' names
// (ONDRIX_BACKEND=ofono). Where oFono does the same thing differently, the
// test says so.

#include "ofonobench.h"
#include "simbench.h"

#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/supplementaryservices.h>
#include <ondrix-qt/systemcontrol.h>

#include <QQmlComponent>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QQmlEngine>
#include <QtTest>

using namespace Ondrix;

namespace {

// A change crosses the simulator, the AT port, oFono and the bridge.
constexpr int Wait = 15000;

} // namespace

class TestBackends : public QObject
{
    Q_OBJECT

    SimBench bench;
    OfonoBench ofono;
    ChildProcess bridge;
    bool overOfono = false;

    void ctl(const QString &command) { QCOMPARE(bench.control(QStringLiteral("Run"), {command}).toString(), QString()); }

    // What `ondrix ARGS` prints.
    QString cli(const QStringList &args)
    {
        QProcess process;
        process.start(QStringLiteral(ONDRIX_CLI), args);
        process.waitForFinished(Wait);
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    }

    // The modem as it is at the start: registered at home, in full service.
    bool inService()
    {
        SystemControl control;
        NetworkRegistration registration;
        return waitFor([&] {
            return control.isValid() && control.status() == SystemControl::FullService
                   && registration.status() == NetworkRegistration::AtHome;
        }, Wait);
    }

    // oFono on the simulator's AT port, powered and online.
    void startOfono()
    {
        QVERIFY2(ofono.start(bench.control(QStringLiteral("AtAddress")).toString()), qPrintable(ofono.output()));
        QVERIFY2(ofono.bringUp(), qPrintable(ofono.output()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        overOfono = qEnvironmentVariable("ONDRIX_BACKEND") == QLatin1String("ofono");
        if (overOfono) {
            const QString why = OfonoBench::unavailable();
            if (!why.isEmpty())
                QSKIP(qPrintable(why));
            bench.simulatorArguments = QStringList{QStringLiteral("--at"), QStringLiteral("0"), QStringLiteral("--at-only")};
        }
        QVERIFY(bench.start());
        if (overOfono) {
            startOfono();
            bridge.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            // The modem named (bench_ofono runs the bridge that finds it itself).
            bridge.start(QStringLiteral(ONDRIX_BRIDGE), {QStringLiteral("--modem"), OfonoBench::Modem});
            QVERIFY(bridge.waitForStarted());
        }
        QVERIFY(inService());
    }

    void cleanup()
    {
        if (QTest::currentTestFailed() && overOfono)
            qWarning().noquote() << ofono.output();
    }

    void cleanupTestCase()
    {
        if (overOfono) {
            bridge.terminate();
            bridge.waitForFinished();
            ofono.stop();
        }
        bench.stop();
    }

    // The command-line tool's status: the operator, the bars and the cell.
    void status()
    {
        const QString status = cli({QStringLiteral("status")});
        QVERIFY2(status.contains(QStringLiteral("operator:    Ondrix Mobile (244 05, FI)")), qPrintable(status));
        QVERIFY2(status.contains(QStringLiteral("signal:      4 bars, 61 %, -75 dBm")), qPrintable(status));
        QVERIFY2(status.contains(QStringLiteral("network:     AtHome")), qPrintable(status));
        const QString cell = cli({QStringLiteral("cell")});
        QVERIFY2(cell.contains(QStringLiteral("cell:        WCDMACell cell 6699, area 3841")), qPrintable(cell));
    }

    // A change of the radio environment reaches the application's signal.
    void signalLevel()
    {
        SignalStrength strength(SignalStrength::BarsOption | SignalStrength::DbmOption);
        QSignalSpy bars(&strength, &SignalStrength::barsChanged);
        QTRY_VERIFY_WITH_TIMEOUT(strength.isValid() && strength.bars() == 4, Wait);
        ctl(QStringLiteral("signal -91"));
        QTRY_COMPARE_WITH_TIMEOUT(firstArguments<int>(bars), QList<int>{2}, Wait);
        QCOMPARE(strength.dbm(), -91);
        ctl(QStringLiteral("signal -75"));
        QTRY_COMPARE_WITH_TIMEOUT(strength.bars(), 4, Wait);
    }

    // A scan, a manual selection refused on a forbidden network with its
    // cause, one that succeeds, and the automatic one.
    void operatorSelection()
    {
        NetworkRegistration registration;
        QSignalSpy scanned(&registration, &NetworkRegistration::operatorsSuccess);
        QTRY_VERIFY_WITH_TIMEOUT(registration.isValid(), Wait);
        registration.scanOperators();
        QTRY_COMPARE_WITH_TIMEOUT(scanned.count(), 1, Wait);
        QStringList seen;
        for (const AvailableOperator &op : registration.availableOperators())
            seen << op.name() + ' ' + op.availabilityName() + ' ' + op.preferenceName();
        QCOMPARE(seen, (QStringList{"Ondrix Mobile Current Home", "Nordic Wave Available Preferred",
                                    "Baltic Link Available Preferred", "Tundra Telecom Forbidden Forbidden"}));

        QSignalSpy selected(&registration, qOverload<bool, const QString &>(&NetworkRegistration::selectionCompleted));
        registration.selectOperator(QStringLiteral("12"), QStringLiteral("244"));
        QTRY_COMPARE_WITH_TIMEOUT(selected.count(), 1, Wait);
        QCOMPARE(selected.takeFirst(), (QVariantList{false, QStringLiteral("PLMNNotAllowed")}));

        registration.selectOperator(QStringLiteral("91"), QStringLiteral("244"));
        QTRY_COMPARE_WITH_TIMEOUT(selected.count(), 1, Wait);
        QCOMPARE(selected.takeFirst().at(0).toBool(), true);
        QTRY_COMPARE_WITH_TIMEOUT(registration.status(), NetworkRegistration::Roaming, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(registration.mode(), NetworkRegistration::Manual, Wait);

        registration.selectOperator();
        QTRY_COMPARE_WITH_TIMEOUT(selected.count(), 1, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(registration.status(), NetworkRegistration::AtHome, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(registration.mode(), NetworkRegistration::Automatic, Wait);
    }

    // The menu: asked, answered twice. The simulator's daemon ends the
    // dialogue with a notification to acknowledge; oFono acknowledges it
    // itself, and the bridge ends the dialogue with the network's text.
    void ussdMenu()
    {
        SupplementaryServices ss;
        QSignalSpy asked(&ss, &SupplementaryServices::userActionRequested);
        QSignalSpy notified(&ss, &SupplementaryServices::notifyReceived);
        QSignalSpy released(&ss, &SupplementaryServices::ussdReleased);
        QTRY_VERIFY_WITH_TIMEOUT(ss.isValid(), Wait);
        ss.sendCommand(QStringLiteral("*123#"));
        QTRY_COMPARE_WITH_TIMEOUT(asked.count(), 1, Wait);
        QVERIFY(asked.takeFirst().at(0).toString().endsWith(QStringLiteral("2 Data bundles\n0 Exit")));
        ss.sendReply(QStringLiteral("2"));
        QTRY_COMPARE_WITH_TIMEOUT(asked.count(), 1, Wait);
        QVERIFY(asked.takeFirst().at(0).toString().startsWith(QStringLiteral("Data bundles")));
        ss.sendReply(QStringLiteral("1"));
        QSignalSpy &end = overOfono ? released : notified;
        QTRY_COMPARE_WITH_TIMEOUT(end.count(), 1, Wait);
        QCOMPARE(end.takeFirst().at(0).toString(), QStringLiteral("Ordered: 1 GB for 5 EUR"));
        if (!overOfono) {
            ss.sendNotifyAck();
            QTRY_COMPARE_WITH_TIMEOUT(released.count(), 1, Wait);
        }
    }

    // A divert registered, read back and erased.
    void diverts()
    {
        SupplementaryServices ss;
        QSignalSpy registered(&ss, &SupplementaryServices::registerDivertCompleted);
        QSignalSpy checked(&ss, &SupplementaryServices::checkDivertCompleted);
        QSignalSpy erased(&ss, &SupplementaryServices::eraseDivertCompleted);
        QTRY_VERIFY_WITH_TIMEOUT(ss.isValid(), Wait);
        ss.registerDivert(SupplementaryServices::DivertBusy, SupplementaryServices::AllBasicServices,
                          QStringLiteral("+358401234567"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(registered.count(), 1, Wait);
        QCOMPARE(registered.takeFirst().at(0).toInt(), int(SupplementaryServices::NoError));
        ss.checkDivert(SupplementaryServices::DivertBusy, SupplementaryServices::AllBasicServices);
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, Wait);
        const auto list = checked.takeFirst().at(0).value<SupplementaryServices::DivertServiceList>();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].telephoneNumber, QStringLiteral("+358401234567"));
        QVERIFY(list[0].active);
        ss.eraseDivert(SupplementaryServices::DivertBusy, SupplementaryServices::AllBasicServices);
        QTRY_COMPARE_WITH_TIMEOUT(erased.count(), 1, Wait);
        ss.checkDivert(SupplementaryServices::DivertBusy, SupplementaryServices::AllBasicServices);
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, Wait);
        QVERIFY(checked.takeFirst().at(0).value<SupplementaryServices::DivertServiceList>().isEmpty());
    }

    // What oFono has nothing behind answers at once with a named error,
    // never a time-out; the simulator's daemons do these.
    void unbacked_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariantList>("args");
        QTest::newRow("the card's authentication") << "com.kelvo.hvt.SIM" << "/com/kelvo/hvt/sim" << "com.kelvo.hvt.SIM.Identity"
                                                   << "GetAuth" << QVariantList{QByteArray(16, '\x01')};
        QTest::newRow("a phonebook entry written") << "com.kelvo.hvt.SIM" << "/com/kelvo/hvt/sim/phonebook"
                                                   << "com.kelvo.hvt.SIM.Phonebook" << "Delete" << QVariantList{"adn", 2};
        QTest::newRow("the SIM lock lifted") << "com.kelvo.hvt.SIM" << "/com/kelvo/hvt/sim" << "com.kelvo.hvt.SIM.SIMLock"
                                             << "UnlockSIMLock" << QVariantList{1, "12345678"};
    }

    void unbacked()
    {
        if (!overOfono)
            QSKIP("the simulator's daemons back every member");
        QFETCH(QString, service);
        QFETCH(QString, path);
        QFETCH(QString, interface);
        QFETCH(QString, member);
        QFETCH(QVariantList, args);
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, member);
        call.setArguments(args);
        const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, Wait);
        QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.NotSupported"));
        QVERIFY(!reply.errorMessage().isEmpty());
    }

    // The radio off and on through the application.
    void radio()
    {
        SystemControl control;
        QSignalSpy power(&control, &SystemControl::powerChanged);
        QTRY_VERIFY_WITH_TIMEOUT(control.isValid() && control.power(), Wait);
        control.setPower(false);
        QTRY_COMPARE_WITH_TIMEOUT(control.status(), SystemControl::NoService, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(control.power(), false, Wait);
        QCOMPARE(power.last().at(0).toBool(), false);
        control.setPower(true);
        QTRY_COMPARE_WITH_TIMEOUT(control.status(), SystemControl::FullService, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(control.power(), true, Wait);
    }

    // The daemon leaves and comes back (the simulator's names; ofonod
    // restarted under the bridge, here with the card of the pin-locked
    // scenario): the application sees it go and reads the state again.
    void daemonReturns()
    {
        SystemControl control;
        QSignalSpy valid(&control, &SystemControl::validChanged);
        QTRY_VERIFY_WITH_TIMEOUT(control.isValid(), Wait);
        auto lockedCard = [this] {
            bench.reset();
            QCOMPARE(bench.playScenario(QStringLiteral(ONDRIX_SCENARIOS_DIR "/pin-locked-sim.scenario"), 1000), QString());
            QVERIFY(bench.waitScenario());
        };
        if (overOfono) {
            ofono.stop();
            QTRY_COMPARE_WITH_TIMEOUT(firstArguments<bool>(valid), QList<bool>{false}, Wait);
            lockedCard();
            // oFono keeps a modem whose card wants its PIN off line.
            QVERIFY2(ofono.start(bench.control(QStringLiteral("AtAddress")).toString()), qPrintable(ofono.output()));
            QVERIFY2(ofono.bringUp(false), qPrintable(ofono.output()));
        } else {
            lockedCard();
            bench.releaseNames();
            QTRY_COMPARE_WITH_TIMEOUT(firstArguments<bool>(valid), QList<bool>{false}, Wait);
            bench.acquireNames();
        }
        QTRY_COMPARE_WITH_TIMEOUT(firstArguments<bool>(valid), (QList<bool>{false, true}), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(cli({QStringLiteral("sim"), QStringLiteral("status")}).trimmed(),
                                  QStringLiteral("sim:         PINRequired"), Wait);
    }

    // The card of the pin-locked scenario through the QML module's lock
    // screen model: the PIN asked for, a wrong one counted, the right one
    // opening the card.
    void pinFlow()
    {
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral(ONDRIX_QML_IMPORT_PATH));
        QQmlComponent component(&engine);
        component.setData("import Ondrix 1.0\nSimCard {}", QUrl());
        std::unique_ptr<QObject> sim(component.create());
        QVERIFY2(sim, qPrintable(component.errorString()));
        QTRY_COMPARE_WITH_TIMEOUT(sim->property("codeNeeded").toInt(), 1 /* PinCode */, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(sim->property("pinAttemptsLeft").toInt(), 3, Wait);

        QSignalSpy entered(sim.get(), SIGNAL(codeEntered(bool, Ondrix::SIM::SIMError)));
        QMetaObject::invokeMethod(sim.get(), "enterPin", Q_ARG(QString, QStringLiteral("0000")));
        QTRY_COMPARE_WITH_TIMEOUT(entered.count(), 1, Wait);
        QCOMPARE(entered.takeFirst().at(0).toBool(), false);
        QTRY_COMPARE_WITH_TIMEOUT(sim->property("pinAttemptsLeft").toInt(), 2, Wait);

        QMetaObject::invokeMethod(sim.get(), "enterPin", Q_ARG(QString, QStringLiteral("1234")));
        QTRY_COMPARE_WITH_TIMEOUT(entered.count(), 1, Wait);
        QCOMPARE(entered.takeFirst().at(0).toBool(), true);
        QTRY_COMPARE_WITH_TIMEOUT(sim->property("codeNeeded").toInt(), 0 /* NoCode */, Wait);
        SystemControl control;
        QTRY_VERIFY_WITH_TIMEOUT(control.isValid(), Wait);
        if (!control.power())
            control.setPower(true);
        QVERIFY(inService());
    }
};

QTEST_GUILESS_MAIN(TestBackends)
#include "tst_backends.moc"
