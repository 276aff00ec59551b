// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/networkcell.h"

#include "frame.h"

#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusVariant>

namespace Ondrix {

using namespace Frame;

namespace {

const TextValue types[] = {{"GSM", NetworkCell::GSMCell}, {"WCDMA", NetworkCell::WCDMACell}};

const TextValue serviceKeys[] = {
    {"HasCSServices", NetworkCell::CSService},     {"HasGPRSServices", NetworkCell::GPRSService},
    {"SupportsGPRS", NetworkCell::GPRSSupport},    {"SupportsEGPRS", NetworkCell::EGPRSSupport},
    {"SupportsDTM", NetworkCell::DTMSupport},      {"SupportsHSDPA", NetworkCell::HSDPASupport},
    {"SupportsHSUPA", NetworkCell::HSUPASupport},
};

NetworkCell::Services servicesOf(const CellServiceMap &map)
{
    NetworkCell::Services flags;
    for (const TextValue &row : serviceKeys) {
        if (map.value(row.name()))
            flags |= NetworkCell::Service(row.value);
    }
    return flags;
}

} // namespace

class NetworkCellPrivate : public ServicePrivate<NetworkCell>
{
public:
    explicit NetworkCellPrivate(NetworkCell *q)
        : ServicePrivate(q, {Bus::NetworkCell},
                         {on(Signal::NetworkCellCellChanged, &NetworkCellPrivate::setCellInfo),
                          on(Signal::NetworkCellCellNameChanged, &NetworkCellPrivate::setCellName),
                          on(Signal::NetworkCellServicesChanged, &NetworkCellPrivate::setServices),
                          on(Signal::NetworkCellCellNameDisplayEnabledChanged, &NetworkCellPrivate::onCellNameDisplayEnabledChanged)})
    {
        keep<QVariantMap>(getAllCall(Bus::NetworkCell), [this](const QVariantMap &p) {
            setCellInfo(p.value(QStringLiteral("CellType")).toString(), p.value(QStringLiteral("CellId")).toInt(),
                        p.value(QStringLiteral("CellLac")).toInt(), 0);
            setCellName(p.value(QStringLiteral("CellName")).toString());
            onCellNameDisplayEnabledChanged(p.value(QLatin1String(member(Property::NetworkCellCellNameDisplayEnabled).name)).toBool());
        });
        keep<CellServiceMap>(methodCall(Method::NetworkCellGetServices), [this](const CellServiceMap &map) { setServices(map); });
    }

    void setCellInfo(const QString &typeText, int newId, int newLac, int)
    {
        const auto newType = NetworkCell::Type(lookup(types, typeText));
        if (newType == type && newId == id && newLac == lac)
            return;
        type = newType;
        id = newId;
        lac = newLac;
        emit q_ptr->cellChanged(id, lac, type);
    }

    void setCellName(const QString &newName)
    {
        update(name, newName, q_ptr, &NetworkCell::cellNameChanged);
    }

    void setServices(const CellServiceMap &map)
    {
        update(services, servicesOf(map), q_ptr, &NetworkCell::servicesChanged);
    }

    void onCellNameDisplayEnabledChanged(bool value)
    {
        update(displayEnabled, value, q_ptr, &NetworkCell::cellNameDisplayEnabledChanged);
    }

    // Written through the properties interface; the cached value follows the
    // daemon's signal, and a failure puts the old value back out.
    void setNameDisplayEnabled(bool value)
    {
        if (value == displayEnabled)
            return;
        operate<>(propertyWrite(Property::NetworkCellCellNameDisplayEnabled, value), this, [] {}, [this](const QDBusError &error) {
            if (!isNotSent(error))
                logError(error);
            emit q_ptr->cellNameDisplayEnabledChanged(displayEnabled);
        });
    }

    int id = 0;
    int lac = 0;
    NetworkCell::Type type = NetworkCell::UnknownType;
    NetworkCell::Services services;
    QString name;
    bool displayEnabled = false;
};

NetworkCell::NetworkCell(QObject *parent)
    : QObject(parent)
    , d(new NetworkCellPrivate(this))
{
}

NetworkCell::~NetworkCell() = default;

int NetworkCell::id() const { return d->id; }
int NetworkCell::lac() const { return d->lac; }
NetworkCell::Type NetworkCell::type() const { return d->type; }
NetworkCell::Services NetworkCell::services() const { return d->services; }
QString NetworkCell::name() const { return d->name; }
bool NetworkCell::nameDisplayEnabled() const { return d->displayEnabled; }
void NetworkCell::setNameDisplayEnabled(bool enabled) { d->setNameDisplayEnabled(enabled); }
bool NetworkCell::isValid() const { return d->isValid(); }

} // namespace Ondrix
