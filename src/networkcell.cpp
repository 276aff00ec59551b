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
        if (map.value(QLatin1String(row.text)))
            flags |= NetworkCell::Service(row.value);
    }
    return flags;
}

const char NameDisplay[] = "CellNameDisplayEnabled";

} // namespace

class NetworkCellPrivate : public QObject
{
public:
    explicit NetworkCellPrivate(NetworkCell *q)
        : QObject(q)
        , q_ptr(q)
    {
        once([] {
            qDBusRegisterMetaType<CellServiceMap>();
        });
        subscribe(Bus::NetworkCell, "CellChanged", this, &NetworkCellPrivate::setCellInfo);
        subscribe(Bus::NetworkCell, "CellNameChanged", this, &NetworkCellPrivate::setCellName);
        subscribe(Bus::NetworkCell, "ServicesChanged", this, &NetworkCellPrivate::setServices);
        subscribe(Bus::NetworkCell, "CellNameDisplayEnabledChanged", this,
                  &NetworkCellPrivate::onCellNameDisplayEnabledChanged);
        proxy = createProxy(Bus::NetworkCell, this);
        readProperties();
        readServices();
    }

    void readProperties()
    {
        QVariantMap p;
        if (!Frame::readProperties(getAllCall(Bus::NetworkCell), p))
            return;
        id = p.value(QStringLiteral("CellId")).toInt();
        lac = p.value(QStringLiteral("CellLac")).toInt();
        type = NetworkCell::Type(lookup(types, p.value(QStringLiteral("CellType")).toString()));
        name = p.value(QStringLiteral("CellName")).toString();
        displayEnabled = p.value(QLatin1String(NameDisplay)).toBool();
    }

    // The services come as one a{sb}; anything else is ignored like a wrong argument count.
    void readServices()
    {
        const QDBusMessage reply = QDBusConnection::systemBus().call(
            methodCall(Bus::NetworkCell, QStringLiteral("GetServices")), QDBus::Block, SyncReadTimeout);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            logError(QDBusError(reply));
            return;
        }
        if (reply.signature() == QLatin1String("a{sb}"))
            services = servicesOf(qdbus_cast<CellServiceMap>(reply.arguments().constFirst()));
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
        if (newName == name)
            return;
        name = newName;
        emit q_ptr->cellNameChanged(name);
    }

    void setServices(const CellServiceMap &map)
    {
        const NetworkCell::Services flags = servicesOf(map);
        if (flags == services)
            return;
        services = flags;
        emit q_ptr->servicesChanged(services);
    }

    void onCellNameDisplayEnabledChanged(bool value)
    {
        if (value == displayEnabled)
            return;
        displayEnabled = value;
        emit q_ptr->cellNameDisplayEnabledChanged(value);
    }

    // Written through the properties interface; the cached value follows the
    // daemon's signal, and a failure puts the old value back out.
    void setNameDisplayEnabled(bool value)
    {
        if (value == displayEnabled)
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QLatin1String(busName(Bus::NetworkCell).service), QLatin1String(busName(Bus::NetworkCell).path),
            QLatin1String(PropertiesInterface), QStringLiteral("Set"));
        call.setArguments({QLatin1String(busName(Bus::NetworkCell).interface), QLatin1String(NameDisplay),
                           QVariant::fromValue(QDBusVariant(value))});
        operate<>(call, this, [] {}, [this](const QDBusError &error) {
            if (!isNotSent(error))
                logError(error);
            emit q_ptr->cellNameDisplayEnabledChanged(displayEnabled);
        });
    }

    NetworkCell *q_ptr;
    DBusIface *proxy = nullptr;
    int id = 0;
    int lac = 0;
    NetworkCell::Type type = NetworkCell::UnknownType;
    NetworkCell::Services services;
    QString name;
    bool displayEnabled = false;

private:
    Q_DECLARE_PUBLIC(NetworkCell)
};

NetworkCell::NetworkCell(QObject *parent)
    : QObject(parent)
    , d(new NetworkCellPrivate(this))
{
    once([] {
        qRegisterMetaType<NetworkCell::Type>("NetworkCell::Type");
        qRegisterMetaType<NetworkCell::Services>("NetworkCell::Services");
    });
}

NetworkCell::~NetworkCell() = default;

int NetworkCell::id() const { return d->id; }
int NetworkCell::lac() const { return d->lac; }
NetworkCell::Type NetworkCell::type() const { return d->type; }
NetworkCell::Services NetworkCell::services() const { return d->services; }
QString NetworkCell::name() const { return d->name; }
bool NetworkCell::nameDisplayEnabled() const { return d->displayEnabled; }
void NetworkCell::setNameDisplayEnabled(bool enabled) { d->setNameDisplayEnabled(enabled); }
bool NetworkCell::isValid() const { return allValid({d->proxy}); }

} // namespace Ondrix
