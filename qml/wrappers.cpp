// SPDX-License-Identifier: LGPL-2.1-or-later
#include "wrappers.h"

namespace Ondrix {
namespace Qml {

NetworkRegistration::NetworkRegistration(QObject *parent)
    : Ondrix::NetworkRegistration(parent)
{
    connect(this, &Ondrix::NetworkRegistration::operatorsSuccess, this, &NetworkRegistration::operatorsChanged);
    connect(this, &Ondrix::NetworkRegistration::operatorsFailure, this, &NetworkRegistration::operatorsChanged);
    connect(this, &Ondrix::NetworkRegistration::operatorsCanceled, this, &NetworkRegistration::operatorsChanged);
}

QVariantList NetworkRegistration::operators() const
{
    QVariantList list;
    for (const AvailableOperator &op : availableOperators())
        list << QVariant::fromValue(op);
    return list;
}

SupplementaryServices::SupplementaryServices(QObject *parent)
    : Ondrix::SupplementaryServices(parent)
{
    connect(this, &Ondrix::SupplementaryServices::checkDivertCompleted, this,
            [this](const DivertServiceList &diversions, Error error) {
                QVariantList list;
                for (const DivertService &d : diversions) {
                    list << QVariantMap{{QStringLiteral("basicService"), int(d.basicService)},
                                        {QStringLiteral("active"), d.active},
                                        {QStringLiteral("telephoneNumber"), d.telephoneNumber},
                                        {QStringLiteral("forwardDelay"), d.forwardDelay}};
                }
                emit divertsChecked(list, error);
            });
}

CallTimers::CallTimers(QObject *parent)
    : Ondrix::CallTimers(parent)
{
    connect(this, &Ondrix::CallTimers::timersUpdated, this, &CallTimers::timersChanged);
}

QVariantMap CallTimers::timerMap() const
{
    const CallTimersInfo t = timers();
    return {{QStringLiteral("last"), t.last}, {QStringLiteral("dialled"), t.dialled},
            {QStringLiteral("received"), t.received}, {QStringLiteral("total"), t.total}};
}

QVariantList EmergencyNumbers::numbersWithInfo() const
{
    QVariantList list;
    for (const EmergencyNumberInfo &info : Ondrix::EmergencyNumbers::numbersWithInfo()) {
        list << QVariantMap{{QStringLiteral("number"), info.number}, {QStringLiteral("firstValue"), info.firstValue},
                            {QStringLiteral("secondValue"), info.secondValue}};
    }
    return list;
}

SmsCounter::SmsCounter(QObject *parent)
    : QObject(parent)
{
}

void SmsCounter::setLanguage(int language)
{
    m_language = language;
    measure();
}

void SmsCounter::setText(const QString &text)
{
    m_text = text;
    measure();
}

void SmsCounter::measure()
{
    SMSMessage message(SMSMessage::Language(m_language), m_text);
    message.getSize(m_segments, m_remaining, m_maxLength);
    emit changed();
}

} // namespace Qml
} // namespace Ondrix
