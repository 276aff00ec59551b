// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix info, radio, cell and time; and what monitor follows beyond the network.

#include "common.h"

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/emergencynumbers.h>
#include <ondrix-qt/networkcell.h>
#include <ondrix-qt/networktime.h>
#include <ondrix-qt/phoneinfo.h>
#include <ondrix-qt/radioaccess.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/supplementaryservices.h>

#include <QJsonArray>

#include <algorithm>

using namespace Ondrix;

namespace {

// The names of the flags set in `value`.
QJsonArray flagList(int value, const QMetaEnum &names)
{
    QJsonArray list;
    const QByteArray keys = names.valueToKeys(value);
    for (const QByteArray &key : keys.split('|')) {
        if (!key.isEmpty())
            list.append(QString::fromLatin1(key));
    }
    return list;
}

QString flagText(const QJsonArray &flags)
{
    QStringList names;
    for (const QJsonValue &flag : flags)
        names << flag.toString();
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char(' '));
}

// A set of flags: their names for people, and an array of them in JSON.
template <typename Flags>
void flagsField(const char *key, Flags value)
{
    const QJsonArray flags = flagList(int(value), QMetaEnum::fromType<typename Flags::enum_type>());
    Output::field(key, flags, flagText(flags));
}

template <typename Flags>
void flagsEvent(const char *kind, const char *key, Flags value)
{
    const QJsonArray flags = flagList(int(value), QMetaEnum::fromType<typename Flags::enum_type>());
    Output::event(kind, {{QLatin1String(key), flags}}, flagText(flags));
}

QString timersText(const CallTimers::CallTimersInfo &t)
{
    return QStringLiteral("last %1 s, dialled %2 s, received %3 s, total %4 s")
        .arg(t.last).arg(t.dialled).arg(t.received).arg(t.total);
}

QJsonObject timersObject(const CallTimers::CallTimersInfo &t)
{
    return {{QStringLiteral("last"), qint64(t.last)}, {QStringLiteral("dialled"), qint64(t.dialled)},
            {QStringLiteral("received"), qint64(t.received)}, {QStringLiteral("total"), qint64(t.total)}};
}

// "+02:00": a zone given in quarters of an hour.
QString zoneText(int quarters)
{
    return QStringLiteral("%1%2:%3").arg(quarters < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(qAbs(quarters) / 4, 2, 10, QLatin1Char('0')).arg(qAbs(quarters) % 4 * 15, 2, 10, QLatin1Char('0'));
}

QString timeText(const NetworkTimeInfo &info)
{
    if (!info.isValid())
        return QStringLiteral("none");
    return QStringLiteral("%1, zone %2, dst %3 h, from %4 %5")
        .arg(info.dateTime().toString(Qt::ISODate), zoneText(info.timezone()))
        .arg(info.dst()).arg(info.mcc(), info.mnc());
}

// The report's values; all null when there is none.
QJsonObject timeObject(const NetworkTimeInfo &info)
{
    const bool valid = info.isValid();
    return {{QStringLiteral("date_time"), valid ? QJsonValue(info.dateTime().toString(Qt::ISODate)) : QJsonValue()},
            {QStringLiteral("zone"), valid ? QJsonValue(zoneText(info.timezone())) : QJsonValue()},
            {QStringLiteral("dst"), valid ? QJsonValue(info.dst()) : QJsonValue()},
            {QStringLiteral("mcc"), valid ? orNull(info.mcc()) : QJsonValue()},
            {QStringLiteral("mnc"), valid ? orNull(info.mnc()) : QJsonValue()}};
}

QString availability(bool available)
{
    return available ? QStringLiteral("available") : QStringLiteral("unavailable");
}

QString cellText(int id, int lac, int type)
{
    return QStringLiteral("%1 cell %2, area %3").arg(enumName<NetworkCell::Type>(type)).arg(id).arg(lac);
}

} // namespace

