// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/networkoperator.h"

#include "frame.h"

#include <vrx.h>

namespace Ondrix {

using namespace Frame;

class NetworkOperatorPrivate : public QObject
{
public:
    explicit NetworkOperatorPrivate(NetworkOperator *q);

    QString country(const QString &first, const QString &second) const;

    void onOperatorChanged(const QString &mnc, const QString &mcc);
    void onNameChanged(const QString &name);

    NetworkOperator *q_ptr;
    DBusIface *proxy = nullptr;
    Daemons *daemons = nullptr;
    QString name;
    QString mnc;
    QString mcc;

private:
    Q_DECLARE_PUBLIC(NetworkOperator)
};

NetworkOperatorPrivate::NetworkOperatorPrivate(NetworkOperator *q)
    : QObject(q)
    , q_ptr(q)
{
    registerTypes();
    subscribe(Signal::NetworkOperatorOperatorChanged, this, &NetworkOperatorPrivate::onOperatorChanged);
    subscribe(Signal::NetworkOperatorOperatorNameChanged, this, &NetworkOperatorPrivate::onNameChanged);
    proxy = createProxy(Bus::NetworkOperator, this);
    daemons = followDaemons({proxy}, this, q);
    daemons->keepProperties(getAllCall(Bus::NetworkOperator), [this](const QVariantMap &properties) {
        onOperatorChanged(properties.value(QStringLiteral("OperatorMNC")).toString(),
                          properties.value(QStringLiteral("OperatorMCC")).toString());
        onNameChanged(properties.value(QStringLiteral("OperatorName")).toString());
    });
}

void NetworkOperatorPrivate::onOperatorChanged(const QString &newMnc, const QString &newMcc)
{
    Q_Q(NetworkOperator);
    if (newMnc == mnc && newMcc == mcc)
        return;
    mnc = newMnc;
    mcc = newMcc;
    emit q->operatorChanged(mnc, mcc);
}

void NetworkOperatorPrivate::onNameChanged(const QString &newName)
{
    Q_Q(NetworkOperator);
    if (newName == name)
        return;
    name = newName;
    emit q->nameChanged(name);
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
}

NetworkOperator::~NetworkOperator() = default;

QString NetworkOperator::name() const { return d->name; }
QString NetworkOperator::mnc() const { return d->mnc; }
QString NetworkOperator::mcc() const { return d->mcc; }
bool NetworkOperator::isValid() const { return d->daemons->valid(); }
QString NetworkOperator::country(QString mcc, QString mnc) const { return d->country(mcc, mnc); }

} // namespace Ondrix

