// SPDX-License-Identifier: LGPL-2.1-or-later
// The shipped scenarios, played fast and watched through the library: the
// registrations, operators and signal levels they write arrive in order,
// and the ones that wait for the user answer as they say.

#include <ondrix-qt/networkoperator.h>
#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/signalstrength.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/supplementaryservices.h>

#include "simbench.h"

#include <QFile>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using Ondrix::NetworkOperator;
using Ondrix::NetworkRegistration;
using Ondrix::SignalStrength;
using Ondrix::SupplementaryServices;

namespace {

const double Speed = 100;

QString scenarioPath(const QString &name)
{
    return QStringLiteral(ONDRIX_SCENARIOS_DIR "/") + name + QStringLiteral(".scenario");
}

// What a scenario writes: its registrations (as statuses), the last network
// it names, and its signal levels, in order.
struct Written {
    QList<int> statuses;
    QStringList network;   // MCC, MNC, name
    QList<int> levels;
};

Written readScenario(const QString &path)
{
    static const QRegularExpression registration(
        QStringLiteral("^\\S+\\s+register\\s+(\\w+)(?:\\s+(\\d+)\\s+(\\d+)\\s+\"([^\"]*)\")?\\s*$"));
    static const QRegularExpression signal(QStringLiteral("^\\S+\\s+signal\\s+(-?\\d+)\\s*$"));
    const QMetaEnum statuses = QMetaEnum::fromType<NetworkRegistration::Status>();
    Written written;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return written;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        QRegularExpressionMatch match = registration.match(line);
        if (match.hasMatch()) {
            const QString text = match.captured(1) == QLatin1String("Home") ? QStringLiteral("AtHome") : match.captured(1);
            written.statuses << statuses.keyToValue(text.toLatin1().constData());
            if (!match.captured(2).isEmpty())
                written.network = QStringList{match.captured(2), match.captured(3), match.captured(4)};
        }
        match = signal.match(line);
        if (match.hasMatch())
            written.levels << match.captured(1).toInt();
    }
    return written;
}

// The changes a listener sees: no repeats, nothing equal to where it started.
QList<int> changesFrom(int start, const QList<int> &values)
{
    QList<int> changes;
    int last = start;
    for (int value : values) {
        if (value != last)
            changes << value;
        last = value;
    }
    return changes;
}

} // namespace

class TestScenarios : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void playsAsWritten_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"home", "roaming-abroad", "no-coverage", "pin-locked-sim", "weak-signal-drive",
                                 "busy-ussd"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void playsAsWritten()
    {
        QFETCH(QString, name);
        const Written written = readScenario(scenarioPath(name));
        NetworkRegistration registration;
        NetworkOperator networkOperator;
        SignalStrength strength(SignalStrength::DbmOption);
        QSignalSpy statuses(&registration, &NetworkRegistration::statusChanged);
        QSignalSpy levels(&strength, &SignalStrength::dbmChanged);
        QVERIFY(bench.flush());

        QCOMPARE(bench.playScenario(scenarioPath(name), Speed), QString());
        QVERIFY(bench.waitScenario());
        QVERIFY(bench.flush());

        QCOMPARE(firstArguments<int>(statuses), changesFrom(NetworkRegistration::AtHome, written.statuses));
        QCOMPARE(firstArguments<int>(levels), changesFrom(-75, written.levels));
        if (!written.network.isEmpty()) {
            QCOMPARE(networkOperator.mcc(), written.network[0]);
            QCOMPARE(networkOperator.mnc(), written.network[1]);
            QCOMPARE(networkOperator.name(), written.network[2]);
        }
    }

    // The card waits for its PIN; once it has it, the modem registers at home.
    void pinLockedSimRegistersAfterThePin()
    {
        using namespace Ondrix::SIM;
        QCOMPARE(bench.playScenario(scenarioPath(QStringLiteral("pin-locked-sim")), Speed), QString());
        QVERIFY(bench.waitScenario());
        NetworkRegistration registration;
        SIMStatus card;
        SIMSecurity security;
        QSignalSpy status(&card, &SIMStatus::statusComplete);
        card.status();
        QVERIFY(status.wait());
        QCOMPARE(status[0][0].value<SIMStatus::Status>(), SIMStatus::PINRequired);
        QCOMPARE(registration.status(), int(NetworkRegistration::NoSim));

        QSignalSpy registered(&registration, &NetworkRegistration::statusChanged);
        QSignalSpy verified(&security, &SIMSecurity::verifyPINComplete);
        security.verifyPIN(SIMSecurity::PIN, QStringLiteral("1234"));
        QVERIFY(verified.wait());
        QCOMPARE(verified[0][0].toBool(), true);
        QTRY_COMPARE(firstArguments<int>(registered),
                     QList<int>({NetworkRegistration::Searching, NetworkRegistration::AtHome}));
    }

    // While the network is busy USSD requests are refused; afterwards they are answered.
    void busyUssdNetworkRecovers()
    {
        SupplementaryServices services;
        QSignalSpy failed(&services, &SupplementaryServices::ussdError);
        QSignalSpy answered(&services, &SupplementaryServices::commandCompleted);
        QCOMPARE(bench.playScenario(scenarioPath(QStringLiteral("busy-ussd")), Speed), QString());
        services.sendCommand(QStringLiteral("*100#"));
        QVERIFY(bench.waitScenario());
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
        QCOMPARE(failed[0][1].value<SupplementaryServices::UssdError>(), SupplementaryServices::UssdNetworkBusy);

        services.sendCommand(QStringLiteral("*100#"));
        QVERIFY(answered.wait());
        QCOMPARE(failed.count(), 1);
        QVERIFY(answered[0][0].toString().contains(QLatin1String("EUR")));
    }
};

QTEST_GUILESS_MAIN(TestScenarios)
#include "tst_scenarios.moc"
