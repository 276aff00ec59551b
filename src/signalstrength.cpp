// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/signalstrength.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

class SignalStrengthPrivate : public QObject
{
public:
    SignalStrengthPrivate(SignalStrength::Options options, SignalStrength *q);

    void setOptions(SignalStrength::Options options);

    void setBars(int bars);
    void setLevel(int percent, int dbm);

    SignalStrength *q_ptr;
    DBusIface *proxy = nullptr;
    Daemons *daemons = nullptr;
    SignalStrength::Options options;
    bool barsSubscribed = false;
    bool levelSubscribed = false;
    int bars = 0;
    int percent = 0;
    int dbm = 0;

private:
    Q_DECLARE_PUBLIC(SignalStrength)
    // Makes or removes one subscription so that it exists exactly when `wanted`.
    template <typename Handler>
    void follow(Signal signal, Handler handler, bool wanted, bool &subscribed);
};

SignalStrengthPrivate::SignalStrengthPrivate(SignalStrength::Options initial, SignalStrength *q)
    : QObject(q)
    , q_ptr(q)
{
    registerTypes();
    setOptions(initial);
    proxy = createProxy(Bus::SignalStrength, this);
    daemons = followDaemons({proxy}, this, q);
    daemons->keepProperties(getAllCall(Bus::SignalStrength), [this](const QVariantMap &properties) {
        setBars(properties.value(QStringLiteral("SignalBars")).toInt());
        setLevel(properties.value(QStringLiteral("SignalPercent")).toInt(),
                 properties.value(QStringLiteral("SignalDecibels")).toInt());
    });
}

template <typename Handler>
void SignalStrengthPrivate::follow(Signal signal, Handler handler, bool wanted, bool &subscribed)
{
    if (wanted && !subscribed) {
        subscribe(signal, this, handler);
        subscribed = true;
    } else if (!wanted && subscribed) {
        unsubscribe(signal, this);
        subscribed = false;
    }
}

void SignalStrengthPrivate::setOptions(SignalStrength::Options newOptions)
{
    follow(Signal::SignalStrengthSignalBarsChanged, &SignalStrengthPrivate::setBars, newOptions.testFlag(SignalStrength::BarsOption),
           barsSubscribed);
    follow(Signal::SignalStrengthSignalStrengthChanged, &SignalStrengthPrivate::setLevel,
           newOptions & (SignalStrength::PercentOption | SignalStrength::DbmOption), levelSubscribed);
    options = newOptions;
}

void SignalStrengthPrivate::setBars(int value)
{
    update(bars, value, q_ptr, &SignalStrength::barsChanged);
}

void SignalStrengthPrivate::setLevel(int newPercent, int newDbm)
{
    update(percent, newPercent, q_ptr, &SignalStrength::percentChanged);
    update(dbm, newDbm, q_ptr, &SignalStrength::dbmChanged);
}

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
bool SignalStrength::isValid() const { return d->daemons->valid(); }
SignalStrength::Options SignalStrength::options() const { return d->options; }
void SignalStrength::setOptions(QFlags<Option> options) { d->setOptions(options); }

} // namespace Ondrix

