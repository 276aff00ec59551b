// SPDX-License-Identifier: LGPL-2.1-or-later
// What the library costs on the bus, beside a plain QtDBus client making the
// same calls in the same process, against the simulator on a private bus:
// construction, a request's round trip, signal fan-out and memory. Prints a
// table; "--quick" runs few rounds (as make check does, untimed).

#include "simbench.h"

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/dbusiface.h>
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

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace Ondrix;
using namespace Ondrix::SIM;

namespace {

const char Service[] = "com.kelvo.hvt.CSNet";
const char Path[] = "/com/kelvo/hvt/csnet";
const char Registration[] = "com.kelvo.hvt.CSNet.NetworkRegistration";

// The plain client's NetworkRegistration: the same two subscriptions, a proxy
// and the blocking read of the properties.
class RawRegistration : public QObject
{
    Q_OBJECT
public:
    RawRegistration()
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Registration),
                    QStringLiteral("SelectionModeChanged"), this, SLOT(onMode(QString)));
        bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Registration),
                    QStringLiteral("RegistrationChanged"), this, SLOT(onStatus(QString,QString)));
        proxy = new DBusIface(QLatin1String(Service), QLatin1String(Path), Registration, bus, this);
        QDBusMessage getAll = QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                                             QStringLiteral("org.freedesktop.DBus.Properties"),
                                                             QStringLiteral("GetAll"));
        getAll << QLatin1String(Registration);
        const QDBusMessage reply = bus.call(getAll, QDBus::Block, 250);
        if (reply.signature() == QLatin1String("a{sv}"))
            status = qdbus_cast<QVariantMap>(reply.arguments().value(0)).value(QStringLiteral("Status")).toString();
    }
    int changes = 0;

public Q_SLOTS:
    void onMode(const QString &) { changes++; }
    void onStatus(const QString &value, const QString &)
    {
        if (value != status) {
            status = value;
            changes++;
        }
    }

private:
    DBusIface *proxy = nullptr;
    QString status;
};

// Where each daemon interface lives: its service and object.
QPair<QString, QString> objectOf(const QString &interface)
{
    static const QMap<QString, QPair<QString, QString>> objects = {
        {QStringLiteral("com.kelvo.YKM.Modem"), {QStringLiteral("com.kelvo.YKM.Modem"), QStringLiteral("/com/kelvo/ykm/modem")}},
        {QStringLiteral("com.kelvo.hvt.GPRS"), {QStringLiteral("com.kelvo.hvt.GPRS"), QStringLiteral("/com/kelvo/hvt/gprs")}},
        {QStringLiteral("com.kelvo.hvt.SIM.Phonebook"), {QStringLiteral("com.kelvo.hvt.SIM"), QStringLiteral("/com/kelvo/hvt/sim/phonebook")}},
        {QStringLiteral("com.kelvo.hvt.SMS.SIM"), {QStringLiteral("com.kelvo.hvt.SMS"), QStringLiteral("/com/kelvo/hvt/sms")}},
    };
    if (objects.contains(interface))
        return objects.value(interface);
    // com.kelvo.hvt.X[.Y] lives at /com/kelvo/hvt/x under com.kelvo.hvt.X.
    const QString service = interface.section(QLatin1Char('.'), 0, 3);
    return {service, QStringLiteral("/com/kelvo/hvt/") + interface.section(QLatin1Char('.'), 3, 3).toLower()};
}

