#include "LoopbackPeers.h"
#include "RecordingView.h"
#include "ScriptedTcpSlave.h"
#include "SimProcess.h"
#include "WorkerHarness.h"
#include "WorkerTestSeam.h"

#include "modbus/ModbusFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

namespace
{

using Faults = WorkerOnSim;
class FaultsOnEitherLink : public WorkerOnSim, public testing::WithParamInterface<Transport>
{
};

TEST_P(FaultsOnEitherLink, DroppedAndCorruptRepliesStillDeliverEveryRecordOnce)
{
    const bool rtu = GetParam() == Transport::Rtu;
    const std::vector<std::string> args = {
        "--records", recordCounts({25}), "--seed", "3", "--corrupt", "0.15", "--drop", rtu ? "0.02" : "0.15"};
    ASSERT_TRUE(startAndConnect(GetParam(), args, 100));
    startDownload(worker, {0});
    ASSERT_TRUE(waitCompleted(view, worker, 1, 30s));
    // Should a record fail all attempts, its pass ends short and a new one starts at row 1.
    auto shown = view.shown();
    const size_t lastPass = shown.size() - 25;
    for (size_t i = 0; i < 25; ++i) {
        EXPECT_EQ(shown[lastPass + i].row, static_cast<int>(i + 1));
        EXPECT_EQ(shown[lastPass + i].positionText, positionOf(0, static_cast<int>(i)));
        EXPECT_EQ(shown[lastPass + i].recordNo, predictRecord(worker, 0, static_cast<int>(i), args).recordNo);
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, FaultsOnEitherLink, testing::Values(Transport::Tcp, Transport::Rtu),
                         transportName);

TEST_F(Faults, MissingRecordRepeatsPassesUntilPaused)
{
    ASSERT_TRUE(
        startAndConnect(Transport::Tcp, {"--records", recordCounts({3, 2}), "--missing", "0:1"}, 100));
    startDownload(worker, {0});

    // Two passes: record 1 is skipped each time, so the counter never reaches 3.
    ASSERT_TRUE(view.waitForShown(4, 10s));
    worker.suspend();
    const auto shown = view.shown();
    EXPECT_EQ(shown[0].positionText, "00-0000");
    EXPECT_EQ(shown[1].positionText, "00-0002");
    EXPECT_EQ(shown[1].row, 2);
    EXPECT_EQ(shown[1].errorText, "Illegal Data Address exception response");
    EXPECT_EQ(shown[2].positionText, "00-0000");
    EXPECT_EQ(shown[2].row, 1);
    EXPECT_EQ(view.completions(), 0);
    EXPECT_FALSE(worker.completed());
    EXPECT_EQ(worker.lastError(), "Illegal Data Address exception response");
    // Reported missing once a pass, after its retry, before the records after it.
    const auto missing = view.missing();
    ASSERT_FALSE(missing.empty());
    EXPECT_TRUE(std::all_of(missing.begin(), missing.end(), [](auto m) { return m == std::pair(0, 1); }));
    EXPECT_LE(missing.size(), 2u);

    // The way out: another selection starts a new pass from its first record.
    view.runOnUi([&] {
        worker.restartPass();
        startDownload(worker, {1});
    });
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    const auto after = view.shown();
    const std::vector<RecordingView::Shown> last(after.end() - 2, after.end());
    EXPECT_EQ(last[0].positionText, "01-0000");
    EXPECT_EQ(last[0].row, 1);
    EXPECT_EQ(last[1].positionText, "01-0001");
    EXPECT_EQ(view.rowCount(), 2 + 2);
}

TEST_F(Faults, PauseBetweenRecordsLosesAndRepeatsNothing)
{
    ASSERT_TRUE(startAndConnect(Transport::Tcp, {"--records", recordCounts({8})}));
    view.setAfterShow([&](const RecordingView::Shown &record) {
        if (record.row == 3)
            worker.suspend(); // the operator switches off while record 3 is on screen
    });
    startDownload(worker, {0});
    ASSERT_TRUE(view.waitForShown(3, 10s));
    EXPECT_FALSE(view.waitForShown(4, 300ms)); // nothing goes out while paused
    EXPECT_TRUE(worker.suspended());
    EXPECT_EQ(worker.recordsShown(), 3);

    view.setAfterShow(nullptr);
    view.runOnUi([&] { worker.resume(); });
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    EXPECT_EQ(positions(view), sectorPositions(0, 8));
}

TEST_F(Faults, PauseDuringARequestLetsThatRecordFinish)
{
    ASSERT_TRUE(startSim(Transport::Tcp, {"--records", recordCounts({6})}));
    GatedProxy proxy(sim.tcpPort());
    ASSERT_TRUE(connectWorker(Transport::Tcp, 1000, proxy.port())); // requests 1 to 3
    proxy.holdRequest(3 + 3);                                       // record 2 of sector 1

    startDownload(worker, {0});
    ASSERT_TRUE(proxy.waitHeld(10s));
    worker.suspend();
    proxy.release();
    ASSERT_TRUE(view.waitForShown(3, 10s));
    EXPECT_FALSE(view.waitForShown(4, 300ms));
    EXPECT_EQ(positions(view), sectorPositions(0, 3));

    worker.resume();
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    EXPECT_EQ(positions(view), sectorPositions(0, 6));
}

// The window ends a paused download (Connect, Apply) while its record is on the wire: it waits for
// that request, and the record never reaches the grid of the next download.
TEST_F(Faults, RecordInFlightOfAnEndedPassIsDropped)
{
    ASSERT_TRUE(startSim(Transport::Tcp, {"--records", recordCounts({2, 1})}));
    GatedProxy proxy(sim.tcpPort());
    ASSERT_TRUE(connectWorker(Transport::Tcp, 5000, proxy.port())); // requests 1 to 3
    proxy.holdRequest(3 + 1);

    startDownload(worker, {0});
    ASSERT_TRUE(proxy.waitHeld(10s));
    view.runOnUi([&] {
        worker.suspend();
        worker.endDownload();
    });
    auto idle = std::async(std::launch::async, [&] { worker.waitForNoRequest(); });
    EXPECT_EQ(idle.wait_for(100ms), std::future_status::timeout);
    EXPECT_TRUE(worker.requestInFlight());
    proxy.release();
    ASSERT_EQ(idle.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(worker.requestInFlight());

    view.runOnUi([&] { startDownload(worker, {1}); });
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    EXPECT_EQ(positions(view), sectorPositions(1, 1));
    EXPECT_EQ(view.shown()[0].row, 1);
}

// A record that failed waits a second before its retry; a new selection made meanwhile must not get
// the old record in its first row (with one record to read, a completion from the wrong area).
TEST(EndedPass, RetryAfterAFailedRecordAsksNothingOfAnEndedPass)
{
    ScriptedTcpSlave slave([](int n, const std::vector<uint8_t> &request) {
        if (n == 0)
            return ScriptedTcpSlave::Reply{mbapReply(1, {0x80 | modbus::ReadFileRecord, 2})};
        modbus::RecordRequest asked;
        modbus::parseRecordRequest(request.data() + 8, request.size() - 8, asked);
        std::vector<uint8_t> pdu(1 + kRecordReplyLength, 0);
        pdu[0] = modbus::ReadFileRecord;
        pdu[5] = static_cast<uint8_t>(asked.record + 1);
        return ScriptedTcpSlave::Reply{mbapReply(1, pdu)};
    });
    comThread worker;
    RecordingView view(worker);
    useTcp(worker, slave.port());
    ASSERT_TRUE(worker.connect());
    worker.setView(&view);
    WorkerTestSeam::setRecordCount(worker, 0, 1);
    WorkerTestSeam::setRecordCount(worker, 3, 1);
    startDownload(worker, {0});
    ASSERT_TRUE(view.waitFor(
        [&] {
            return view.status(WorkerView::StatusPanel::Message) == "Illegal Data Address exception response";
        },
        10s));
    view.runOnUi([&] {
        worker.suspend();
        worker.restartPass();
        startDownload(worker, {3});
    });
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    EXPECT_EQ(positions(view), sectorPositions(3, 1));
    const auto requests = slave.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1][8 + 3], 3); // the second request is area 3's
}

TEST_F(Faults, RepeatedPauseOrResumeChangesNothing)
{
    ASSERT_TRUE(startAndConnect(Transport::Tcp, {"--records", recordCounts({4})}));
    EXPECT_TRUE(worker.suspended());
    worker.suspend();
    startDownload(worker, {0});
    worker.resume();
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    worker.suspend();
    worker.suspend();
    EXPECT_TRUE(worker.suspended());
    EXPECT_EQ(positions(view), sectorPositions(0, 4));
}

TEST(Shutdown, StopReleasesAWorkerWaitingForTheUi)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--records", recordCounts({5})})) << sim.error();
    comThread worker;
    RecordingView view(worker);
    useTcp(worker, sim.tcpPort());
    ASSERT_TRUE(connectAndConfigure(worker));
    worker.setView(&view);

