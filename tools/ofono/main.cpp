// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix-ofono: serves the modem daemons' interfaces from oFono, so that
// applications made for them run on phones that run oFono.

#include "bridge.h"
#include "quitsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMetaObject>
#include <QTextStream>

namespace {

const char Usage[] =
    "usage: ondrix-ofono [--modem PATH] [--verbose]\n"
    "Serves the modem daemons' bus names on the system bus from oFono (org.ofono) until stopped,\n"
    "while oFono has a modem. The environment's DBUS_SYSTEM_BUS_ADDRESS chooses the system bus.\n"
    "--modem PATH serves the modem at PATH (\"/phonesim\"); without it the first with a SIM.\n"
    "--verbose prints every call and signal.\n";

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("ondrix-ofono"));
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("modem"), QStringLiteral("The modem to serve."), QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("verbose"), QStringLiteral("Print every call and signal.")});
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("This help.")});
    if (!parser.parse(app.arguments()) || !parser.positionalArguments().isEmpty()) {
        err << "ondrix-ofono: " << (parser.errorText().isEmpty() ? QStringLiteral("unexpected arguments") : parser.errorText())
            << '\n' << Usage;
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << Usage;
        return 0;
    }

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        err << "ondrix-ofono: no system bus: " << bus.lastError().message() << '\n';
        return 1;
    }
    quitOnSignals(app);

    ContractServer server(bus, QStringLiteral("ondrix-ofono"));
    server.verbose = parser.isSet(QStringLiteral("verbose"));
    Ofono ofono(bus, parser.value(QStringLiteral("modem")));
    QList<BridgeService *> services = createSystem(&server, &ofono);
    services += createNetwork(&server, &ofono);
    services += createCard(&server, &ofono);
    services += createServices(&server, &ofono);
    for (BridgeService *service : qAsConst(services))
        server.addService(service);
    if (!server.registerObjects()) {
        err << "ondrix-ofono: cannot serve the daemons' objects\n";
        return 1;
    }

    // The names are there while a modem is: an application sees the daemon
    // leave with the modem (or oFono) and come back with it, and reads again.
    // oFono tells a change property by property (a new network: its name,
    // then its codes): those that came together are taken together, so that
    // no mix of the old and the new network is announced.
    bool following = false;
    QObject::connect(&ofono, &Ofono::changed, &server, [&] {
        if (following)
            return;
        following = true;
        QMetaObject::invokeMethod(&server, [&] {
            following = false;
            for (BridgeService *service : qAsConst(services))
                service->follow();
        }, Qt::QueuedConnection);
    });
    QObject::connect(&ofono, &Ofono::readyChanged, &server, [&](bool ready) {
        if (ready) {
            for (BridgeService *service : qAsConst(services))
                service->follow();
            if (!server.acquireNames())
                err << "ondrix-ofono: another program owns the daemons' names\n" << Qt::flush;
            if (server.verbose)
                QTextStream(stdout) << "serving " << ofono.modem() << '\n' << Qt::flush;
        } else {
            server.releaseNames();
            for (BridgeService *service : qAsConst(services))
                service->reset();
            if (server.verbose)
                QTextStream(stdout) << "no modem\n" << Qt::flush;
        }
    });
    ofono.start();
    return app.exec();
}
