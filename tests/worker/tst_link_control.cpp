#include "PtyPair.h"
#include "RecordingView.h"
#include "ScriptedTcpSlave.h"
#include "SimProcess.h"
#include "WaitUntil.h"
#include "WorkerHarness.h"
#include "WorkerTestSeam.h"

#include <gtest/gtest.h>

namespace
{

using Bytes = std::vector<uint8_t>;
using Reply = ScriptedTcpSlave::Reply;

constexpr int kLongTimeout = 20000; // a wait the test would notice if it were not cut short
constexpr auto kBound = 1000ms;

// Runs a transaction on another thread, as the window does, and cancels it once cancelWhen() holds.
template <typename When>
void expectCancelled(comThread &worker, std::function<bool()> transaction, When cancelWhen)
{
    const auto outcome = cancelDuring(
        transaction, [&] { worker.cancel(); }, cancelWhen);
    EXPECT_FALSE(outcome.first);
    EXPECT_LT(outcome.second, kBound);
    EXPECT_EQ(worker.lastError(), "Operation cancelled");
    EXPECT_FALSE(worker.isConnected()); // closed as closeLink() closes it
}

TEST(Cancel, EndsTransactionsWithinOneTimeoutAndLeavesTheLinkClosed)
{
    comThread worker;
    {
        SCOPED_TRACE("TCP count read from an analyzer that accepts and stays silent");
        ScriptedTcpSlave silent([](int, const Bytes &) { return Reply{}; });
        useTcp(worker, silent.port(), kLongTimeout);
        ASSERT_TRUE(worker.connect());
        expectCancelled(
            worker, [&] { return worker.readAreaCounts(); }, [&] { return silent.requests().size() == 1; });
        EXPECT_FALSE(worker.readAreaCounts()); // closed until the next connect
        EXPECT_EQ(silent.requests().size(), 1u);
    }
    {
        SCOPED_TRACE("identity read over a pseudo-terminal");
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        useRtu(worker, pty.path(), kLongTimeout);
        ASSERT_TRUE(worker.connect()); // the earlier cancel is forgotten
        expectCancelled(
            worker, [&] { return worker.readDeviceId(); }, [&] { return !pty.read(1, 10).empty(); });
    }
}

TEST(Shutdown, StopDuringAnExchangeReturnsWithinOneTimeout)
{
    ScriptedTcpSlave silent([](int, const Bytes &) { return Reply{}; });
    comThread worker;
    RecordingView view(worker);
    useTcp(worker, silent.port(), kLongTimeout); // five retries: minutes without a cut
    ASSERT_TRUE(worker.connect());
    worker.setView(&view);
    WorkerTestSeam::setRecordCount(worker, 0, 3);
    startDownload(worker, {0});
    ASSERT_TRUE(waitUntil([&] { return silent.requests().size() == 1; }, 5000));
    const auto start = std::chrono::steady_clock::now();
    worker.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
    EXPECT_FALSE(worker.isConnected());
    EXPECT_TRUE(view.shown().empty());
}

TEST(LinkStatus, DownloadWithoutALinkSaysWhyAndGoesOnOnceConnected)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--records", recordCounts({3})})) << sim.error();
    comThread worker;
    RecordingView view(worker);
    useTcp(worker, sim.tcpPort());
    ASSERT_TRUE(connectAndConfigure(worker));
    worker.closeLink(LinkMode::Tcp); // as a failed Connect or a change of mode leaves it
    worker.setView(&view);
    startDownload(worker, {0});
    ASSERT_TRUE(view.waitFor(
        [&] { return view.status(WorkerView::StatusPanel::Message) == "Illegal state error"; }, 500ms));
    EXPECT_TRUE(view.shown().empty());

    // Paused, connected again, switched on: the waiting record comes first, then the rest.
    view.runOnUi([&] { worker.suspend(); });
    ASSERT_TRUE(worker.connect());
    view.runOnUi([&] { startDownload(worker, {0}); });
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    EXPECT_EQ(positions(view), sectorPositions(0, 3));
}

TEST(LateReplies, SlowSerialAnalyzerNeverPutsARecordInAnotherRow)
{
    // It queues requests and answers each 600 ms later; the worker waits 400 ms.
    SimProcess sim;
    ASSERT_TRUE(sim.startPty({"--records", recordCounts({8}), "--delay", "600"})) << sim.error();
    comThread worker;
    RecordingView view(worker);
    useRtu(worker, sim.ptyPath(), 1000);
    ASSERT_TRUE(connectAndConfigure(worker));
    worker.closeLink(LinkMode::Rtu);
    worker.setTimeout(400);
    ASSERT_TRUE(worker.connect());
    worker.setView(&view);
    startDownload(worker, {0});
    view.waitFor([&] { return view.shownCount() >= 3; }, 4s);
    worker.stop();
    for (const auto &record : view.shown())
        EXPECT_EQ(record.recordNo, std::to_string(record.row)) << record.positionText;
    EXPECT_EQ(view.completions(), 0);
}

TEST(LateReplies, ReplyForAnotherRecordIsAskedAgainAndNeverTaken)
{
    // An analyzer that numbers its records from 1001. The third record's first reply carries the second
    // record, as a reply owed to an earlier request would; its second reply is the right one, or another
    // wrong one.
    struct Case {
        const char *name;
        int secondNumber; // of the third record's second reply
        bool taken;
    };
    for (const Case &c : {Case{"right on asking again", 1003, true}, Case{"wrong twice", 1004, false}}) {
        SCOPED_TRACE(c.name);
        ScriptedTcpSlave slave([&c](int n, const Bytes &request) {
            const int index = request[7 + 5] << 8 | request[7 + 6];
            const int number = n == 2 ? 1002 : n == 3 ? c.secondNumber : 1001 + index;
            Bytes pdu(1 + kRecordReplyLength, 0);
            pdu[0] = 20;
            pdu[4] = static_cast<uint8_t>(number >> 8);
            pdu[5] = static_cast<uint8_t>(number);
            return Reply{mbapReply(1, pdu)};
        });
        comThread worker;
        useTcp(worker, slave.port());
        ASSERT_TRUE(worker.connect());
        EXPECT_TRUE(worker.readRecord(0, 0));
        EXPECT_TRUE(worker.readRecord(0, 1));
        EXPECT_EQ(worker.record().recordNo, 1002);
        EXPECT_EQ(worker.readRecord(0, 2), c.taken);
        EXPECT_EQ(slave.requests().size(), 4u); // asked again at once, and once only
        if (c.taken) {
            EXPECT_EQ(worker.record().recordNo, 1003);
            continue;
        }
        EXPECT_EQ(worker.lastError(), "Invalid reply error");
        EXPECT_EQ(worker.record().recordNo, 1002);
        // The next right reply is taken again: one odd reply never blocks the area.
        EXPECT_TRUE(worker.readRecord(0, 2));
        EXPECT_EQ(worker.record().recordNo, 1003);
    }
}

} // namespace