    // The UI thread is busy; the first record's hand-over queues behind it.
    std::mutex busy;
    std::unique_lock hold(busy);
    std::promise<void> busyRunning;
    view.post([&] {
        busyRunning.set_value();
        std::lock_guard wait(busy);
    });
    ASSERT_EQ(busyRunning.get_future().wait_for(10s), std::future_status::ready);
    startDownload(worker, {0});
    ASSERT_TRUE(view.waitFor([&] { return view.queuedJobs() == 1; }, 10s));
    worker.stop();
    EXPECT_FALSE(worker.isConnected());
    hold.unlock(); // the queued hand-over now runs and must do nothing
    view.runOnUi([] {});
    EXPECT_TRUE(view.shown().empty());
}

TEST(Shutdown, StopEndsASuspendedDownloadForGood)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--records", recordCounts({50})})) << sim.error();
    comThread worker;
    RecordingView view(worker, RecordingView::Jobs::Inline);
    useTcp(worker, sim.tcpPort());
    ASSERT_TRUE(connectAndConfigure(worker));
    worker.setView(&view);
    view.setAfterShow([&](const RecordingView::Shown &record) {
        if (record.row == 2)
            worker.suspend();
    });
    startDownload(worker, {0});
    ASSERT_TRUE(view.waitForShown(2, 10s));
    worker.stop();
    EXPECT_EQ(view.shown().size(), 2u);
    worker.resume(); // a stopped worker stays stopped
    EXPECT_EQ(view.shown().size(), 2u);
}

} // namespace
