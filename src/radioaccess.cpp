// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/radioaccess.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {

const TextValue modes[] = {
    {"Dual", RadioAccess::DualMode},
    {"GSM", RadioAccess::OnlyTwoG},
    {"UMTS", RadioAccess::OnlyThreeG},
    {"Forced", RadioAccess::ForcedDualMode},
};

const TextValue technologies[] = {
    {"GPRS", RadioAccess::TwoG},
    {"EGPRS", RadioAccess::TwoPointFiveG},
    {"UMTS", RadioAccess::ThreeG},
    {"HSPA", RadioAccess::ThreePointFiveG},
};

// The mode as asked for: forced dual mode cannot be asked for, nor an unknown one.
QString modeText(RadioAccess::Mode mode)
{
    switch (mode) {
    case RadioAccess::DualMode: return QStringLiteral("Dual");
    case RadioAccess::OnlyTwoG: return QStringLiteral("GSM");
    case RadioAccess::OnlyThreeG: return QStringLiteral("UMTS");
    default: return QString(QLatin1String(""));
    }
}

RadioAccess::Flags flagsOf(bool idle, bool hsdpa, bool hsupa)
{
    RadioAccess::Flags flags;
    flags.setFlag(RadioAccess::Idle, idle);
    flags.setFlag(RadioAccess::HighSpeedDownlink, hsdpa);
    flags.setFlag(RadioAccess::HighSpeedUplink, hsupa);
    return flags;
}

// Suspension causes that take packet data away.
constexpr uint SuspendedByCall = 5;
constexpr uint SuspendedByNetwork = 8;

} // namespace

class RadioAccessPrivate : public ServicePrivate<RadioAccess>
{
public:
    explicit RadioAccessPrivate(RadioAccess *q)
        : ServicePrivate(q, {Bus::RadioAccess, Bus::Gprs},
                         {on(Signal::RadioAccessSelectionModeChanged, &RadioAccessPrivate::onMode),
                          on(Signal::RadioAccessDataTechnologyChanged, &RadioAccessPrivate::onTechnology),
                          on(Signal::RadioAccessChannelChanged, &RadioAccessPrivate::onChannel),
                          on(Signal::GprsAvailable, &RadioAccessPrivate::onAvailable),
                          on(Signal::GprsSuspended, &RadioAccessPrivate::onSuspended)})
    {
        keep<QVariantMap>(getAllCall(Bus::RadioAccess), [this](const QVariantMap &p) {
            onTechnology(p.value(QStringLiteral("DataTechnology")).toString());
            onRadioIdle(p.value(QStringLiteral("RadioIdle")).toBool(), p.value(QStringLiteral("AllocatedHSDPA")).toBool(),
                        p.value(QStringLiteral("AllocatedHSUPA")).toBool());
            onMode(p.value(QStringLiteral("SelectionMode")).toString());
            onChannel(p.value(QStringLiteral("Channel")).toInt());
        });
        // A detached modem counts as data available; an attached one when the network says so.
        keep<QVariantMap>(getAllCall(Bus::Gprs), [this](const QVariantMap &p) {
            update(dataAvailable, !p.value(QStringLiteral("Attached")).toBool() || p.value(QStringLiteral("Available")).toBool(),
                   q_ptr, &RadioAccess::dataAvailabilityChanged);
        });
    }

    void setOptions(RadioAccess::Options newOptions)
    {
        const bool wanted = newOptions.testFlag(RadioAccess::StatusUpdates);
        if (wanted && !radioIdleConnected)
            radioIdleConnected = follow(on(Signal::RadioAccessRadioIdle, &RadioAccessPrivate::onRadioIdle));
        else if (!wanted && radioIdleConnected) {
            unfollow(Signal::RadioAccessRadioIdle);
            radioIdleConnected = false;
        }
        options = newOptions;
    }

    void setMode(RadioAccess::Mode requested)
    {
        if (requested == mode) {
            emit q_ptr->modeChanged(mode);
            return;
        }
        pendingMode = requested;
        operate<>(methodCall(Method::RadioAccessSetSelectionMode, {modeText(requested)}), this,
                  [this] {
                      mode = pendingMode;
                      emit q_ptr->modeChanged(mode);
                  },
                  [this](const QDBusError &error) {
                      pendingMode = mode;
                      emit q_ptr->modeChangeFailed(error.message());
                  });
    }

    void onMode(const QString &text)
    {
        update(mode, RadioAccess::Mode(lookup(modes, text)), q_ptr, &RadioAccess::modeChanged);
    }

    void onTechnology(const QString &text)
    {
        update(technology, RadioAccess::Technology(lookup(technologies, text)), q_ptr, &RadioAccess::technologyChanged);
    }

    void onChannel(int value)
    {
        update(channel, value, q_ptr, &RadioAccess::channelChanged);
    }

    void onRadioIdle(bool idle, bool hsdpa, bool hsupa)
    {
        update(state, flagsOf(idle, hsdpa, hsupa), q_ptr, &RadioAccess::statusChanged);
    }

    void onAvailable()
    {
        if (!dataAvailable) {
            dataAvailable = true;
            emit q_ptr->dataAvailabilityChanged(true);
        }
    }

    void onSuspended(uint code, const QString &)
    {
        if (dataAvailable && (code == SuspendedByCall || code == SuspendedByNetwork)) {
            dataAvailable = false;
            emit q_ptr->dataAvailabilityChanged(false);
        }
    }

    RadioAccess::Options options;
    bool radioIdleConnected = false;
    RadioAccess::Flags state;
    RadioAccess::Technology technology = RadioAccess::None;
    RadioAccess::Mode mode = RadioAccess::Unknown;
    RadioAccess::Mode pendingMode = RadioAccess::Unknown;
    int channel = 0;
    bool dataAvailable = false;
};

RadioAccess::RadioAccess(QObject *parent)
    : QObject(parent)
    , d(new RadioAccessPrivate(this))
{
}

RadioAccess::~RadioAccess() = default;

RadioAccess::Mode RadioAccess::mode() const { return d->mode; }
RadioAccess::Technology RadioAccess::technology() const { return d->technology; }
RadioAccess::Flags RadioAccess::state() const { return d->state; }
uint RadioAccess::channel() const { return uint(d->channel); }
bool RadioAccess::isDataAvailable() const { return d->dataAvailable; }
RadioAccess::Options RadioAccess::options() const { return d->options; }
bool RadioAccess::isValid() const { return d->isValid(); }
void RadioAccess::setOptions(QFlags<Option> options) { d->setOptions(options); }
void RadioAccess::setMode(Mode mode) { d->setMode(mode); }

} // namespace Ondrix