int info(const QStringList &args)
{
    if (!args.isEmpty()) {
        err() << "usage: ondrix info\n";
        return 2;
    }
    PhoneInfo phone;
    EmergencyNumbers emergency;
    CallTimers timers;
    if (!phone.isValid() || !emergency.isValid())
        return daemonAbsent();
    Output::field("imei", phone.imeiNumber());
    Output::field("mcu", phone.mcuSWVersion());
    Output::field("dsp", phone.dspSWVersion());
    Output::field("hsxpa", enumName<PhoneInfo::SettingStatus>(phone.hsxpaSetting()));
    Output::field("emergency", QJsonArray::fromStringList(emergency.numbers()), emergency.numbers().join(QLatin1Char(' ')));
    Output::field("timers", timersObject(timers.timers()), timersText(timers.timers()));
    return 0;
}

int radio(const QStringList &args)
{
    const struct { const char *name; RadioAccess::Mode mode; } modes[] = {
        {"dual", RadioAccess::DualMode}, {"2g", RadioAccess::OnlyTwoG}, {"3g", RadioAccess::OnlyThreeG},
    };
    const auto *mode = std::find_if(std::begin(modes), std::end(modes), [&args](const auto &m) {
        return args.size() == 2 && args[0] == QLatin1String("mode") && args[1] == QLatin1String(m.name);
    });
    if (!args.isEmpty() && mode == std::end(modes)) {
        err() << "usage: ondrix radio [mode dual|2g|3g]\n";
        return 2;
    }
    RadioAccess access;
    if (!access.isValid())
        return daemonAbsent();
    if (mode != std::end(modes)) {
        // The modem's new mode, or its refusal: whichever comes first ends the wait.
        std::optional<int> changed;
        std::optional<QString> failed;
        runFor(10000, [&](std::function<void()> done) {
            QObject::connect(&access, &RadioAccess::modeChanged, &access, [&, done](int value) {
                if (!changed && !failed) {
                    changed = value;
                    done();
                }
            });
            QObject::connect(&access, &RadioAccess::modeChangeFailed, &access, [&, done](const QString &cause) {
                if (!changed && !failed) {
                    failed = cause;
                    done();
                }
            });
            access.setMode(mode->mode);
        });
        if (failed) {
            err() << "ondrix: " << visible(*failed) << '\n';
            return 1;
        }
        if (!changed)
            return timedOut("from the modem", 10000);
        Output::field("mode", enumName<RadioAccess::Mode>(*changed));
        return 0;
    }
    Output::field("mode", enumName<RadioAccess::Mode>(access.mode()));
    Output::field("technology", enumName<RadioAccess::Technology>(access.technology()));
    Output::field("channel", qint64(access.channel()), QString::number(access.channel()));
    flagsField("radio", access.state());
    Output::field("data", access.isDataAvailable(), availability(access.isDataAvailable()));
    return 0;
}

int cell(const QStringList &args)
{
    if (!args.isEmpty()) {
        err() << "usage: ondrix cell\n";
        return 2;
    }
    NetworkCell serving;
    if (!serving.isValid())
        return daemonAbsent();
    Output::text(QStringLiteral("cell"), cellText(serving.id(), serving.lac(), serving.type()));
    Output::data("id", serving.id());
    Output::data("lac", serving.lac());
    Output::data("type", enumName<NetworkCell::Type>(serving.type()));
    Output::field("name", serving.name(),
                  serving.name() + (serving.nameDisplayEnabled() ? QString() : QStringLiteral(" (not shown)")));
    Output::data("name_shown", serving.nameDisplayEnabled());
    flagsField("services", serving.services());
    return 0;
}

int time(const QStringList &args)
{
    if (!args.isEmpty()) {
        err() << "usage: ondrix time\n";
        return 2;
    }
    NetworkTime network;
    if (!network.isValid())
        return daemonAbsent();
    const NetworkTimeInfo info = network.timeInfo();
    Output::text(QStringLiteral("network time"), timeText(info));
    const QJsonObject values = timeObject(info);
    for (auto it = values.begin(); it != values.end(); ++it)
        Output::data(it.key().toLatin1().constData(), it.value());
    return info.isValid() ? 0 : 1;
}

