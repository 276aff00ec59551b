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

#include <algorithm>

using namespace Ondrix;

namespace {

QString flagNames(int value, const QMetaEnum &names)
{
    const QByteArray keys = names.valueToKeys(value);
    return keys.isEmpty() ? QStringLiteral("none") : QString::fromLatin1(keys).replace(QLatin1Char('|'), QLatin1Char(' '));
}

QString timersText(const CallTimers::CallTimersInfo &t)
{
    return QStringLiteral("last %1 s, dialled %2 s, received %3 s, total %4 s")
        .arg(t.last).arg(t.dialled).arg(t.received).arg(t.total);
}

QString timeText(const NetworkTimeInfo &info)
{
    if (!info.isValid())
        return QStringLiteral("none");
    const int quarters = info.timezone();
    return QStringLiteral("%1, zone %2%3:%4, dst %5 h, from %6 %7")
        .arg(info.dateTime().toString(Qt::ISODate), quarters < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(qAbs(quarters) / 4, 2, 10, QLatin1Char('0')).arg(qAbs(quarters) % 4 * 15, 2, 10, QLatin1Char('0'))
        .arg(info.dst()).arg(info.mcc(), info.mnc());
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
    line(QStringLiteral("imei"), phone.imeiNumber());
    line(QStringLiteral("mcu"), phone.mcuSWVersion());
    line(QStringLiteral("dsp"), phone.dspSWVersion());
    line(QStringLiteral("hsxpa"), enumName<PhoneInfo::SettingStatus>(phone.hsxpaSetting()));
    line(QStringLiteral("emergency"), emergency.numbers().join(QLatin1Char(' ')));
    line(QStringLiteral("timers"), timersText(timers.timers()));
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
        line(QStringLiteral("mode"), enumName<RadioAccess::Mode>(*changed));
        return 0;
    }
    line(QStringLiteral("mode"), enumName<RadioAccess::Mode>(access.mode()));
    line(QStringLiteral("technology"), enumName<RadioAccess::Technology>(access.technology()));
    line(QStringLiteral("channel"), QString::number(access.channel()));
    line(QStringLiteral("radio"), flagNames(int(access.state()), QMetaEnum::fromType<RadioAccess::State>()));
    line(QStringLiteral("data"), access.isDataAvailable() ? QStringLiteral("available") : QStringLiteral("unavailable"));
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
    line(QStringLiteral("cell"), cellText(serving.id(), serving.lac(), serving.type()));
    line(QStringLiteral("name"), serving.name() + (serving.nameDisplayEnabled() ? QString() : QStringLiteral(" (not shown)")));
    line(QStringLiteral("services"), flagNames(int(serving.services()), QMetaEnum::fromType<NetworkCell::Service>()));
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
    line(QStringLiteral("network time"), timeText(info));
    return info.isValid() ? 0 : 1;
}

void followEverything(QObject *owner)
{
    auto *radioAccess = new RadioAccess(owner);
    radioAccess->setOptions(RadioAccess::StatusUpdates);
    QObject::connect(radioAccess, &RadioAccess::modeChanged, owner,
                     [](int mode) { line(QStringLiteral("radio mode"), enumName<RadioAccess::Mode>(mode)); });
    QObject::connect(radioAccess, &RadioAccess::technologyChanged, owner,
                     [](int t) { line(QStringLiteral("technology"), enumName<RadioAccess::Technology>(t)); });
    QObject::connect(radioAccess, &RadioAccess::channelChanged, owner,
                     [](int c) { line(QStringLiteral("channel"), QString::number(c)); });
    QObject::connect(radioAccess, &RadioAccess::statusChanged, owner, [](RadioAccess::Flags flags) {
        line(QStringLiteral("radio"), flagNames(int(flags), QMetaEnum::fromType<RadioAccess::State>()));
    });
    QObject::connect(radioAccess, &RadioAccess::dataAvailabilityChanged, owner, [](bool on) {
        line(QStringLiteral("data"), on ? QStringLiteral("available") : QStringLiteral("unavailable"));
    });

    auto *serving = new NetworkCell(owner);
    QObject::connect(serving, &NetworkCell::cellChanged, owner,
                     [](int id, int lac, int type) { line(QStringLiteral("cell"), cellText(id, lac, type)); });
    QObject::connect(serving, &NetworkCell::cellNameChanged, owner,
                     [](const QString &name) { line(QStringLiteral("cell name"), name); });
    QObject::connect(serving, &NetworkCell::servicesChanged, owner, [](NetworkCell::Services s) {
        line(QStringLiteral("services"), flagNames(int(s), QMetaEnum::fromType<NetworkCell::Service>()));
    });

    auto *network = new NetworkTime(owner);
    QObject::connect(network, &NetworkTime::timeInfoChanged, owner,
                     [](const NetworkTimeInfo &info) { line(QStringLiteral("network time"), timeText(info)); });

    auto *timers = new CallTimers(owner);
    QObject::connect(timers, &CallTimers::timersUpdated, owner,
                     [](const CallTimers::CallTimersInfo &t) { line(QStringLiteral("call timers"), timersText(t)); });

    auto *card = new SIM::SIMStatus(owner);
    QObject::connect(card, &SIM::SIMStatus::statusChanged, owner,
                     [](SIM::SIMStatus::Status s) { line(QStringLiteral("sim"), enumName<SIM::SIMStatus::Status>(s)); });
    auto *security = new SIM::SIMSecurity(owner);
    QObject::connect(security, &SIM::SIMSecurity::verifyPINRequired, owner, [](SIM::SIMSecurity::PINType type) {
        line(QStringLiteral("sim asks"), enumName<SIM::SIMSecurity::PINType>(type));
    });
    QObject::connect(security, &SIM::SIMSecurity::verifyPUKRequired, owner, [](SIM::SIMSecurity::PUKType type) {
        line(QStringLiteral("sim asks"), enumName<SIM::SIMSecurity::PUKType>(type));
    });

    auto *services = new SupplementaryServices(owner);
    QObject::connect(services, &SupplementaryServices::statusChanged, owner,
                     [](bool busy) { line(QStringLiteral("ss"), busy ? QStringLiteral("busy") : QStringLiteral("idle")); });
    QObject::connect(services, &SupplementaryServices::notifyReceived, owner,
                     [](const QString &text) { line(QStringLiteral("ussd"), text); });
    QObject::connect(services, &SupplementaryServices::ussdReleased, owner,
                     [](const QString &text) { line(QStringLiteral("ussd ended"), text); });
}
