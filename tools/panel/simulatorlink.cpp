// SPDX-License-Identifier: LGPL-2.1-or-later
#include "simulatorlink.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusServiceWatcher>
#include <QtDBus/QDBusVariant>

namespace {

const char Service[] = "org.ondrix.ModemSim";
const char Path[] = "/org/ondrix/ModemSim";
const char Interface[] = "org.ondrix.ModemSim.Control";

// The interfaces whose properties the panel shows.
const char *const Watched[] = {
    "com.kelvo.hvt.CSNet.SignalStrength", "com.kelvo.hvt.CSNet.NetworkRegistration",
    "com.kelvo.hvt.CSNet.NetworkOperator", "com.kelvo.hvt.CSNet.NetworkCell", "com.kelvo.hvt.SIM",
    "com.kelvo.hvt.Call", "com.kelvo.YKM.Modem",
};

// A value from the bus as a person reads it.
QString text(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return text(value.value<QDBusVariant>().variant());
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        const QString signature = argument.currentSignature();
        if (signature == QLatin1String("av"))
            return text(qdbus_cast<QVariantList>(argument));
        if (signature == QLatin1String("as"))
            return text(qdbus_cast<QStringList>(argument));
        return QStringLiteral("(%1)").arg(signature);
    }
    if (value.canConvert<QVariantList>() && value.userType() != QMetaType::QString) {
        QStringList parts;
        for (const QVariant &item : value.toList())
            parts << text(item);
        return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    return value.toString();
}

// Where installed scenarios are found, and in a build tree the sources'.
QStringList scenarioDirs()
{
    return {QStringLiteral(ONDRIX_SCENARIO_DIR), QStringLiteral(ONDRIX_SOURCE_SCENARIO_DIR)};
}

} // namespace

SimulatorLink::SimulatorLink(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_watcher(new QDBusServiceWatcher(QLatin1String(Service), bus,
                                        QDBusServiceWatcher::WatchForRegistration
                                            | QDBusServiceWatcher::WatchForUnregistration,
                                        this))
{
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { setConnected(true); });
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { setConnected(false); });
    m_bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Interface),
                  QStringLiteral("ScenarioStep"), this, SLOT(onScenarioStep(int)));
    m_bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Interface),
                  QStringLiteral("ScenarioFinished"), this, SLOT(onScenarioFinished()));
    m_poll.setInterval(1000);
    connect(&m_poll, &QTimer::timeout, this, &SimulatorLink::poll);
    m_poll.start();
    poll();
}

QStringList SimulatorLink::scenarios() const
{
    QStringList names;
    for (const QString &dir : scenarioDirs()) {
        for (const QString &file : QDir(dir).entryList({QStringLiteral("*.scenario")}, QDir::Files, QDir::Name)) {
            const QString name = file.chopped(int(qstrlen(".scenario")));
            if (!names.contains(name))
                names << name;
        }
    }
    return names;
}

void SimulatorLink::control(const QString &method, const QVariantList &args,
                            const std::function<void(const QVariantList &)> &done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                                       QLatin1String(Interface), method);
    call.setArguments(args);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, done, method](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) {
            setConnected(false);
            if (method != QLatin1String("GetProperties") && method != QLatin1String("Calls"))
                setMessage(QStringLiteral("The simulator did not answer: %1").arg(reply.errorMessage()));
            return;
        }
        setConnected(true);
        if (done)
            done(reply.arguments());
    });
}

void SimulatorLink::run(const QString &command)
{
    control(QStringLiteral("Run"), {command}, [this](const QVariantList &answer) {
        setMessage(answer.value(0).toString());
        poll();
    });
}

