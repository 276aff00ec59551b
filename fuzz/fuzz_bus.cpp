// SPDX-License-Identifier: LGPL-2.1-or-later
// The library against a daemon made of the fuzzer's bytes. A private bus
// carries the traffic; a peer in a thread of its own owns the daemons' names
// and answers every call, and emits signals, with messages the input spells:
// the reply types the interface files give with any values, any other types
// (variants and structures nested to the bus's limit), errors of any name.
// Meanwhile the hostile workload drives every public class. Nothing may
// crash, leak or trip a sanitizer, and every operation started must have
// completed exactly once when the input ends.

#include "../tools/modemsim/core/anyvalue.h"
#include "../tools/contract/contract.h"
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
#include <QtDBus/QDBusVariant>
#include <QtDBus/QDBusVirtualObject>

#include <cstdio>
#include <cstdlib>

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

// The input's bytes as the choices of the simulator's value maker: one for a
// small bound, four for a large one.
AnyValues valuesFrom(Bytes &in)
{
    return AnyValues([&in](quint32 bound) {
        const quint32 value = bound && bound <= 256 ? in.byte() : quint32(in.number(4));
        return bound ? value % bound : value;
    });
}

const char *const ErrorNames[] = {
    "org.freedesktop.DBus.Error.Failed", "org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.InvalidArgs",
    "org.freedesktop.DBus.Error.ServiceUnknown", "org.example.Unheard.Of", "x.y",
};

const char *const ErrorReasons[] = {
    "Failed", "Busy", "WrongPassword", "Network.Busy", "Network", "InvalidParameter", "CodeBlocked",
    "NoSIM", "Released", "Refused", "Interrupted", "Rejected", "NotProvisioned", "TimerNotElapsed",
};

// Arguments of `signature`, or of any types when the input says so.
QVariantList arguments(Bytes &in, const QString &signature)
{
    AnyValues values = valuesFrom(in);
    return in.byte() % 4 != 0 ? values.argumentsOf(signature) : values.anyArguments();
}

// A property map of an interface: its names, values of their types or of any.
QVariantMap propertyMap(Bytes &in, const ContractInterface *interface)
{
    return interface ? valuesFrom(in).propertyMap(interface->properties) : QVariantMap();
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
            return call.createErrorReply(name, valuesFrom(in).text());
        }
        if (how % 8 == 7)
            return call.createErrorReply(QLatin1String(ErrorNames[in.byte() % std::size(ErrorNames)]), valuesFrom(in).text());
        // A property read: the map of the interface asked for, or one value.
        if (call.interface() == QLatin1String("org.freedesktop.DBus.Properties") && how % 8 < 4) {
            const QString interface = call.arguments().value(0).toString();
            if (call.member() == QLatin1String("GetAll"))
                return call.createReply(QVariantList{propertyMap(in, m_contract.find(interface))});
            return call.createReply(QVariantList{QVariant::fromValue(QDBusVariant(valuesFrom(in).anyValue(1)))});
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
