// SPDX-License-Identifier: LGPL-2.1-or-later
// What a signal and an object of the library cost, beside a plain QtDBus
// client doing the same work, against the simulator on a private bus:
//
//   backlog    main-thread CPU per daemon signal that 10 objects take in after
//              the signals queued up while the thread was busy
//   live       wall time per signal delivered while the thread waits for it
//   construct  the first object of a kind in a fresh process, and a second
//              one; the messages each sends the bus (the bus's own count)
//   memory     anonymous memory per object, 100 objects of each of five
//              classes in a fresh process
//   blocked    the thread, while the five are made with a slow or no daemon
//   callgrind  instructions for the backlog and for the five first objects
//              (when valgrind is installed; this machine's timings are noisy)
//
// The plain client is what an experienced Qt developer writes: a
// QDBusAbstractInterface proxy per interface, QDBusConnection::connect() to
// typed slots that store the value and emit a Qt signal when it changed, and
// a blocking read of the properties at construction. Medians of `turns`
// turns, library and plain taking turns. "--quick" runs one short turn of
// everything (as make check does, untimed); the exit status says whether
// every signal reached every object.

#include "simbench.h"

#include <ondrix-qt/dbusiface.h>
#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/radioaccess.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/systemcontrol.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

using namespace Ondrix;

Q_LOGGING_CATEGORY(benchLog, "ondrix.bench")

namespace {

const char SignalInterface[] = "com.kelvo.hvt.CSNet.SignalStrength";

// ---- The plain client ----

struct Interface {
    const char *service;
    const char *path;
    const char *name;
};

const Interface CSNet{"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet"};
const Interface Modem{"com.kelvo.YKM.Modem", "/com/kelvo/ykm/modem", "com.kelvo.YKM.Modem"};
const Interface Gprs{"com.kelvo.hvt.GPRS", "/com/kelvo/hvt/gprs", "com.kelvo.hvt.GPRS"};
const Interface Registration{"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkRegistration"};
const Interface Operator{"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.NetworkOperator"};
const Interface Strength{"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", SignalInterface};
const Interface Radio{"com.kelvo.hvt.CSNet", "/com/kelvo/hvt/csnet", "com.kelvo.hvt.CSNet.RadioAccess"};

// One object of the plain client: every value it follows in a member, a Qt
// signal when one changes.
class Plain : public QObject
{
    Q_OBJECT
public:
    Plain() = default;

    // Follows `member` of `interface` with the slot of that signature.
    void follow(const Interface &interface, const char *member, const char *slot)
    {
        QDBusConnection::systemBus().connect(QLatin1String(interface.service), QLatin1String(interface.path),
                                             QLatin1String(interface.name), QLatin1String(member), this, slot);
    }

    void proxy(const Interface &interface)
    {
        new DBusIface(QLatin1String(interface.service), QLatin1String(interface.path), interface.name,
                      QDBusConnection::systemBus(), this);
    }

    // The blocking read at construction, with a short time-out.
    QVariantMap read(const Interface &interface, const char *member = nullptr)
    {
        QDBusMessage call = member ? QDBusMessage::createMethodCall(QLatin1String(interface.service),
                                                                    QLatin1String(interface.path),
                                                                    QLatin1String(interface.name), QLatin1String(member))
                                   : QDBusMessage::createMethodCall(QLatin1String(interface.service),
                                                                    QLatin1String(interface.path),
                                                                    QStringLiteral("org.freedesktop.DBus.Properties"),
                                                                    QStringLiteral("GetAll"));
        if (!member)
            call << QLatin1String(interface.name);
        const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 250);
        return reply.signature() == QLatin1String("a{sv}") ? qdbus_cast<QVariantMap>(reply.arguments().value(0))
                                                           : QVariantMap();
    }

