// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/systemcontrol.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {

const TextValue serviceStates[] = {
    {"Normal", SystemControl::FullService},
    {"EmergencyOnly", SystemControl::LimitedService},
    {"NoCoverage", SystemControl::NoService},
};

const TextValue activities[] = {
    {"Signaling", SystemControl::Signaling},
    {"Call", SystemControl::Call},
    {"Data", SystemControl::Data},
    {"Idle", SystemControl::Idle},
};

const char RequestedMode[] = "RequestedMode";
const char ModemState[] = "ModemState";
const char ServiceState[] = "ServiceState";

} // namespace

class SystemControlPrivate : public ServicePrivate<SystemControl>
{
public:
    explicit SystemControlPrivate(SystemControl *q)
        : ServicePrivate(q, {Bus::Modem, Bus::CSNet},
                         {on(Signal::ModemPropertiesChanged, &SystemControlPrivate::onPropertiesChanged),
                          on(Signal::CSNetActivityChanged, &SystemControlPrivate::onActivity)})
    {
        keep<QVariantMap>(methodCall(Method::ModemGetProperties), [this](const QVariantMap &properties) { takeModem(properties); });
        keep<QVariantMap>(getAllCall(Bus::CSNet), [this](const QVariantMap &properties) {
            onActivity(properties.value(QStringLiteral("Activity")).toString());
        });
    }

    void setPower(bool on);
    // The controller's whole state, read at start and when it comes back.
    void takeModem(const QVariantMap &properties);
    void onPropertiesChanged(const QVariantMap &properties);
    void onActivity(const QString &activity);

    bool power = false;
    bool powerKnown = false;   // power has been read or announced: until then every request goes out
    int status = SystemControl::UnknownStatus;
    int activity = SystemControl::UnknownActivity;
};

void SystemControlPrivate::takeModem(const QVariantMap &properties)
{
    const QString requested = properties.value(QLatin1String(RequestedMode)).toString();
    const QString modemState = properties.value(QLatin1String(ModemState)).toString();
    const QString serviceState = properties.value(QLatin1String(ServiceState)).toString();

    powerKnown = true;
    update(power, requested == QLatin1String("Active") || modemState == QLatin1String("Normal"), q_ptr,
           &SystemControl::powerChanged);
    update(status, modemState == QLatin1String("Service") ? int(SystemControl::ModemFailure)
                                                           : lookup(serviceStates, serviceState),
           q_ptr, &SystemControl::statusChanged);
}

void SystemControlPrivate::onActivity(const QString &text)
{
    update(activity, lookup(activities, text), q_ptr, &SystemControl::activityChanged);
}

void SystemControlPrivate::onPropertiesChanged(const QVariantMap &properties)
{
    SystemControl *q = q_ptr;
    // Only the keys present count; an absent key reads as empty text.
    const QString modemState = properties.value(QLatin1String(ModemState)).toString();
    const QString serviceState = properties.value(QLatin1String(ServiceState)).toString();
    const QString requested = properties.value(QLatin1String(RequestedMode)).toString();

    if (modemState == QLatin1String("Service")) {
        if (status != SystemControl::ModemFailure) {
            status = SystemControl::ModemFailure;
            emit q->statusChanged(status);
        }
    } else if (!serviceState.isEmpty()) {
        const int value = lookup(serviceStates, serviceState);
        if (value != status) {
            status = value;
            emit q->statusChanged(status);
        }
    }

    // Power notifications are passed on even when the value does not change.
    if (requested == QLatin1String("Deferred") || requested == QLatin1String("Inactive")
        || modemState == QLatin1String("Inactive") || modemState == QLatin1String("Tablet")) {
        power = false;
        powerKnown = true;
        emit q->powerChanged(false);
    } else if (requested == QLatin1String("Active") || modemState == QLatin1String("Normal")) {
        power = true;
        powerKnown = true;
        emit q->powerChanged(true);
    }
}

void SystemControlPrivate::setPower(bool on)
{
    if (powerKnown && on == power)
        return;
    // The cached value follows the controller's notification, not the
    // request; a refused request puts the value shown back out.
    operate<>(methodCall(Method::ModemRequestRadio, {on, true}), this, [] {}, [this](const QDBusError &error) {
        if (!isNotSent(error))
            logError(error);
        emit q_ptr->powerChanged(power);
    });
}

SystemControl::SystemControl(QObject *parent)
    : QObject(parent)
    , d(new SystemControlPrivate(this))
{
}

SystemControl::~SystemControl() = default;

bool SystemControl::power() const
{
    return d->power;
}

SystemControl::Status SystemControl::status() const
{
    return static_cast<Status>(d->status);
}

SystemControl::Activity SystemControl::activity() const
{
    return static_cast<Activity>(d->activity);
}

bool SystemControl::isValid() const
{
    return d->isValid();
}

void SystemControl::setPower(bool on)
{
    d->setPower(on);
}

} // namespace Ondrix

