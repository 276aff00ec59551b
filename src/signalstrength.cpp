#include "ondrix-qt/signalstrength.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

namespace {
const char BarsSignal[] = "SignalBarsChanged";
const char LevelSignal[] = "SignalStrengthChanged";
} // namespace

class SignalStrengthPrivate : public QObject
{
    Q_OBJECT
public:
    SignalStrengthPrivate(SignalStrength::Options options, SignalStrength *parent);

    void setOptions(SignalStrength::Options options);

    DBusIface *proxy = nullptr;
    SignalStrength::Options options;
    bool barsSubscribed = false;
    bool levelSubscribed = false;
    int bars = 0;
    int percent = 0;
    int dbm = 0;

Q_SIGNALS:
    void barsChanged(int bars);
    void percentChanged(int percent);
    void dbmChanged(int dbm);

private Q_SLOTS:
    void setBars(int bars);
    void setLevel(int percent, int dbm);

private:
    // Makes or removes one subscription so that it exists exactly when `wanted`.
    void follow(const char *signal, const char *slot, bool wanted, bool &subscribed);
};

SignalStrengthPrivate::SignalStrengthPrivate(SignalStrength::Options initial, SignalStrength *parent)
    : QObject(parent)
{
    proxy = createProxy(Bus::SignalStrength, this);
    setOptions(initial);

    QVariantMap properties;
    if (readProperties(getAllCall(Bus::SignalStrength), properties)) {
        bars = properties.value(QStringLiteral("SignalBars")).toInt();
        percent = properties.value(QStringLiteral("SignalPercent")).toInt();
        dbm = properties.value(QStringLiteral("SignalDecibels")).toInt();
    }
}

void SignalStrengthPrivate::follow(const char *signal, const char *slot, bool wanted, bool &subscribed)
{
    if (wanted && !subscribed) {
        subscribe(Bus::SignalStrength, signal, this, slot);
        subscribed = true;
    } else if (!wanted && subscribed) {
        unsubscribe(Bus::SignalStrength, signal, this, slot);
        subscribed = false;
    }
}

void SignalStrengthPrivate::setOptions(SignalStrength::Options newOptions)
{
    follow(BarsSignal, SLOT(setBars(int)), newOptions.testFlag(SignalStrength::BarsOption), barsSubscribed);
    follow(LevelSignal, SLOT(setLevel(int,int)),
           newOptions & (SignalStrength::PercentOption | SignalStrength::DbmOption), levelSubscribed);
    options = newOptions;
}

void SignalStrengthPrivate::setBars(int value)
{
    if (value == bars)
        return;
    bars = value;
    emit barsChanged(bars);
}

void SignalStrengthPrivate::setLevel(int newPercent, int newDbm)
{
    if (newPercent != percent) {
        percent = newPercent;
        emit percentChanged(percent);
    }
    if (newDbm != dbm) {
        dbm = newDbm;
        emit dbmChanged(dbm);
    }
}

SignalStrength::SignalStrength(QObject *parent)
    : SignalStrength(Options(), parent)
{
}

SignalStrength::SignalStrength(QFlags<Option> options, QObject *parent)
    : QObject(parent)
    , d(new SignalStrengthPrivate(options, this))
{
    connect(d, SIGNAL(barsChanged(int)), this, SIGNAL(barsChanged(int)));
    connect(d, SIGNAL(percentChanged(int)), this, SIGNAL(percentChanged(int)));
    connect(d, SIGNAL(dbmChanged(int)), this, SIGNAL(dbmChanged(int)));
}

SignalStrength::~SignalStrength() = default;

int SignalStrength::bars() const { return d->bars; }
int SignalStrength::percent() const { return d->percent; }
int SignalStrength::dbm() const { return d->dbm; }
bool SignalStrength::isValid() const { return allValid({d->proxy}); }
SignalStrength::Options SignalStrength::options() const { return d->options; }
void SignalStrength::setOptions(QFlags<Option> options) { d->setOptions(options); }

} // namespace Ondrix

#include "signalstrength.moc"