    int first = 0;
    int second = 0;
    QString text;
    QString otherText;
    QString third;
    QString fourth;
    QVariantMap map;

Q_SIGNALS:
    void firstChanged(int value);
    void secondChanged(int value);
    void textChanged(const QString &value);
    void mapChanged();

public Q_SLOTS:
    void onInt(int value)
    {
        if (value != first) {
            first = value;
            emit firstChanged(value);
        }
    }
    void onTwoInts(int a, int b)
    {
        onInt(a);
        if (b != second) {
            second = b;
            emit secondChanged(b);
        }
    }
    void onText(const QString &value)
    {
        if (value != text) {
            text = value;
            emit textChanged(value);
        }
    }
    void onTwoTexts(const QString &a, const QString &b)
    {
        if (a != text || b != otherText) {
            text = a;
            otherText = b;
            emit textChanged(a);
        }
    }
    void onMap(const QVariantMap &value)
    {
        map = value;
        emit mapChanged();
    }
    void onNothing() { emit mapChanged(); }
    void onCause(uint, const QString &) { emit mapChanged(); }
};

// The plain counterparts of the five classes: the same subscriptions (made
// first, so that the proxies learn the owner from them), proxies and reads,
// and the same values taken from what was read.
Plain *plainSystemControl()
{
    auto *p = new Plain;
    p->follow(Modem, "PropertiesChanged", SLOT(onMap(QVariantMap)));
    p->follow(CSNet, "ActivityChanged", SLOT(onText(QString)));
    p->proxy(Modem);
    p->proxy(CSNet);
    const QVariantMap modem = p->read(Modem, "GetProperties");
    p->text = modem.value(QStringLiteral("RequestedMode")).toString();
    p->otherText = modem.value(QStringLiteral("ModemState")).toString();
    p->third = modem.value(QStringLiteral("ServiceState")).toString();
    p->fourth = p->read(CSNet).value(QStringLiteral("Activity")).toString();
    return p;
}

Plain *plainRegistration()
{
    auto *p = new Plain;
    p->follow(Registration, "SelectionModeChanged", SLOT(onText(QString)));
    p->follow(Registration, "RegistrationChanged", SLOT(onTwoTexts(QString, QString)));
    p->proxy(Registration);
    const QVariantMap properties = p->read(Registration);
    p->text = properties.value(QStringLiteral("SelectionMode")).toString();
    p->otherText = properties.value(QStringLiteral("RegistrationStatus")).toString();
    p->third = properties.value(QStringLiteral("RegistrationRejectCode")).toString();
    return p;
}

Plain *plainOperator()
{
    auto *p = new Plain;
    p->follow(Operator, "OperatorChanged", SLOT(onTwoTexts(QString, QString)));
    p->follow(Operator, "OperatorNameChanged", SLOT(onText(QString)));
    p->proxy(Operator);
    const QVariantMap properties = p->read(Operator);
    p->text = properties.value(QStringLiteral("OperatorMNC")).toString();
    p->otherText = properties.value(QStringLiteral("OperatorMCC")).toString();
    p->third = properties.value(QStringLiteral("OperatorName")).toString();
    return p;
}

Plain *plainStrength()
{
    auto *p = new Plain;
    p->follow(Strength, "SignalBarsChanged", SLOT(onInt(int)));
    p->follow(Strength, "SignalStrengthChanged", SLOT(onTwoInts(int, int)));
    p->proxy(Strength);
    const QVariantMap properties = p->read(Strength);
    p->first = properties.value(QStringLiteral("SignalBars")).toInt();
    p->second = properties.value(QStringLiteral("SignalPercent")).toInt();
    p->third = QString::number(properties.value(QStringLiteral("SignalDecibels")).toInt());
    return p;
}

