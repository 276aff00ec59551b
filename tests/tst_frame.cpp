// The shared call mechanics, against the simulator.

#include "frame.h"
#include "simbench.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Ondrix;

class Receiver : public QObject
{
    Q_OBJECT
public:
    QVariantMap reply;
    QString error;
public Q_SLOTS:
    void onReply(const QVariantMap &map) { reply = map; }
    void onError(const QDBusError &e) { error = e.name() + QLatin1Char(' ') + e.message(); }
};

class TestFrame : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void getAllAsksForTheInterfacesProperties()
    {
        const QDBusMessage getAll = Frame::getAllCall(Frame::Bus::NetworkCell);
        QCOMPARE(getAll.interface(), QStringLiteral("org.freedesktop.DBus.Properties"));
        QCOMPARE(getAll.arguments(), QVariantList{QStringLiteral("com.kelvo.hvt.CSNet.NetworkCell")});
        QCOMPARE(getAll.path(), QStringLiteral("/com/kelvo/hvt/csnet"));
    }

    void proxyFormAsynchronousCall()
    {
        Receiver receiver;
        DBusIface *proxy = Frame::createProxy(Frame::Bus::Modem, &receiver);
        QVERIFY(Frame::callProxyAsync(proxy, QStringLiteral("GetProperties"), {}, &receiver,
                                      SLOT(onReply(QVariantMap)), SLOT(onError(QDBusError))));
        QTRY_VERIFY(!receiver.reply.isEmpty());
        QCOMPARE(receiver.reply.value(QStringLiteral("ServiceState")).toString(), QStringLiteral("Normal"));

        bench.script(QStringLiteral("com.kelvo.YKM.Modem"), QStringLiteral("GetProperties"),
                     {{"error", "com.kelvo.YKM.Modem.Error.Busy"}, {"message", "later"}});
        QVERIFY(Frame::callProxyAsync(proxy, QStringLiteral("GetProperties"), {}, &receiver,
                                      SLOT(onReply(QVariantMap)), SLOT(onError(QDBusError))));
        QTRY_COMPARE(receiver.error, QStringLiteral("com.kelvo.YKM.Modem.Error.Busy later"));
        QVERIFY(SimBench::log().isEmpty());
    }

    void synchronousProxyCall()
    {
        Receiver owner;
        DBusIface *proxy = Frame::createProxy(Frame::Bus::SmsSim, &owner);
        const QDBusMessage reply = Frame::callProxy(proxy, QStringLiteral("GetParameters"), {QVariant::fromValue(uchar(1))});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.arguments().size(), 8);
        QCOMPARE(bench.calls(QStringLiteral("GetParameters")).first().signature, QStringLiteral("y"));
    }

    void lookupTakesTheFirstMatch()
    {
        const Frame::TextValue table[] = {{"A", 1}, {"B", 2}, {"A", 3}};
        QCOMPARE(Frame::lookup(table, QStringLiteral("A")), 1);
        QCOMPARE(Frame::lookup(table, QStringLiteral("a")), -1);
        QCOMPARE(Frame::lookup(table, QString(), 29), 29);
    }

    // Runs last: it takes the bus away.
    void unsentCalls()
    {
        Receiver receiver;
        DBusIface *proxy = Frame::createProxy(Frame::Bus::Modem, &receiver);
        bench.killBus();
        QTRY_VERIFY(!QDBusConnection::systemBus().isConnected());
        QVERIFY(!Frame::callProxyAsync(proxy, QStringLiteral("GetProperties"), {}, &receiver,
                                       SLOT(onReply(QVariantMap)), SLOT(onError(QDBusError))));
        QVERIFY(!Frame::callAsync(Frame::methodCall(Frame::Bus::Modem, QStringLiteral("GetProperties")), &receiver,
                                  SLOT(onReply(QVariantMap)), SLOT(onError(QDBusError))));
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
