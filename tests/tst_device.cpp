// SPDX-License-Identifier: LGPL-2.1-or-later
// Emergency numbers, call timers and device facts against the simulated modem.

#include <ondrix-qt/calltimers.h>
#include <ondrix-qt/emergencynumbers.h>
#include <ondrix-qt/phoneinfo.h>

#include "simbench.h"

#include <QtDBus/QDBusMetaType>
#include <QtTest>

using namespace Ondrix;

namespace {
const QString Call = QStringLiteral("com.kelvo.hvt.Call");
const QString Info = QStringLiteral("com.kelvo.hvt.Info");

QVariantMap replyWith(const QVariantList &args)
{
    return {{QStringLiteral("reply"), args}};
}
}

class TestDevice : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void emergencyNumbersWithAndWithoutSim()
    {
        EmergencyNumbers numbers;
        QVERIFY(numbers.isValid());
        QCOMPARE(numbers.numbers(), (QStringList{"112", "911", "10022"}));
        const EmergencyNumbers::EmergencyNumbersList list = numbers.numbersWithInfo();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[2].firstValue, 1u);
        QCOMPARE(list[2].secondValue, 1u);

        bench.setProperty(QStringLiteral("com.kelvo.hvt.SIM"), QStringLiteral("Present"), false);
        QCOMPARE(numbers.numbers(), (QStringList{"112", "911", "000", "08", "110", "118", "119", "999"}));
    }

    // Anything but a(suu) is no list at all.
    void emergencyNumbersOfTheWrongType()
    {
        qDBusRegisterMetaType<QList<QStringList>>();
        bench.script(Call, QStringLiteral("GetEmergencyNumbers"),
                     replyWith({QVariant::fromValue(QList<QStringList>{{"112"}})}));
        bench.script(Call, QStringLiteral("GetEmergencyNumbers"), replyWith({QStringLiteral("112")}));
        EmergencyNumbers numbers;
        QVERIFY(numbers.numbersWithInfo().isEmpty());
        QVERIFY(numbers.numbers().isEmpty());
    }

    void callTimers()
    {
        CallTimers timers;
        bench.script(Call, QStringLiteral("GetCallTimers"), replyWith({5u, 100u, 200u, 300u}));
        CallTimers::CallTimersInfo info = timers.timers();
        QCOMPARE((QList<uint>{info.last, info.dialled, info.received, info.total}), (QList<uint>{5, 100, 200, 300}));
        // Four arguments, each converted (one that does not gives 0); any other count gives zeros. The
        // query takes what the getter takes.
        QSignalSpy queried(&timers, &CallTimers::timersQueryCompleted);
        const QVariantList replies[] = {{1u, QStringLiteral("2"), 3, QStringLiteral("x")}, {1u, 2u, 3u}, {1u, 2u, 3u, 4u, 5u}};
        for (const QVariantList &args : replies) {
            bench.script(Call, QStringLiteral("GetCallTimers"), replyWith(args));
            bench.script(Call, QStringLiteral("GetCallTimers"), replyWith(args));
            info = timers.timers();
            timers.queryTimers();
            QTRY_COMPARE(queried.size(), 1);
            const auto asked = queried.takeFirst();
            const auto queriedInfo = asked[0].value<CallTimers::CallTimersInfo>();
            QCOMPARE((QList<uint>{info.last, info.dialled, info.received, info.total}),
                     (args.size() == 4 ? QList<uint>{1, 2, 3, 0} : QList<uint>{0, 0, 0, 0}));
            QCOMPARE(queriedInfo.dialled, info.dialled);
            QCOMPARE(asked[1].toBool(), args.size() == 4);
        }

        QSignalSpy updates(&timers, &CallTimers::timersUpdated);
        bench.emitSignal(Call, QStringLiteral("CallTimers"), {1u, 2u, 3u, 4u});
        QTRY_COMPARE(updates.size(), 1);
        info = updates[0][0].value<CallTimers::CallTimersInfo>();
        QCOMPARE((QList<uint>{info.last, info.dialled, info.received, info.total}), (QList<uint>{1, 2, 3, 4}));

        timers.setCallUpdateTime(0);
        QCOMPARE(bench.wire().filter("SetCallUpdateTime"), QStringList{"SetCallUpdateTime(u) 0"});
        timers.setCallUpdateTime(3);
        QCOMPARE(timers.callUpdateTime(), 3u);
        timers.clearTimers();
        QCOMPARE(timers.timers().total, 0u);
    }

    // A simulated call: the timers run and are announced as they change.
    void timersRunDuringACall()
    {
        CallTimers timers;
        QSignalSpy updates(&timers, &CallTimers::timersUpdated);
        bench.setProperty(Call, QStringLiteral("InCall"), true);
        QTRY_VERIFY_WITH_TIMEOUT(updates.size() >= 1, 3000);
        bench.setProperty(Call, QStringLiteral("InCall"), false);
        QTRY_VERIFY(updates.size() >= 2);
        const CallTimers::CallTimersInfo last = updates.last()[0].value<CallTimers::CallTimersInfo>();
        QVERIFY(last.last >= 1);
        QCOMPARE(last.dialled, last.total);
        QCOMPARE(timers.timers().total, last.total);
    }

    void phoneInfo()
    {
        PhoneInfo info;
        QCOMPARE(info.imeiNumber(), QStringLiteral("356938035643809"));
        QCOMPARE(info.mcuSWVersion(), QStringLiteral("ONDRIX-MCU 2.4.1"));
        QCOMPARE(info.dspSWVersion(), QStringLiteral("ONDRIX-DSP 1.9.0"));
        QCOMPARE(info.hsxpaSetting(), PhoneInfo::SettingEnabled);
        bench.setProperty(Info, QStringLiteral("HSXPASetting"), false);
        QCOMPARE(info.hsxpaSetting(), PhoneInfo::SettingDisabled);
        bench.setProperty(Info, QStringLiteral("IMEINumber"), QString());
        QVERIFY(!info.imeiNumber().isNull());
        QVERIFY(info.imeiNumber().isEmpty());
        bench.script(Info, QStringLiteral("GetIMEINumber"), replyWith({7}));
        QVERIFY(info.imeiNumber().isNull());
        bench.script(Info, QStringLiteral("GetHSXPASetting"), replyWith({QStringLiteral("true")}));
        QCOMPARE(info.hsxpaSetting(), PhoneInfo::SettingUnknown);
    }

    void daemonAbsent()
    {
        bench.releaseNames();
        EmergencyNumbers numbers;
        CallTimers timers;
        PhoneInfo info;
        QVERIFY(!numbers.isValid() && !timers.isValid() && !info.isValid());
        QVERIFY(numbers.numbers().isEmpty());
        QCOMPARE(timers.callUpdateTime(), 0u);
        QCOMPARE(timers.timers().total, 0u);
        QVERIFY(info.imeiNumber().isNull());
        QCOMPARE(info.hsxpaSetting(), PhoneInfo::SettingUnknown);
        QVERIFY(SimBench::log().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
