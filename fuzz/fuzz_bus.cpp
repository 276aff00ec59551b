// SPDX-License-Identifier: LGPL-2.1-or-later
// The library against a daemon made of the fuzzer's bytes. A private bus
// carries the traffic; a peer in a thread of its own owns the daemons' names
// and answers every call, and emits signals, with messages the input spells:
// the reply types the interface files give with any values, any other types
// (variants and structures nested to the bus's limit), errors of any name.
// Meanwhile the hostile workload drives every public class. Nothing may
// crash, leak or trip a sanitizer, and every operation started must have
// completed exactly once when the input ends.

#include "../tools/modemsim/core/contract.h"
#include "workload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusSignature>
#include <QtDBus/QDBusVariant>
#include <QtDBus/QDBusVirtualObject>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// ---- Bytes in ----

class Bytes
{
public:
    Bytes(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    explicit Bytes(const QByteArray &bytes)
        : m_data(reinterpret_cast<const uint8_t *>(bytes.constData())), m_size(size_t(bytes.size())) {}

    bool atEnd() const { return m_at >= m_size; }
    uint8_t byte() { return atEnd() ? 0 : m_data[m_at++]; }
    quint64 number(int octets)
    {
        quint64 value = 0;
        for (int i = 0; i < octets; i++)
            value = value << 8 | byte();
        return value;
    }
    QByteArray take(size_t count)
    {
        count = qMin(count, m_size - qMin(m_at, m_size));
        const QByteArray out(reinterpret_cast<const char *>(m_data + m_at), int(count));
        m_at += count;
        return out;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

// ---- Values of any D-Bus type ----

// The wire's own structures of the daemon's lists, so that a list of the
// right type can carry any values.
struct Sbsu { QString a; bool b = false; QString c; uint d = 0; };
struct Suu { QString a; uint b = 0, c = 0; };
struct Ssssssb { QString a[6]; bool b = false; };

QDBusArgument &operator<<(QDBusArgument &arg, const Sbsu &v)
{
    arg.beginStructure();
    arg << v.a << v.b << v.c << v.d;
    arg.endStructure();
    return arg;
}
const QDBusArgument &operator>>(const QDBusArgument &arg, Sbsu &) { return arg; }
QDBusArgument &operator<<(QDBusArgument &arg, const Suu &v)
{
    arg.beginStructure();
    arg << v.a << v.b << v.c;
    arg.endStructure();
    return arg;
}
const QDBusArgument &operator>>(const QDBusArgument &arg, Suu &) { return arg; }
QDBusArgument &operator<<(QDBusArgument &arg, const Ssssssb &v)
{
    arg.beginStructure();
    for (const QString &s : v.a)
        arg << s;
    arg << v.b;
    arg.endStructure();
    return arg;
}
const QDBusArgument &operator>>(const QDBusArgument &arg, Ssssssb &) { return arg; }

} // namespace

Q_DECLARE_METATYPE(Sbsu)
Q_DECLARE_METATYPE(Suu)
Q_DECLARE_METATYPE(Ssssssb)

namespace {

// A message holds 64 levels of containers, arrays and structures 32 each.
// Structures are built as arguments of their own and copied in, which QtDBus
// and libdbus handle only some levels deep: the sender's limit, not the bus's.
constexpr int MaxDepth = 60;
constexpr int MaxStructureDepth = 8;

// Texts a daemon sends, so that garbage also meets the library's tables.
const char *const Vocabulary[] = {
    "Normal", "EmergencyOnly", "NoCoverage", "Service", "Active", "Call", "Idle", "Home", "Roaming",
    "Searching", "NoSim", "Rejected", "Manual", "Forced", "PLMNNotAllowed", "Available", "Current",
    "Forbidden", "pin", "puk2", "Ok", "PINRequired", "244", "05", "11", "", "RestrictionOn", "GSM_900_1800",
};

const char *const ErrorNames[] = {
    "org.freedesktop.DBus.Error.Failed", "org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.InvalidArgs",
    "org.freedesktop.DBus.Error.ServiceUnknown", "org.example.Unheard.Of", "x.y",
};

const char *const ErrorReasons[] = {
    "Failed", "Busy", "WrongPassword", "Network.Busy", "Network", "InvalidParameter", "CodeBlocked",
    "NoSIM", "Released", "Refused", "Interrupted", "Rejected", "NotProvisioned", "TimerNotElapsed",
};

QString text(Bytes &in)
{
    const uint8_t how = in.byte();
    if (how < 128)
        return QLatin1String(Vocabulary[how % std::size(Vocabulary)]);
    // Any UTF-8 the bus takes: control characters, long texts, unpaired nothing.
    return QString::fromUtf8(in.take(how & 0x3F ? how & 0x3F : 300));
}

QVariant anyValue(Bytes &in, int depth);

// A value of one complete type.
QVariant valueOf(Bytes &in, const QString &type, int depth)
{
    const QChar kind = type.isEmpty() ? QLatin1Char('s') : type[0];
    switch (kind.unicode()) {
    case 'y': return QVariant::fromValue(uchar(in.byte()));
    case 'b': return bool(in.byte() & 1);
    case 'n': return QVariant::fromValue(short(in.number(2)));
    case 'q': return QVariant::fromValue(ushort(in.number(2)));
    case 'i': return int(in.number(4));
    case 'u': return uint(in.number(4));
    case 'x': return qlonglong(in.number(8));
    case 't': return qulonglong(in.number(8));
    case 'd': {
        const quint64 bits = in.number(8);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case 'o': {
        QString path = QStringLiteral("/com/kelvo");
        for (int n = in.byte() % 4; n > 0; n--)
            path += QStringLiteral("/") + QLatin1Char(char('a' + in.byte() % 26));
        return QVariant::fromValue(QDBusObjectPath(path));
    }
    case 'g': {
        static const char *const signatures[] = {"s", "a{sv}", "(ii)", "v", "as", "ay"};
        return QVariant::fromValue(QDBusSignature(QLatin1String(signatures[in.byte() % std::size(signatures)])));
    }
    case 'v':
        return QVariant::fromValue(QDBusVariant(depth < MaxDepth ? anyValue(in, depth + 1) : QVariant(0)));
    case '(': {
        if (depth > MaxStructureDepth)
            return text(in);
        QDBusArgument arg;
        arg.beginStructure();
        for (const QString &member : completeTypes(type.mid(1, type.size() - 2)))
            arg.appendVariant(valueOf(in, member, depth + 1));
        arg.endStructure();
        return QVariant::fromValue(arg);
    }
    case 'a':
        break;
    default:
        return text(in);
    }
    // Arrays: the ones the daemon's contract has, any values in them.
    const int count = in.byte() % 6;
    if (type == QLatin1String("as")) {
        QStringList list;
        for (int n = 0; n < count; n++)
            list << text(in);
        return list;
    }
    if (type == QLatin1String("ay"))
        return in.take(in.byte());
    if (type == QLatin1String("ai")) {
        QList<int> list;
        for (int n = 0; n < count; n++)
            list << int(in.number(4));
        return QVariant::fromValue(list);
    }
    if (type == QLatin1String("a{sb}")) {
        QMap<QString, bool> map;
        for (int n = 0; n < count; n++)
            map.insert(text(in), in.byte() & 1);
        return QVariant::fromValue(map);
    }
    if (type == QLatin1String("a{ss}")) {
        QMap<QString, QString> map;
        for (int n = 0; n < count; n++)
            map.insert(text(in), text(in));
        return QVariant::fromValue(map);
    }
    if (type == QLatin1String("a(sbsu)")) {
        QList<Sbsu> list;
        for (int n = 0; n < count; n++)
            list << Sbsu{text(in), bool(in.byte() & 1), text(in), uint(in.number(4))};
        return QVariant::fromValue(list);
    }
    if (type == QLatin1String("a(suu)")) {
        QList<Suu> list;
        for (int n = 0; n < count; n++)
            list << Suu{text(in), uint(in.number(4)), uint(in.number(4))};
        return QVariant::fromValue(list);
    }
    if (type == QLatin1String("a(ssssssb)")) {
        QList<Ssssssb> list;
        for (int n = 0; n < count; n++) {
            Ssssssb entry;
            for (QString &s : entry.a)
                s = text(in);
            entry.b = in.byte() & 1;
            list << entry;
        }
        return QVariant::fromValue(list);
    }
    if (type == QLatin1String("a{sv}")) {
        QVariantMap map;
        for (int n = 0; n < count; n++)
            map.insert(text(in), depth < MaxDepth ? anyValue(in, depth + 3) : QVariant(0));
        return map;
    }
    QVariantList list;   // av
    for (int n = 0; n < count && depth < MaxDepth; n++)
        list << anyValue(in, depth + 2);
    return list;
}

// A value of a type the input chooses.
QVariant anyValue(Bytes &in, int depth)
{
    static const char *const types[] = {"y", "b", "n", "q", "i", "u", "x", "t", "d", "s", "o", "g", "as", "ay",
                                        "ai", "a{sb}", "a{ss}", "a{sv}", "av", "a(sbsu)", "a(suu)",
                                        "a(ssssssb)", "v", "(s)", "(ii)", "(sv)", "(v(v))"};
    const uint8_t choice = in.byte();
    if (depth >= MaxDepth)
        return int(choice);
    return valueOf(in, QLatin1String(types[choice % std::size(types)]), depth);
}

// Arguments of `signature`, or of any types when the input says so.
QVariantList arguments(Bytes &in, const QString &signature)
{
    QVariantList args;
    const uint8_t how = in.byte();
    if (how % 4 != 0) {
        for (const QString &type : completeTypes(signature))
            args << valueOf(in, type, 1);
    } else {
        for (int n = in.byte() % 5; n > 0; n--)
            args << anyValue(in, 1);
    }
    return args;
}

// A property map of an interface: its names, values of their types or of any.
QVariantMap propertyMap(Bytes &in, const ContractInterface *interface)
{
    QVariantMap map;
    if (!interface)
        return map;
    for (auto it = interface->properties.cbegin(); it != interface->properties.cend(); ++it) {
        const uint8_t how = in.byte();
        if (how % 5 == 0)
            continue;
        map.insert(it.key(), how % 5 == 1 ? anyValue(in, 3) : valueOf(in, it.value(), 3));
    }
    return map;
}

// ---- The peer daemon ----

const char *const ServiceNames[] = {
    "com.kelvo.YKM.Modem", "com.kelvo.hvt.CSNet", "com.kelvo.hvt.GPRS", "com.kelvo.hvt.SIM",
    "com.kelvo.hvt.SS", "com.kelvo.hvt.Call", "com.kelvo.hvt.Info", "com.kelvo.hvt.SMS",
};

// Where the daemon serves an interface.
QString pathOf(const QString &interface)
{
    if (interface == QLatin1String("com.kelvo.hvt.SIM.Phonebook"))
        return QStringLiteral("/com/kelvo/hvt/sim/phonebook");
    const QStringList parts = interface.toLower().split(QLatin1Char('.'));
    return QLatin1Char('/') + parts.mid(0, 4).join(QLatin1Char('/'));
}

class Peer : public QDBusVirtualObject
{
public:
    Peer(const QString &address, const Contract &contract)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("fuzz-peer")))
        , m_contract(contract)
    {
        for (const QString &interface : contract.interfaces()) {
            for (const ContractMember &member : contract.find(interface)->signalList)
                m_signals << qMakePair(interface, member);
        }
    }

    bool start()
    {
        if (!m_bus.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath))
            return false;
        return acquire();
    }

    bool acquire()
    {
        bool ok = true;
        for (const char *name : ServiceNames)
            ok = m_bus.registerService(QLatin1String(name)) && ok;
        return ok;
    }

    void release()
    {
        for (const char *name : ServiceNames)
            m_bus.unregisterService(QLatin1String(name));
    }

    // The answers to the calls that come, in order; a call after the last
    // is refused with a plain error.
    void setAnswers(const QList<QByteArray> &answers)
    {
        QMutexLocker lock(&m_mutex);
        m_answers = answers;
        m_next = 0;
    }

    // Emits one signal spelt by `bytes`: a member of the contract, at its
    // interface's object, with arguments of its types or others.
    void emitSignal(const QByteArray &bytes)
    {
        Bytes in(bytes);
        if (m_signals.isEmpty())
            return;
        const auto &[interface, member] = m_signals.at(int(in.number(2) % uint(m_signals.size())));
        QDBusMessage signal = QDBusMessage::createSignal(pathOf(interface), interface, member.name);
        if (interface == QLatin1String("com.kelvo.YKM.Modem") && in.byte() % 2)
            signal.setArguments({propertyMap(in, m_contract.find(interface))});
        else
            signal.setArguments(arguments(in, member.signature(true)));
        m_bus.send(signal);
    }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &call, const QDBusConnection &connection) override
    {
        if (call.type() != QDBusMessage::MethodCallMessage)
            return false;
        QByteArray bytes;
        {
            QMutexLocker lock(&m_mutex);
            if (m_next < m_answers.size())
                bytes = m_answers.at(m_next++);
        }
        connection.send(answer(call, bytes));
        return true;
    }

private:
    QDBusMessage answer(const QDBusMessage &call, const QByteArray &bytes) const
    {
        if (bytes.isEmpty())
            return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Failed"), QStringLiteral("no"));
        Bytes in(bytes);
        const uint8_t how = in.byte();
        if (how % 8 == 6) {
            const QString name = call.interface() + QLatin1String(".Error.")
                                 + QLatin1String(ErrorReasons[in.byte() % std::size(ErrorReasons)]);
            return call.createErrorReply(name, text(in));
        }
        if (how % 8 == 7)
            return call.createErrorReply(QLatin1String(ErrorNames[in.byte() % std::size(ErrorNames)]), text(in));
        // A property read: the map of the interface asked for, or one value.
        if (call.interface() == QLatin1String("org.freedesktop.DBus.Properties") && how % 8 < 4) {
            const QString interface = call.arguments().value(0).toString();
            if (call.member() == QLatin1String("GetAll"))
                return call.createReply(QVariantList{propertyMap(in, m_contract.find(interface))});
            return call.createReply(QVariantList{QVariant::fromValue(QDBusVariant(anyValue(in, 1)))});
        }
        if (call.member() == QLatin1String("GetProperties") && how % 8 < 4)
            return call.createReply(QVariantList{propertyMap(in, m_contract.find(call.interface()))});
        const ContractMember *method = m_contract.method(call.interface(), call.member());
        return call.createReply(arguments(in, method ? method->signature(true) : QString()));
    }

