// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_DBUSIFACE_H
#define ONDRIX_DBUSIFACE_H

#include "ondrix_global.h"

#include <QtDBus/QDBusAbstractInterface>

namespace Ondrix {

/** @brief Proxy for one interface of a modem daemon.
 *
 * Service objects use it to learn whether the daemon is present (isValid())
 * and for blocking calls. */
class ONDRIX_EXPORT DBusIface : public QDBusAbstractInterface
{
    Q_OBJECT
public:
    /** A proxy of `interface` at `path` of `service` on `connection`. */
    DBusIface(const QString &service, const QString &path, const char *interface,
              const QDBusConnection &connection, QObject *parent);
    ~DBusIface() override;
};

} // namespace Ondrix

#endif
