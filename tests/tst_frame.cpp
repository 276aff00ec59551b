// SPDX-License-Identifier: LGPL-2.1-or-later
// The shared call mechanics, against the simulator: what reaches a class from
// the bus, and what does not.

#include "frame.h"
#include "simbench.h"

#include <QLoggingCategory>

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/emergencynumbers.h>
#include <ondrix-qt/networkcell.h>
#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/networktime.h>
#include <ondrix-qt/phoneinfo.h>
#include <ondrix-qt/radioaccess.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/simidentity.h>
#include <ondrix-qt/simlock.h>
#include <ondrix-qt/simphonebook.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/smsparameters.h>
#include <ondrix-qt/supplementaryservices.h>
#include <ondrix-qt/systemcontrol.h>

#include <QtTest>

#include <memory>
#include <vector>

using namespace Ondrix;

namespace {
const QString Modem = QStringLiteral("com.kelvo.YKM.Modem");
const QString GetProperties = QStringLiteral("GetProperties");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString Operator = QStringLiteral("com.kelvo.hvt.CSNet.NetworkOperator");
const QString Signal = QStringLiteral("com.kelvo.hvt.CSNet.SignalStrength");

// One object of every service class.
std::vector<std::unique_ptr<QObject>> everyClass()
{
    std::vector<std::unique_ptr<QObject>> all;
    all.emplace_back(new SystemControl);
    all.emplace_back(new NetworkRegistration);
    all.emplace_back(new NetworkOperator);
    all.emplace_back(new SignalStrength);
    all.emplace_back(new RadioAccess);
    all.emplace_back(new NetworkCell);
    all.emplace_back(new NetworkTime);
    all.emplace_back(new SIM::SIMStatus);
    all.emplace_back(new SIM::SIMSecurity);
    all.emplace_back(new SIM::SIMIdentity);
    all.emplace_back(new SIMPhonebook);
    all.emplace_back(new SIMLock);
    all.emplace_back(new SupplementaryServices);
    all.emplace_back(new EmergencyNumbers);
    all.emplace_back(new CallTimers);
    all.emplace_back(new PhoneInfo);
    all.emplace_back(new SMSParameters);
    return all;
}

bool isValid(QObject *object)
{
    if (object->metaObject()->indexOfProperty("valid") >= 0)
        return object->property("valid").toBool();
    bool valid = false;
    QMetaObject::invokeMethod(object, "isValid", Q_RETURN_ARG(bool, valid));
    return valid;
}
}

class Receiver : public QObject
{
public:
    QList<QVariantMap> replies;
    QStringList errors;
    QStringList activities;
    void onReply(const QVariantMap &map) { replies << map; }
    void onError(const QDBusError &e) { errors << e.name() + QLatin1Char(' ') + e.message(); }
    void onActivity(const QString &text) { activities << text; }
};

