// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/signalstrength.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {

// The subscription each option needs: the bars signal for bars, the level
// signal for the percentage and the decibels.
bool wantsBars(SignalStrength::Options options) { return options.testFlag(SignalStrength::BarsOption); }
bool wantsLevel(SignalStrength::Options options)
{
    return options & (SignalStrength::PercentOption | SignalStrength::DbmOption);
}

} // namespace

class SignalStrengthPrivate : public ServicePrivate<SignalStrength>
{
public:
    SignalStrengthPrivate(SignalStrength::Options initial, SignalStrength *q)
        : ServicePrivate(q, {Bus::SignalStrength}, follows(initial))
        , options(initial)
    {
        keep<QVariantMap>(getAllCall(Bus::SignalStrength), [this](const QVariantMap &properties) {
            setBars(properties.value(QStringLiteral("SignalBars")).toInt());
            setLevel(properties.value(QStringLiteral("SignalPercent")).toInt(),
                     properties.value(QStringLiteral("SignalDecibels")).toInt());
        });
    }

    static Follow barsSignal() { return on(Signal::SignalStrengthSignalBarsChanged, &SignalStrengthPrivate::setBars); }
    static Follow levelSignal() { return on(Signal::SignalStrengthSignalStrengthChanged, &SignalStrengthPrivate::setLevel); }

    // The subscriptions `options` want.
    static std::vector<Follow> follows(SignalStrength::Options options)
    {
        std::vector<Follow> list;
        if (wantsBars(options))
            list.push_back(barsSignal());
        if (wantsLevel(options))
            list.push_back(levelSignal());
        return list;
    }

    // Makes or removes the subscriptions so that each exists exactly when an option wants it.
    void setOptions(SignalStrength::Options newOptions)
    {
        const SignalStrength::Options old = options;
        options = newOptions;
        if (wantsBars(newOptions) != wantsBars(old)) {
            if (wantsBars(newOptions))
                follow(barsSignal());
            else
                unfollow(Signal::SignalStrengthSignalBarsChanged);
        }
        if (wantsLevel(newOptions) != wantsLevel(old)) {
            if (wantsLevel(newOptions))
                follow(levelSignal());
            else
                unfollow(Signal::SignalStrengthSignalStrengthChanged);
        }
    }

    void setBars(int value) { update(bars, value, q_ptr, &SignalStrength::barsChanged); }

    void setLevel(int newPercent, int newDbm)
    {
        update(percent, newPercent, q_ptr, &SignalStrength::percentChanged);
        update(dbm, newDbm, q_ptr, &SignalStrength::dbmChanged);
    }

    SignalStrength::Options options;
    int bars = 0;
    int percent = 0;
    int dbm = 0;
};

SignalStrength::SignalStrength(QObject *parent)
    : SignalStrength(Options(), parent)
{
}

SignalStrength::SignalStrength(QFlags<Option> options, QObject *parent)
    : QObject(parent)
    , d(new SignalStrengthPrivate(options, this))
{
}

SignalStrength::~SignalStrength() = default;

int SignalStrength::bars() const { return d->bars; }
int SignalStrength::percent() const { return d->percent; }
int SignalStrength::dbm() const { return d->dbm; }
bool SignalStrength::isValid() const { return d->isValid(); }
SignalStrength::Options SignalStrength::options() const { return d->options; }
void SignalStrength::setOptions(QFlags<Option> options) { d->setOptions(options); }

} // namespace Ondrix

