// The analyzer killed in the middle of a download and started again on the same port: the download
// goes on by itself once it is back, shows no record twice, and the window answers all the while.

#include "ReliabilityHarness.h"

#include <QTimer>

using namespace reliability;

class TestRestart : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScratchDir> scratch;

  private slots:
    void init() { scratch = std::make_unique<ScratchDir>(); }
    void cleanup()
    {
        scratch.reset();
        settingsfile::remove();
    }

    void killedAndStartedAgain()
    {
        constexpr int count = 300;
        const std::vector<std::string> args = {"--records", recordsArg({{0, count}}), "--seed", "11"};
        SimProcess sim;
        QVERIFY2(sim.startTcp(args), sim.error().c_str());
        Settings s;
        s.mode = 0;
        s.pollDelay = 0;
        s.timeout = 200;
        auto form = openWindow(s);
        QVERIFY(form);
        connectTcp(*form, sim.tcpPort());
        QVERIFY(form->BitBtn3->isEnabled());
        select(*form, {0});
        RecordWatch watch(*form);
        clickSwitch(*form);
        QTRY_VERIFY_WITH_TIMEOUT(watch.shown.size() >= 100, 30000);

        sim.kill();
        const size_t shownBefore = watch.shown.size();
        // While the analyzer is away the window goes on handling its events: a timer keeps firing.
        QElapsedTimer outage;
        outage.start();
        int ticks = 0;
        qint64 longestGap = 0, lastTick = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            ++ticks;
            longestGap = std::max(longestGap, outage.elapsed() - lastTick);
            lastTick = outage.elapsed();
        });
        timer.start(20);
        // Longer than the worker's pause between two tries of a record.
        QTRY_VERIFY_WITH_TIMEOUT(outage.elapsed() >= 2500, 10000);
        timer.stop();
        QVERIFY2(longestGap < 500, qPrintable(QStringLiteral("the window froze for %1 ms").arg(longestGap)));
        QVERIFY(ticks >= 50);
        QVERIFY(form->iSwitchLed1->isActive());
        QVERIFY(watch.shown.size() <= shownBefore + 1); // at most the record in flight at the kill
        QVERIFY(!form->worker->isConnected());

        QVERIFY2(sim.restart(), sim.error().c_str());
        QVERIFY(waitCompleted(*form, 60000));

        // Shown once each, in order, in one pass.
        QCOMPARE(int(watch.shown.size()), count);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(watch.shown[size_t(i)].row, i + 1);
            QCOMPARE(watch.shown[size_t(i)].position,
                     QStringLiteral("00-%1").arg(i, 4, 16, QLatin1Char('0')).toUpper());
        }
        QCOMPARE(statusText(*form, 3), QStringLiteral("TCP/IP connection error")); // why the records waited
        QCOMPARE(form->gridModel->rowCount(), count + 2);
        for (int i : {0, int(shownBefore) - 1, int(shownBefore), count - 1})
            QCOMPARE(gridRow(*form, i + 1, 31),
                     predictedRow(0, i, args, form->worker->configuration().paramCodes).mid(0, 31));
    }
};

QTEST_MAIN(TestRestart)
#include "tst_restart.moc"
