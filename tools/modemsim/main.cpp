// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix-modemsim: a simulated modem-services daemon for development and tests.

#include "atport.h"
#include "control.h"
#include "scenario.h"
#include "modem.h"
#include "quitsignals.h"
#include "simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QtDBus/QDBusConnection>
#include <QTextStream>


int runCtl(const QDBusConnection &bus, const QStringList &args);
int ctlUsage(bool asked);
int runRecord(const QString &address, const QString &output, int seconds);

namespace {

const char Usage[] =
    "usage: ondrix-modemsim [--system | --session | --address ADDRESS] [--instant] [--chaos SEED]\n"
    "                       [--scenario FILE] [--verbose] [--show-codes] [--at [ADDRESS:]PORT [--at-only]]\n"
    "       ondrix-modemsim ctl [--system | --session | --address ADDRESS] COMMAND ...\n"
    "       ondrix-modemsim record [--system | --session | --address ADDRESS] [--output FILE] [--seconds N]\n"
    "Serves the modem daemons' bus names (the system bus by default) until stopped.\n"
    "The environment's DBUS_SYSTEM_BUS_ADDRESS chooses the system bus.\n"
    "--instant answers at once and keeps the signal still, as tests want it.\n"
    "--chaos SEED plays a hostile daemon: garbled answers, signals and names.\n"
    "--scenario FILE plays a starting state and a timeline (see ondrix-modemsim(1)); an installed\n"
    "scenario is found by its name (\"--scenario home\").\n"
    "--show-codes keeps the codes callers send (PIN, PUK, passwords) in the call log, for test benches;\n"
    "             without it they stand there as ********.\n"
    "--at [ADDRESS:]PORT serves the modem as an AT modem on a TCP port too (127.0.0.1 unless ADDRESS;\n"
    "             PORT 0 takes a free one), for oFono's phonesim driver. The port takes PIN codes.\n"
    "--at-only leaves the daemons' bus names to another program: the modem is on the AT port only.\n"
    "record watches the daemons' traffic on a bus and writes it as a scenario that replays it.\n";

// Fails with the usage on standard error.
int usageError(const QString &why = QString())
{
    QTextStream err(stderr);
    if (!why.isEmpty())
        err << "ondrix-modemsim: " << why << '\n';
    err << Usage;
    return 2;
}

void addBusOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("system"), QStringLiteral("The system bus (the default).")});
    parser.addOption({QStringLiteral("session"), QStringLiteral("The session bus.")});
    parser.addOption({QStringLiteral("address"), QStringLiteral("The bus at ADDRESS."), QStringLiteral("ADDRESS")});
    parser.addOption({QStringLiteral("help"), QStringLiteral("This text.")});
    // Words after the first non-option ("set", "-85", ...) are the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
}

// The bus the options name: --address, --session, or the system bus.
QDBusConnection busOf(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("address")))
        return QDBusConnection::connectToBus(parser.value(QStringLiteral("address")), QStringLiteral("ondrix-modemsim"));
    return parser.isSet(QStringLiteral("session")) ? QDBusConnection::sessionBus() : QDBusConnection::systemBus();
}

QString addressOf(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("address")))
        return parser.value(QStringLiteral("address"));
    const char *variable = parser.isSet(QStringLiteral("session")) ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS";
    const QString address = qEnvironmentVariable(variable);
    return !address.isEmpty() || parser.isSet(QStringLiteral("session"))
        ? address : QStringLiteral("unix:path=/run/dbus/system_bus_socket");
}

