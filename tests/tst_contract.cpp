// SPDX-License-Identifier: LGPL-2.1-or-later
// The daemon's interface files against the simulator on the bus: what it
// introspects as, what its properties hold, what its methods answer and
// which signals it sends. (Every other test holds the library's calls and the
// simulator's traffic against the same files: see SimTestCase::cleanup().)

#include "contract.h"
#include "members.h"
#include "simbench.h"

#include <QDir>
#include <QFile>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVariant>
#include <QtTest>

namespace {

QDBusMessage call(const QString &service, const QString &path, const QString &interface, const QString &member,
                  const QVariantList &args = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(args);
    return QDBusConnection::systemBus().call(message, QDBus::Block, 5000);
}

// A plain value of each argument type the daemon takes.
QVariant sample(const QString &type)
{
    static const QMap<QString, QVariant> samples = {
        {QStringLiteral("s"), QStringLiteral("1")}, {QStringLiteral("b"), true},
        {QStringLiteral("i"), 1}, {QStringLiteral("u"), 1u},
        {QStringLiteral("y"), QVariant::fromValue(uchar(1))},
        {QStringLiteral("ay"), QByteArray(16, 'r')},
        {QStringLiteral("as"), QStringList{QStringLiteral("1")}},
    };
    return samples.value(type);
}

} // namespace

class TestContract : public SimTestCase
{
    Q_OBJECT

public Q_SLOTS:
    void onSignal(const QDBusMessage &message)
    {
        seen.insert(message.interface() + QLatin1Char('.') + message.member(), message.signature());
    }

private:
    Contract files;
    // The interfaces found by walking the simulator's objects, and where.
    QMap<QString, QString> pathOf;
    QMap<QString, QString> serviceOf;
    QMultiMap<QString, QString> seen;

