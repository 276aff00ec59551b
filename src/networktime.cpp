// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/networktime.h"

#include "frame.h"

namespace Ondrix {

using namespace Frame;

class NetworkTimeData : public QSharedData
{
public:
    QDateTime time;
    int timezone = 0;
    int dst = -1;
    bool valid = false;
    QString mnc;
    QString mcc;
    long receivedSecs = 0;
    long receivedNSecs = 0;
};

NetworkTimeInfo::NetworkTimeInfo()
    : d(new NetworkTimeData)
{
}

NetworkTimeInfo::NetworkTimeInfo(const NetworkTimeInfo &other) = default;
NetworkTimeInfo &NetworkTimeInfo::operator=(const NetworkTimeInfo &other) = default;
NetworkTimeInfo::~NetworkTimeInfo() = default;

QDateTime NetworkTimeInfo::dateTime() const { return d->time; }
int NetworkTimeInfo::timezone() const { return d->timezone; }
int NetworkTimeInfo::dst() const { return d->dst; }
bool NetworkTimeInfo::isValid() const { return d->valid; }
QString NetworkTimeInfo::mnc() const { return d->mnc; }
QString NetworkTimeInfo::mcc() const { return d->mcc; }
long NetworkTimeInfo::receivedSecs() const { return d->receivedSecs; }
long NetworkTimeInfo::receivedNSecs() const { return d->receivedNSecs; }

QDebug operator<<(QDebug debug, const NetworkTimeInfo &info)
{
    debug.nospace() << "\nTime: \"" << info.dateTime().toString(Qt::TextDate).toUtf8().constData() << '"'
                    << "\nTZ: " << info.timezone() << "\nDST: " << info.dst() << "\nStamp: "
                    << qlonglong(info.receivedSecs()) << '.' << qlonglong(info.receivedNSecs()) << "\nMNC: "
                    << info.mnc() << "\nMCC: " << info.mcc() << "\n";
    return debug.space();
}

class NetworkTimePrivate : public ServicePrivate<NetworkTime>
{
public:
    explicit NetworkTimePrivate(NetworkTime *q)
        : ServicePrivate(q, {Bus::NetworkTime}, {on(Signal::NetworkTimeRawNetworkTimeChanged, &NetworkTimePrivate::onTimeInfo)})
    {
    }

    // A report without a time zone is no report.
    static NetworkTimeInfo infoOf(const QVariantMap &map)
    {
        NetworkTimeInfo info;
        if (!map.contains(QStringLiteral("Timezone")))
            return info;
        NetworkTimeData &data = *info.d;
        if (map.contains(QStringLiteral("UTC"))) {
            data.time = QDateTime::fromSecsSinceEpoch(qint64(quint32(map.value(QStringLiteral("UTC")).toLongLong())),
                                                      Qt::UTC);
        }
        if (map.contains(QStringLiteral("DST")))
            data.dst = int(map.value(QStringLiteral("DST")).toUInt() / 3600);
        data.timezone = map.value(QStringLiteral("Timezone")).toInt();
        data.mnc = map.value(QStringLiteral("MobileNetworkCode")).toString();
        data.mcc = map.value(QStringLiteral("MobileCountryCode")).toString();
        data.receivedSecs = long(map.value(QStringLiteral("ReceivedSecs")).toLongLong());
        data.receivedNSecs = long(map.value(QStringLiteral("ReceivedNSecs")).toLongLong());
        data.valid = true;
        return info;
    }

    NetworkTimeInfo timeInfo() const
    {
        const auto reply = read<QVariantMap>(methodCall(Method::NetworkTimeGetRawNetworkTime));
        return reply ? infoOf(std::get<0>(*reply)) : NetworkTimeInfo();
    }

    void queryTimeInfo()
    {
        NetworkTime *q = q_ptr;
        operate<QVariantMap>(methodCall(Method::NetworkTimeGetRawNetworkTime), this,
                             [q](const QVariantMap &map) { emit q->timeInfoQueryCompleted(infoOf(map)); },
                             [q](const QDBusError &) { emit q->timeInfoQueryCompleted(NetworkTimeInfo()); });
    }

    void onTimeInfo(const QVariantMap &map) { emit q_ptr->timeInfoChanged(infoOf(map)); }
};

NetworkTime::NetworkTime(QObject *parent)
    : QObject(parent)
    , d(new NetworkTimePrivate(this))
{
}

NetworkTime::~NetworkTime() = default;

bool NetworkTime::isValid() const { return d->isValid(); }
NetworkTimeInfo NetworkTime::timeInfo() const { return d->timeInfo(); }
void NetworkTime::queryTimeInfo() { d->queryTimeInfo(); }

} // namespace Ondrix
