// The worker over a TCP link that goes away: an analyzer that closes its connections, one that is
// killed and started again, one that stops answering while the operator pauses.

#include "RecordingView.h"
#include "SilenceProxy.h"
#include "SimProcess.h"
#include "WorkerHarness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;

bool waitUntil(const std::function<bool()> &pred, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!pred()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Holds the view's display step of one row until the analyzer has been killed, so the request for the
// next record goes out to a dead analyzer.
class KillAfterRow
{
  public:
    KillAfterRow(RecordingView &view, int row)
    {
        view.setAfterShow([this, row](const RecordingView::Shown &record) {
            if (record.row != row)
                return;
            std::unique_lock lock(mutex);
            reached = true;
            changed.notify_all();
            changed.wait(lock, [&] { return killed; });
        });
    }

    // Waits for the row to be shown, kills the analyzer and lets the download go on.
    bool killWhenReached(SimProcess &sim, std::chrono::milliseconds timeout)
    {
        {
            std::unique_lock lock(mutex);
            if (!changed.wait_for(lock, timeout, [&] { return reached; }))
                return false;
        }
        sim.kill();
        {
            std::lock_guard lock(mutex);
            killed = true;
        }
        changed.notify_all();
        return true;
    }

  private:
    std::mutex mutex;
    std::condition_variable changed;
    bool reached = false, killed = false;
};

using LinkLoss = WorkerOnSim;

// Every transaction of a connection, each on a link the analyzer closed after its previous reply.
TEST_F(LinkLoss, TransactionsGoOnOverALinkTheAnalyzerClosed)
{
    ASSERT_TRUE(startSim(Transport::Tcp, {"--close-every", "1"}));
    useTcp(worker, sim.tcpPort());
    ASSERT_TRUE(worker.connect());
    EXPECT_TRUE(worker.readDeviceId()) << worker.lastError();
    EXPECT_EQ(worker.identity().model, "KTR-58-168");
    std::vector<std::string> names(kParameterCount);
    EXPECT_TRUE(worker.readConfiguration(168, names));
    EXPECT_TRUE(worker.readAreaCounts());
    EXPECT_EQ(worker.recordCount(1), 1000);
    EXPECT_TRUE(worker.writeConfiguration());
    EXPECT_TRUE(worker.isConnected());

    // A link the window closed stays closed.
    worker.closeLink(LinkMode::Tcp);
    EXPECT_FALSE(worker.readAreaCounts());
    EXPECT_FALSE(worker.isConnected());
}

TEST_F(LinkLoss, DownloadGoesOnOverTheConnectionsAnAnalyzerKeepsClosing)
{
    const std::vector<std::string> args = {"--records", recordCounts({40}), "--close-every", "3"};
    ASSERT_TRUE(startAndConnect(Transport::Tcp, args));
    startDownload(worker, {0});
    ASSERT_TRUE(waitCompleted(view, worker, 1, 20s));
    // One pass, no record given up on.
    EXPECT_EQ(positions(view), sectorPositions(0, 40));
    for (const auto &record : view.shown())
        EXPECT_EQ(record.errorText, "");
    EXPECT_EQ(view.shown().back().recordNo, predictRecord(worker, 0, 39, args).recordNo);
}

// The analyzer vanishes for longer than the worker's pause between two tries of a record, then comes
// back on the same port: the download carries on where it was, in the same pass.
TEST_F(LinkLoss, DownloadResumesWhenAKilledAnalyzerIsBack)
{
    const std::vector<std::string> args = {"--records", recordCounts({60}), "--seed", "5"};
    ASSERT_TRUE(startAndConnect(Transport::Tcp, args));

    KillAfterRow gate(view, 20); // record 21 goes out to a dead analyzer
    startDownload(worker, {0});
    ASSERT_TRUE(gate.killWhenReached(sim, 10s));
    // The reconnect is refused: the master is closed.
    ASSERT_TRUE(waitUntil([&] { return !worker.isConnected(); }, 10s));
    // Down for longer than the second try of a record is away.
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(view.shownCount(), 20u);
    ASSERT_TRUE(sim.restart()) << sim.error();

    ASSERT_TRUE(waitCompleted(view, worker, 1, 20s));
    EXPECT_EQ(positions(view), sectorPositions(0, 60)); // each record once, no second pass
    EXPECT_EQ(view.shown()[20].errorText, "TCP/IP connection error");
    EXPECT_EQ(view.shown().back().recordNo, predictRecord(worker, 0, 59, args).recordNo);
}

// The serial line's far end goes away (an adapter unplugged, the analyzer's pseudo-terminal closed)
// and comes back under the same name: the port is opened again and the download carries on.
TEST_F(LinkLoss, SerialDownloadResumesWhenTheLineIsBack)
{
    const std::vector<std::string> args = {"--records", recordCounts({40}), "--baud", "38400"};
    ASSERT_TRUE(startAndConnect(Transport::Rtu, args, 100));

    KillAfterRow gate(view, 10);
    startDownload(worker, {0});
    ASSERT_TRUE(gate.killWhenReached(sim, 10s));
    ASSERT_TRUE(waitUntil([&] { return !worker.isConnected(); }, 10s)); // the port is gone
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(view.shownCount(), 10u);
    ASSERT_TRUE(sim.restart()) << sim.error();

    ASSERT_TRUE(waitCompleted(view, worker, 1, 20s));
    EXPECT_EQ(positions(view), sectorPositions(0, 40));
    // And the transactions of a new Connect go over the port opened again.
    std::vector<std::string> names(kParameterCount);
    EXPECT_TRUE(worker.readConfiguration(168, names));
}

// A pause while the analyzer has stopped answering holds once the request on the wire has used up its
// tries; nothing goes out after that until the operator resumes.
TEST_F(LinkLoss, PauseHoldsWithinOneRequestsTriesWhenTheAnalyzerIsSilent)
{
    constexpr int timeoutMs = 200;
    constexpr int retries = 5;
    ASSERT_TRUE(startSim(Transport::Tcp, {"--records", recordCounts({40})}));
    SilenceProxy proxy(sim.tcpPort());
    ASSERT_TRUE(connectWorker(Transport::Tcp, timeoutMs, proxy.port()));
    view.setAfterShow([&](const RecordingView::Shown &record) {
        if (record.row == 10)
            proxy.setSilent(true);
    });
    startDownload(worker, {0});
    ASSERT_TRUE(view.waitForShown(10, 10s));
    ASSERT_TRUE(proxy.waitRequestsAbove(3 + 10, 10s)); // record 11 is on the wire, unanswered

    const Clock::time_point pausedAt = Clock::now();
    worker.suspend();
    worker.isConnected(); // waits for the link: the request in flight ends first
    const long long holdMs = msSince(pausedAt);
    std::printf("pause held after %lld ms (time-out %d ms, %d retries)\n", holdMs, timeoutMs, retries);
    EXPECT_LE(holdMs, (retries + 1) * timeoutMs + 2000);

    const int sent = proxy.requests();
    EXPECT_FALSE(proxy.waitRequestsAbove(sent, 1500ms)); // longer than the pause between two tries
    EXPECT_EQ(view.shownCount(), 10u);

    proxy.setSilent(false);
    view.runOnUi([&] { worker.resume(); });
    ASSERT_TRUE(waitCompleted(view, worker, 1, 20s));
    EXPECT_EQ(positions(view), sectorPositions(0, 40));
}

} // namespace
