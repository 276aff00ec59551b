// SPDX-License-Identifier: LGPL-2.1-or-later
// The shared call mechanics, against the simulator: what reaches a class from
// the bus, and what does not.

#include "frame.h"
#include "simbench.h"

#include <QLoggingCategory>

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/networkcell.h>
#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/networktime.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/smsparameters.h>
#include <ondrix-qt/supplementaryservices.h>
#include <ondrix-qt/systemcontrol.h>

#include <QtTest>

using namespace Ondrix;

namespace {
const QString Modem = QStringLiteral("com.kelvo.YKM.Modem");
const QString GetProperties = QStringLiteral("GetProperties");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString Operator = QStringLiteral("com.kelvo.hvt.CSNet.NetworkOperator");
const QString Signal = QStringLiteral("com.kelvo.hvt.CSNet.SignalStrength");
}

// A public object of the smallest kind, and its private side following the
// signals a test names.
class Probe : public QObject
{
public:
    void validChanged(bool) {}
};

class ProbePrivate : public Frame::ServicePrivate<Probe>
{
public:
    ProbePrivate(Probe *q, const std::vector<Follow> &follows)
        : ServicePrivate(q, {Frame::Bus::CSNet}, follows)
    {
    }
    void onActivity(const QString &text) { seen << text; }
    void onRegistrationMode(const QString &text) { seen << "registration " + text; }
    void onRadioMode(const QString &text) { seen << "radio " + text; }

    QStringList seen;
};