    QDBusConnection m_bus;
    const Contract &m_contract;
    QList<QPair<QString, ContractMember>> m_signals;
    QMutex m_mutex;
    QList<QByteArray> m_answers;
    int m_next = 0;
};

// Everything that outlives one input: the application, the bus, the peer.
struct Harness {
    QProcess bus;
    QTemporaryDir dir;
    Contract contract;
    QThread thread;
    QObject *home = nullptr;   // the peer's thread's object, for calls into it
    Peer *peer = nullptr;

    // Runs `f` in the peer's thread and waits for it.
    template <typename F>
    void inPeer(F f) { QMetaObject::invokeMethod(home, f, Qt::BlockingQueuedConnection); }

    bool start()
    {
        const QDir interfaces(QStringLiteral(ONDRIX_SOURCE_DIR "/interfaces"));
        for (const QString &name : interfaces.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
            QFile file(interfaces.filePath(name));
            if (!file.open(QIODevice::ReadOnly) || !contract.parse(file.readAll()))
                return false;
        }
        QFile conf(QStringLiteral(ONDRIX_SOURCE_DIR "/scripts/privatebus.conf"));
        QFile out(dir.filePath(QStringLiteral("bus.conf")));
        if (!conf.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return false;
        out.write(conf.readAll().replace("@DIR@", dir.path().toUtf8()));
        out.close();
        // The bus ends with this process, however it ends.
        bus.start(QStringLiteral("setpriv"), {QStringLiteral("--pdeathsig"), QStringLiteral("KILL"),
                                              QStringLiteral("dbus-daemon"), QStringLiteral("--nofork"),
                                              QStringLiteral("--print-address"),
                                              QStringLiteral("--config-file=") + out.fileName()});
        if (!bus.waitForReadyRead(10000))
            return false;
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());

        home = new QObject;
        home->moveToThread(&thread);
        thread.start();
        bool started = false;
        inPeer([&] {
            peer = new Peer(address, contract);
            started = peer->start();
        });
        return started;
    }