class TestFrame : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void signaturesOfHandlers()
    {
        QCOMPARE(Frame::signatureOf<>(), QString());
        QCOMPARE((Frame::signatureOf<const QString &, int, bool>()), QStringLiteral("sib"));
        QCOMPARE(Frame::signatureOf<const QVariantMap &>(), QStringLiteral("a{sv}"));
        QVERIFY(Frame::carries(QStringLiteral("sa{sv}"), QStringLiteral("s")));
        QVERIFY(!Frame::carries(QStringLiteral("as"), QStringLiteral("s")));
    }

    // A reply reaches the handler only with the arguments it asks for; any
    // other completes the call as an error, exactly once.
    void replyHandedOnOnlyWithItsSignature_data()
    {
        QTest::addColumn<QVariantList>("reply");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("map") << QVariantList{QVariantMap{{"A", 1}}} << true;
        QTest::newRow("map and more") << QVariantList{QVariantMap{{"A", 1}}, 5} << true;
        QTest::newRow("nothing") << QVariantList{} << false;
        QTest::newRow("string") << QVariantList{QStringLiteral("x")} << false;
        QTest::newRow("int array") << QVariantList{QVariant::fromValue(QList<int>{1, 2})} << false;
        QTest::newRow("string map") << QVariantList{QVariant::fromValue(QMap<QString, QString>{{"a", "b"}})} << false;
    }

    void replyHandedOnOnlyWithItsSignature()
    {
        QFETCH(QVariantList, reply);
        QFETCH(bool, delivered);
        qDBusRegisterMetaType<QList<int>>();
        qDBusRegisterMetaType<QMap<QString, QString>>();
        bench.script(Modem, GetProperties, {{"reply", QVariant(reply)}});
        Receiver receiver;
        QVERIFY(Frame::callAsync(Frame::methodCall(Frame::Method::ModemGetProperties), &receiver,
                                 &Receiver::onReply, &Receiver::onError));
        QTRY_COMPARE(receiver.replies.size() + receiver.errors.size(), 1);
        QCOMPARE(receiver.replies.size(), delivered ? 1 : 0);
        if (!delivered)
            QVERIFY(receiver.errors.first().startsWith("org.freedesktop.DBus.Error.InvalidSignature "));
        bench.flush();
        QCOMPARE(receiver.replies.size() + receiver.errors.size(), 1);
    }

    void propertyReadTakesOnlyOneMap_data()
    {
        QTest::addColumn<QVariantList>("reply");
        QTest::addColumn<bool>("taken");
        QTest::newRow("map") << QVariantList{QVariantMap{{"A", 1}}} << true;
        QTest::newRow("two maps") << QVariantList{QVariantMap{}, QVariantMap{}} << false;
        QTest::newRow("int array") << QVariantList{QVariant::fromValue(QList<int>{1})} << false;
        QTest::newRow("struct list") << QVariantList{QVariant::fromValue(QList<QStringList>{{"a"}})} << false;
    }

    void propertyReadTakesOnlyOneMap()
    {
        QFETCH(QVariantList, reply);
        qDBusRegisterMetaType<QList<int>>();
        qDBusRegisterMetaType<QList<QStringList>>();
        bench.script(Modem, GetProperties, {{"reply", QVariant(reply)}});
        QVariantMap out;
        QTEST(Frame::readProperties(Frame::methodCall(Frame::Method::ModemGetProperties), out), "taken");
        QVERIFY(SimBench::log().isEmpty());
    }

    void signalsOfAnotherSignatureAreDropped()
    {
        Receiver receiver;
        QVERIFY(Frame::subscribe(Frame::Signal::CSNetActivityChanged, &receiver, &Receiver::onActivity));
        const QString csnet = QStringLiteral("com.kelvo.hvt.CSNet");
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {5});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QVariant::fromValue(QStringList{"Call"})});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QVariantMap{{"Call", 1}}});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QStringLiteral("Call")});
        // More arguments after the expected ones are the daemon's to add: the first ones count.
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QStringLiteral("Data"), 7});
        QVERIFY(bench.flush());
        QCOMPARE(receiver.activities, (QStringList{"Call", "Data"}));

        Frame::unsubscribe(Frame::Signal::CSNetActivityChanged, &receiver);
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QStringLiteral("Idle")});
        QVERIFY(bench.flush());
        QCOMPARE(receiver.activities, (QStringList{"Call", "Data"}));
    }

    // The time each call is given, as the calls category tells it.
    void callsHaveTheirTimeOuts_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("line");
        QTest::newRow("construction read") << "construct" << "call org.freedesktop.DBus.Properties.GetAll time-out 250 ms";
        QTest::newRow("scan") << "scan" << "call com.kelvo.hvt.CSNet.NetworkRegistration.GetNetworks time-out 120000 ms";
        QTest::newRow("selection") << "select" << "call com.kelvo.hvt.CSNet.NetworkRegistration.SelectOperator time-out 120000 ms";
        QTest::newRow("automatic selection") << "auto" << "call com.kelvo.hvt.CSNet.NetworkRegistration.SelectAnyOperator time-out 120000 ms";
        QTest::newRow("cancelled selection") << "cancel" << "call com.kelvo.hvt.CSNet.NetworkRegistration.CancelRegister time-out default";
    }

    void callsHaveTheirTimeOuts()
    {
        QFETCH(QString, operation);
        QFETCH(QString, line);
        QLoggingCategory::setFilterRules(QStringLiteral("ondrix.dbus.calls.debug=true"));
        {
            NetworkRegistration registration;
            if (operation == QLatin1String("scan"))
                registration.queryAvailableOperators();
            else if (operation == QLatin1String("select"))
                registration.selectOperator(QStringLiteral("91"), QStringLiteral("244"));
            else if (operation == QLatin1String("auto") || operation == QLatin1String("cancel"))
                registration.selectOperator();
            if (operation == QLatin1String("cancel"))
                registration.cancelSelectOperator();
        }
        QLoggingCategory::setFilterRules(QString());
        QVERIFY2(SimBench::log().contains(line), qPrintable(SimBench::log().join(QLatin1Char('\n'))));
    }

    // One object following a signal name on two interfaces gets each
    // signal only at the handler of its own interface.
    void signalsGoByInterfaceAndName()
    {
        QObject context;
        QStringList seen;
        QVERIFY(Frame::subscribe(Frame::Signal::NetworkRegistrationSelectionModeChanged, QStringLiteral("s"), &context,
                                 [&seen](const QVariantList &args) { seen << "registration " + args.value(0).toString(); }));
        QVERIFY(Frame::subscribe(Frame::Signal::RadioAccessSelectionModeChanged, QStringLiteral("s"), &context,
                                 [&seen](const QVariantList &args) { seen << "radio " + args.value(0).toString(); }));
        bench.emitSignal(QStringLiteral("com.kelvo.hvt.CSNet.RadioAccess"), QStringLiteral("SelectionModeChanged"),
                         {QStringLiteral("GSM")});
        bench.emitSignal(QStringLiteral("com.kelvo.hvt.CSNet.NetworkRegistration"), QStringLiteral("SelectionModeChanged"),
                         {QStringLiteral("Manual")});
        QVERIFY(bench.flush());
        QCOMPARE(seen, (QStringList{"radio GSM", "registration Manual"}));
    }

    // Every line goes through one category, which applications can silence.
    void logLinesHaveTheirCategory()
    {
        static QStringList seen;
        seen.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &context, const QString &text) {
                seen << QLatin1String(context.category) + QLatin1Char(' ') + text;
            });
        Frame::logError(QDBusError(QDBusError::Failed, QStringLiteral("no")));
        QLoggingCategory::setFilterRules(QStringLiteral("ondrix.dbus.debug=false"));
        Frame::logFailure("Manual selection failed:", QStringLiteral("no"));
        QLoggingCategory::setFilterRules(QString());
        Frame::logFailure("Manual selection failed:", QStringLiteral("PLMNNotAllowed"));
        qInstallMessageHandler(previous);
        QCOMPARE(seen, (QStringList{"ondrix.dbus Error: \"org.freedesktop.DBus.Error.Failed\" \"no\"",
                                    "ondrix.dbus Manual selection failed: \"PLMNNotAllowed\""}));
    }

    // A daemon slower than the start-up reads: one read blocks, the others go
    // asynchronous, and every value arrives, announced, once it answers.
    void slowStartRecovers()
    {
        bench.script(Properties, QStringLiteral("GetAll"), {{QStringLiteral("delay"), 400}, {QStringLiteral("count"), 4}});
        SystemControl control;
        NetworkRegistration registration;
        NetworkOperator op;
        SignalStrength signal(SignalStrength::BarsOption);
        QSignalSpy activity(&control, &SystemControl::activityChanged);
        QSignalSpy status(&registration, &NetworkRegistration::statusChanged);
        QSignalSpy name(&op, &NetworkOperator::nameChanged);
        QSignalSpy bars(&signal, &SignalStrength::barsChanged);
        const QStringList log = SimBench::log();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.first().startsWith(QLatin1String("Error: \"org.freedesktop.DBus.Error.NoReply\"")),
                 qPrintable(log.first()));
        QCOMPARE(op.name(), QString());
        QTRY_COMPARE(name.count(), 1);
        QTRY_COMPARE(bars.count(), 1);
        QTRY_COMPARE(status.count(), 1);
        QTRY_COMPARE(activity.count(), 1);
        QCOMPARE(op.name(), QStringLiteral("Ondrix Mobile"));
        QCOMPARE(signal.bars(), 4);
        QCOMPARE(registration.status(), int(NetworkRegistration::AtHome));
        QCOMPARE(control.activity(), SystemControl::Idle);
        // The daemon answered: the next object reads at once again.
        QTRY_COMPARE(bench.calls(QStringLiteral("GetAll")).size(), 5);
        NetworkOperator later;
        QCOMPARE(later.name(), QStringLiteral("Ondrix Mobile"));
    }

    // A daemon that comes back with other state is read again, once per
    // object, and what differs is announced.
    void restartedDaemonIsReread()
    {
        NetworkOperator op;
        SignalStrength signal(SignalStrength::BarsOption);
        QSignalSpy name(&op, &NetworkOperator::nameChanged);
        QSignalSpy codes(&op, &NetworkOperator::operatorChanged);
        QSignalSpy bars(&signal, &SignalStrength::barsChanged);
        QSignalSpy valid(&op, &NetworkOperator::validChanged);
        bench.releaseNames();
        QTRY_COMPARE(valid.count(), 1);
        bench.setProperty(Operator, QStringLiteral("OperatorName"), QStringLiteral("Telia EE"));
        bench.setProperty(Operator, QStringLiteral("OperatorMCC"), QStringLiteral("248"));
        bench.setProperty(Operator, QStringLiteral("OperatorMNC"), QStringLiteral("01"));
        bench.setProperty(Signal, QStringLiteral("SignalBars"), 1);
        QVERIFY(bench.flush());
        QCOMPARE(op.name(), QStringLiteral("Ondrix Mobile"));   // nothing came while it was away
        bench.clearCalls();
        bench.acquireNames();
        QTRY_COMPARE(name.count(), 1);
        QTRY_COMPARE(bars.count(), 1);
        QTRY_COMPARE(codes.count(), 1);
        QCOMPARE(firstArguments<bool>(valid), (QList<bool>{false, true}));
        QCOMPARE(op.name(), QStringLiteral("Telia EE"));
        QCOMPARE(codes.first(), (QVariantList{QStringLiteral("01"), QStringLiteral("248")}));
        QCOMPARE(signal.bars(), 1);
        QVERIFY(bench.flush());
        QCOMPARE(bench.calls(QStringLiteral("GetAll")).size(), 2);
    }

    // Whichever object comes first registers every type under its names.
    void typesHaveTheirNames()
    {
        SMSParameters first;
        const char *const names[] = {
            "OperatorStruct", "OperatorList", "CellServiceMap", "SystemControl::Status",
            "NetworkRegistration::Status", "NetworkRegistration::RejectCode", "NetworkRegistration::Mode",
            "QList<AvailableOperator>", "AvailableOperator::Availability", "AvailableOperator::Band",
            "AvailableOperator::Preference", "SIMError", "SIMStatus::Status", "SIMSecurity::PINType",
            "SIMSecurity::PUKType", "SIMSecurity::PINQuery", "SIMPhonebook::SIMPhonebookError",
            "SIMPhonebook::PhonebookType", "SIMPhonebook::FDNStatus", "SIMLock::SIMLockError",
            "SIMLock::SIMLockStatus", "SupplementaryServices::Error", "SupplementaryServices::UssdOp",
            "SupplementaryServices::UssdError", "SupplementaryServices::DivertServiceCode",
            "SupplementaryServices::BarringServiceCode", "SupplementaryServices::OtherServiceCode",
            "SupplementaryServices::BasicService", "SupplementaryServices::BasicServiceList",
            "SupplementaryServices::DivertService", "SupplementaryServices::ClirStatus",
            "Ondrix::SupplementaryServices::DivertService", "Ondrix::SupplementaryServices::DivertServiceList",
            "Ondrix::EmergencyNumbers::EmergencyNumberInfo", "Ondrix::EmergencyNumbers::EmergencyNumbersList",
            "CallTimers::CallTimersInfo", "PhoneInfo::SettingStatus", "RadioAccess::Mode",
            "RadioAccess::Technology", "RadioAccess::State", "RadioAccess::Flags", "NetworkCell::Type",
            "NetworkCell::Services", "NetworkTimeInfo",
        };
        for (const char *name : names)
            QVERIFY2(metaTypeId(name) != 0, name);
        // The lists travel on the bus as their types say.
        auto wire = [](const char *name) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
            return QLatin1String(QDBusMetaType::typeToSignature(QMetaType(metaTypeId(name))));
#else
            return QLatin1String(QDBusMetaType::typeToSignature(metaTypeId(name)));
#endif
        };
        QCOMPARE(wire("CellServiceMap"), QLatin1String("a{sb}"));
        QCOMPARE(wire("Ondrix::EmergencyNumbers::EmergencyNumbersList"), QLatin1String("a(suu)"));
    }

    // Every class says when its daemon leaves and comes back.
    void validityFollowsTheDaemon()
    {
        const auto objects = everyClass();
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (const auto &object : objects) {
            QVERIFY2(isValid(object.get()), object->metaObject()->className());
            spies.emplace_back(new QSignalSpy(object.get(), SIGNAL(validChanged(bool))));
        }
        bench.releaseNames();
        for (std::size_t i = 0; i < objects.size(); i++) {
            QTRY_COMPARE(spies[i]->count(), 1);
            QVERIFY2(!isValid(objects[i].get()), objects[i]->metaObject()->className());
            const int property = objects[i]->metaObject()->indexOfProperty("valid");
            if (property >= 0)
                QVERIFY(objects[i]->metaObject()->property(property).hasNotifySignal());
        }
        bench.acquireNames();
        for (std::size_t i = 0; i < objects.size(); i++) {
            QTRY_COMPARE(spies[i]->count(), 2);
            QCOMPARE(spies[i]->at(1).at(0).toBool(), true);
            QVERIFY2(isValid(objects[i].get()), objects[i]->metaObject()->className());
        }
    }

    // Runs last: it takes the bus away.
    void unsentCalls()
    {
        Receiver receiver;
        bench.killBus();
        QTRY_VERIFY(!QDBusConnection::systemBus().isConnected());
        QVERIFY(!Frame::callAsync(Frame::methodCall(Frame::Method::ModemGetProperties), &receiver,
                                  &Receiver::onReply, &Receiver::onError));
        QCoreApplication::processEvents();   // nothing was queued for later either
        QVERIFY(receiver.errors.isEmpty() && receiver.replies.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
