// SPDX-License-Identifier: LGPL-2.1-or-later
// Every public class against a hostile daemon: garbled replies and signals,
// errors of any name, delays, silence, names that come and go. Nothing may
// crash or leak, every operation started must complete exactly once, and Qt
// must not be made to warn.
//
// ONDRIX_CHAOS_SEED chooses the seed (printed on failure), ONDRIX_CHAOS_EVENTS
// how many events the daemon makes (1500 by default).

#include "simbench.h"
#include "workload.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <cstdio>

using namespace Ondrix;

namespace {

int warnings = 0;
QtMessageHandler chained = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    // The library's debug lines are expected by the hundred; only warnings count.
    if (type == QtDebugMsg)
        return;
    // QtDBus's own book of name owners lags behind names that flap within
    // milliseconds; it says so and corrects itself.
    static const QRegularExpression ownerLag(QStringLiteral("^QDBusConnection: name '.*' had owner"));
    if ((type == QtWarningMsg || type == QtCriticalMsg) && !ownerLag.match(text).hasMatch())
        warnings++;
    chained(type, context, text);
}

uint fromEnvironment(const char *name, uint fallback)
{
    bool ok = false;
    const uint value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : fallback;
}

} // namespace

class TestChaos : public SimTestCase
{
    Q_OBJECT

    QRandomGenerator random;

private Q_SLOTS:
    void everyClassSurvivesAHostileDaemon()
    {
        const uint seed = fromEnvironment("ONDRIX_CHAOS_SEED", QRandomGenerator::global()->generate());
        const uint target = fromEnvironment("ONDRIX_CHAOS_EVENTS", 1500);
        struct Report {
            uint seed;
            ~Report()
            {
                if (QTest::currentTestFailed())
                    fprintf(stderr, "chaos: failed with ONDRIX_CHAOS_SEED=%u\n", seed);
            }
        } report{seed};
        random.seed(seed);
        chained = qInstallMessageHandler(countWarnings);

        Workload workload(random);
        bench.setChaos(true, seed);
        QElapsedTimer clock;
        clock.start();
        uint events = 0;
        // The daemon makes well over 50 events a second; the bound only stops a run whose daemon died.
        for (int round = 0; events < target && clock.elapsed() < qint64(target) * 20; round++) {
            workload.round(round);
            events = bench.chaosEvents();
        }
        QVERIFY2(events >= target, "the daemon stopped making events");
        qInfo("chaos: %u events in %lld ms, seed %u; %s", events, clock.elapsed(), seed, qPrintable(workload.text()));

        // Held and delayed calls are answered now: every operation completes,
        // and what the daemon sent so far, delivered, completes none twice.
        bench.setChaos(false);
        QTRY_VERIFY2_WITH_TIMEOUT(workload.settled(), qPrintable(workload.text()), 30000);
        QVERIFY(bench.flush());
        QVERIFY2(workload.settled(), qPrintable(workload.text()));
        QCOMPARE(warnings, 0);
        qInstallMessageHandler(chained);
    }
};

QTEST_GUILESS_MAIN(TestChaos)
#include "tst_chaos.moc"