    ~Harness()
    {
        inPeer([this] {
            delete peer;
            delete home;
        });
        thread.quit();
        thread.wait();
        bus.kill();
        bus.waitForFinished();
    }
};

Harness *harness;

void stopHarness()
{
    delete harness;
    harness = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qDBusRegisterMetaType<Sbsu>();
    qDBusRegisterMetaType<QList<Sbsu>>();
    qDBusRegisterMetaType<Suu>();
    qDBusRegisterMetaType<QList<Suu>>();
    qDBusRegisterMetaType<Ssssssb>();
    qDBusRegisterMetaType<QList<Ssssssb>>();
    qDBusRegisterMetaType<QList<int>>();
    qDBusRegisterMetaType<QMap<QString, bool>>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
    static QCoreApplication app(*argc, *argv);
    qputenv("QT_LOGGING_RULES", "ondrix.dbus.debug=false");
    harness = new Harness;
    if (!harness->start()) {
        fprintf(stderr, "fuzz_bus: no private bus or peer\n");
        abort();
    }
    atexit(stopHarness);   // before the application goes
    return 0;
}

// The input: a seed for the workload's choices, then length-prefixed chunks,
// each the bytes of one answer or signal.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Bytes in(data, size);
    QRandomGenerator random(quint32(in.number(4)));
    const int rounds = 1 + in.byte() % 3;
    QList<QByteArray> answers, emitted;
    while (!in.atEnd()) {
        const uint8_t head = in.byte();
        (head & 0x80 ? emitted : answers) << in.take(head & 0x7F);
    }
    harness->inPeer([&] { harness->peer->setAnswers(answers); });

    {
        Workload workload(random);
        for (int round = 0; round < rounds; round++) {
            for (int n = round; n < emitted.size(); n += rounds) {
                const QByteArray bytes = emitted.at(n);
                QMetaObject::invokeMethod(harness->home, [bytes] { harness->peer->emitSignal(bytes); });
            }
            if (random.bounded(8) == 0)
                harness->inPeer([] { harness->peer->release(); });
            workload.round(round, 8);
            harness->inPeer([] { harness->peer->acquire(); });
        }
        // Every call is answered at once: whatever was started ends soon.
        if (!QTest::qWaitFor([&workload] { return workload.settled(); }, 10000)) {
            fprintf(stderr, "fuzz_bus: operations did not complete once each: %s\n", qPrintable(workload.text()));
            abort();
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