Plain *plainRadio()
{
    auto *p = new Plain;
    p->follow(Radio, "SelectionModeChanged", SLOT(onText(QString)));
    p->follow(Radio, "DataTechnologyChanged", SLOT(onText(QString)));
    p->follow(Radio, "ChannelChanged", SLOT(onInt(int)));
    p->follow(Gprs, "Available", SLOT(onNothing()));
    p->follow(Gprs, "Suspended", SLOT(onCause(uint, QString)));
    p->proxy(Radio);
    p->proxy(Gprs);
    const QVariantMap radio = p->read(Radio);
    p->text = radio.value(QStringLiteral("DataTechnology")).toString();
    p->otherText = radio.value(QStringLiteral("SelectionMode")).toString();
    p->first = radio.value(QStringLiteral("Channel")).toInt();
    p->second = radio.value(QStringLiteral("RadioIdle")).toBool() + radio.value(QStringLiteral("AllocatedHSDPA")).toBool()
        + radio.value(QStringLiteral("AllocatedHSUPA")).toBool();
    const QVariantMap gprs = p->read(Gprs);
    p->third = gprs.value(QStringLiteral("Attached")).toBool() && !gprs.value(QStringLiteral("Available")).toBool()
        ? QStringLiteral("suspended") : QString();
    return p;
}

SignalStrength *libraryStrength()
{
    return new SignalStrength(SignalStrength::BarsOption | SignalStrength::PercentOption | SignalStrength::DbmOption);
}

struct Kind {
    const char *name;
    std::function<QObject *()> library;
    std::function<QObject *()> plain;
};

const std::vector<Kind> &kinds()
{
    static const std::vector<Kind> all = {
        {"SystemControl", [] { return new SystemControl; }, plainSystemControl},
        {"NetworkRegistration", [] { return new NetworkRegistration; }, plainRegistration},
        {"NetworkOperator", [] { return new NetworkOperator; }, plainOperator},
        {"SignalStrength", libraryStrength, plainStrength},
        {"RadioAccess", [] { return new RadioAccess; }, plainRadio},
    };
    return all;
}

// ---- Measuring ----

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double threadCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

// Anonymous memory of the process (RssAnon), in kB.
long anonymousKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// The messages this process sends, as dbus-monitor sees them on the bus:
// each mark() sends a call of its own and returns how many went out since
// the last one.
class MessageCount
{
public:
    bool start()
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        m_monitor.start(QStringLiteral("dbus-monitor"),
                        {QStringLiteral("--address"), QString::fromLocal8Bit(qgetenv("DBUS_SYSTEM_BUS_ADDRESS")),
                         QStringLiteral("--profile"), QStringLiteral("sender='%1'").arg(bus.baseService())});
        if (!m_monitor.waitForStarted(5000))
            return false;
        // The monitor listens once it has seen a mark.
        for (int tries = 0; tries < 50; tries++) {
            if (mark(200) >= 0)
                return true;
        }
        return false;
    }

    long mark(int wait = 5000)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                           QStringLiteral("/org/freedesktop/DBus"),
                                                           QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
        QDBusConnection::systemBus().call(call);
        long seen = 0;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < wait) {
            while (m_monitor.canReadLine()) {
                const QByteArray line = m_monitor.readLine();
                if (line.contains("\tGetId"))
                    return seen;
                if (line.startsWith("mc") || line.startsWith("sig"))
                    seen++;
            }
            m_monitor.waitForReadyRead(50);
        }
        return -1;
    }

private:
    ChildProcess m_monitor;
};

// Counts the Qt signals an object of either side emits for a value change.
struct Counted {
    std::unique_ptr<QObject> object;
    long changes = 0;
};

void count(Counted &counted, bool library)
{
    QObject *o = counted.object.get();
    long *changes = &counted.changes;
    auto bump = [changes] { ++*changes; };
    if (library) {
        auto *s = static_cast<SignalStrength *>(o);
        QObject::connect(s, &SignalStrength::barsChanged, o, bump);
        QObject::connect(s, &SignalStrength::percentChanged, o, bump);
        QObject::connect(s, &SignalStrength::dbmChanged, o, bump);
    } else {
        auto *p = static_cast<Plain *>(o);
        QObject::connect(p, &Plain::firstChanged, o, bump);
        QObject::connect(p, &Plain::secondChanged, o, bump);
    }
}