    void walk(const QString &service, const QString &path)
    {
        const QDBusMessage reply = call(service, path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                        QStringLiteral("Introspect"));
        QCOMPARE(reply.signature(), QStringLiteral("s"));
        const QByteArray xml = reply.arguments().value(0).toString().toUtf8();
        Contract found;
        QVERIFY2(found.parse(xml), qPrintable(path + QLatin1String(": ") + found.error()));
        for (const QString &name : found.interfaces()) {
            if (name.startsWith(QLatin1String("org.freedesktop.DBus.")))
                continue;
            QVERIFY2(!pathOf.contains(name), qPrintable(name));
            QVERIFY2(files.find(name), qPrintable(name + QLatin1String(" has no interface file")));
            QCOMPARE(found.find(name)->xml(), files.find(name)->xml());
            pathOf.insert(name, path);
            serviceOf.insert(name, service);
        }
        QXmlStreamReader reader(xml);
        int depth = 0;
        while (reader.readNextStartElement() || (depth > 0 && !reader.atEnd())) {
            if (reader.isEndElement()) {
                depth--;
                continue;
            }
            depth++;
            if (reader.name() == QLatin1String("node") && depth == 2) {
                const QString child = reader.attributes().value(QLatin1String("name")).toString();
                if (path != QLatin1String("/") || child == QLatin1String("com"))
                    walk(service, path == QLatin1String("/") ? path + child : path + QLatin1Char('/') + child);
            }
        }
    }

private Q_SLOTS:
    // Every object introspects as the files describe its interfaces, and
    // every file is served (the tests below rely on what this one finds).
    void introspection()
    {
        const QDir dir(QStringLiteral(ONDRIX_INTERFACES_DIR));
        const QStringList names = dir.entryList({QStringLiteral("*.xml")}, QDir::Files);
        QVERIFY(!names.isEmpty());
        for (const QString &name : names) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(files.parse(file.readAll()), qPrintable(name + QLatin1String(": ") + files.error()));
            QVERIFY2(files.find(name.chopped(4)), qPrintable(name + QLatin1String(" names another interface")));
        }
        // Each daemon name answers for its own objects; the tree below
        // "/com/kelvo" is the same under all of them.
        walk(QStringLiteral("com.kelvo.hvt.CSNet"), QStringLiteral("/"));
        QCOMPARE(QStringList(pathOf.keys()), files.interfaces());
        for (const QString &interface : files.interfaces()) {
            QVERIFY(QDBusConnection::systemBus().connect(QString(), QString(), interface, QString(), this,
                                                         SLOT(onSignal(QDBusMessage))));
        }
    }

    // Whatever the library calls, follows or writes is in the files, with
    // the signatures it sends and takes: every row of its table, not only
    // the calls a test happens to make.
    void libraryMembers()
    {
        using namespace Ondrix::Frame;
        for (const Member &row : Methods) {
            const QString at = QLatin1String(busName(row.bus).interface) + QLatin1Char('.') + QLatin1String(row.name);
            const ContractMember *method = files.method(QLatin1String(busName(row.bus).interface), QLatin1String(row.name));
            QVERIFY2(method, qPrintable(at + QLatin1String(": no such method")));
            QCOMPARE(method->signature(false), QLatin1String(row.arguments));
            QCOMPARE(method->signature(true), QLatin1String(row.reply));
        }
        for (const Member &row : Signals) {
            const QString at = QLatin1String(busName(row.bus).interface) + QLatin1Char('.') + QLatin1String(row.name);
            const ContractMember *signal = files.signal(QLatin1String(busName(row.bus).interface), QLatin1String(row.name));
            QVERIFY2(signal, qPrintable(at + QLatin1String(": no such signal")));
            QCOMPARE(signal->signature(true), QLatin1String(row.arguments));
        }
        for (const Member &row : WrittenProperties) {
            const ContractInterface *interface = files.find(QLatin1String(busName(row.bus).interface));
            QVERIFY(interface);
            QCOMPARE(interface->properties.value(QLatin1String(row.name)), QLatin1String(row.arguments));
            QVERIFY2(interface->writable.value(QLatin1String(row.name)), row.name);
        }
        for (const BusName &names : BusNames)
            QCOMPARE(pathOf.value(QLatin1String(names.interface)), QLatin1String(names.path));
    }

    // The property maps hold what the files list, with their types.
    void properties()
    {
        for (const QString &interface : files.interfaces()) {
            const QDBusMessage reply = call(serviceOf[interface], pathOf[interface],
                                            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                                            {interface});
            QCOMPARE(reply.signature(), QStringLiteral("a{sv}"));
            const QVariantMap values = qdbus_cast<QVariantMap>(reply.arguments().value(0));
            QMap<QString, QString> types;
            for (auto it = values.cbegin(); it != values.cend(); ++it)
                types.insert(it.key(), wireSignature({it.value()}));
            QCOMPARE(types, files.find(interface)->properties);
        }
    }

    // Every method answers; what succeeds answers with the reply the file gives.
    void methods()
    {
        for (const QString &interface : files.interfaces()) {
            for (const ContractMember &method : files.find(interface)->methods) {
                QVariantList args;
                for (const ContractArg &arg : method.args) {
                    if (!arg.out)
                        args << sample(arg.type);
                }
                const QDBusMessage reply = call(serviceOf[interface], pathOf[interface], interface, method.name, args);
                const QString what = interface + QLatin1Char('.') + method.name + QLatin1String(": ") + reply.errorName();
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    QVERIFY2(reply.errorName().startsWith(interface.section(QLatin1Char('.'), 0, 3) + QLatin1Char('.')),
                             qPrintable(what));
                } else {
                    QCOMPARE(reply.signature(), method.signature(true));
                }
            }
        }
    }

    // The simulator's behaviour sends every signal of the files, each with its types.
    void signalList()
    {
        seen.clear();
        // Every property changes and changes back: the daemon announces both.
        for (const QString &interface : files.interfaces()) {
            const ContractInterface *contract = files.find(interface);
            const QVariantMap start = bench.properties(interface);
            for (auto it = contract->properties.cbegin(); it != contract->properties.cend(); ++it) {
                const QVariant original = start.value(it.key());
                const QVariant other = it.value() == QLatin1String("b") ? QVariant(!original.toBool()) : sample(it.value());
                if (!other.isValid())
                    continue;
                bench.setProperty(interface, it.key(), other);
                bench.setProperty(interface, it.key(), original);
            }
        }
        // The SIM asks for its PIN.
        bench.setProperty(QStringLiteral("com.kelvo.hvt.SIM"), QStringLiteral("Status"), QStringLiteral("PINRequired"));
        // A supplementary service takes its time, and the network talks USSD.
        bench.setSetting(QStringLiteral("SSTime"), 1);
        const QString ss = QStringLiteral("com.kelvo.hvt.SS");
        const QString ussd = QStringLiteral("com.kelvo.hvt.SS.USSD");
        const QString ssPath = QStringLiteral("/com/kelvo/hvt/ss");
        QCOMPARE(call(ss, ssPath, ss, QStringLiteral("CheckCLIP")).type(), QDBusMessage::ReplyMessage);
        call(ss, ssPath, ussd, QStringLiteral("Command"), {QStringLiteral("*199#"), QString()});
        call(ss, ssPath, ussd, QStringLiteral("Command"), {QStringLiteral("*101#"), QString()});
        call(ss, ssPath, ussd, QStringLiteral("NotifyAck"));
        call(ss, ssPath, ussd, QStringLiteral("Command"), {QStringLiteral("*123#"), QString()});
        QVERIFY(bench.flush());
        QStringList unsent;
        for (const QString &interface : files.interfaces()) {
            for (const ContractMember &signal : files.find(interface)->signalList) {
                const QString name = interface + QLatin1Char('.') + signal.name;
                if (!seen.contains(name))
                    unsent << name;
                for (const QString &signature : seen.values(name))
                    QCOMPARE(signature, signal.signature(true));
            }
        }
        QVERIFY2(unsent.isEmpty(), qPrintable(unsent.join(QLatin1Char(' '))));
    }
};

QTEST_GUILESS_MAIN(TestContract)
#include "tst_contract.moc"
