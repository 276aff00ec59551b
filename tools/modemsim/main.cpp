// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix-modemsim: a simulated modem-services daemon for development and tests.

#include "control.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QStringList>
#include <QtDBus/QDBusConnection>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

int runCtl(const QDBusConnection &bus, const QStringList &args);
int ctlUsage(bool asked);

namespace {

const char Usage[] =
    "usage: ondrix-modemsim [--system | --session | --address ADDRESS] [--instant] [--chaos SEED]\n"
    "                       [--scenario FILE] [--verbose] [--show-codes]\n"
    "       ondrix-modemsim ctl [--system | --session | --address ADDRESS] COMMAND ...\n"
    "Serves the modem daemons' bus names (the system bus by default) until stopped.\n"
    "The environment's DBUS_SYSTEM_BUS_ADDRESS chooses the system bus.\n"
    "--instant answers at once and keeps the signal still, as tests want it.\n"
    "--chaos SEED plays a hostile daemon: garbled answers, signals and names.\n"
    "--scenario FILE plays a starting state and a timeline (see ondrix-modemsim(1)).\n"
    "--show-codes keeps the codes callers send (PIN, PUK, passwords) in the call log, for test benches;\n"
    "             without it they stand there as ********.\n";

int quitPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(quitPipe[1], &byte, 1);
}

// Ends the event loop cleanly on SIGTERM and SIGINT.
void quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, quitPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);

    const bool ctl = !args.isEmpty() && args.first() == QLatin1String("ctl");
    if (ctl) {
        args.removeFirst();
        if (args.isEmpty() || args.first() == QLatin1String("--help"))
            return ctlUsage(!args.isEmpty());
    }

    QString address;
    bool session = false;
    bool verbose = false;
    bool instant = false;
    bool showCodes = false;
    bool chaos = false;
    uint chaosSeed = 0;
    QString scenario, scenarioFile;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--address") && !args.isEmpty()) {
            address = args.takeFirst();
        } else if (option == QLatin1String("--session")) {
            session = true;
        } else if (option == QLatin1String("--system")) {
            session = false;
        } else if (option == QLatin1String("--verbose") && !ctl) {
            verbose = true;
        } else if (option == QLatin1String("--instant") && !ctl) {
            instant = true;
        } else if (option == QLatin1String("--show-codes") && !ctl) {
            showCodes = true;
        } else if (option == QLatin1String("--chaos") && !ctl && !args.isEmpty()) {
            chaosSeed = args.takeFirst().toUInt(&chaos);
            if (!chaos) {
                err << "ondrix-modemsim: --chaos takes a seed, a number\n";
                return 2;
            }
        } else if (option == QLatin1String("--scenario") && !ctl && !args.isEmpty()) {
            QFile file(args.takeFirst());
            if (!file.open(QIODevice::ReadOnly)) {
                err << "ondrix-modemsim: cannot read " << file.fileName() << ": " << file.errorString() << '\n';
                return 2;
            }
            scenario = QString::fromUtf8(file.readAll());
            scenarioFile = file.fileName();
        } else if (option == QLatin1String("--help")) {
            QTextStream(stdout) << Usage;
            return 0;
        } else {
            err << Usage;
            return 2;
        }
    }
    if (!ctl && !args.isEmpty()) {
        err << Usage;
        return 2;
    }

    QDBusConnection bus = !address.isEmpty()
        ? QDBusConnection::connectToBus(address, QStringLiteral("ondrix-modemsim"))
        : session ? QDBusConnection::sessionBus() : QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        err << "ondrix-modemsim: cannot connect to the bus: " << bus.lastError().message() << '\n';
        return 1;
    }
    if (ctl)
        return runCtl(bus, args);

    Simulator sim(bus, instant);
    sim.verbose = verbose;
    sim.showCodes = showCodes;
    Control control(&sim);
    if (!bus.registerObject(QStringLiteral(MODEMSIM_CONTROL_PATH), &control,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        err << "ondrix-modemsim: cannot register the control object\n";
        return 1;
    }
    if (!sim.start()) {
        err << "ondrix-modemsim: cannot own the modem's bus names: "
            << bus.lastError().message() << '\n';
        return 1;
    }
    // The starting state comes first, before anybody knows the daemon is ready.
    if (!scenario.isEmpty()) {
        const QString error = control.PlayScenario(scenario, 1);
        if (!error.isEmpty()) {
            err << "ondrix-modemsim: " << scenarioFile << ", " << error << '\n';
            return 2;
        }
    }
    // The control name comes last: once it is there, the daemon is ready.
    if (!bus.registerService(QStringLiteral(MODEMSIM_CONTROL_SERVICE))) {
        err << "ondrix-modemsim: cannot own " << MODEMSIM_CONTROL_SERVICE << '\n';
        return 1;
    }
    if (chaos)
        sim.setChaos(true, chaosSeed);

    quitOnSignals(app);
    const int rc = app.exec();
    bus.unregisterObject(QStringLiteral(MODEMSIM_CONTROL_PATH));
    return rc;
}
