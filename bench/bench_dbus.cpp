// SPDX-License-Identifier: LGPL-2.1-or-later
// What the library costs on the bus, beside a plain QtDBus client making the
// same calls in the same process, against the simulator on a private bus:
// construction, a request's round trip, signal fan-out and memory. Prints a
// table; "--quick" runs few rounds (as make check does, untimed).

#include "simbench.h"

#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/phoneinfo.h>
#include <ondrix-qt/dbusiface.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace Ondrix;

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

    // The first of each pays for learning the daemon's name; the figures are the steady state.
    delete new NetworkRegistration;
    delete new RawRegistration;

    std::printf("%-34s %10s %10s\n", "", "library", "QtDBus");
    row("construct NetworkRegistration", perCallMicroseconds(rounds, [] { delete new NetworkRegistration; }),
        perCallMicroseconds(rounds, [] { delete new RawRegistration; }), "us");

    PhoneInfo info;
    QDBusMessage imei = QDBusMessage::createMethodCall(QStringLiteral("com.kelvo.hvt.Info"),
                                                       QStringLiteral("/com/kelvo/hvt/info"),
                                                       QStringLiteral("com.kelvo.hvt.Info"),
                                                       QStringLiteral("GetIMEINumber"));
    row("round trip (PhoneInfo IMEI)", perCallMicroseconds(rounds, [&info] { info.imeiNumber(); }),
        perCallMicroseconds(rounds, [&imei] { QDBusConnection::systemBus().call(imei, QDBus::Block, 250); }),
        "us");

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
    // Fan-out: each set alone sees every change.
    double libraryMs = 0, rawMs = 0;
    {
        std::vector<std::unique_ptr<Counter>> library;
        for (int i = 0; i < objects; i++)
            library.push_back(std::make_unique<Counter>(new NetworkRegistration));
        QElapsedTimer timer;
        timer.start();
        librarySeen = fanOut(sim, library, emitted, [](const Counter &c) { return c.changes; });
        libraryMs = double(timer.elapsed());
    }
    {
        std::vector<std::unique_ptr<RawRegistration>> raw;
        for (int i = 0; i < objects; i++)
            raw.push_back(std::make_unique<RawRegistration>());
        QElapsedTimer timer;
        timer.start();
        rawSeen = fanOut(sim, raw, emitted, [](const RawRegistration &r) { return r.changes; });
        rawMs = double(timer.elapsed());
    }
    row("resident memory per instance", double(libraryKb) / objects, double(rawKb) / objects, "kB");
    row("signal fan-out (all changes seen)", libraryMs, rawMs, "ms");
    const long wanted = long(objects) * emitted;
    std::printf("fan-out: %d changes to %d objects: the library delivered %ld, QtDBus %ld of %ld\n", emitted,
                objects, librarySeen, rawSeen, wanted);
    const int failures = librarySeen != wanted;
    sim.stop();
    return failures ? 1 : 0;
}

#include "bench_dbus.moc"
