// SPDX-License-Identifier: LGPL-2.1-or-later
// The library over oFono through ondrix-ofono, beside Debian's libqofono
// reading the same ofonod directly, in one process and one run: the time
// from a modem event (the simulator's signal level, its registration) to the
// Qt signal in the application, and the time until the objects hold the
// modem's state at start. The simulator's AT modem is the phone. Prints a
// table; "--quick" runs few rounds (as make check does, untimed). Every
// event must reach both, or it fails.

#include "ofonobench.h"
#include "simbench.h"

#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/systemcontrol.h>

#include <qofonomodem.h>
#include <qofononetworkregistration.h>
#include <qofonosimmanager.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Ondrix;

namespace {

constexpr int Wait = 15000;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void row(const char *what, const std::vector<double> &library, const std::vector<double> &qofono)
{
    const double a = median(library), b = median(qofono);
    std::printf("%-44s %10.2f %10.2f ms  %5.2fx\n", what, a, b, b > 0 ? a / b : 0.0);
}

// Both sides timed from the moment the event is asked for: the first side
// that has it stops its clock.
struct Arrival {
    QElapsedTimer clock;
    double library = -1, qofono = -1;
    void reset() { library = qofono = -1; clock.start(); }
    bool both() const { return library >= 0 && qofono >= 0; }
    double now() const { return clock.nsecsElapsed() / 1e6; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int events = quick ? 10 : 60;
    const int starts = quick ? 3 : 15;

    const QString why = OfonoBench::unavailable();
    if (!why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        return 0;
    }
    SimBench bench;
    bench.simulatorArguments = QStringList{QStringLiteral("--at"), QStringLiteral("0"), QStringLiteral("--at-only")};
    OfonoBench ofono;
    ChildProcess bridge;
    if (!bench.start() || !ofono.start(bench.control(QStringLiteral("AtAddress")).toString()) || !ofono.bringUp()) {
        std::fprintf(stderr, "bench_ofono: the phone did not come up\n%s\n", qPrintable(ofono.output()));
        return 1;
    }
    bridge.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bridge.start(QStringLiteral(ONDRIX_BRIDGE), QStringList());
    auto run = [&bench](const QString &command) { bench.control(QStringLiteral("Run"), {command}); };

    // At start: the objects an idle screen shows (radio, registration,
    // operator, signal), until each holds the modem's state.
    std::vector<double> startLibrary, startQofono;
    for (int i = 0; i < starts; i++) {
        QElapsedTimer clock;
        clock.start();
        {
            SystemControl control;
            NetworkRegistration registration;
            NetworkOperator op;
            SignalStrength strength(SignalStrength::BarsOption);
            if (!waitFor([&] {
                    return control.isValid() && control.power() && registration.status() == NetworkRegistration::AtHome
                           && !op.name().isEmpty() && strength.bars() > 0;
                }, Wait)) {
                std::fprintf(stderr, "bench_ofono: the library did not read the modem's state\n");
                return 1;
            }
            startLibrary.push_back(clock.nsecsElapsed() / 1e6);
        }
        clock.start();
        {
            QOfonoModem modem;
            QOfonoNetworkRegistration registration;
            modem.setModemPath(OfonoBench::Modem);
            registration.setModemPath(OfonoBench::Modem);
            if (!waitFor([&] {
                    return modem.isValid() && modem.online() && registration.isValid()
                           && registration.status() == QLatin1String("registered") && !registration.name().isEmpty()
                           && registration.strength() > 0;
                }, Wait)) {
                std::fprintf(stderr, "bench_ofono: libqofono did not read the modem's state\n");
                return 1;
            }
            startQofono.push_back(clock.nsecsElapsed() / 1e6);
        }
    }

    // Events: both sides follow the same modem.
    SignalStrength strength(SignalStrength::BarsOption | SignalStrength::PercentOption);
    NetworkRegistration registration;
    QOfonoNetworkRegistration netreg;
    netreg.setModemPath(OfonoBench::Modem);
    waitFor([&] { return strength.isValid() && registration.isValid() && netreg.isValid() && netreg.strength() > 0; }, Wait);

    Arrival arrival;
    QObject::connect(&strength, &SignalStrength::percentChanged, [&] {
        if (arrival.library < 0)
            arrival.library = arrival.now();
    });
    QObject::connect(&netreg, &QOfonoNetworkRegistration::strengthChanged, [&] {
        if (arrival.qofono < 0)
            arrival.qofono = arrival.now();
    });
    std::vector<double> signalLibrary, signalQofono;
    int lost = 0;
    for (int i = 0; i < events; i++) {
        arrival.reset();
        run(QStringLiteral("signal %1").arg(i % 2 ? -75 : -91));
        if (!waitFor([&] { return arrival.both(); }, Wait))
            lost++;
        signalLibrary.push_back(arrival.library);
        signalQofono.push_back(arrival.qofono);
    }
    QObject::disconnect(&strength, nullptr, nullptr, nullptr);
    QObject::disconnect(&netreg, nullptr, nullptr, nullptr);

    QObject::connect(&registration, &NetworkRegistration::statusChanged, [&](int status) {
        if (arrival.library < 0 && (status == NetworkRegistration::Roaming || status == NetworkRegistration::AtHome))
            arrival.library = arrival.now();
    });
    QObject::connect(&netreg, &QOfonoNetworkRegistration::statusChanged, [&](const QString &status) {
        if (arrival.qofono < 0 && (status == QLatin1String("roaming") || status == QLatin1String("registered")))
            arrival.qofono = arrival.now();
    });
    std::vector<double> registerLibrary, registerQofono;
    for (int i = 0; i < events; i++) {
        arrival.reset();
        run(i % 2 ? QStringLiteral("register Home 244 05 Ondrix") : QStringLiteral("register Roaming 248 01 Baltic"));
        if (!waitFor([&] { return arrival.both(); }, Wait))
            lost++;
        registerLibrary.push_back(arrival.library);
        registerQofono.push_back(arrival.qofono);
    }

    std::printf("%-44s %10s %10s\n", "", "library", "libqofono");
    std::printf("%-44s %10s %10s\n", "", "(bridge)", "(direct)");
    row("ctl signal to the Qt signal (median)", signalLibrary, signalQofono);
    row("ctl register to the Qt signal (median)", registerLibrary, registerQofono);
    row("objects holding the modem's state at start", startLibrary, startQofono);
    std::printf("events: %d of each kind, %d lost\n", events, lost);

    bridge.terminate();
    bridge.waitForFinished();
    ofono.stop();
    bench.stop();
    return lost == 0 ? 0 : 1;
}
