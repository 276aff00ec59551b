// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/dbusiface.h"

namespace Ondrix {

DBusIface::DBusIface(const QString &service, const QString &path, const char *interface,
                     const QDBusConnection &connection, QObject *parent)
    : QDBusAbstractInterface(service, path, interface, connection, parent)
{
}

DBusIface::~DBusIface() = default;

} // namespace Ondrix
