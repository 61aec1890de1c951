#include "PtyPair.h"
#include "ScriptedTcpSlave.h"
#include "WaitUntil.h"

#include "modbus/MbusRtuMasterProtocol.h"
#include "modbus/MbusTcpMasterProtocol.h"

#include <gtest/gtest.h>

namespace
{

using Bytes = std::vector<uint8_t>;
using Reply = ScriptedTcpSlave::Reply;
using namespace std::chrono;

constexpr int kLongTimeout = 20000; // a wait the test would notice if cancel() did not cut it
constexpr auto kBound = milliseconds(1000);

TEST(Cancel, CutsATcpConnectShortAndLeavesTheMasterClosed)
{
    FullLoopbackListener listener;
    ASSERT_NE(listener.port(), 0) << "could not fill the backlog";
    MbusTcpMasterProtocol master;
    ASSERT_EQ(master.setTimeout(kLongTimeout), Success);
    master.setPort(listener.port());
    std::atomic<bool> started{false};
    const auto [r, took] = cancelDuring(
        [&] {
            started = true;
            return master.open("127.0.0.1");
        },
        [&] { master.cancel(); }, [&] { return started.load(); });
    EXPECT_EQ(r, Cancelled);
    EXPECT_LT(took, kBound);
    EXPECT_FALSE(master.isOpen());
}

TEST(Cancel, CutsATcpReplyWaitAndHoldsUntilCleared)
{
    ScriptedTcpSlave silent([](int, const Bytes &) { return Reply{}; });
    MbusTcpMasterProtocol master;
    ASSERT_EQ(master.setTimeout(kLongTimeout), Success);
    ASSERT_EQ(master.setRetryCount(5), Success);
    master.setPort(silent.port());
    ASSERT_EQ(master.open("127.0.0.1"), Success);
    int16_t value[1];
    const auto [r, took] =
        cancelDuring([&] { return master.readHoldingRegisters(1, 1, value, 1); }, [&] { master.cancel(); },
                     [&] { return silent.requests().size() == 1; });
    EXPECT_EQ(r, Cancelled);
    EXPECT_LT(took, kBound);
    EXPECT_FALSE(master.isOpen()); // the late reply could still come on that connection
    EXPECT_EQ(silent.requests().size(), 1u);

    // Still cancelled: no traffic, not even a connect.
    EXPECT_EQ(master.open("127.0.0.1"), Cancelled);
    master.clearCancel();
    EXPECT_EQ(master.open("127.0.0.1"), Success);
}

TEST(Cancel, CutsThePollDelayBetweenRetries)
{
    // A reply from another unit is retried after the poll delay, on a new connection.
    ScriptedTcpSlave slave([](int, const Bytes &) { return Reply{mbapReply(9, {3, 2, 0, 1})}; });
    MbusTcpMasterProtocol master;
    ASSERT_EQ(master.setRetryCount(5), Success);
    ASSERT_EQ(master.setPollDelay(kLongTimeout), Success);
    master.setPort(slave.port());
    ASSERT_EQ(master.open("127.0.0.1"), Success);
    int16_t value[1];
    const auto [r, took] = cancelDuring([&] { return master.readHoldingRegisters(1, 1, value, 1); },
                                        [&] { master.cancel(); }, [&] { return slave.connections() == 2; });
    EXPECT_EQ(r, Cancelled);
    EXPECT_LT(took, kBound);
    EXPECT_EQ(slave.requests().size(), 1u);
}

TEST(Cancel, CutsAnRtuReplyWaitAndTheLateReplyIsNotTakenAfterwards)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    MbusRtuMasterProtocol master;
    ASSERT_EQ(master.setTimeout(kLongTimeout), Success);
    ASSERT_EQ(master.setRetryCount(5), Success);
    ASSERT_EQ(master.open(pty.path(), 38400, 8, 1, 0), Success);
    int16_t value[1];
    Bytes request;
    const auto [r, took] =
        cancelDuring([&] { return master.readHoldingRegisters(1, 1, value, 1); }, [&] { master.cancel(); },
                     [&] { return !(request = pty.read(8, 10)).empty(); });
    EXPECT_EQ(r, Cancelled);
    EXPECT_LT(took, kBound);
    EXPECT_TRUE(master.isOpen());
    EXPECT_TRUE(pty.read(1, 50).empty()); // no retry went out

    // The cancelled request's reply comes after the next request is made, and is not its answer.
    master.clearCancel();
    std::thread slave([&] {
        std::this_thread::sleep_for(milliseconds(100)); // a slow slave
        pty.write(withCrc({1, 3, 2, 0, 1}));
        const Bytes next = pty.read(8, 2000);
        pty.write(withCrc({1, 3, 2, 0, 2}));
    });
    EXPECT_EQ(master.readHoldingRegisters(1, 2, value, 1), Success);
    EXPECT_EQ(value[0], 2);
    slave.join();
}

} // namespace
