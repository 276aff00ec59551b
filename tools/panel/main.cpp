// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix-modemsim-panel: the simulator's controls for people who would
// rather click than type. It speaks to a running ondrix-modemsim through its
// control interface, on the system bus or the bus given.

#include "simulatorlink.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QtDBus/QDBusConnection>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("ondrix-modemsim-panel"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Controls a running ondrix-modemsim: signal, registration, "
                                                    "SIM, USSD, cell, calls, network time and scenarios."));
    parser.addHelpOption();
    const QCommandLineOption session(QStringLiteral("session"), QStringLiteral("Use the session bus."));
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("Use the bus at ADDRESS."),
                                     QStringLiteral("ADDRESS"));
    parser.addOptions({session, address});
    parser.process(app);

    const QDBusConnection bus = parser.isSet(address)
        ? QDBusConnection::connectToBus(parser.value(address), QStringLiteral("ondrix-modemsim-panel"))
        : parser.isSet(session) ? QDBusConnection::sessionBus() : QDBusConnection::systemBus();
    SimulatorLink link(bus);
    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("simulator"), &link);
    engine.load(QUrl(QStringLiteral("qrc:/panel/Panel.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    return app.exec();
}
