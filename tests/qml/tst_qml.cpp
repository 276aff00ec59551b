// SPDX-License-Identifier: LGPL-2.1-or-later
// The QML module against the simulator: the tests are the tst_*.qml files
// beside this one; "sim" drives the simulator from them.

#include "simbench.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

class SimControl : public QObject
{
    Q_OBJECT
public:
    SimBench bench;

public Q_SLOTS:
    void reset() { bench.reset(); }
    void set(const QString &interface, const QString &name, const QVariant &value)
    {
        bench.setProperty(interface, name, value);
    }
    void emitSignal(const QString &interface, const QString &member, const QVariantList &args)
    {
        bench.emitSignal(interface, member, args);
    }
    bool flush() { return bench.flush(); }
    // A command line as "ondrix-modemsim ctl" takes it; why it was refused, or "".
    QString run(const QString &command) { return bench.control(QStringLiteral("Run"), {command}).toString(); }
    // A shipped scenario, `speed` times as fast, played to its end.
    QString play(const QString &name, double speed)
    {
        const QString why = bench.playScenario(QStringLiteral(ONDRIX_SCENARIOS_DIR "/") + name + QLatin1String(".scenario"), speed);
        return why.isEmpty() && !bench.waitScenario() ? QStringLiteral("did not end") : why;
    }
    void clearCalls() { bench.clearCalls(); }
    // Where the screenshots go: empty for none.
    QString screenshots() const { return qEnvironmentVariable("ONDRIX_SCREENSHOTS"); }
    // The members of the calls the simulator received, oldest first.
    QStringList members()
    {
        QStringList out;
        for (const SimCall &call : bench.calls())
            out << call.member;
        return out;
    }
};

class Setup : public QObject
{
    Q_OBJECT
    SimControl control;

public Q_SLOTS:
    void applicationAvailable()
    {
        if (!control.bench.start())
            qFatal("the simulator did not start");
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral(ONDRIX_QML_IMPORT_PATH));
        engine->rootContext()->setContextProperty(QStringLiteral("sim"), &control);
    }

    void cleanupTestCase() { control.bench.stop(); }
};

QUICK_TEST_MAIN_WITH_SETUP(ondrix_qml, Setup)

#include "tst_qml.moc"