void SimulatorLink::play(const QString &name, double speed)
{
    QString path;
    for (const QString &dir : scenarioDirs()) {
        if (QFile::exists(dir + QLatin1Char('/') + name + QLatin1String(".scenario"))) {
            path = dir + QLatin1Char('/') + name + QLatin1String(".scenario");
            break;
        }
    }
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        setMessage(QStringLiteral("No scenario %1").arg(name));
        return;
    }
    control(QStringLiteral("PlayScenario"), {QString::fromUtf8(file.readAll()), speed},
            [this, name](const QVariantList &answer) {
                const QString why = answer.value(0).toString();
                setMessage(why.isEmpty() ? QString() : name + QLatin1String(": ") + why);
            });
}

void SimulatorLink::stop()
{
    control(QStringLiteral("StopScenario"), {}, [this](const QVariantList &) { setScenarioLine(0); });
}

void SimulatorLink::clearCalls()
{
    control(QStringLiteral("ClearCalls"), {}, [this](const QVariantList &) { poll(); });
}

QString SimulatorLink::quoted(const QString &word) const
{
    static const QRegularExpression plain(QStringLiteral("^[^\\s'\"]+$"));
    if (plain.match(word).hasMatch())
        return word;
    // Quoted pieces run together into one word: 'it'"'"'s' is it's.
    QString inner = word;
    inner.replace(QLatin1Char('\''), QStringLiteral("'\"'\"'"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

void SimulatorLink::poll()
{
    for (const char *interface : Watched) {
        const QString name = QLatin1String(interface);
        control(QStringLiteral("GetProperties"), {name}, [this, name](const QVariantList &answer) {
            const QVariantMap properties = qdbus_cast<QVariantMap>(answer.value(0));
            QString prefix = name;
            prefix.remove(QStringLiteral("com.kelvo.hvt.CSNet.")).remove(QStringLiteral("com.kelvo.hvt."));
            prefix.remove(QStringLiteral("com.kelvo.YKM."));
            bool changed = false;
            for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
                const QString key = prefix + QLatin1Char('.') + it.key();
                const QString value = text(it.value());
                if (m_state.value(key).toString() != value) {
                    m_state.insert(key, value);
                    changed = true;
                }
            }
            if (changed)
                emit stateChanged();
        });
    }
    control(QStringLiteral("Calls"), {}, [this](const QVariantList &answer) {
        const QDBusArgument list = answer.value(0).value<QDBusArgument>();
        if (list.currentSignature() != QLatin1String("aa{sv}"))
            return;
        QStringList log;
        list.beginArray();
        while (!list.atEnd()) {
            QVariantMap entry;
            list >> entry;
            QString interface = entry.value(QStringLiteral("interface")).toString();
            interface.remove(QStringLiteral("com.kelvo.hvt.")).remove(QStringLiteral("com.kelvo.YKM."));
            const QString member = entry.value(QStringLiteral("member")).toString();
            // Codes stay off the screen, the card's and the network's.
            static const QRegularExpression secret(QStringLiteral("PIN|PUK|Password|Barring|Lock"));
            const QString args = secret.match(member).hasMatch() ? QStringLiteral("(codes hidden)")
                                                                 : text(entry.value(QStringLiteral("args")));
            log.prepend(QStringLiteral("%1.%2 %3").arg(interface, member, args));
        }
        list.endArray();
        if (log.size() > 200)
            log = log.mid(0, 200);
        if (log != m_callLog) {
            m_callLog = log;
            emit callLogChanged();
        }
    });
}

void SimulatorLink::onScenarioStep(int line) { setScenarioLine(line); }
void SimulatorLink::onScenarioFinished() { setScenarioLine(0); }

void SimulatorLink::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    // Nothing of a simulator that went is shown as if it were still there.
    if (!connected) {
        m_state.clear();
        m_callLog.clear();
        emit stateChanged();
        emit callLogChanged();
    }
    emit connectedChanged();
}

void SimulatorLink::setMessage(const QString &message)
{
    if (message == m_message)
        return;
    m_message = message;
    emit messageChanged();
}

void SimulatorLink::setScenarioLine(int line)
{
    if (line == m_scenarioLine)
        return;
    m_scenarioLine = line;
    emit scenarioChanged();
}
