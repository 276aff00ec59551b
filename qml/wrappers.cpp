// SPDX-License-Identifier: LGPL-2.1-or-later
#include "wrappers.h"

#include <QMetaEnum>

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

namespace {

QVariant resultOf(bool on) { return on; }
QVariant resultOf(Ondrix::SupplementaryServices::ClirStatus status) { return int(status); }

QVariant resultOf(const Ondrix::SupplementaryServices::BasicServiceList &services)
{
    QVariantList list;
    for (const auto service : services)
        list << int(service);
    return list;
}

QVariant resultOf(const Ondrix::SupplementaryServices::DivertServiceList &diversions)
{
    QVariantList list;
    for (const auto &d : diversions) {
        list << QVariantMap{{QStringLiteral("basicService"), int(d.basicService)},
                            {QStringLiteral("active"), d.active},
                            {QStringLiteral("telephoneNumber"), d.telephoneNumber},
                            {QStringLiteral("forwardDelay"), d.forwardDelay}};
    }
    return list;
}

} // namespace

void SupplementaryServices::forward(void (Ondrix::SupplementaryServices::*completed)(Error), const char *operation)
{
    const QString name = QLatin1String(operation);
    connect(this, completed, this, [this, name](Error error) { emit serviceCompleted(name, error, QVariant()); });
}

template <typename Result>
void SupplementaryServices::forward(void (Ondrix::SupplementaryServices::*completed)(Result, Error),
                                    const char *operation)
{
    const QString name = QLatin1String(operation);
    connect(this, completed, this, [this, name](const Result &result, Error error) {
        emit serviceCompleted(name, error, resultOf(result));
    });
}

SupplementaryServices::SupplementaryServices(QObject *parent)
    : Ondrix::SupplementaryServices(parent)
{
    using S = Ondrix::SupplementaryServices;
    connect(this, &S::checkDivertCompleted, this, [this](const DivertServiceList &diversions, Error error) {
        emit divertsChecked(resultOf(diversions).toList(), error);
    });
    forward(&S::registerDivertCompleted, "registerDivert");
    forward(&S::eraseDivertCompleted, "eraseDivert");
    forward(&S::activateDivertCompleted, "activateDivert");
    forward(&S::deactivateDivertCompleted, "deactivateDivert");
    forward(&S::checkDivertCompleted, "checkDivert");
    forward(&S::changeBarringPasswordCompleted, "changeBarringPassword");
    forward(&S::activateBarringCompleted, "activateBarring");
    forward(&S::deactivateBarringCompleted, "deactivateBarring");
    forward(&S::checkBarringCompleted, "checkBarring");
    forward(&S::activateWaitingCompleted, "activateWaiting");
    forward(&S::deactivateWaitingCompleted, "deactivateWaiting");
    forward(&S::checkWaitingCompleted, "checkWaiting");
    forward(&S::checkClirCompleted, "checkClir");
    forward(&S::checkClipCompleted, "checkClip");
    forward(&S::checkColpCompleted, "checkColp");
    forward(&S::checkColrCompleted, "checkColr");
    forward(&S::checkCnapCompleted, "checkCnap");
    connect(this, &S::userActionRequested, this, [this] { m_dialogue = true; });
    connect(this, &S::notifyReceived, this, [this] { m_dialogue = true; });
    connect(this, &S::ussdReleased, this, [this] { m_dialogue = false; });
    connect(this, &S::ussdError, this, [this](UssdOp op) {
        if (op == UssdReleaseOp)
            m_dialogue = false;
    });
}

SupplementaryServices::~SupplementaryServices()
{
    if (m_dialogue)
        ussdRelease();
}

QString SupplementaryServices::errorName(int error) const
{
    return QLatin1String(QMetaEnum::fromType<Error>().valueToKey(error));
}

CallTimers::CallTimers(QObject *parent)
    : Ondrix::CallTimers(parent)
{
    connect(this, &Ondrix::CallTimers::timersUpdated, this, &CallTimers::keep);
    connect(this, &Ondrix::CallTimers::timersQueryCompleted, this, [this](const CallTimersInfo &timers, bool ok) {
        if (ok)
            keep(timers);
    });
    connect(this, &Ondrix::CallTimers::validChanged, this, [this](bool valid) {
        if (valid)
            queryTimers();
    });
    queryTimers();
}

void CallTimers::keep(const CallTimersInfo &t)
{
    if (t.last == m_timers.last && t.dialled == m_timers.dialled && t.received == m_timers.received
        && t.total == m_timers.total)
        return;
    m_timers = t;
    emit timersChanged();
}

QVariantMap CallTimers::timerMap() const
{
    return {{QStringLiteral("last"), m_timers.last}, {QStringLiteral("dialled"), m_timers.dialled},
            {QStringLiteral("received"), m_timers.received}, {QStringLiteral("total"), m_timers.total}};
}

NetworkTime::NetworkTime(QObject *parent)
    : Ondrix::NetworkTime(parent)
{
    // A query's answer reaches QML as a change, like a report from the network.
    connect(this, &Ondrix::NetworkTime::timeInfoQueryCompleted, this, [this](const NetworkTimeInfo &info) {
        if (info.isValid())
            emit timeInfoChanged(info);
    });
    connect(this, &Ondrix::NetworkTime::timeInfoChanged, this, [this](const NetworkTimeInfo &info) {
        m_info = info;
        emit timeInfoKept();
    });
    connect(this, &Ondrix::NetworkTime::validChanged, this, [this](bool valid) {
        if (valid)
            queryTimeInfo();
    });
    queryTimeInfo();
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

} // namespace Qml
} // namespace Ondrix
