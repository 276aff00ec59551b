// SPDX-License-Identifier: LGPL-2.1-or-later
// What every class owes an application over its life: it says when its
// daemon leaves and returns, an object deleted with its call in flight takes
// the late answer with it, objects on a thread of their own follow a daemon
// that restarts, and an operation whose call cannot be sent ends at once in
// its one completion.

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

#include "signalrecorder.h"
#include "simbench.h"

#include <QMutex>
#include <QThread>
#include <QtDBus/QDBusConnection>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

using namespace Ondrix;
using SS = SupplementaryServices;

namespace {

// One operation of a class: the daemon's method it calls, how to start it,
// and what it ends in when its call cannot be sent.
struct Operation {
    const char *name;
    const char *interface;
    const char *method;
    std::function<QObject *()> make;
    std::function<void(QObject *)> start;
    QStringList unsent;
};

template <typename T>
std::function<QObject *()> make()
{
    return [] { return new T; };
}

#define OPERATION(Class, interface, method, call, ...) \
    {#Class "::" #call, "com.kelvo." interface, method, make<Class>(), \
     [](QObject *o) { static_cast<Class *>(o)->call; }, {__VA_ARGS__}}

const QString NotSent = QStringLiteral("\"Not connected to the bus: the call was not sent\"");

const std::vector<Operation> &operations()
{
    using namespace SIM;
    static const std::vector<Operation> all = {
        OPERATION(SystemControl, "YKM.Modem", "RequestRadio", setPower(false), "powerChanged(true)"),
        OPERATION(NetworkRegistration, "hvt.CSNet.NetworkRegistration", "GetNetworks", scanOperators(), "operatorsFailure()"),
        OPERATION(NetworkRegistration, "hvt.CSNet.NetworkRegistration", "GetNetworks", queryAvailableOperators(),
                  "availableOperators(false, 0 items, " + NotSent + ")"),
        OPERATION(NetworkRegistration, "hvt.CSNet.NetworkRegistration", "CancelQuery", cancelQueryAvailableOperators(),
                  "availableOperatorsCanceled(false, " + NotSent + ")"),
        OPERATION(NetworkRegistration, "hvt.CSNet.NetworkRegistration", "SelectOperator", selectOperator("05", "244"),
                  "selectionCompleted(29)", "selectionCompleted(false, " + NotSent + ")", "selectionFailure()"),
        OPERATION(NetworkRegistration, "hvt.CSNet.NetworkRegistration", "CancelRegister", cancelSelectOperator(),
                  "selectOperatorCanceled(false, " + NotSent + ")"),
        OPERATION(RadioAccess, "hvt.CSNet.RadioAccess", "SetSelectionMode", setMode(RadioAccess::OnlyTwoG),
                  "modeChangeFailed(" + NotSent + ")"),
        {"NetworkCell::setNameDisplayEnabled(true)", "org.freedesktop.DBus.Properties", "Set", make<NetworkCell>(),
         [](QObject *o) { static_cast<NetworkCell *>(o)->setNameDisplayEnabled(true); },
         {"cellNameDisplayEnabledChanged(false)"}},
        OPERATION(NetworkTime, "hvt.CSNet.NetworkTime", "GetRawNetworkTime", queryTimeInfo(), "timeInfoQueryCompleted()"),
        OPERATION(SIMStatus, "hvt.SIM", "GetSIMStatus", status(), "statusComplete(UnknownStatus, CommunicationError)"),
        OPERATION(SIMSecurity, "hvt.SIM.Security", "VerifyPIN", verifyPIN(SIMSecurity::PIN, "1234"),
                  "verifyPINComplete(false, CommunicationError)"),
        OPERATION(SIMSecurity, "hvt.SIM.Security", "GetPINQueryState", pinQueryState(SIMSecurity::PIN),
                  "pinQueryStateComplete(QueryUnknown, CommunicationError)"),
        OPERATION(SIMIdentity, "hvt.SIM.Identity", "GetAuth", auth(QByteArray(16, 'r')),
                  "authComplete(, , , , CommunicationError)"),
        OPERATION(SIMPhonebook, "hvt.SIM.Phonebook", "GetInfo", info(SIMPhonebook::ADN),
                  "infoComplete(0, 0, 0, 0, 0, 0, 0, 0, 0, CommunicationError)"),
        OPERATION(SIMPhonebook, "hvt.SIM.Phonebook", "GetFDNStatus", getFDNStatus(),
                  "fdnStatusComplete(Disabled, CommunicationError)"),
        OPERATION(SIMLock, "hvt.SIM.SIMLock", "UnlockSIMLock", simLockUnlock(SIMLock::NetworkLevel, "12345678"),
                  "simLockUnlockComplete(CommunicationError)"),
        OPERATION(SIMLock, "hvt.SIM.SIMLock", "GetSIMLockStatus", simLockStatus(),
                  "simLockStatusComplete(StatusUnknown, CommunicationError)"),
        OPERATION(SS, "hvt.SS", "CheckCNAP", checkCnap(), "checkCnapCompleted(false, UnknownError)"),
        OPERATION(SS, "hvt.SS", "CheckDivert", checkDivert(SS::AllDiverts, SS::AllBasicServices),
                  "checkDivertCompleted(0 items, UnknownError)"),
        OPERATION(SS, "hvt.SS.USSD", "Command", sendCommand("*100#"), "ussdError(UssdCommandOp, UssdFailed, " + NotSent + ")"),
        OPERATION(CallTimers, "hvt.Call", "GetCallTimers", queryTimers(), "timersQueryCompleted(, false)"),
    };
    return all;
}

// One object of every class.
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

// Every class says it twice: as its `valid` property (for QML) and by isValid(),
// invokable (for scripts): the two agree.
bool isValid(QObject *object)
{
    bool valid = false;
    const bool invoked = QMetaObject::invokeMethod(object, "isValid", Q_RETURN_ARG(bool, valid));
    const QVariant property = object->property("valid");
    if (!invoked || !property.isValid() || property.toBool() != valid)
        qFatal("%s: valid and isValid() disagree, or one is missing", object->metaObject()->className());
    return valid;
}

// Objects of a thread of their own, and what they said, as text.
class Worker : public QObject
{
public:
    void build()
    {
        op.reset(new NetworkOperator);
        status.reset(new SIM::SIMStatus);
        connect(op.get(), &NetworkOperator::validChanged, this, [this](bool valid) { said(QStringLiteral("operator valid %1").arg(valid)); });
        connect(op.get(), &NetworkOperator::nameChanged, this, [this](const QString &name) { said("operator " + name); });
        connect(status.get(), &SIM::SIMStatus::validChanged, this, [this](bool valid) { said(QStringLiteral("card valid %1").arg(valid)); });
        connect(status.get(), &SIM::SIMStatus::statusComplete, this,
                [this](SIM::SIMStatus::Status s, SIM::SIMError e) { said(QStringLiteral("card status %1 %2").arg(s).arg(e)); });
        said(QStringLiteral("built, operator ") + op->name());
    }
    void ask() { status->status(); }
    void drop()
    {
        op.reset();
        status.reset();
    }
    QStringList heard()
    {
        QMutexLocker lock(&mutex);
        return lines;
    }

private:
    void said(const QString &line)
    {
        QMutexLocker lock(&mutex);
        lines << line;
    }