int connectionError(const QDBusConnection &bus)
{
    QTextStream(stderr) << "ondrix-modemsim: cannot connect to the bus: " << bus.lastError().message() << '\n';
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(1);

    if (mode == QLatin1String("ctl")) {
        QCommandLineParser parser;
        addBusOptions(parser);
        if (!parser.parse(arguments.mid(1)))
            return ctlUsage(false);
        if (parser.isSet(QStringLiteral("help")) || parser.positionalArguments().isEmpty())
            return ctlUsage(parser.isSet(QStringLiteral("help")));
        const QDBusConnection bus = busOf(parser);
        return bus.isConnected() ? runCtl(bus, parser.positionalArguments()) : connectionError(bus);
    }
    if (mode == QLatin1String("record")) {
        QCommandLineParser parser;
        addBusOptions(parser);
        parser.addOption({QStringLiteral("output"), QStringLiteral("The scenario file to write."), QStringLiteral("FILE")});
        parser.addOption({QStringLiteral("seconds"), QStringLiteral("Stop after N seconds."), QStringLiteral("N")});
        if (!parser.parse(arguments.mid(1)) || !parser.positionalArguments().isEmpty())
            return usageError(parser.errorText());
        if (parser.isSet(QStringLiteral("help"))) {
            QTextStream(stdout) << Usage;
            return 0;
        }
        bool ok = true;
        const int seconds = parser.isSet(QStringLiteral("seconds")) ? parser.value(QStringLiteral("seconds")).toInt(&ok) : 0;
        if (!ok || seconds < 0)
            return usageError(QStringLiteral("--seconds takes a whole number of seconds"));
        return runRecord(addressOf(parser), parser.value(QStringLiteral("output")), seconds);
    }

    QCommandLineParser parser;
    addBusOptions(parser);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOption({QStringLiteral("verbose"), QStringLiteral("Print every call and signal.")});
    parser.addOption({QStringLiteral("instant"), QStringLiteral("Answer at once, keep the signal still.")});
    parser.addOption({QStringLiteral("show-codes"), QStringLiteral("Keep codes in the call log.")});
    parser.addOption({QStringLiteral("chaos"), QStringLiteral("The hostile mode from SEED."), QStringLiteral("SEED")});
    parser.addOption({QStringLiteral("scenario"), QStringLiteral("Play FILE, or the installed scenario NAME."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("at"), QStringLiteral("An AT modem on [ADDRESS:]PORT."), QStringLiteral("PORT")});
    parser.addOption({QStringLiteral("at-only"), QStringLiteral("The AT port only, no daemon names.")});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << Usage;
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("no command \"%1\"").arg(parser.positionalArguments().first()));
    bool chaos = false;
    const uint chaosSeed = parser.value(QStringLiteral("chaos")).toUInt(&chaos);
    if (parser.isSet(QStringLiteral("chaos")) && !chaos) {
        err << "ondrix-modemsim: --chaos takes a seed, a number\n";
        return 2;
    }
    QString atHost;
    quint16 atPort = 0;
    if (parser.isSet(QStringLiteral("at"))) {
        const QString value = parser.value(QStringLiteral("at"));
        const int colon = value.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        atHost = colon < 0 ? QString() : value.left(colon);
        atPort = value.mid(colon + 1).toUShort(&ok);
        if (!ok)
            return usageError(QStringLiteral("--at takes [ADDRESS:]PORT, not \"%1\"").arg(value));
    } else if (parser.isSet(QStringLiteral("at-only"))) {
        return usageError(QStringLiteral("--at-only goes with --at"));
    }
    QString scenario;
    const QString scenarioFile = parser.value(QStringLiteral("scenario"));
    if (!scenarioFile.isEmpty()) {
        QFile file(scenarioPath(scenarioFile));
        if (!file.open(QIODevice::ReadOnly)) {
            err << "ondrix-modemsim: cannot read " << file.fileName() << ": " << file.errorString() << '\n';
            return 2;
        }
        scenario = QString::fromUtf8(file.readAll());
    }

    QDBusConnection bus = busOf(parser);
    if (!bus.isConnected())
        return connectionError(bus);

    Simulator sim(bus, parser.isSet(QStringLiteral("instant")));
    sim.verbose = parser.isSet(QStringLiteral("verbose"));
    sim.showCodes = parser.isSet(QStringLiteral("show-codes"));
    sim.setServesBus(!parser.isSet(QStringLiteral("at-only")));
    ModemEvents events;
    installModem(&sim, &events);
    AtPort at(&sim, &events);
    if (parser.isSet(QStringLiteral("at"))) {
        QString why;
        if (!at.listen(atHost, atPort, &why)) {
            err << "ondrix-modemsim: cannot serve the AT port: " << why << '\n';
            return 1;
        }
        sim.atAddress = at.address();
        err << "ondrix-modemsim: AT modem on " << sim.atAddress << '\n' << Qt::flush;
    }
    Control control(&sim, &events);
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
        control.SetChaos(true, chaosSeed);

    quitOnSignals(app);
    const int rc = app.exec();
    bus.unregisterObject(QStringLiteral(MODEMSIM_CONTROL_PATH));
    return rc;
}