void followEverything(QObject *owner)
{
    auto *radioAccess = new RadioAccess(owner);
    radioAccess->setOptions(RadioAccess::StatusUpdates);
    QObject::connect(radioAccess, &RadioAccess::modeChanged, owner, [](int mode) {
        const QString name = enumName<RadioAccess::Mode>(mode);
        Output::event("radio_mode", {{QStringLiteral("mode"), name}}, name);
    });
    QObject::connect(radioAccess, &RadioAccess::technologyChanged, owner, [](int t) {
        const QString name = enumName<RadioAccess::Technology>(t);
        Output::event("technology", {{QStringLiteral("technology"), name}}, name);
    });
    QObject::connect(radioAccess, &RadioAccess::channelChanged, owner, [](int c) {
        Output::event("channel", {{QStringLiteral("channel"), c}}, QString::number(c));
    });
    QObject::connect(radioAccess, &RadioAccess::statusChanged, owner,
                     [](RadioAccess::Flags flags) { flagsEvent("radio", "state", flags); });
    QObject::connect(radioAccess, &RadioAccess::dataAvailabilityChanged, owner, [](bool on) {
        Output::event("data", {{QStringLiteral("available"), on}}, availability(on));
    });

    auto *serving = new NetworkCell(owner);
    QObject::connect(serving, &NetworkCell::cellChanged, owner, [](int id, int lac, int type) {
        Output::event("cell", {{QStringLiteral("id"), id}, {QStringLiteral("lac"), lac},
                               {QStringLiteral("type"), enumName<NetworkCell::Type>(type)}},
                      cellText(id, lac, type));
    });
    QObject::connect(serving, &NetworkCell::cellNameChanged, owner, [](const QString &name) {
        Output::event("cell_name", {{QStringLiteral("name"), name}}, name);
    });
    QObject::connect(serving, &NetworkCell::servicesChanged, owner,
                     [](NetworkCell::Services s) { flagsEvent("services", "services", s); });

    auto *network = new NetworkTime(owner);
    QObject::connect(network, &NetworkTime::timeInfoChanged, owner, [](const NetworkTimeInfo &info) {
        Output::event("network_time", timeObject(info), timeText(info));
    });

    auto *timers = new CallTimers(owner);
    QObject::connect(timers, &CallTimers::timersUpdated, owner, [](const CallTimers::CallTimersInfo &t) {
        Output::event("call_timers", timersObject(t), timersText(t));
    });

    auto *card = new SIM::SIMStatus(owner);
    QObject::connect(card, &SIM::SIMStatus::statusChanged, owner, [](SIM::SIMStatus::Status s) {
        const QString name = enumName<SIM::SIMStatus::Status>(s);
        Output::event("sim", {{QStringLiteral("status"), name}}, name);
    });
    auto *security = new SIM::SIMSecurity(owner);
    auto asks = [](const QString &code) { Output::event("sim_asks", {{QStringLiteral("code"), code}}, code); };
    QObject::connect(security, &SIM::SIMSecurity::verifyPINRequired, owner,
                     [asks](SIM::SIMSecurity::PINType type) { asks(enumName<SIM::SIMSecurity::PINType>(type)); });
    QObject::connect(security, &SIM::SIMSecurity::verifyPUKRequired, owner,
                     [asks](SIM::SIMSecurity::PUKType type) { asks(enumName<SIM::SIMSecurity::PUKType>(type)); });

    auto *services = new SupplementaryServices(owner);
    QObject::connect(services, &SupplementaryServices::statusChanged, owner, [](bool busy) {
        Output::event("ss", {{QStringLiteral("busy"), busy}}, busy ? QStringLiteral("busy") : QStringLiteral("idle"));
    });
    QObject::connect(services, &SupplementaryServices::notifyReceived, owner, [](const QString &text) {
        Output::event("ussd_notify", {{QStringLiteral("text"), text}}, text);
    });
    QObject::connect(services, &SupplementaryServices::ussdReleased, owner, [](const QString &text) {
        Output::event("ussd_released", {{QStringLiteral("text"), text}}, text);
    });
}
