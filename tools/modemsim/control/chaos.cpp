// SPDX-License-Identifier: LGPL-2.1-or-later
#include "chaos.h"

#include "contract.h"
#include "wire.h"

#include <QJsonArray>
#include "service.h"
#include "simulator.h"

#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusVariant>

namespace {

// Texts a daemon really sends, so that garbage also hits the tables.
const char *const Vocabulary[] = {
    "Normal", "EmergencyOnly", "NoCoverage", "Service", "Active", "Inactive", "Deferred", "Tablet",
    "Signaling", "Call", "Data", "Idle", "Home", "Roaming", "Offline", "Searching", "NoSim",
    "Rejected", "PowerOff", "PowerSave", "Auto", "Manual", "Forced", "PLMNNotAllowed",
    "Congestion", "Available", "Current", "Forbidden", "Preferred", "AllSupported",
    "GSM_900_1800", "05", "244", "+358405202000", "",
};

const char *const ErrorReasons[] = {"Interrupted", "Rejected", "Refused", "Busy", "Failed", "Odd"};

const char *const StrangeErrors[] = {
    "org.freedesktop.DBus.Error.Failed", "org.freedesktop.DBus.Error.AccessDenied",
    "org.example.Unheard.Of", "x.y",
};

} // namespace

Chaos::Chaos(Simulator *sim_)
    : QObject(sim_)
    , sim(sim_)
{
    qDBusRegisterMetaType<QList<int>>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Chaos::tick);
    connect(sim, &Simulator::wasReset, this, &Chaos::stop);
    sim->addInterceptor(this);
}

void Chaos::start(quint32 seed)
{
    m_random.seed(seed);
    m_events = 0;
    m_active = true;
    sim->garble();
    m_timer.start(1);
}

void Chaos::stop()
{
    m_active = false;
    m_timer.stop();
    const QList<QDBusMessage> held = m_held.values();
    m_held.clear();
    for (const QDBusMessage &call : held)
        release(call);
    if (m_namesAway) {
        sim->acquireNames();
        m_namesAway = false;
    }
}

bool Chaos::intercept(const QDBusMessage &call)
{
    if (!m_active)
        return false;
    m_events++;
    const int roll = m_random.bounded(100);
    if (roll < 30)
        return false;
    if (roll < 80) {
        answer(call);
    } else if (roll < 90) {
        // Past the 250 ms of a property read, well within the long operations.
        QTimer::singleShot(m_random.bounded(260, 900), this, [this, call] { answer(call); });
    } else {
        const quint64 id = ++m_holds;
        m_held.insert(id, call);
        QTimer::singleShot(m_random.bounded(1000, 4000), this, [this, id] {
            if (m_held.contains(id))
                release(m_held.take(id));
        });
    }
    return true;
}

void Chaos::release(const QDBusMessage &call)
{
    sim->replyError(call, QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                    QStringLiteral("The daemon did not answer"));
}

void Chaos::answer(const QDBusMessage &call)
{
    Service *service = nullptr;
    const QString signature = replySignature(call, &service);
    const int roll = m_random.bounded(100);
    if (roll < 20) {
        sim->dispatch(call);
    } else if (roll < 50) {
        sim->sendReply(call, argumentsOf(signature, service));
    } else if (roll < 80) {
        sim->sendReply(call, anyArguments());
    } else if (roll < 90) {
        const QString name = call.interface() + QLatin1String(".Error.")
                             + QLatin1String(ErrorReasons[m_random.bounded(int(std::size(ErrorReasons)))]);
        sim->replyError(call, name, text());
    } else {
        sim->replyError(call, QLatin1String(StrangeErrors[m_random.bounded(int(std::size(StrangeErrors)))]),
                        text());
    }
}

QString Chaos::replySignature(const QDBusMessage &call, Service **service) const
{
    if (call.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
        *service = sim->service(call.arguments().value(0).toString());
        return call.member() == QLatin1String("GetAll") ? QStringLiteral("a{sv}") : QStringLiteral("v");
    }
    *service = sim->service(call.interface());
    return *service ? (*service)->replySignatures().value(call.member()) : QString();
}

void Chaos::tick()
{
    if (!m_active)
        return;
    m_events++;
    const int roll = m_random.bounded(100);
    if (m_namesAway && roll < 30) {
        sim->acquireNames();
        m_namesAway = false;
    } else if (roll < 80) {
        emitRandomSignal();
    } else if (roll < 95) {
        // A real change, announced as the daemon announces it, of a garbled value.
        const QList<Service *> services = sim->services();
        Service *service = services.at(m_random.bounded(services.size()));
        const QStringList names = service->properties().keys();
        if (!names.isEmpty()) {
            service->setProperty(names.at(m_random.bounded(names.size())),
                                 m_random.bounded(2) ? QVariant(text()) : anyValue());
        }
    } else if (m_namesAway) {
        sim->acquireNames();
        m_namesAway = false;
    } else if (roll >= 98) {
        sim->releaseNames();
        m_namesAway = true;
    }
    m_timer.start(m_random.bounded(1, 12));
}

void Chaos::emitRandomSignal()
{
    QList<QPair<Service *, QString>> choices;
    for (Service *service : sim->services()) {
        for (auto it = service->signalSignatures().cbegin(); it != service->signalSignatures().cend(); ++it)
            choices.append({service, it.key()});
    }
    if (choices.isEmpty())
        return;
    const auto &choice = choices.at(m_random.bounded(choices.size()));
    Service *service = choice.first;
    const QVariantList args = m_random.bounded(100) < 55
                                  ? argumentsOf(service->signalSignatures().value(choice.second), service)
                                  : anyArguments();
    sim->sendSignal(service->path(), service->interface(), choice.second, args);
}

