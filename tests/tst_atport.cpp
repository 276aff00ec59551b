// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulator's AT port as a terminal sees it: how it reads what it is
// sent, where its unsolicited results go, and one terminal at a time.

#include "simbench.h"

#include <QTcpSocket>
#include <QtTest>

namespace {

// A terminal on the simulator's AT port.
class Terminal
{
public:
    explicit Terminal(const QString &address)
    {
        const int colon = address.lastIndexOf(QLatin1Char(':'));
        socket.connectToHost(address.left(colon), quint16(address.mid(colon + 1).toUInt()));
        socket.waitForConnected(10000);
    }

    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }

    // Waits until what came holds `expected` (all of it, from the start);
    // returns what came.
    QByteArray await(const QByteArray &expected)
    {
        waitFor([&] {
            received += socket.readAll();
            return received.size() >= expected.size() || socket.state() != QAbstractSocket::ConnectedState;
        }, 20000);
        const QByteArray got = received;
        received.clear();
        return got;
    }

    QTcpSocket socket;
    QByteArray received;
};

const QByteArray Ok = "\r\nOK\r\n";
const QByteArray Error = "\r\nERROR\r\n";

} // namespace

class TestAtPort : public QObject
{
    Q_OBJECT

    SimBench bench;
    QString address;

private Q_SLOTS:
    void initTestCase()
    {
        bench.simulatorArguments = QStringList{QStringLiteral("--at"), QStringLiteral("0")};
        QVERIFY(bench.start());
        address = bench.control(QStringLiteral("AtAddress")).toString();
        QVERIFY(address.startsWith(QLatin1String("127.0.0.1:")));
    }

    void init() { bench.reset(); }

    // What a terminal sends, as the modem reads it, in the reads it came in.
    void reading_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray vendor = "\r\nOndrix\r\n" + Ok;
        QTest::newRow("split") << QList<QByteArray>{"AT+CG", "M", "I\r"} << vendor;
        QTest::newRow("NUL and LF") << QList<QByteArray>{QByteArray("A\0T+C\nGMI\r", 10)} << vendor;
        QTest::newRow("backspace") << QList<QByteArray>{"AT+CGMX\bI\r"} << vendor;
        QTest::newRow("lower case") << QList<QByteArray>{"at+cgmi\r"} << vendor;
        QTest::newRow("no command line") << QList<QByteArray>{"hello\r", "AT\r"} << Ok;
        QTest::newRow("repeated") << QList<QByteArray>{"AT+CGMI\r", "A/\r"} << vendor + vendor;
        QTest::newRow("unknown") << QList<QByteArray>{"AT+XYZZY\r"} << Error;
        QTest::newRow("string left open") << QList<QByteArray>{"AT+CPIN=\"1234\r"} << Error;
        QTest::newRow("too long, then on")
            << QList<QByteArray>{"AT+CGMI" + QByteArray(2000, 'I') + "\r", "AT\r"} << Error + Ok;
        QTest::newRow("one line, two commands, the second fails")
            << QList<QByteArray>{"AT+CMEE=2;+CPIN=\"1234\"\r"} << QByteArray("\r\n+CME ERROR: operation not allowed\r\n");
        QTest::newRow("numeric results") << QList<QByteArray>{"ATV0\r", "AT+XYZZY\r"} << QByteArray("0\r4\r");
        QTest::newRow("echo") << QList<QByteArray>{"ATE1\r", "AT\r"} << Ok + "AT\r" + Ok;
        QTest::newRow("a message") << QList<QByteArray>{"AT+CMGS=3\r", "00010203\x1a"} << "\r\n> \r\n+CMGS: 1\r\n" + Ok;
        QTest::newRow("a message cancelled") << QList<QByteArray>{"AT+CMGS=3\r", "0001\x1b"} << "\r\n> " + Error;
        QTest::newRow("a message of other length") << QList<QByteArray>{"AT+CMGS=9\r", "00010203\x1a"}
                                                    << QByteArray("\r\n> \r\n+CMS ERROR: 304\r\n");
    }

    void reading()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QByteArray, answer);
        Terminal terminal(address);
        for (const QByteArray &read : reads) {
            terminal.send(read);
            QTest::qWait(0);
        }
        QCOMPARE(terminal.await(answer), answer);
    }

    // A change while a command runs waits for the command's final result.
    void unsolicitedAfterTheResult()
    {
        Terminal terminal(address);
        bench.script("com.kelvo.hvt.CSNet.NetworkRegistration", "GetNetworks", {{"noreply", true}});
        terminal.send("AT+COPS=?\r");
        QTRY_VERIFY_WITH_TIMEOUT(bench.wire("AT").contains("Received(s) \"AT+COPS=?\""), 10000);
        bench.control(QStringLiteral("Run"), {QStringLiteral("signal -67")});
        // The modem starts over: the scan ends in an error, then the signal comes.
        bench.control(QStringLiteral("Reset"));
        const QByteArray expected = Error + "\r\n+CSQ: 23,99\r\n\r\n+CRST: 1\r\n";
        QCOMPARE(terminal.await(expected), expected);
    }

    // Network time, as the terminal asked for it.
    void timeReports()
    {
        Terminal terminal(address);
        terminal.send("AT+CTZR=1\r");
        QCOMPARE(terminal.await(Ok), Ok);
        bench.control(QStringLiteral("Run"), {QStringLiteral("register Home 240 01 Nordic")});
        QCOMPARE(terminal.await("\r\n+CTZV: +4\r\n"), QByteArray("\r\n+CTZV: +4\r\n"));
        terminal.send("AT+CTZR=2\r");
        QCOMPARE(terminal.await(Ok), Ok);
        bench.control(QStringLiteral("Run"), {QStringLiteral("register Home 244 05 Ondrix")});
        const QByteArray report = terminal.await("\r\n+CTZE: \"+8\",0,\"yy/MM/dd,hh:mm:ss\"\r\n");
        QVERIFY2(QRegularExpression("^\r\n\\+CTZE: \"\\+8\",0,\"\\d\\d/\\d\\d/\\d\\d,\\d\\d:\\d\\d:\\d\\d\"\r\n$")
                     .match(QString::fromLatin1(report)).hasMatch(), report.constData());
    }

    // A second terminal takes the port; the first is let go, its call ended.
    void oneTerminalAtATime()
    {
        Terminal first(address);
        first.send("ATD+358401234567;\r");
        QCOMPARE(first.await(Ok), Ok);
        QTRY_COMPARE_WITH_TIMEOUT(bench.properties("com.kelvo.hvt.Call").value("InCall").toBool(), true, 10000);
        first.send("AT+CG");
        Terminal second(address);
        QVERIFY(first.socket.waitForDisconnected(10000));
        QTRY_COMPARE_WITH_TIMEOUT(bench.properties("com.kelvo.hvt.Call").value("InCall").toBool(), false, 10000);
        // The first's half line is gone with it; the call is no more.
        second.send("MI\rAT+CLCC\r");
        QCOMPARE(second.await(Ok), Ok);
    }
};

QTEST_GUILESS_MAIN(TestAtPort)
#include "tst_atport.moc"
