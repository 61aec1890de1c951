// Long downloads of all fifteen sectors through the main window from an analyzer on a bad link: lost
// and corrupted replies, a slow analyzer and, over TCP, connections that it closes. The completed
// download holds every record exactly once, and its CSV file is byte for byte the one a fault-free
// download of the same analyzer gives.
//
// PULLREC_SOAK_RECORDS and PULLREC_SOAK_PTY_RECORDS set the records per sector (TCP and serial).

#include "ReliabilityHarness.h"

using namespace reliability;

namespace
{

// The records per sector when the environment does not say.
#ifndef SOAK_TCP_RECORDS
#define SOAK_TCP_RECORDS 1000
#endif
#ifndef SOAK_PTY_RECORDS
#define SOAK_PTY_RECORDS 1000
#endif

constexpr int kTimeoutMs = 100;
constexpr int kDownloadBoundMs = 12 * 60 * 1000;

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

    struct Outcome {
        bool completed = false;
        qint64 ms = 0;
        QString check; // empty when the grid holds every record once
        QByteArray csv;
    };

    std::unique_ptr<ScratchDir> scratch;

    // Connects the window to the simulator, selects all sectors, downloads them and saves the grid.
    Outcome downloadAll(const SimProcess &sim, int count, const std::vector<std::string> &simArgs,
                        const QString &fileName)
    {
        Outcome out;
        const bool tcp = sim.tcpPort() != 0;
        Settings s;
        s.mode = tcp ? 0 : 1;
        s.pollDelay = 0;
        s.timeout = kTimeoutMs;
        auto form = openWindow(s);
        if (!form)
            return out;
        if (tcp) {
            connectTcp(*form, sim.tcpPort());
        } else {
            setTimings(*form, kTimeoutMs, 0);
            connectRtuAt(*form, sim.ptyPath(), QStringLiteral("38400"));
        }
        if (!form->BitBtn3->isEnabled())
            return out;
        form->d1->trigger(); // Select All
        QElapsedTimer clock;
        clock.start();
        clickSwitch(*form);
        out.completed = runUntil([&] { return !form->iSwitchLed1->isActive() && form->worker->completed(); },
                                 kDownloadBoundMs);
        out.ms = clock.elapsed();
        if (!out.completed)
            return out;
        out.check = checkFifteenSectors(*form, count, simArgs);
        out.csv = saveGrid(*form, fileName);
        return out;
    }

    void soak(bool tcp, int count)
    {
        const QString logPath = scratch->path() + QStringLiteral("/sim.log");
        std::vector<std::string> clean = {"--records", fifteenSectors(count), "--seed", "7"};
        if (!tcp)
            clean.insert(clean.end(), {"--baud", "38400"});
        std::vector<std::string> faulty = clean;
        faulty.insert(faulty.end(), {"--drop", "0.05", "--corrupt", "0.05", "--delay", "1", "--log",
                                     logPath.toStdString()});
        if (tcp)
            faulty.insert(faulty.end(), {"--close-every", "20"});

        SimProcess sim;
        QVERIFY2(tcp ? sim.startTcp(faulty) : sim.startPty(faulty), sim.error().c_str());
        const Outcome bad = downloadAll(sim, count, clean, QStringLiteral("faulty.csv"));
        const long peakKb = peakResidentKb();
        sim.stop();
        const SimLog log = readSimLog(logPath);
        QVERIFY2(bad.completed, "the download with faults did not complete");
        QVERIFY2(bad.check.isEmpty(), qPrintable(bad.check));
        QVERIFY(!bad.csv.isEmpty());

        QVERIFY2(tcp ? sim.startTcp(clean) : sim.startPty(clean), sim.error().c_str());
        const Outcome good = downloadAll(sim, count, clean, QStringLiteral("clean.csv"));
        sim.stop();
        QVERIFY(good.completed);
        QVERIFY2(good.check.isEmpty(), qPrintable(good.check));
        QVERIFY(bad.csv == good.csv);

        qInfo("%s soak: %d records, %d requests; faults injected and survived: %d replies dropped, %d "
              "corrupted, %d connections closed; records lost: 0; peak memory %ld KiB; download %.1f s "
              "(fault-free %.1f s)",
              tcp ? "TCP" : "pty", 15 * count, log.requests, log.dropped, log.corrupted, log.closed, peakKb,
              bad.ms / 1000.0, good.ms / 1000.0);
        QVERIFY(log.dropped > 0 && log.corrupted > 0);
    }

  private slots:
    void init() { scratch = std::make_unique<ScratchDir>(); }
    void cleanup()
    {
        scratch.reset();
        settingsfile::remove();
    }

    void tcpWithFaults() { soak(true, envInt("PULLREC_SOAK_RECORDS", SOAK_TCP_RECORDS)); }
    void ptyWithFaults() { soak(false, envInt("PULLREC_SOAK_PTY_RECORDS", SOAK_PTY_RECORDS)); }
};

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
