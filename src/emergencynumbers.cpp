// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ondrix-qt/emergencynumbers.h"

#include "frame.h"

#include <QtDBus/QDBusMetaType>

namespace Ondrix {

using namespace Frame;

QDBusArgument &operator<<(QDBusArgument &argument, const EmergencyNumbers::EmergencyNumberInfo &info)
{
    argument.beginStructure();
    argument << info.number << info.firstValue << info.secondValue;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, EmergencyNumbers::EmergencyNumberInfo &info)
{
    argument.beginStructure();
    argument >> info.number >> info.firstValue >> info.secondValue;
    argument.endStructure();
    return argument;
}

class EmergencyNumbersPrivate : public ServicePrivate<EmergencyNumbers>
{
    using ServicePrivate::ServicePrivate;
};

EmergencyNumbers::EmergencyNumbers(QObject *parent)
    : QObject(parent)
    , d(new EmergencyNumbersPrivate(this, {Bus::Call}))
{
}

EmergencyNumbers::~EmergencyNumbers() = default;

bool EmergencyNumbers::isValid() const { return d->isValid(); }

EmergencyNumbers::EmergencyNumbersList EmergencyNumbers::numbersWithInfo() const
{
    return askValue<EmergencyNumbersList>(d->proxy(), Method::CallGetEmergencyNumbers, {});
}

QStringList EmergencyNumbers::numbers() const
{
    QStringList list;
    for (const EmergencyNumberInfo &info : numbersWithInfo())
        list << info.number;
    return list;
}

} // namespace Ondrix