    std::unique_ptr<NetworkOperator> op;
    std::unique_ptr<SIM::SIMStatus> status;
    QMutex mutex;
    QStringList lines;
};

} // namespace

class TestLifecycle : public SimTestCase
{
    Q_OBJECT

    std::vector<std::unique_ptr<QObject>> unsent;

private Q_SLOTS:
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
        }
        bench.acquireNames();
        for (std::size_t i = 0; i < objects.size(); i++) {
            QTRY_COMPARE(spies[i]->count(), 2);
            QVERIFY2(isValid(objects[i].get()), objects[i]->metaObject()->className());
        }
    }

    void deletedInFlight_data()
    {
        QTest::addColumn<int>("operation");
        for (std::size_t i = 0; i < operations().size(); i++)
            QTest::newRow(operations()[i].name) << int(i);
    }

    // An object deleted while its call is in flight: the late answer finds
    // nothing of it, and a second object's same call, answered after it,
    // completes as usual.
    void deletedInFlight()
    {
        QFETCH(int, operation);
        const Operation &op = operations()[std::size_t(operation)];
        bench.script(QLatin1String(op.interface), QLatin1String(op.method),
                     {{QStringLiteral("delay"), 200}, {QStringLiteral("count"), 2}});
        std::unique_ptr<QObject> doomed(op.make());
        std::unique_ptr<QObject> survivor(op.make());
        SignalRecorder recorder(survivor.get());
        op.start(doomed.get());
        op.start(survivor.get());
        doomed.reset();
        QVERIFY(!recorder.awaited(1).isEmpty());
    }

    // What a daemon answers, as each class's completion tells it: its error
    // names (those the interface files fix, one nobody knows, a standard
    // one), a reply of the wrong type, and texts outside a table.
    void answersTranslated_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QVariantMap>("answer");
        QTest::addColumn<QString>("completion");
        auto error = [](const char *name) { return SimBench::failure(QLatin1String(name)); };
        auto reply = [](const QVariant &value) { return QVariantMap{{QStringLiteral("reply"), QVariantList{value}}}; };
        const struct { const char *operation; QVariantMap answer; const char *completion; } rows[] = {
            {"SIMStatus::status()", error("com.kelvo.hvt.SIM.Error.Modem"), "statusComplete(UnknownStatus, ModemError)"},
            {"SIMStatus::status()", error("com.kelvo.hvt.SIM.Error.WrongPassword"), "statusComplete(UnknownStatus, WrongPassword)"},
            {"SIMStatus::status()", error("com.kelvo.hvt.SIM.Error.Unknown"), "statusComplete(UnknownStatus, UnknownError)"},
            {"SIMStatus::status()", error("com.kelvo.hvt.SIM.Error.Overheated"), "statusComplete(UnknownStatus, UnknownError)"},
            {"SIMStatus::status()", error("org.freedesktop.DBus.Error.NoReply"), "statusComplete(UnknownStatus, CommunicationError)"},
            {"SIMStatus::status()", reply(true), "statusComplete(UnknownStatus, CommunicationError)"},
            {"SIMSecurity::pinQueryState(SIMSecurity::PIN)", error("com.kelvo.hvt.SIM.Error.Modem"),
             "pinQueryStateComplete(QueryUnknown, ModemError)"},
            {"SIMIdentity::auth(QByteArray(16, 'r'))", error("com.kelvo.hvt.SIM.Error.Modem"), "authComplete(, , , , ModemError)"},
            {"SIMPhonebook::getFDNStatus()", error("com.kelvo.hvt.SIM.Phonebook.Error.Parameter"), "fdnStatusComplete(Disabled, ParameterError)"},
            {"SIMPhonebook::getFDNStatus()", error("com.kelvo.hvt.SIM.Phonebook.Error.Vastro"), "fdnStatusComplete(Disabled, VastroError)"},
            {"SIMPhonebook::getFDNStatus()", error("com.kelvo.hvt.SIM.Phonebook.Error.NoSIMService"), "fdnStatusComplete(Disabled, NoSIMService)"},
            {"SIMPhonebook::getFDNStatus()", error("com.kelvo.hvt.SIM.Phonebook.Error.Melted"), "fdnStatusComplete(Disabled, UnknownError)"},
            {"SIMPhonebook::getFDNStatus()", error("org.freedesktop.DBus.Error.ServiceUnknown"), "fdnStatusComplete(Disabled, CommunicationError)"},
            {"SIMPhonebook::getFDNStatus()", reply(QStringLiteral("eNaBlEd")), "fdnStatusComplete(Enabled, NoError)"},
            {"SIMPhonebook::getFDNStatus()", reply(QStringLiteral("on")), "fdnStatusComplete(Disabled, NoError)"},
            {"SIMPhonebook::getFDNStatus()", reply(QString()), "fdnStatusComplete(Disabled, NoError)"},
            {"SIMLock::simLockUnlock(SIMLock::NetworkLevel, \"12345678\")", error("com.kelvo.hvt.SIM.Error.HandlingBlocked"),
             "simLockUnlockComplete(HandlingBlocked)"},
            // "Unknown" is the lock's value 10, and an error of the SIM that the lock lacks is unknown to it.
            {"SIMLock::simLockUnlock(SIMLock::NetworkLevel, \"12345678\")", error("com.kelvo.hvt.SIM.Error.Unknown"),
             "simLockUnlockComplete(UnknownError)"},
            {"SIMLock::simLockUnlock(SIMLock::NetworkLevel, \"12345678\")", error("com.kelvo.hvt.SIM.Error.NoSIM"),
             "simLockUnlockComplete(UnknownError)"},
            {"SIMLock::simLockStatus()", error("org.freedesktop.DBus.Error.NoReply"), "simLockStatusComplete(StatusUnknown, CommunicationError)"},
            {"SIMLock::simLockStatus()", reply(QStringLiteral("Ok")), "simLockStatusComplete(StatusOk, NoError)"},
            {"SIMLock::simLockStatus()", reply(QStringLiteral("RestrictionPending")), "simLockStatusComplete(RestrictionPending, NoError)"},
            {"SIMLock::simLockStatus()", reply(QStringLiteral("Closed")), "simLockStatusComplete(StatusUnknown, NoError)"},
            {"SS::checkCnap()", error("com.kelvo.hvt.SS.Error.Password"), "checkCnapCompleted(false, WrongPassword)"},
            {"SS::checkCnap()", error("com.kelvo.hvt.SS.Error.Busy"), "checkCnapCompleted(false, Busy)"},
            {"SS::checkCnap()", error("com.kelvo.hvt.SS.Error.Tired"), "checkCnapCompleted(false, UnknownError)"},
            {"SS::checkCnap()", error("org.freedesktop.DBus.Error.NoReply"), "checkCnapCompleted(false, CommunicationError)"},
            {"SS::sendCommand(\"*100#\")", error("com.kelvo.hvt.SS.USSD.Error.Network"),
             "ussdError(UssdCommandOp, UssdNetworkError, \"refused\")"},
            {"SS::sendCommand(\"*100#\")", error("com.kelvo.hvt.SS.USSD.Error.Network.Busy"),
             "ussdError(UssdCommandOp, UssdNetworkBusy, \"refused\")"},
            {"SS::sendCommand(\"*100#\")", error("com.kelvo.hvt.SS.USSD.Error.UnknownAlphabet"),
             "ussdError(UssdCommandOp, UssdUnknownAlphabet, \"refused\")"},
            {"SS::sendCommand(\"*100#\")", error("com.kelvo.hvt.SS.USSD.Error.Net"),   // a prefix of a name
             "ussdError(UssdCommandOp, UssdUnknownError, \"refused\")"},
            {"SS::sendCommand(\"*100#\")", error("org.freedesktop.DBus.Error.NoReply"),
             "ussdError(UssdCommandOp, UssdUnknownError, \"refused\")"},
        };
        for (const auto &row : rows)
            QTest::newRow(row.completion) << QString::fromLatin1(row.operation) << row.answer << QString::fromLatin1(row.completion);
    }

    void answersTranslated()
    {
        QFETCH(QString, operation);
        QFETCH(QVariantMap, answer);
        QFETCH(QString, completion);
        const auto op = std::find_if(operations().begin(), operations().end(),
                                     [&](const Operation &o) { return operation == QLatin1String(o.name); });
        QVERIFY2(op != operations().end(), qPrintable(operation));
        bench.script(QLatin1String(op->interface), QLatin1String(op->method), answer);
        std::unique_ptr<QObject> object(op->make());
        SignalRecorder recorder(object.get());
        op->start(object.get());
        QCOMPARE(recorder.awaited(1), QStringList{completion});
    }

    void deletedBeforeItsRead_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("interface");
        QTest::newRow("SystemControl") << 0 << "com.kelvo.hvt.CSNet";
        QTest::newRow("NetworkRegistration") << 1 << "com.kelvo.hvt.CSNet.NetworkRegistration";
        QTest::newRow("NetworkOperator") << 2 << "com.kelvo.hvt.CSNet.NetworkOperator";
        QTest::newRow("SignalStrength") << 3 << "com.kelvo.hvt.CSNet.SignalStrength";
        QTest::newRow("RadioAccess") << 4 << "com.kelvo.hvt.CSNet.RadioAccess";
        QTest::newRow("NetworkCell") << 5 << "com.kelvo.hvt.CSNet.NetworkCell";
    }

    // A daemon slower than the reads of construction: the object goes with
    // its read still out, and the late answer finds nothing of it. A second
    // object's read, answered after it, brings that object its values.
    void deletedBeforeItsRead()
    {
        QFETCH(int, kind);
        QFETCH(QString, interface);
        const std::function<QObject *()> makers[] = {make<SystemControl>(), make<NetworkRegistration>(),
                                                     make<NetworkOperator>(), make<SignalStrength>(),
                                                     make<RadioAccess>(), make<NetworkCell>()};
        bench.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                     {{QStringLiteral("delay"), 400}, {QStringLiteral("count"), 0},
                      {QStringLiteral("when"), QVariantList{interface}}});
        std::unique_ptr<QObject> doomed(makers[kind]());
        doomed.reset();
        std::unique_ptr<QObject> later(makers[kind]());
        SignalRecorder recorder(later.get());
        QVERIFY(!recorder.awaited(1).isEmpty());
    }

    // Objects on a thread of their own, its own event loop, while the daemon
    // leaves and comes back with another operator: they say so, read it
    // again, and answer their calls there.
    void secondThreadFollowsARestart()
    {
        QThread thread;
        auto *worker = new Worker;
        worker->moveToThread(&thread);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        thread.start();
        QMetaObject::invokeMethod(worker, [worker] { worker->build(); });
        QTRY_COMPARE(worker->heard(), QStringList{"built, operator Ondrix Mobile"});
        bench.releaseNames();
        QTRY_VERIFY(worker->heard().contains(QStringLiteral("card valid 0")));
        QTRY_VERIFY(worker->heard().contains(QStringLiteral("operator valid 0")));
        bench.setProperty(QStringLiteral("com.kelvo.hvt.CSNet.NetworkOperator"), QStringLiteral("OperatorName"),
                          QStringLiteral("Telia EE"));
        bench.acquireNames();
        QTRY_VERIFY(worker->heard().contains(QStringLiteral("operator Telia EE")));
        QTRY_VERIFY(worker->heard().contains(QStringLiteral("card valid 1")));
        QMetaObject::invokeMethod(worker, [worker] { worker->ask(); });
        QTRY_VERIFY(worker->heard().contains(QStringLiteral("card status %1 0").arg(SIM::SIMStatus::Ok)));
        QMetaObject::invokeMethod(worker, [worker] { worker->drop(); }, Qt::BlockingQueuedConnection);
        thread.quit();
        QVERIFY(thread.wait(20000));
    }

    void unsentCompleteAtOnce_data()
    {
        QTest::addColumn<int>("operation");
        for (std::size_t i = 0; i < operations().size(); i++)
            QTest::newRow(operations()[i].name) << int(i);
    }

    // Runs last: it takes the bus away. An operation whose call cannot be
    // sent ends at once, before its start returns, in its one completion.
    void unsentCompleteAtOnce()
    {
        QFETCH(int, operation);
        // Made while the daemon is there: what they cache is its state.
        if (unsent.empty()) {
            for (const Operation &op : operations())
                unsent.emplace_back(op.make());
            bench.killBus();
            QTRY_VERIFY(!QDBusConnection::systemBus().isConnected());
        }
        const Operation &op = operations()[std::size_t(operation)];
        QObject *object = unsent[std::size_t(operation)].get();
        SignalRecorder recorder(object);
        op.start(object);
        QCOMPARE(recorder.recorded(), op.unsent);
        QCoreApplication::processEvents();   // and nothing later
        QCOMPARE(recorder.recorded(), op.unsent);
    }
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