// A plain QtDBus client doing what one library object does: the same
// subscriptions, a proxy per interface, and the calls it was seen to make.
class RawClient : public QObject
{
    Q_OBJECT
public:
    RawClient(const QStringList &subscriptions, const QList<SimCall> &calls, const QStringList &proxies = {})
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        QStringList interfaces = proxies;
        for (const QString &subscription : subscriptions) {
            const QString interface = subscription.section(QLatin1Char(' '), 0, 0);
            const auto object = objectOf(interface);
            bus.connect(object.first, object.second, interface, subscription.section(QLatin1Char(' '), 1), this,
                        SLOT(onSignal(QDBusMessage)));
            if (!interfaces.contains(interface))
                interfaces << interface;
        }
        for (const SimCall &call : calls) {
            const QString interface = call.interface == QLatin1String("org.freedesktop.DBus.Properties")
                ? call.args.value(0).toString() : call.interface;
            if (!interfaces.contains(interface))
                interfaces << interface;
        }
        for (const QString &interface : interfaces) {
            const auto object = objectOf(interface);
            new DBusIface(object.first, object.second, interface.toLatin1().constData(), bus, this);
        }
        for (const SimCall &call : calls)
            replay(call);
    }

    // The call made again; an asynchronous one waits for its reply in the event loop.
    static QDBusMessage replay(const SimCall &call, bool asynchronous = false)
    {
        const QString interface = call.interface == QLatin1String("org.freedesktop.DBus.Properties")
            ? call.args.value(0).toString() : call.interface;
        QDBusMessage message = QDBusMessage::createMethodCall(objectOf(interface).first, call.path,
                                                              call.interface, call.member);
        message.setArguments(call.args);
        if (!asynchronous)
            return QDBusConnection::systemBus().call(message, QDBus::Block, 2000);
        QDBusPendingCallWatcher watcher(QDBusConnection::systemBus().asyncCall(message, 2000));
        bool done = false;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, [&done] { done = true; });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return watcher.reply();
    }

    int changes = 0;

public Q_SLOTS:
    void onSignal(const QDBusMessage &) { changes++; }
};

// One public class: how to make it, what it subscribes, and one request
// that waits for its answer (none for the classes that only follow).
struct ClassBench {
    const char *name;
    std::function<QObject *()> make;
    QStringList subscriptions;   // "INTERFACE MEMBER"
    std::function<void(QObject *)> request;
    // Answered by a completion signal; the plain client then waits for its
    // reply in the event loop too.
    bool asynchronous = false;
};

// A request answered by a completion signal: started, then waited for.
template <typename T, typename Signal>
std::function<void(QObject *)> answered(Signal signal, std::function<void(T &)> start)
{
    return [signal, start](QObject *object) {
        T *target = static_cast<T *>(object);
        bool done = false;
        const QMetaObject::Connection connection = QObject::connect(target, signal, target, [&done] { done = true; });
        start(*target);
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QObject::disconnect(connection);
    };
}

template <typename T>
std::function<QObject *()> maker()
{
    return [] { return new T; };
}

