// SPDX-License-Identifier: LGPL-2.1-or-later
// The SIM's SMS parameters record.

#include "modem.h"
#include "simulator.h"

namespace {

class SmsSim : public ModemService
{
public:
    SmsSim(Simulator *sim, ModemEvents *events)
        : ModemService(sim, events, "com.kelvo.hvt.SMS", "/com/kelvo/hvt/sms", "com.kelvo.hvt.SMS.SIM")
    {
    }

    // The record of the SIM: which parameters are present, and their values.
    void reset() override
    {
        setDefaults({
            {QStringLiteral("ParameterIndicators"), QVariant::fromValue(uchar(0xFD))},
            {QStringLiteral("DestinationAddress"), QString()},
            {QStringLiteral("ProtocolIdentifier"), QVariant::fromValue(uchar(0))},
            {QStringLiteral("DataCodingScheme"), QVariant::fromValue(uchar(0))},
            {QStringLiteral("ValidityPeriod"), QVariant::fromValue(uchar(0xA7))},
            {QStringLiteral("ServiceCentreAddress"), QStringLiteral("+358405202000")},
            {QStringLiteral("ServiceCentreType"), uint(0x91)},
            {QStringLiteral("Status"), 0},
        });
    }

    bool call(const QDBusMessage &message) override
    {
        if (message.member() != QLatin1String("GetParameters"))
            return false;
        if (signatureOf(message) != QLatin1String("y")) {
            sim->replyError(message, QStringLiteral("com.kelvo.hvt.SMS.Error.InvalidArgs"),
                            QStringLiteral("GetParameters takes the record number (y)"));
            return true;
        }
        if (message.arguments().at(0).value<uchar>() != 1) {
            sim->replyError(message, QStringLiteral("com.kelvo.hvt.SMS.Error.NotFound"),
                            QStringLiteral("The SIM holds one parameter record"));
            return true;
        }
        // Indicators, destination, PID, DCS, validity, service centre, its type, status.
        QVariantList args;
        for (const char *key : {"ParameterIndicators", "DestinationAddress", "ProtocolIdentifier",
                                "DataCodingScheme", "ValidityPeriod", "ServiceCentreAddress",
                                "ServiceCentreType", "Status"})
            args << property(QLatin1String(key));
        sim->reply(message, args);
        return true;
    }
};

} // namespace

Service *createSmsSim(Simulator *sim, ModemEvents *events)
{
    return new SmsSim(sim, events);
}
