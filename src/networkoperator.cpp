#include "ondrix-qt/networkoperator.h"

#include "frame.h"

#include <vrx.h>

namespace Ondrix {

using namespace Frame;

class NetworkOperatorPrivate : public QObject
{
    Q_OBJECT
public:
    explicit NetworkOperatorPrivate(NetworkOperator *parent);

    QString country(const QString &first, const QString &second) const;

    DBusIface *proxy = nullptr;
    QString name;
    QString mnc;
    QString mcc;

Q_SIGNALS:
    void operatorChanged(const QString &mnc, const QString &mcc);
    void nameChanged(const QString &name);

private Q_SLOTS:
    void onOperatorChanged(const QString &mnc, const QString &mcc);
    void onNameChanged(const QString &name);
};

NetworkOperatorPrivate::NetworkOperatorPrivate(NetworkOperator *parent)
    : QObject(parent)
{
    proxy = createProxy(Bus::NetworkOperator, this);
    subscribe(Bus::NetworkOperator, "OperatorChanged", this, SLOT(onOperatorChanged(QString,QString)));
    subscribe(Bus::NetworkOperator, "OperatorNameChanged", this, SLOT(onNameChanged(QString)));

    QVariantMap properties;
    if (readProperties(getAllCall(Bus::NetworkOperator), properties)) {
        name = properties.value(QStringLiteral("OperatorName")).toString();
        mnc = properties.value(QStringLiteral("OperatorMNC")).toString();
        mcc = properties.value(QStringLiteral("OperatorMCC")).toString();
    }
}

void NetworkOperatorPrivate::onOperatorChanged(const QString &newMnc, const QString &newMcc)
{
    if (newMnc == mnc && newMcc == mcc)
        return;
    mnc = newMnc;
    mcc = newMcc;
    emit operatorChanged(mnc, mcc);
}

void NetworkOperatorPrivate::onNameChanged(const QString &newName)
{
    if (newName == name)
        return;
    name = newName;
    emit nameChanged(name);
}

QString NetworkOperatorPrivate::country(const QString &first, const QString &second) const
{
    const QByteArray a = first.toUtf8();
    const QByteArray b = second.toUtf8();
    // The text stays owned by libvrx.
    return QString::fromUtf8(vrx_name_country_initials(a.constData(), b.constData()));
}

NetworkOperator::NetworkOperator(QObject *parent)
    : QObject(parent)
    , d(new NetworkOperatorPrivate(this))
{
    connect(d, SIGNAL(operatorChanged(QString,QString)), this, SIGNAL(operatorChanged(QString,QString)));
    connect(d, SIGNAL(nameChanged(QString)), this, SIGNAL(nameChanged(QString)));
}

NetworkOperator::~NetworkOperator() = default;

QString NetworkOperator::name() const { return d->name; }
QString NetworkOperator::mnc() const { return d->mnc; }
QString NetworkOperator::mcc() const { return d->mcc; }
bool NetworkOperator::isValid() const { return allValid({d->proxy}); }
QString NetworkOperator::country(QString mcc, QString mnc) const { return d->country(mcc, mnc); }

} // namespace Ondrix

#include "networkoperator.moc"