QList<ClassBench> classBenches()
{
    return {
        {"SystemControl", maker<SystemControl>(),
         {"com.kelvo.YKM.Modem PropertiesChanged", "com.kelvo.hvt.CSNet ActivityChanged"}, nullptr},
        {"NetworkRegistration", maker<NetworkRegistration>(),
         {"com.kelvo.hvt.CSNet.NetworkRegistration SelectionModeChanged",
          "com.kelvo.hvt.CSNet.NetworkRegistration RegistrationChanged"},
         answered<NetworkRegistration>(QOverload<bool, const QList<AvailableOperator> &, const QString &>::of(
                                           &NetworkRegistration::availableOperators),
                                       [](NetworkRegistration &r) { r.queryAvailableOperators(); }), true},
        {"NetworkOperator", maker<NetworkOperator>(),
         {"com.kelvo.hvt.CSNet.NetworkOperator OperatorChanged", "com.kelvo.hvt.CSNet.NetworkOperator OperatorNameChanged"},
         nullptr},
        {"SignalStrength", [] { return new SignalStrength(SignalStrength::BarsOption | SignalStrength::DbmOption); },
         {"com.kelvo.hvt.CSNet.SignalStrength SignalBarsChanged", "com.kelvo.hvt.CSNet.SignalStrength SignalStrengthChanged"},
         nullptr},
        {"RadioAccess", maker<RadioAccess>(),
         {"com.kelvo.hvt.CSNet.RadioAccess SelectionModeChanged", "com.kelvo.hvt.CSNet.RadioAccess DataTechnologyChanged",
          "com.kelvo.hvt.CSNet.RadioAccess ChannelChanged", "com.kelvo.hvt.GPRS Available", "com.kelvo.hvt.GPRS Suspended"},
         nullptr},
        {"NetworkCell", maker<NetworkCell>(),
         {"com.kelvo.hvt.CSNet.NetworkCell CellChanged", "com.kelvo.hvt.CSNet.NetworkCell CellNameChanged",
          "com.kelvo.hvt.CSNet.NetworkCell ServicesChanged", "com.kelvo.hvt.CSNet.NetworkCell CellNameDisplayEnabledChanged"},
         [](QObject *o) { static_cast<NetworkCell *>(o)->services(); }},
        {"NetworkTime", maker<NetworkTime>(), {"com.kelvo.hvt.CSNet.NetworkTime RawNetworkTimeChanged"},
         answered<NetworkTime>(&NetworkTime::timeInfoQueryCompleted, [](NetworkTime &t) { t.queryTimeInfo(); }), true},
        {"SIMStatus", maker<SIMStatus>(), {"com.kelvo.hvt.SIM SIMStatus"},
         answered<SIMStatus>(&SIMStatus::statusComplete, [](SIMStatus &s) { s.status(); }), true},
        {"SIMSecurity", maker<SIMSecurity>(), {"com.kelvo.hvt.SIM.Security VerifyCodeRequired"},
         answered<SIMSecurity>(&SIMSecurity::pinAttemptsLeftComplete,
                               [](SIMSecurity &s) { s.pinAttemptsLeft(SIMSecurity::PIN); }), true},
        {"SIMIdentity", maker<SIMIdentity>(), {},
         answered<SIMIdentity>(&SIMIdentity::imsiComplete, [](SIMIdentity &s) { s.imsi(); }), true},
        {"SIMPhonebook", maker<SIMPhonebook>(),
         {"com.kelvo.hvt.SIM.Phonebook FDNDisabled", "com.kelvo.hvt.SIM.Phonebook FDNEnabled"},
         answered<SIMPhonebook>(&SIMPhonebook::fdnStatusComplete, [](SIMPhonebook &p) { p.getFDNStatus(); }), true},
        {"SIMLock", maker<SIMLock>(), {},
         answered<SIMLock>(&SIMLock::simLockStatusComplete, [](SIMLock &l) { l.simLockStatus(); }), true},
        {"SupplementaryServices", maker<SupplementaryServices>(),
         {"com.kelvo.hvt.SS BusyWith", "com.kelvo.hvt.SS.USSD Request", "com.kelvo.hvt.SS.USSD Notify",
          "com.kelvo.hvt.SS.USSD Released"},
         answered<SupplementaryServices>(&SupplementaryServices::checkClipCompleted,
                                         [](SupplementaryServices &s) { s.checkClip(); }), true},
        {"EmergencyNumbers", maker<EmergencyNumbers>(), {},
         [](QObject *o) { static_cast<EmergencyNumbers *>(o)->numbersWithInfo(); }},
        {"CallTimers", maker<CallTimers>(), {"com.kelvo.hvt.Call CallTimers"},
         [](QObject *o) { static_cast<CallTimers *>(o)->timers(); }},
        {"PhoneInfo", maker<PhoneInfo>(), {}, [](QObject *o) { static_cast<PhoneInfo *>(o)->imeiNumber(); }},
        {"SMSParameters", maker<SMSParameters>(), {},
         [](QObject *o) { static_cast<SMSParameters *>(o)->serviceCenterAddress(); }},
    };
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double perCallMicroseconds(int rounds, const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; i++)
        work();
    return double(timer.nsecsElapsed()) / rounds / 1000.0;
}

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

void row(const char *what, double library, double raw, const char *unit)
{
    std::printf("%-34s %10.1f %10.1f %s  %5.2fx\n", what, library, raw, unit, raw > 0 ? library / raw : 0.0);
}

// Flips the registration status `emitted` times and waits until every one of
// `listeners` has seen every change; returns the changes seen in all.
template <typename Listener, typename Count>
long fanOut(SimBench &sim, std::vector<std::unique_ptr<Listener>> &listeners, int emitted, Count count)
{
    for (int i = 0; i < emitted; i++) {
        sim.emitSignal(QLatin1String(Registration), QStringLiteral("RegistrationChanged"),
                       {i % 2 ? QStringLiteral("Home") : QStringLiteral("Roaming"), QString()});
    }
    const long wanted = long(listeners.size()) * emitted;
    QElapsedTimer waited;
    waited.start();
    long seen = 0;
    while (waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        seen = 0;
        for (const auto &listener : listeners)
            seen += count(*listener);
        if (seen >= wanted)
            break;
    }
    return seen;
}

