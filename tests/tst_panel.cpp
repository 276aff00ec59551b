// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulator's control panel against the simulator: each control sends
// its command, the daemons change as they would for "ctl", and the panel
// shows what they hold and the calls they got. Writes the panel's screenshot.

#include "simbench.h"
#include "simulatorlink.h"

#include <QDir>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QQuickWindow>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtTest>

class tst_Panel : public QObject
{
    Q_OBJECT

    SimBench bench;
    std::unique_ptr<SimulatorLink> link;
    std::unique_ptr<QQmlApplicationEngine> engine;
    QQuickWindow *window = nullptr;

    // Items a Repeater made are found through the item tree only.
    static QQuickItem *item(QQuickItem *under, const QString &name)
    {
        for (QQuickItem *child : under->childItems()) {
            if (child->objectName() == name)
                return child;
            if (QQuickItem *found = item(child, name))
                return found;
        }
        return nullptr;
    }
    QObject *control(const char *name)
    {
        QObject *found = item(window->contentItem(), QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    void click(const char *name) { QVERIFY(QMetaObject::invokeMethod(control(name), "clicked")); }
    void type(const char *name, const QString &text) { QVERIFY(control(name)->setProperty("text", text)); }
    QVariant daemon(const char *interface, const char *name)
    {
        return bench.properties(QLatin1String(interface)).value(QLatin1String(name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(bench.start());
        link.reset(new SimulatorLink(QDBusConnection::systemBus()));
        engine.reset(new QQmlApplicationEngine);
        engine->rootContext()->setContextProperty(QStringLiteral("simulator"), link.get());
        engine->load(QUrl(QStringLiteral("qrc:/panel/Panel.qml")));
        QVERIFY(!engine->rootObjects().isEmpty());
        window = qobject_cast<QQuickWindow *>(engine->rootObjects().first());
        QVERIFY(window);
        QTRY_VERIFY(link->connected());
    }

    void networkControls()
    {
        QObject *slider = control("signalLevel");
        slider->setProperty("value", -97);
        QVERIFY(QMetaObject::invokeMethod(slider, "moved"));
        QTRY_COMPARE(daemon("com.kelvo.hvt.CSNet.SignalStrength", "SignalDecibels").toInt(), -97);

        control("registration")->setProperty("currentIndex", 1);   // Roaming
        type("mcc", QStringLiteral("248"));
        type("mnc", QStringLiteral("01"));
        type("operatorName", QStringLiteral("Telia \"EE\" O'Net"));
        click("register");
        QTRY_COMPARE(daemon("com.kelvo.hvt.CSNet.NetworkOperator", "OperatorName").toString(),
                     QStringLiteral("Telia \"EE\" O'Net"));
        QCOMPARE(daemon("com.kelvo.hvt.CSNet.NetworkRegistration", "RegistrationStatus").toString(),
                 QStringLiteral("Roaming"));
        // The panel shows what the daemons now hold.
        QTRY_COMPARE(control("now.NetworkRegistration.RegistrationStatus")->property("text").toString(),
                     QStringLiteral("Roaming"));

        type("cellId", QStringLiteral("7240"));
        type("cellName", QStringLiteral("Pasila"));
        click("changeCell");
        QTRY_COMPARE(daemon("com.kelvo.hvt.CSNet.NetworkCell", "CellId").toInt(), 7240);
        QCOMPARE(daemon("com.kelvo.hvt.CSNet.NetworkCell", "CellName").toString(), QStringLiteral("Pasila"));

        click("sendTime");
        QTRY_COMPARE(daemon("com.kelvo.hvt.CSNet.NetworkTime", "Network").toStringList(),
                     (QStringList{QStringLiteral("248"), QStringLiteral("01")}));
    }

    void cardAndCall()
    {
        control("cardState")->setProperty("currentIndex", 2);   // PUKRequired
        click("setCardState");
        QTRY_COMPARE(daemon("com.kelvo.hvt.SIM", "Status").toString(), QStringLiteral("PUKRequired"));
        click("simRemove");
        QTRY_COMPARE(daemon("com.kelvo.hvt.SIM", "Present").toBool(), false);

        click("callIn");
        QTRY_COMPARE(daemon("com.kelvo.hvt.Call", "InCall").toBool(), true);
        QCOMPARE(daemon("com.kelvo.hvt.Call", "Incoming").toBool(), true);
        click("callEnd");
        QTRY_COMPARE(daemon("com.kelvo.hvt.Call", "InCall").toBool(), false);
    }

    void ussdAnswer()
    {
        type("ussdCode", QStringLiteral("*555#"));
        type("ussdAnswer", QStringLiteral("Your bonus: 5 € 'free'"));
        click("setUssd");
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("com.kelvo.hvt.SS"), QStringLiteral("/com/kelvo/hvt/ss"),
                                                           QStringLiteral("com.kelvo.hvt.SS.USSD"), QStringLiteral("Command"));
        call << QStringLiteral("*555#") << QStringLiteral("en");
        // The panel's command may still be on its way.
        QTRY_COMPARE_WITH_TIMEOUT(QDBusConnection::systemBus().call(call).arguments().value(0).toString(),
                                  QStringLiteral("Your bonus: 5 € 'free'"), 20000);
        // The call log shows the call.
        QTRY_VERIFY(!link->callLog().filter(QStringLiteral("SS.USSD.Command")).isEmpty());
    }

    void refusedCommandShown()
    {
        type("command", QStringLiteral("signal 5"));
        QVERIFY(QMetaObject::invokeMethod(control("command"), "accepted"));
        QTRY_VERIFY(control("message")->property("text").toString().contains(QLatin1String("-113 to -51")));
    }

    void scenarioPlays()
    {
        const int home = link->scenarios().indexOf(QStringLiteral("roaming-abroad"));
        QVERIFY(home >= 0);
        control("scenario")->setProperty("currentIndex", home);
        click("play");
        QTRY_VERIFY(link->scenarioLine() > 0);
        click("stop");
        QTRY_COMPARE(link->scenarioLine(), 0);
    }

    // Evidence, not behaviour: a screenshot that cannot be taken is said, never failed.
    void screenshot()
    {
        const QString dir = qEnvironmentVariable("ONDRIX_SCREENSHOTS");
        if (dir.isEmpty())
            QSKIP("ONDRIX_SCREENSHOTS names no directory");
        QDir().mkpath(dir);
        // The start-up state, once the panel has polled it.
        QSignalSpy polled(link.get(), &SimulatorLink::stateChanged);
        bench.reset();
        polled.wait(10000);
        const QSharedPointer<QQuickItemGrabResult> shot = window->contentItem()->grabToImage();
        QSignalSpy ready(shot.data(), &QQuickItemGrabResult::ready);
        if (!shot || !(ready.count() || ready.wait(5000)) || !shot->image().save(dir + QLatin1String("/panel.png")))
            qWarning("no screenshot of the panel");
    }

    // The controls show the state they change: the card asks for its PIN,
    // the modem registers abroad.
    void controlsFollowTheState()
    {
        bench.setProperty(QStringLiteral("com.kelvo.hvt.SIM"), QStringLiteral("Status"), QStringLiteral("PINRequired"));
        bench.control(QStringLiteral("Register"), {QStringLiteral("Roaming"), QStringLiteral("248"), QStringLiteral("01"),
                                                   QStringLiteral("Telia EE")});
        QTRY_COMPARE(control("cardState")->property("currentText").toString(), QStringLiteral("PINRequired"));
        QTRY_COMPARE(control("registration")->property("currentText").toString(), QStringLiteral("Roaming"));
        QTRY_COMPARE(control("mnc")->property("text").toString(), QStringLiteral("01"));
        QTRY_COMPARE(control("now.NetworkOperator.OperatorMCC")->property("text").toString(), QStringLiteral("248 01"));
    }

    // Runs last: the simulator goes, and nothing of it stays on screen.
    void simulatorGone()
    {
        QCOMPARE(bench.stop(), 0);
        QTRY_VERIFY(!link->connected());
        QCOMPARE(control("now.SIM.Status")->property("text").toString(), QStringLiteral("–"));
        QVERIFY(link->callLog().isEmpty());
    }

    void cleanupTestCase()
    {
        engine.reset();
        link.reset();
    }
};

QTEST_MAIN(tst_Panel)
#include "tst_panel.moc"