class TestFrame : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    // The first object of a class in the process follows its signals with
    // their whole signatures, though its types are registered only as it is
    // made: a signal of other arguments reaches no handler. (First here: no
    // test before it makes a NetworkCell.)
    void firstObjectDropsSignalsOfAnotherSignature()
    {
        NetworkCell cell;
        QTRY_VERIFY(cell.services() != NetworkCell::Services());
        const NetworkCell::Services before = cell.services();
        QSignalSpy changed(&cell, &NetworkCell::servicesChanged);
        const QString networkCell = QStringLiteral("com.kelvo.hvt.CSNet.NetworkCell");
        bench.emitSignal(networkCell, QStringLiteral("ServicesChanged"), {QVariantMap{{"CSService", 1}}});
        bench.emitSignal(networkCell, QStringLiteral("ServicesChanged"), {QStringLiteral("CSService"), 1, 2});
        bench.emitSignal(networkCell, QStringLiteral("ServicesChanged"), {QVariant::fromValue(CellServiceMap{})});
        QVERIFY(bench.flush());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(cell.services(), NetworkCell::Services());
        QVERIFY(before != NetworkCell::Services());
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
        QObject context;
        QList<QVariantMap> replies;
        QStringList errors;
        Frame::operate<QVariantMap>(
            Frame::methodCall(Frame::Method::ModemGetProperties), &context,
            [&replies](const QVariantMap &map) { replies << map; },
            [&errors](const QDBusError &e) { errors << e.name() + QLatin1Char(' ') + e.message(); });
        QTRY_COMPARE(replies.size() + errors.size(), 1);
        QCOMPARE(replies.size(), delivered ? 1 : 0);
        if (!delivered)
            QVERIFY(errors.first().startsWith("org.freedesktop.DBus.Error.InvalidSignature "));
        bench.flush();
        QCOMPARE(replies.size() + errors.size(), 1);
    }

    // A read takes a map first; more arguments after it are the daemon's, as
    // for signals and answers.
    void propertyReadTakesAMapFirst_data()
    {
        QTest::addColumn<QVariantList>("reply");
        QTest::addColumn<bool>("taken");
        QTest::newRow("map") << QVariantList{QVariantMap{{"A", 1}}} << true;
        QTest::newRow("map and more") << QVariantList{QVariantMap{{"A", 1}}, QVariantMap{}} << true;
        QTest::newRow("int array") << QVariantList{QVariant::fromValue(QList<int>{1})} << false;
        QTest::newRow("struct list") << QVariantList{QVariant::fromValue(QList<QStringList>{{"a"}})} << false;
    }

    void propertyReadTakesAMapFirst()
    {
        QFETCH(QVariantList, reply);
        QFETCH(bool, taken);
        qDBusRegisterMetaType<QList<int>>();
        qDBusRegisterMetaType<QList<QStringList>>();
        bench.script(Modem, GetProperties, {{"reply", QVariant(reply)}});
        const auto out = Frame::read<QVariantMap>(Frame::methodCall(Frame::Method::ModemGetProperties));
        QCOMPARE(bool(out), taken);
        if (out)
            QCOMPARE(std::get<0>(*out).value(QStringLiteral("A")).toInt(), 1);
        QVERIFY(SimBench::log().isEmpty());
    }

    // A daemon that answers its first reads with errors, or not at all and
    // then with an error: the object reads again, waiting longer each time,
    // until the state comes.
    void failedReadsAreTriedAgain_data()
    {
        QTest::addColumn<QVariantList>("answers");
        const QVariantMap notReady = SimBench::failure(QStringLiteral("com.kelvo.hvt.CSNet.Error.NotReady"));
        QTest::newRow("errors") << QVariantList{notReady, notReady, notReady};
        QTest::newRow("silence, then an error") << QVariantList{QVariantMap{{"delay", 400}}, notReady};
    }

    void failedReadsAreTriedAgain()
    {
        QFETCH(QVariantList, answers);
        for (const QVariant &answer : answers) {
            QVariantMap scripted = answer.toMap();
            scripted.insert(QStringLiteral("when"), QVariantList{Operator});
            bench.script(Properties, QStringLiteral("GetAll"), scripted);
        }
        NetworkOperator op;
        QSignalSpy name(&op, &NetworkOperator::nameChanged);
        QCOMPARE(op.name(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(op.name(), QStringLiteral("Ondrix Mobile"), 20000);
        QCOMPARE(firstArguments<QString>(name), QStringList{"Ondrix Mobile"});
        QCOMPARE(bench.calls(QStringLiteral("GetAll")).size(), answers.size() + 1);
    }

    void signalsOfAnotherSignatureAreDropped()
    {
        Probe probe;
        auto *receiver = new ProbePrivate(&probe, {ProbePrivate::on(Frame::Signal::CSNetActivityChanged, &ProbePrivate::onActivity)});
        const QString csnet = QStringLiteral("com.kelvo.hvt.CSNet");
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {5});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QVariant::fromValue(QStringList{"Call"})});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QVariantMap{{"Call", 1}}});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QStringLiteral("Call")});
        // More arguments after the expected ones are the daemon's to add: the first ones count.
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QStringLiteral("Data"), 7});
        QVERIFY(bench.flush());
        QCOMPARE(receiver->seen, (QStringList{"Call", "Data"}));

        receiver->unfollow(Frame::Signal::CSNetActivityChanged);
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QStringLiteral("Idle")});
        QVERIFY(bench.flush());
        QCOMPARE(receiver->seen, (QStringList{"Call", "Data"}));
    }

    // Only arguments held as the type the signature names at their place are
    // read as that type: one missing, one QtDBus could not read (an invalid
    // value) or another in its place ends the count. The arguments are as
    // QtDBus hands them over ("map": an a{sv} in wire form, from a reply).
    void argumentsHeldAsTheirTypes_data()
    {
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("held");
        QTest::newRow("a map") << "a{sv}" << QStringList{"map"} << 1;
        QTest::newRow("a map and a text") << "a{sv}s" << QStringList{"map", "text"} << 2;
        QTest::newRow("the map left out, the text in its place") << "a{sv}s" << QStringList{"text"} << 0;
        QTest::newRow("the text left out") << "a{sv}s" << QStringList{"map"} << 1;
        QTest::newRow("a map of other values") << "a{sb}" << QStringList{"map"} << 0;
        QTest::newRow("a map where a structure goes") << "(sv)" << QStringList{"map"} << 0;
        QTest::newRow("numbers and texts") << "iis" << QStringList{"number", "number", "text"} << 3;
        QTest::newRow("a text where a number goes") << "is" << QStringList{"text"} << 0;
        QTest::newRow("texts") << "as" << QStringList{"texts"} << 1;
        QTest::newRow("texts where numbers go") << "ai" << QStringList{"texts"} << 0;
        QTest::newRow("a map in a list of them") << "aa{sv}" << QStringList{"map"} << 0;
        QTest::newRow("nothing") << "s" << QStringList{} << 0;
        QTest::newRow("a value QtDBus could not read") << "ss" << QStringList{"unread", "text"} << 0;
    }

    void argumentsHeldAsTheirTypes()
    {
        QFETCH(QString, signature);
        QFETCH(QStringList, args);
        QFETCH(int, held);
        bench.script(Modem, GetProperties, {{"reply", QVariantList{QVariantMap{{"A", 1}}}}});
        const QDBusMessage reply = QDBusConnection::systemBus().call(Frame::methodCall(Frame::Method::ModemGetProperties));
        QCOMPARE(reply.signature(), QStringLiteral("a{sv}"));
        const QHash<QString, QVariant> made{{"map", reply.arguments().value(0)}, {"text", QStringLiteral("x")},
                                            {"number", 7}, {"texts", QStringList{"a"}},
                                            {"unread", QVariant()}};
        QVariantList given;
        for (const QString &arg : args)
            given << made.value(arg);
        QCOMPARE(Frame::heldArguments(signature, given, 10), held);
        QCOMPARE(Frame::heldArguments(signature, given, 1), qMin(held, 1));
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

    // The objects of a thread share one subscription per signal: one that a
    // handler deletes while the signal is being handed out gets nothing more,
    // one that a handler makes gets the next signal, and the others get it once.
    void objectsComeAndGoWhileASignalIsHandedOut()
    {
        const QString strength = QStringLiteral("com.kelvo.hvt.CSNet.SignalStrength");
        auto *first = new SignalStrength(SignalStrength::BarsOption);
        auto *doomed = new SignalStrength(SignalStrength::BarsOption);
        auto *last = new SignalStrength(SignalStrength::BarsOption);
        std::unique_ptr<SignalStrength> newcomer;
        QSignalSpy lastBars(last, &SignalStrength::barsChanged);
        connect(first, &SignalStrength::barsChanged, first, [&] {
            delete doomed;
            doomed = nullptr;
            if (!newcomer)
                newcomer.reset(new SignalStrength(SignalStrength::BarsOption));
        });
        bench.emitSignal(strength, QStringLiteral("SignalBarsChanged"), {2});
        QVERIFY(bench.flush());
        QCOMPARE(first->bars(), 2);
        QCOMPARE(firstArguments<int>(lastBars), QList<int>{2});
        QVERIFY(newcomer);
        QCOMPARE(newcomer->bars(), 4);   // what it read as it was made; the signal before it is not its

        bench.emitSignal(strength, QStringLiteral("SignalBarsChanged"), {1});
        QVERIFY(bench.flush());
        QCOMPARE(newcomer->bars(), 1);
        QCOMPARE(firstArguments<int>(lastBars), (QList<int>{2, 1}));
        delete first;
        delete last;
        newcomer.reset();
        // With every object gone, a signal finds nobody.
        bench.emitSignal(strength, QStringLiteral("SignalBarsChanged"), {3});
        QVERIFY(bench.flush());
    }

    // One object following a signal name on two interfaces gets each
    // signal only at the handler of its own interface.
    void signalsGoByInterfaceAndName()
    {
        Probe probe;
        auto *receiver = new ProbePrivate(
            &probe, {ProbePrivate::on(Frame::Signal::NetworkRegistrationSelectionModeChanged, &ProbePrivate::onRegistrationMode),
                     ProbePrivate::on(Frame::Signal::RadioAccessSelectionModeChanged, &ProbePrivate::onRadioMode)});
        bench.emitSignal(QStringLiteral("com.kelvo.hvt.CSNet.RadioAccess"), QStringLiteral("SelectionModeChanged"),
                         {QStringLiteral("GSM")});
        bench.emitSignal(QStringLiteral("com.kelvo.hvt.CSNet.NetworkRegistration"), QStringLiteral("SelectionModeChanged"),
                         {QStringLiteral("Manual")});
        QVERIFY(bench.flush());
        QCOMPARE(receiver->seen, (QStringList{"radio GSM", "registration Manual"}));
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

    // An object registers the types its class's values and signals carry,
    // under the names queued connections and QML look them up by, and as the
    // wire types the interface files give.
    void typesHaveTheirNames()
    {
        NetworkRegistration registration;
        NetworkCell cell;
        SIM::SIMStatus sim;
        NetworkTime time;
        SupplementaryServices services;
        CallTimers timers;
        for (const char *name : {"OperatorList", "CellServiceMap", "SIMError", "NetworkTimeInfo",
                                 "Ondrix::SupplementaryServices::DivertServiceList",
                                 "Ondrix::EmergencyNumbers::EmergencyNumbersList", "CallTimers::CallTimersInfo"})
            QVERIFY2(metaTypeId(name) != 0, name);
        auto wire = [](const char *name) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
            return QLatin1String(QDBusMetaType::typeToSignature(QMetaType(metaTypeId(name))));
#else
            return QLatin1String(QDBusMetaType::typeToSignature(metaTypeId(name)));
#endif
        };
        QCOMPARE(wire("OperatorList"), QLatin1String("a(ssssssb)"));
        QCOMPARE(wire("CellServiceMap"), QLatin1String("a{sb}"));
        QCOMPARE(wire("Ondrix::SupplementaryServices::DivertServiceList"), QLatin1String("a(sbsu)"));
        QCOMPARE(wire("Ondrix::EmergencyNumbers::EmergencyNumbersList"), QLatin1String("a(suu)"));
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