// Main-thread CPU milliseconds to take in `emitted` changes that queued up
// while the thread was busy (the emitting calls block it), into every one of
// `listeners`; `seen` receives the changes seen in all.
template <typename Listener, typename Count>
double drainMs(SimBench &sim, std::vector<std::unique_ptr<Listener>> &listeners, int emitted, Count count,
               long &seen)
{
    for (int i = 0; i < emitted; i++) {
        sim.emitSignal(QLatin1String(Registration), QStringLiteral("RegistrationChanged"),
                       {i % 2 ? QStringLiteral("Home") : QStringLiteral("Roaming"), QString()});
    }
    const long wanted = long(listeners.size()) * emitted;
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    QElapsedTimer waited;
    waited.start();
    seen = 0;
    while (seen < wanted && waited.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        seen = 0;
        for (const auto &listener : listeners)
            seen += count(*listener);
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6;
}

// A library object and the changes it announced (no object of its own, as
// the plain client's counter is a member).
struct Counter {
    explicit Counter(NetworkRegistration *r) : registration(r)
    {
        QObject::connect(r, &NetworkRegistration::statusChanged, r, [this] { changes++; });
    }
    std::unique_ptr<NetworkRegistration> registration;
    int changes = 0;
};

// Milliseconds the calling thread spends constructing one object of every
// class, kept alive until all are made.
double constructAll()
{
    std::vector<std::unique_ptr<QObject>> all;
    QElapsedTimer timer;
    timer.start();
    for (const ClassBench &bench : classBenches())
        all.emplace_back(bench.make());
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int rounds = quick ? 20 : 1000;
    const int objects = quick ? 20 : 200;
    const int emitted = quick ? 10 : 100;

    SimBench sim;
    if (!sim.start())
        return 1;
    sim.setProperty(QLatin1String(Registration), QStringLiteral("Status"), QStringLiteral("Home"));


    std::printf("%-34s %10s %10s\n", "", "library", "QtDBus");
    // Each class beside a plain client that subscribes the same signals, makes
    // a proxy per interface and replays the calls the class was seen to make.
    double constructionLibrary = 0, constructionRaw = 0, requestLibrary = 0, requestRaw = 0;
    for (const ClassBench &bench : classBenches()) {
        delete bench.make();   // learns the daemon's name
        sim.clearCalls();
        delete bench.make();
        const QList<SimCall> made = sim.calls();
        // The proxy a class without subscriptions or property reads makes is that of its request.
        SimCall requested;
        std::unique_ptr<QObject> object(bench.make());
        if (bench.request) {
            sim.clearCalls();
            bench.request(object.get());
            requested = sim.calls().value(0);
        }
        const QStringList &subscriptions = bench.subscriptions;
        QStringList proxies;
        if (subscriptions.isEmpty() && made.isEmpty() && !requested.interface.isEmpty())
            proxies << requested.interface;
        const double library = perCallMicroseconds(rounds, [&bench] { delete bench.make(); });
        const double raw = perCallMicroseconds(rounds, [&subscriptions, &made, &proxies] {
            delete new RawClient(subscriptions, made, proxies);
        });
        constructionLibrary += library;
        constructionRaw += raw;
        row(qPrintable(QStringLiteral("construct %1").arg(QLatin1String(bench.name))), library, raw, "us");
        if (requested.member.isEmpty())
            continue;
        const double answered = perCallMicroseconds(rounds, [&bench, &object] { bench.request(object.get()); });
        const bool asynchronous = bench.asynchronous;
        const double replayed = perCallMicroseconds(rounds, [&requested, asynchronous] {
            RawClient::replay(requested, asynchronous);
        });
        requestLibrary += answered;
        requestRaw += replayed;
        row(qPrintable(QStringLiteral("  round trip %1").arg(requested.member)), answered, replayed, "us");
    }
    row("construct: all classes", constructionLibrary, constructionRaw, "us");
    row("round trip: all classes", requestLibrary, requestRaw, "us");

    // The thread blocked by construction when the daemon is slow (every
    // property read answered 400 ms late) or absent: the values follow later.
    sim.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
               {{QStringLiteral("delay"), 400}, {QStringLiteral("count"), 0}});
    const double slowMs = constructAll();
    sim.reset();
    QTest::qWait(500);   // the late answers, which make the daemon a fast one again
    sim.releaseNames();
    const double absentMs = constructAll();
    sim.acquireNames();
    std::printf("construct all classes: %.1f ms blocked with reads 400 ms late, %.1f ms with no daemon\n", slowMs,
                absentMs);

    // Memory: both sets at once, each growing the heap afresh.
    long libraryKb = 0, rawKb = 0, librarySeen = 0, rawSeen = 0;
    {
        std::vector<std::unique_ptr<Counter>> library;
        std::vector<std::unique_ptr<RawRegistration>> raw;
        long before = residentKilobytes();
        for (int i = 0; i < objects; i++)
            library.push_back(std::make_unique<Counter>(new NetworkRegistration));
        libraryKb = residentKilobytes() - before;
        before = residentKilobytes();
        for (int i = 0; i < objects; i++)
            raw.push_back(std::make_unique<RawRegistration>());
        rawKb = residentKilobytes() - before;
    }
    // Fan-out and backlog: each set alone sees every change. The two sides take
    // turns, `repeats` times each, and the median counts: one run swings by a
    // quarter on a shared machine.
    const int repeats = quick ? 1 : 5;
    const int backlog = quick ? 300 : 10000;
    std::vector<double> libraryFan, rawFan, libraryDrain, rawDrain;
    long backlogLibrary = long(backlog) * 10, backlogRaw = long(backlog) * 10;
    librarySeen = rawSeen = long(objects) * emitted;
    for (int round = 0; round < repeats; round++) {
        {
            std::vector<std::unique_ptr<Counter>> library;
            for (int i = 0; i < objects; i++)
                library.push_back(std::make_unique<Counter>(new NetworkRegistration));
            QElapsedTimer timer;
            timer.start();
            librarySeen = qMin(librarySeen, fanOut(sim, library, emitted, [](const Counter &c) { return c.changes; }));
            libraryFan.push_back(double(timer.elapsed()));
        }
        {
            std::vector<std::unique_ptr<RawRegistration>> raw;
            for (int i = 0; i < objects; i++)
                raw.push_back(std::make_unique<RawRegistration>());
            QElapsedTimer timer;
            timer.start();
            rawSeen = qMin(rawSeen, fanOut(sim, raw, emitted, [](const RawRegistration &r) { return r.changes; }));
            rawFan.push_back(double(timer.elapsed()));
        }
        // A backlog: changes queued while the thread was busy, taken in by ten objects.
        long seen = 0;
        {
            std::vector<std::unique_ptr<Counter>> library;
            for (int i = 0; i < 10; i++)
                library.push_back(std::make_unique<Counter>(new NetworkRegistration));
            libraryDrain.push_back(drainMs(sim, library, backlog, [](const Counter &c) { return c.changes; }, seen));
            backlogLibrary = qMin(backlogLibrary, seen);
        }
        {
            std::vector<std::unique_ptr<RawRegistration>> raw;
            for (int i = 0; i < 10; i++)
                raw.push_back(std::make_unique<RawRegistration>());
            rawDrain.push_back(drainMs(sim, raw, backlog, [](const RawRegistration &r) { return r.changes; }, seen));
            backlogRaw = qMin(backlogRaw, seen);
        }
    }
    const double libraryMs = median(libraryFan), rawMs = median(rawFan);
    const double backlogLibraryMs = median(libraryDrain), backlogRawMs = median(rawDrain);
    row("resident memory per instance", double(libraryKb) / objects, double(rawKb) / objects, "kB");
    row("backlog into 10 objects (thread CPU)", backlogLibraryMs, backlogRawMs, "ms");
    row("signal fan-out (all changes seen)", libraryMs, rawMs, "ms");
    const long wanted = long(objects) * emitted;
    std::printf("fan-out: %d changes to %d objects: the library delivered %ld, QtDBus %ld of %ld\n", emitted,
                objects, librarySeen, rawSeen, wanted);
    std::printf("backlog: %d queued changes to 10 objects: the library delivered %ld, QtDBus %ld of %ld\n", backlog,
                backlogLibrary, backlogRaw, long(backlog) * 10);
    const int failures = librarySeen != wanted || backlogLibrary != long(backlog) * 10;
    sim.stop();
    return failures ? 1 : 0;
}

#include "bench_dbus.moc"
