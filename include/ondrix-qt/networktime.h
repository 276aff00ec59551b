// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_NETWORKTIME_H
#define ONDRIX_NETWORKTIME_H

#include "ondrix_global.h"

#include <QDateTime>
#include <QDebug>
#include <QMetaType>
#include <QObject>
#include <QSharedDataPointer>
#include <QString>

namespace Ondrix {

class NetworkTimeData;
class NetworkTimePrivate;

/**
 * @brief One network time report: time, zone, daylight saving, network, reception.
 *
 * Implicitly shared. A default object is what every failure reports; it is
 * recognised by isValid() returning false.
 */
class ONDRIX_EXPORT NetworkTimeInfo
{
    Q_GADGET
    Q_PROPERTY(QDateTime dateTime READ dateTime)
    Q_PROPERTY(int timezone READ timezone)
    Q_PROPERTY(int dst READ dst)
    Q_PROPERTY(bool valid READ isValid)
    Q_PROPERTY(QString mnc READ mnc)
    Q_PROPERTY(QString mcc READ mcc)
public:
    /** An invalid report: no time, zone 0, daylight saving -1, empty codes. */
    NetworkTimeInfo();
    /** A copy sharing the data of `other`. */
    NetworkTimeInfo(const NetworkTimeInfo &other);
    /** Shares the data of `other`. */
    NetworkTimeInfo &operator=(const NetworkTimeInfo &other);
    ~NetworkTimeInfo();

    /** The network time, in UTC; invalid when the report had none. */
    QDateTime dateTime() const;
    /** The daemon's time zone value, unconverted. */
    int timezone() const;
    /** The daylight-saving adjustment in whole hours; -1 when the report had none. */
    int dst() const;
    /** True when the report carried a time zone. */
    Q_INVOKABLE bool isValid() const;
    /** The network code of the network that sent the time. */
    QString mnc() const;
    /** The country code of that network. */
    QString mcc() const;
    /** The seconds of the moment the report was received. */
    long receivedSecs() const;
    /** The nanoseconds of that moment. */
    long receivedNSecs() const;

private:
    friend class NetworkTimePrivate;
    QSharedDataPointer<NetworkTimeData> d;
};

/** Writes the multi-line form: time, zone, daylight saving, reception stamp, codes. */
ONDRIX_EXPORT QDebug operator<<(QDebug debug, const NetworkTimeInfo &info);

/**
 * @brief The time information the mobile network sends.
 *
 * A blocking read (250 ms at most), an asynchronous query and a change
 * signal, each delivering a NetworkTimeInfo. Nothing is cached.
 */
class ONDRIX_EXPORT NetworkTime : public QObject
{
    Q_OBJECT
    /** Whether the network daemon is on the bus. Changes announced by validChanged(). Read-only. */
    Q_PROPERTY(bool valid READ isValid NOTIFY validChanged)
    /** The network's last time report (NetworkTimeInfo); read from the daemon on each access (the QML type
     *  keeps it instead). Changes announced by timeInfoChanged(). Read-only. */
    Q_PROPERTY(Ondrix::NetworkTimeInfo timeInfo READ timeInfo NOTIFY timeInfoChanged)

public:
    /** Subscribes to the network's time reports; makes no call. */
    explicit NetworkTime(QObject *parent = nullptr);
    ~NetworkTime() override;

    /** True while the network daemon is on the bus. */
    Q_INVOKABLE bool isValid() const;
    /** Reads the last report, blocking for 250 ms at most; an invalid report on failure. */
    NetworkTimeInfo timeInfo() const;
    /** Asks for the last report; answered by timeInfoQueryCompleted(). */
    Q_INVOKABLE void queryTimeInfo();

Q_SIGNALS:
    /** The daemon serving the object came onto the bus or left it: isValid() now says `valid`. */
    void validChanged(bool valid);
    /** The network sent a report. */
    void timeInfoChanged(const Ondrix::NetworkTimeInfo &timeInfo);
    /** The answer of queryTimeInfo(); an invalid report on failure. */
    void timeInfoQueryCompleted(const Ondrix::NetworkTimeInfo &timeInfo);

private:
    Q_DECLARE_PRIVATE_D(d, NetworkTime)
    NetworkTimePrivate *d;
};

} // namespace Ondrix

Q_DECLARE_METATYPE(Ondrix::NetworkTimeInfo)

#endif