QVariantList Chaos::argumentsOf(const QString &signature, const Service *service)
{
    QVariantList args;
    for (const QString &type : completeTypes(signature))
        args << valueOf(type, service);
    return args;
}

QVariant Chaos::valueOf(const QString &type, const Service *service)
{
    if (type.size() == 1) {
        switch (type[0].toLatin1()) {
        case 's': return text();
        case 'b': return bool(m_random.bounded(2));
        case 'y': return QVariant::fromValue(uchar(m_random.bounded(256)));
        case 'n': return QVariant::fromValue(short(m_random.generate()));
        case 'q': return QVariant::fromValue(ushort(m_random.generate()));
        case 'i': {
            const int extremes[] = {0, -1, 1, 5, 255, -113, std::numeric_limits<int>::min(),
                                    std::numeric_limits<int>::max()};
            return m_random.bounded(2) ? int(m_random.generate()) : extremes[m_random.bounded(8)];
        }
        case 'u': return uint(m_random.generate());
        case 'x': return qlonglong(m_random.generate64());
        case 't': return qulonglong(m_random.generate64());
        case 'd': return m_random.generateDouble() * 1e6 - 5e5;
        case 'o': return QVariant::fromValue(QDBusObjectPath(QStringLiteral("/com/kelvo/odd")));
        case 'v': return QVariant::fromValue(QDBusVariant(anyValue()));
        default: break;
        }
    }
    if (type == QLatin1String("as")) {
        QStringList list;
        for (int n = m_random.bounded(4); n > 0; n--)
            list << text();
        return list;
    }
    if (type == QLatin1String("ay")) {
        QByteArray bytes;
        for (int n = m_random.bounded(40); n > 0; n--)
            bytes.append(char(m_random.bounded(256)));
        return bytes;
    }
    if (type == QLatin1String("a{sv}"))
        return propertyMap(service);
    if (type.startsWith(QLatin1String("a("))) {
        // Lists of records (networks, diversions, numbers): each field at random.
        const QStringList fields = completeTypes(type.mid(2, type.size() - 3));
        QJsonArray records;
        for (int n = m_random.bounded(6); n > 0; n--) {
            QJsonArray record;
            for (const QString &field : fields) {
                record.append(field == QLatin1String("s")   ? QJsonValue(text())
                              : field == QLatin1String("b") ? QJsonValue(bool(m_random.bounded(2)))
                              : field == QLatin1String("i") ? QJsonValue(int(m_random.generate()))
                                                            : QJsonValue(double(m_random.generate())));
            }
            records.append(record);
        }
        const QVariant value = wireValue(type, records);
        if (value.isValid())
            return value;
    }
    return anyValue();
}

QVariant Chaos::anyValue(int depth)
{
    switch (m_random.bounded(depth < 2 ? 14 : 11)) {
    case 0: return text();
    case 1: return valueOf(QStringLiteral("i"), nullptr);
    case 2: return bool(m_random.bounded(2));
    case 3: return valueOf(QStringLiteral("u"), nullptr);
    case 4: return valueOf(QStringLiteral("d"), nullptr);
    case 5: return valueOf(QStringLiteral("y"), nullptr);
    case 6: return valueOf(QStringLiteral("as"), nullptr);
    case 7: return valueOf(QStringLiteral("ay"), nullptr);
    case 8: return QVariant::fromValue(QList<int>{int(m_random.generate()), -1});
    case 9: return valueOf(QStringLiteral("o"), nullptr);
    case 10: return valueOf(QStringLiteral("a(ssssssb)"), nullptr);
    case 11: {
        QVariantMap map;
        for (int n = m_random.bounded(4); n > 0; n--)
            map.insert(text(), anyValue(depth + 1));
        return map;
    }
    case 12: return QVariant::fromValue(QDBusVariant(anyValue(depth + 1)));
    default: return QVariant::fromValue(QMap<QString, QString>{{text(), text()}});
    }
}

QVariantList Chaos::anyArguments()
{
    QVariantList args;
    for (int n = m_random.bounded(4); n > 0; n--)
        args << anyValue();
    return args;
}

QVariantMap Chaos::propertyMap(const Service *service)
{
    QVariantMap map;
    if (service) {
        for (const QString &name : service->properties().keys()) {
            if (m_random.bounded(10) < 7)
                map.insert(name, m_random.bounded(2) ? QVariant(text()) : anyValue());
        }
    }
    if (m_random.bounded(4) == 0)
        map.insert(text(), anyValue());
    return map;
}

QString Chaos::text()
{
    if (m_random.bounded(3) > 0)
        return QLatin1String(Vocabulary[m_random.bounded(int(std::size(Vocabulary)))]);
    // Valid text of any script, emoji included; never NUL or a lone surrogate,
    // which no bus would carry.
    QString garbage;
    for (int n = m_random.bounded(300); n > 0; n--) {
        const char32_t code = m_random.bounded(8) == 0 ? m_random.bounded(0x1F300, 0x1F64F)
                                                       : m_random.bounded(1, 0xD7FF);
        garbage += QString::fromUcs4(&code, 1);
    }
    return garbage;
}
