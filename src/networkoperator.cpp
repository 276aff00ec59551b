// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/networkoperator.h"

#include "frame.h"

#include <vrx.h>

namespace Ondrix {

using namespace Frame;

class NetworkOperatorPrivate : public ServicePrivate<NetworkOperator>
{
public:
    explicit NetworkOperatorPrivate(NetworkOperator *q);

    void onOperatorChanged(const QString &mnc, const QString &mcc);
    void onNameChanged(const QString &name);

    QString name;
    QString mnc;
    QString mcc;
};

NetworkOperatorPrivate::NetworkOperatorPrivate(NetworkOperator *q)
    : ServicePrivate(q, {Bus::NetworkOperator},
                     {on(Signal::NetworkOperatorOperatorChanged, &NetworkOperatorPrivate::onOperatorChanged),
                      on(Signal::NetworkOperatorOperatorNameChanged, &NetworkOperatorPrivate::onNameChanged)})
{
    keep<QVariantMap>(getAllCall(Bus::NetworkOperator), [this](const QVariantMap &properties) {
        onOperatorChanged(properties.value(QStringLiteral("OperatorMNC")).toString(),
                          properties.value(QStringLiteral("OperatorMCC")).toString());
        onNameChanged(properties.value(QStringLiteral("OperatorName")).toString());
    });
}

void NetworkOperatorPrivate::onOperatorChanged(const QString &newMnc, const QString &newMcc)
{
    if (newMnc == mnc && newMcc == mcc)
        return;
    mnc = newMnc;
    mcc = newMcc;
    emit q_ptr->operatorChanged(mnc, mcc);
}

void NetworkOperatorPrivate::onNameChanged(const QString &newName)
{
    update(name, newName, q_ptr, &NetworkOperator::nameChanged);
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
bool NetworkOperator::isValid() const { return d->isValid(); }
QString NetworkOperator::country(QString mcc, QString mnc) const
{
    const QByteArray first = mcc.toUtf8();
    const QByteArray second = mnc.toUtf8();
    // The text stays owned by libvrx.
    return QString::fromUtf8(vrx_name_country_initials(first.constData(), second.constData()));
}

} // namespace Ondrix

