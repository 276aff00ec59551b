// SPDX-License-Identifier: LGPL-2.1-or-later
// The shared call mechanics, against the simulator: what reaches a class from
// the bus, and what does not.

#include "frame.h"
#include "simbench.h"

#include <QtTest>

using namespace Ondrix;

namespace {
const QString Modem = QStringLiteral("com.kelvo.YKM.Modem");
const QString GetProperties = QStringLiteral("GetProperties");
}

class Receiver : public QObject
{
public:
    QList<QVariantMap> replies;
    QStringList errors;
    QStringList activities;
    void onReply(const QVariantMap &map) { replies << map; }
    void onError(const QDBusError &e) { errors << e.name() + QLatin1Char(' ') + e.message(); }
    void onActivity(const QString &text) { activities << text; }
};

class TestFrame : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void signaturesOfHandlers()
    {
        QCOMPARE(Frame::signatureOf<>(), QString());
        QCOMPARE((Frame::signatureOf<const QString &, int, bool>()), QStringLiteral("sib"));
        QCOMPARE(Frame::signatureOf<const QVariantMap &>(), QStringLiteral("a{sv}"));
        QVERIFY(Frame::carries(QStringLiteral("sa{sv}"), QStringLiteral("s")));
        QVERIFY(!Frame::carries(QStringLiteral("as"), QStringLiteral("s")));
    }

    // A reply reaches the handler only with the arguments it asks for; any
    // other completes the call as an error, exactly once.
    void replyHandedOnOnlyWithItsSignature_data()
    {
        QTest::addColumn<QVariantList>("reply");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("map") << QVariantList{QVariantMap{{"A", 1}}} << true;
        QTest::newRow("map and more") << QVariantList{QVariantMap{{"A", 1}}, 5} << true;
        QTest::newRow("nothing") << QVariantList{} << false;
        QTest::newRow("string") << QVariantList{QStringLiteral("x")} << false;
        QTest::newRow("int array") << QVariantList{QVariant::fromValue(QList<int>{1, 2})} << false;
        QTest::newRow("string map") << QVariantList{QVariant::fromValue(QMap<QString, QString>{{"a", "b"}})} << false;
    }

    void replyHandedOnOnlyWithItsSignature()
    {
        QFETCH(QVariantList, reply);
        QFETCH(bool, delivered);
        qDBusRegisterMetaType<QList<int>>();
        qDBusRegisterMetaType<QMap<QString, QString>>();
        bench.script(Modem, GetProperties, {{"reply", QVariant(reply)}});
        Receiver receiver;
        QVERIFY(Frame::callAsync(Frame::methodCall(Frame::Bus::Modem, GetProperties), &receiver,
                                 &Receiver::onReply, &Receiver::onError));
        QTRY_COMPARE(receiver.replies.size() + receiver.errors.size(), 1);
        QCOMPARE(receiver.replies.size(), delivered ? 1 : 0);
        if (!delivered)
            QVERIFY(receiver.errors.first().startsWith("org.freedesktop.DBus.Error.InvalidSignature "));
        bench.flush();
        QCOMPARE(receiver.replies.size() + receiver.errors.size(), 1);
    }

    void propertyReadTakesOnlyOneMap_data()
    {
        QTest::addColumn<QVariantList>("reply");
        QTest::addColumn<bool>("taken");
        QTest::newRow("map") << QVariantList{QVariantMap{{"A", 1}}} << true;
        QTest::newRow("two maps") << QVariantList{QVariantMap{}, QVariantMap{}} << false;
        QTest::newRow("int array") << QVariantList{QVariant::fromValue(QList<int>{1})} << false;
        QTest::newRow("struct list") << QVariantList{QVariant::fromValue(QList<QStringList>{{"a"}})} << false;
    }

    void propertyReadTakesOnlyOneMap()
    {
        QFETCH(QVariantList, reply);
        qDBusRegisterMetaType<QList<int>>();
        qDBusRegisterMetaType<QList<QStringList>>();
        bench.script(Modem, GetProperties, {{"reply", QVariant(reply)}});
        QVariantMap out;
        QTEST(Frame::readProperties(Frame::methodCall(Frame::Bus::Modem, GetProperties), out), "taken");
        QVERIFY(SimBench::log().isEmpty());
    }

    void signalsOfAnotherSignatureAreDropped()
    {
        Receiver receiver;
        QVERIFY(Frame::subscribe(Frame::Bus::CSNet, "ActivityChanged", &receiver, &Receiver::onActivity));
        const QString csnet = QStringLiteral("com.kelvo.hvt.CSNet");
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {5});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QVariant::fromValue(QStringList{"Call"})});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QVariantMap{{"Call", 1}}});
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QStringLiteral("Call")});
        QVERIFY(bench.flush());
        QCOMPARE(receiver.activities, QStringList{"Call"});

        Frame::unsubscribe(Frame::Bus::CSNet, "ActivityChanged", &receiver);
        bench.emitSignal(csnet, QStringLiteral("ActivityChanged"), {QStringLiteral("Data")});
        QVERIFY(bench.flush());
        QCOMPARE(receiver.activities, QStringList{"Call"});
    }

    // Every line goes through one category, which applications can silence.
    void logLinesHaveTheirCategory()
    {
        static QStringList seen;
        seen.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &context, const QString &text) {
                seen << QLatin1String(context.category) + QLatin1Char(' ') + text;
            });
        Frame::logError(QDBusError(QDBusError::Failed, QStringLiteral("no")));
        QLoggingCategory::setFilterRules(QStringLiteral("ondrix.dbus.debug=false"));
        Frame::logFailure("Manual selection failed:", QStringLiteral("no"));
        QLoggingCategory::setFilterRules(QString());
        Frame::logFailure("Manual selection failed:", QStringLiteral("PLMNNotAllowed"));
        qInstallMessageHandler(previous);
        QCOMPARE(seen, (QStringList{"ondrix.dbus Error: \"org.freedesktop.DBus.Error.Failed\" \"no\"",
                                    "ondrix.dbus Manual selection failed: \"PLMNNotAllowed\""}));
    }

    // Runs last: it takes the bus away.
    void unsentCalls()
    {
        Receiver receiver;
        bench.killBus();
        QTRY_VERIFY(!QDBusConnection::systemBus().isConnected());
        QVERIFY(!Frame::callAsync(Frame::methodCall(Frame::Bus::Modem, GetProperties), &receiver,
                                  &Receiver::onReply, &Receiver::onError));
        QTest::qWait(50);
        QVERIFY(receiver.errors.isEmpty() && receiver.replies.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