std::vector<Counted> strengthObjects(int n, bool library)
{
    std::vector<Counted> objects(static_cast<std::size_t>(n));
    for (Counted &c : objects) {
        c.object.reset(library ? static_cast<QObject *>(libraryStrength()) : plainStrength());
        count(c, library);
    }
    return objects;
}

long changesSeen(const std::vector<Counted> &objects)
{
    long seen = 0;
    for (const Counted &c : objects)
        seen += c.changes;
    return seen;
}

// Runs the event loop until `objects` have seen `wanted` changes, or `ms`
// pass; the thread sleeps while nothing is there to do.
void waitFor(const std::vector<Counted> &objects, long wanted, int ms)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(ms);
    while (changesSeen(objects) < wanted && deadline.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The daemon signal `i` of a run: the bars, or the level with both values
// changing, so that every signal is a change.
void emitStrength(const QDBusConnection &bus, SimBench &sim, bool level, int i)
{
    if (level)
        sim.control(bus, QStringLiteral("EmitSignal"), {QString(), QLatin1String(SignalInterface),
                                                        QStringLiteral("SignalStrengthChanged"),
                                                        QVariant(QVariantList{i % 2 ? 60 : 40, i % 2 ? -75 : -90})});
    else
        sim.control(bus, QStringLiteral("EmitSignal"), {QString(), QLatin1String(SignalInterface),
                                                        QStringLiteral("SignalBarsChanged"), QVariant(QVariantList{i % 2 ? 4 : 2})});
}

// Qt signals each daemon signal gives one object.
int changesPerSignal(bool level) { return level ? 2 : 1; }

// Main-thread CPU per daemon signal for 10 objects to take in `emitted`
// signals that queued while the thread was busy (the emitting calls, made
// on a connection of their own, block it); `complete` tells whether every
// change arrived.
double backlogUs(SimBench &sim, bool library, bool level, int emitted, bool &complete, bool callgrind = false)
{
    std::vector<Counted> objects = strengthObjects(10, library);
    const QDBusConnection line = QDBusConnection::connectToBus(QString::fromLocal8Bit(qgetenv("DBUS_SYSTEM_BUS_ADDRESS")),
                                                               QStringLiteral("bench-emitter"));
    for (int i = 0; i < emitted; i++)
        emitStrength(line, sim, level, i);
    const long wanted = 10L * emitted * changesPerSignal(level);
    if (callgrind)
        CALLGRIND_TOGGLE_COLLECT;
    const double start = threadCpuUs();
    waitFor(objects, wanted, 30000);
    const double spent = threadCpuUs() - start;
    if (callgrind)
        CALLGRIND_TOGGLE_COLLECT;
    complete = complete && changesSeen(objects) == wanted;
    return spent / emitted;
}

// Wall time per daemon signal while the thread waits for each in turn.
double liveUs(SimBench &sim, bool library, bool level, int emitted, bool &complete)
{
    std::vector<Counted> objects = strengthObjects(10, library);
    QElapsedTimer timer;
    timer.start();
    long wanted = 0;
    for (int i = 0; i < emitted; i++) {
        emitStrength(QDBusConnection::systemBus(), sim, level, i);
        wanted += 10L * changesPerSignal(level);
        waitFor(objects, wanted, 10000);
    }
    complete = complete && changesSeen(objects) == wanted;
    return double(timer.nsecsElapsed()) / 1e3 / emitted;
}

void row(const QString &what, double library, double plain, const char *unit)
{
    std::printf("%-46s %10.2f %10.2f %-4s %5.2fx\n", qPrintable(what), library, plain, unit,
                plain > 0 ? library / plain : 0.0);
}

// ---- The fresh processes ----

// `--construct KIND SIDE`: the first object of `KIND` ("all": one of each of
// the five) and a second one, in a process that has only said hello to the
// bus. Prints the microseconds and the messages of each.
int constructChild(const QString &kind, bool library, bool callgrind)
{
    // Both sides start where any application is after its first log line (or
    // its QML engine): with Qt's logging set up.
    qCDebug(benchLog) << "constructing" << kind;
    MessageCount sent;
    if (!sent.start())
        return 1;
    std::vector<std::unique_ptr<QObject>> kept;
    auto make = [&] {
        for (const Kind &k : kinds()) {
            if (kind == QLatin1String("all") || kind == QLatin1String(k.name))
                kept.emplace_back(library ? k.library() : k.plain());
        }
    };
    double us[2];
    long messages[2];
    for (int turn = 0; turn < 2; turn++) {
        if (callgrind && turn == 0)
            CALLGRIND_TOGGLE_COLLECT;
        QElapsedTimer timer;
        timer.start();
        make();
        us[turn] = double(timer.nsecsElapsed()) / 1e3;
        if (callgrind && turn == 0)
            CALLGRIND_TOGGLE_COLLECT;
        messages[turn] = sent.mark();
    }
    std::printf("%.1f %.1f %ld %ld\n", us[0], us[1], messages[0], messages[1]);
    return 0;
}

// `--memory SIDE`: anonymous memory per object, 100 of each of the five.
int memoryChild(bool library)
{
    for (const Kind &k : kinds())   // the first of each kind pays for what is shared
        delete (library ? k.library() : k.plain());
    std::vector<std::unique_ptr<QObject>> kept;
    const long before = anonymousKb();
    for (int i = 0; i < 100; i++) {
        for (const Kind &k : kinds())
            kept.emplace_back(library ? k.library() : k.plain());
    }
    std::printf("%.2f\n", double(anonymousKb() - before) / double(kept.size()));
    return 0;
}

// `--backlog bars|level SIDE`: the backlog once, for Callgrind.
int backlogChild(bool level, bool library, int emitted)
{
    SimBench sim;
    bool complete = true;
    backlogUs(sim, library, level, emitted, complete, true);
    return complete ? 0 : 1;
}

// Runs this program again with `args`; its output's numbers.
QList<double> child(const QStringList &args, const QStringList &wrapper = {})
{
    ChildProcess process;
    const QStringList command = wrapper + QStringList{QCoreApplication::applicationFilePath()} + args;
    process.start(command.first(), command.mid(1));
    process.waitForFinished(600000);
    QList<double> numbers;
    for (const QByteArray &field : process.readAllStandardOutput().simplified().split(' '))
        numbers << field.toDouble();
    return numbers;
}

// Instructions of `args` run under Callgrind, counted where the child
// switches collection on.
double instructions(const QStringList &args)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("callgrind.out"));
    child(args, {QStringLiteral("valgrind"), QStringLiteral("--tool=callgrind"), QStringLiteral("--collect-atstart=no"),
                 QStringLiteral("--callgrind-out-file=") + out});
    QFile file(out);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    double total = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("summary:") || line.startsWith("totals:"))
            total = line.mid(line.indexOf(':') + 1).trimmed().toDouble();
    }
    return total;
}

