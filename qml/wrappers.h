// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_QML_WRAPPERS_H
#define ONDRIX_QML_WRAPPERS_H

// What QML needs beside the C++ classes: value types as lists and maps. Each
// adapter is the C++ class itself, with the values QML cannot read made
// readable. The lock screen's model is in simcard.h, the codec's front end
// in smscounter.h.

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/emergencynumbers.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/networktime.h>
#include <ondrix-qt/supplementaryservices.h>

#include <QVariantList>
#include <QtQml/qqml.h>
#include <memory>

namespace Ondrix {
namespace Qml {

// The operators of the last scan as a list QML can index (each one an AvailableOperator).
class NetworkRegistration : public Ondrix::NetworkRegistration
{
    Q_OBJECT
    QML_NAMED_ELEMENT(NetworkRegistration)
    Q_PROPERTY(QVariantList operators READ operators NOTIFY operatorsChanged)
public:
    explicit NetworkRegistration(QObject *parent = nullptr);
    QVariantList operators() const;
Q_SIGNALS:
    void operatorsChanged();
};

// Diversions as maps: basicService, active, telephoneNumber, forwardDelay. A
// USSD dialogue the network left open when the object goes is released.
class SupplementaryServices : public Ondrix::SupplementaryServices
{
    Q_OBJECT
    QML_NAMED_ELEMENT(SupplementaryServices)
public:
    explicit SupplementaryServices(QObject *parent = nullptr);
    ~SupplementaryServices() override;
    // Whether a dialled string carries a code (see the C++ class).
    Q_INVOKABLE bool carriesCode(const QString &command) const
    {
        return Ondrix::SupplementaryServices::carriesCode(command);
    }
    // The name of an Error value ("NotProvisioned"), for a message on screen.
    Q_INVOKABLE QString errorName(int error) const;
Q_SIGNALS:
    void divertsChecked(const QVariantList &diversions, int error);
    // Every call service operation's completion in one signal: `operation` is
    // the member that started it ("checkDivert", "activateBarring", ...);
    // `result` what a check found (diversions as in divertsChecked, basic
    // services as a list of codes, a bool, a ClirStatus), else undefined.
    void serviceCompleted(const QString &operation, int error, const QVariant &result);
private:
    bool m_dialogue = false;   // the network asked or told something and has not released
    void forward(void (Ondrix::SupplementaryServices::*completed)(Error), const char *operation);
    template <typename Result>
    void forward(void (Ondrix::SupplementaryServices::*completed)(Result, Error), const char *operation);
};

// The timers as a map (last, dialled, received, total), read once without
// blocking, again whenever the daemon returns, and kept by its announcements.
class CallTimers : public Ondrix::CallTimers
{
    Q_OBJECT
    QML_NAMED_ELEMENT(CallTimers)
    Q_PROPERTY(QVariantMap timers READ timerMap NOTIFY timersChanged)
public:
    explicit CallTimers(QObject *parent = nullptr);
    QVariantMap timerMap() const;
Q_SIGNALS:
    void timersChanged();
private:
    void keep(const CallTimersInfo &timers);
    CallTimersInfo m_timers;
};

// The network's last time report, read once without blocking, again whenever
// the daemon returns, and kept by its announcements.
class NetworkTime : public Ondrix::NetworkTime
{
    Q_OBJECT
    QML_NAMED_ELEMENT(NetworkTime)
    Q_PROPERTY(Ondrix::NetworkTimeInfo timeInfo READ cachedTimeInfo NOTIFY timeInfoKept)
public:
    explicit NetworkTime(QObject *parent = nullptr);
    NetworkTimeInfo cachedTimeInfo() const { return m_info; }
Q_SIGNALS:
    // The report timeInfo holds changed (timeInfoChanged() carries each report).
    void timeInfoKept();
private:
    NetworkTimeInfo m_info;
};

// The numbers with their attributes as maps: number, firstValue, secondValue.
class EmergencyNumbers : public Ondrix::EmergencyNumbers
{
    Q_OBJECT
    QML_NAMED_ELEMENT(EmergencyNumbers)
public:
    using Ondrix::EmergencyNumbers::EmergencyNumbers;
    Q_INVOKABLE QVariantList numbersWithInfo() const;
};

} // namespace Qml
} // namespace Ondrix

#endif