const char *side(bool library) { return library ? "library" : "plain"; }

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--construct"))
        return constructChild(args.value(2), args.value(3) == QLatin1String("library"), args.contains(QStringLiteral("--callgrind")));
    if (args.value(1) == QLatin1String("--memory"))
        return memoryChild(args.value(2) == QLatin1String("library"));
    if (args.value(1) == QLatin1String("--backlog"))
        return backlogChild(args.value(2) == QLatin1String("level"), args.value(3) == QLatin1String("library"),
                            args.value(4).toInt());

    const bool quick = args.contains(QStringLiteral("--quick"));
    const int turns = quick ? 1 : 5;
    const int backlog = quick ? 300 : 10000;
    const int live = quick ? 20 : 500;

    SimBench sim;
    if (!sim.start())
        return 1;

    std::printf("%-46s %10s %10s\n", "", "library", "QtDBus");
    bool complete = true;
    for (const bool level : {false, true}) {
        const QString name = level ? QStringLiteral("SignalStrengthChanged(ii)") : QStringLiteral("SignalBarsChanged(i)");
        std::vector<double> library, plain, libraryLive, plainLive;
        for (int turn = 0; turn < turns; turn++) {
            library.push_back(backlogUs(sim, true, level, backlog, complete));
            plain.push_back(backlogUs(sim, false, level, backlog, complete));
            libraryLive.push_back(liveUs(sim, true, level, live, complete));
            plainLive.push_back(liveUs(sim, false, level, live, complete));
        }
        row(QStringLiteral("backlog, 10 objects, CPU per %1").arg(name), median(library), median(plain), "us");
        row(QStringLiteral("live, 10 objects, wall per %1").arg(name), median(libraryLive), median(plainLive), "us");
    }

    QStringList names{QStringLiteral("all")};
    for (const Kind &k : kinds())
        names << QLatin1String(k.name);
    for (const QString &kind : names) {
        std::vector<double> first[2], second[2];
        QList<double> sample[2];
        for (int turn = 0; turn < turns; turn++) {
            for (const bool library : {true, false}) {
                sample[library] = child({QStringLiteral("--construct"), kind, QLatin1String(side(library))});
                first[library].push_back(sample[library].value(0));
                second[library].push_back(sample[library].value(1));
            }
        }
        const QString what = kind == QLatin1String("all") ? QStringLiteral("all five") : kind;
        row(QStringLiteral("construct %1, first").arg(what), median(first[1]), median(first[0]), "us");
        row(QStringLiteral("construct %1, second").arg(what), median(second[1]), median(second[0]), "us");
        row(QStringLiteral("  messages to the bus, first"), sample[1].value(2), sample[0].value(2), "");
        row(QStringLiteral("  messages to the bus, second"), sample[1].value(3), sample[0].value(3), "");
    }

    std::vector<double> memory[2];
    for (int turn = 0; turn < turns; turn++) {
        for (const bool library : {true, false})
            memory[library].push_back(child({QStringLiteral("--memory"), QLatin1String(side(library))}).value(0));
    }
    row(QStringLiteral("memory per object (RssAnon, 5 x 100)"), median(memory[1]), median(memory[0]), "kB");

    // The thread a slow daemon (every property read answered 400 ms late) or
    // an absent one blocks while the five are made: the values follow later.
    const auto blockedMs = [] {
        std::vector<std::unique_ptr<QObject>> kept;
        QElapsedTimer timer;
        timer.start();
        for (const Kind &k : kinds())
            kept.emplace_back(k.library());
        return double(timer.nsecsElapsed()) / 1e6;
    };
    sim.script(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
               {{QStringLiteral("delay"), 400}, {QStringLiteral("count"), 0}});
    const double slowMs = blockedMs();
    sim.reset();
    QTest::qWait(500);   // the late answers, which make the daemon a fast one again
    sim.releaseNames();
    const double absentMs = blockedMs();
    sim.acquireNames();
    std::printf("construct all five: the thread blocked %.1f ms with reads 400 ms late, %.1f ms with no daemon\n",
                slowMs, absentMs);

    if (!quick && !QStandardPaths::findExecutable(QStringLiteral("valgrind")).isEmpty()) {
        const int emitted = 2000;
        for (const char *kind : {"bars", "level"}) {
            const auto counted = [&](bool library) {
                return instructions({QStringLiteral("--backlog"), QLatin1String(kind), QLatin1String(side(library)),
                                     QString::number(emitted)}) / emitted;
            };
            row(QStringLiteral("instructions per signal, backlog (%1)").arg(QLatin1String(kind)), counted(true),
                counted(false), "");
        }
        const auto constructed = [](bool library) {
            return instructions({QStringLiteral("--construct"), QStringLiteral("all"), QLatin1String(side(library)),
                                 QStringLiteral("--callgrind")});
        };
        row(QStringLiteral("instructions, construct all five, first"), constructed(true), constructed(false), "");
    }
    std::printf("every change reached every object: %s\n", complete ? "yes" : "NO");
    sim.stop();
    return complete ? 0 : 1;
}

#include "bench_dbus.moc"
