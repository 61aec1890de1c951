#include "ScriptedTcpSlave.h"
#include "WaitUntil.h"

#include "modbus/MbusTcpMasterProtocol.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{

using Bytes = std::vector<uint8_t>;
using Reply = ScriptedTcpSlave::Reply;

// A read of one register answered with this value.
Reply oneRegister(uint8_t unit, uint8_t hi, uint8_t lo)
{
    return {mbapReply(unit, {3, 2, hi, lo})};
}

class TcpMaster : public ::testing::Test
{
  protected:
    void open(ScriptedTcpSlave &slave, int retries = 0, int timeoutMs = 100)
    {
        ASSERT_EQ(master.setTimeout(timeoutMs), Success);
        ASSERT_EQ(master.setRetryCount(retries), Success);
        master.setPort(slave.port());
        ASSERT_EQ(master.open("127.0.0.1"), Success);
    }

    MbusTcpMasterProtocol master;
    int16_t value[1] = {};
};

TEST_F(TcpMaster, SendsTheExactRequestAndAcceptsUnitZeroAndAnyHeader)
{
    ScriptedTcpSlave slave([](int index, const Bytes &) {
        if (index == 0)
            return oneRegister(1, 0x12, 0x34);
        // Transaction 7, protocol 9, a bogus length, unit 0: still a reply.
        return Reply{{0, 7, 0, 9, 0, 99, 0, 3, 2, 0xAB, 0xCD}};
    });
    open(slave);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 0x1234);
    ASSERT_EQ(master.readHoldingRegisters(5, 65536, value, 1), Success);
    EXPECT_EQ(static_cast<uint16_t>(value[0]), 0xABCD);

    const auto requests = slave.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], (Bytes{0, 0, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1}));
    EXPECT_EQ(requests[1], (Bytes{0, 0, 0, 0, 0, 6, 5, 3, 0xFF, 0xFF, 0, 1}));
}

TEST_F(TcpMaster, DiscardsBytesLeftOverFromAnEarlierReply)
{
    ScriptedTcpSlave slave([](int index, const Bytes &) {
        if (index == 0) {
            Bytes withTail = mbapReply(1, {3, 2, 0, 1});
            withTail.insert(withTail.end(), {0, 0, 0, 0, 0, 5, 1, 3, 2, 0x66, 0x66});
            return Reply{withTail};
        }
        return oneRegister(1, 0, 2);
    });
    open(slave);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 1);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 2);
}

TEST_F(TcpMaster, LateReplyIsNeverTakenForALaterRequest)
{
    // The first request is answered after the master's time-out; later ones at once.
    ScriptedTcpSlave slave([](int index, const Bytes &) {
        if (index == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return oneRegister(1, 0, static_cast<uint8_t>(index + 1));
    });
    open(slave, 0, 100);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), ReplyTimeout);
    ASSERT_EQ(master.readHoldingRegisters(1, 2, value, 1), Success);
    EXPECT_EQ(value[0], 2); // its own reply, on the connection made after the time-out
}

TEST_F(TcpMaster, PeerThatClosesGives69AndLeavesTheMasterOpen)
{
    ScriptedTcpSlave slave([](int, const Bytes &) {
        Reply r = oneRegister(1, 0, 7);
        r.closeConnection = true;
        return r;
    });
    open(slave, 5);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), ConnectionClosed);
    EXPECT_TRUE(master.isOpen());
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), ConnectionClosed);
    EXPECT_EQ(slave.connections(), 1);
    master.close();
    EXPECT_FALSE(master.isOpen());
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), IllegalState);
}

TEST_F(TcpMaster, ExceptionRepliesMapToTheirCodesWithoutRetry)
{
    const uint8_t codes[] = {2, 0, 5, 0x80};
    ScriptedTcpSlave slave([&](int index, const Bytes &) {
        return Reply{mbapReply(1, {0x83, codes[index]})};
    });
    open(slave, 3);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), IllegalDataAddressException);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), ExceptionResponse);
    const int unknown = master.readHoldingRegisters(1, 1, value, 1);
    EXPECT_EQ(unknown, 165);
    EXPECT_STREQ(errorText(unknown), "Unknown error");
    EXPECT_LT(master.readHoldingRegisters(1, 1, value, 1), 0);
    EXPECT_EQ(slave.requests().size(), 4u);
    EXPECT_EQ(slave.connections(), 1);
}

TEST_F(TcpMaster, InvalidRepliesAreRetriedOnAFreshConnection)
{
    ScriptedTcpSlave slave([](int index, const Bytes &) {
        if (index == 0)
            return Reply{mbapReply(1, {4, 2, 0, 0})}; // another function
        if (index == 1)
            return oneRegister(2, 0, 0); // another unit
        return oneRegister(1, 0, 9);
    });
    open(slave, 2);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 9);
    EXPECT_EQ(slave.connections(), 3);
}

TEST_F(TcpMaster, SilentSlaveCostsSixAttemptsWithAReconnectAfterEach)
{
    ScriptedTcpSlave slave([](int, const Bytes &) { return Reply{}; });
    open(slave, 5, 50);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), ReplyTimeout);
    EXPECT_TRUE(master.isOpen());
    EXPECT_EQ(slave.requests().size(), 6u);
    // One reconnect after each attempt, the last one included.
    EXPECT_TRUE(waitUntil([&] { return slave.connections() == 7; }, 2000)) << slave.connections();
}

TEST_F(TcpMaster, FailedReconnectReturnsItsCodeAndClosesTheMaster)
{
    ScriptedTcpSlave slave([](int, const Bytes &) {
        Reply r;
        r.stopListening = true;
        return r;
    });
    open(slave, 5, 50);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), ConnectionError);
    EXPECT_FALSE(master.isOpen());
    EXPECT_EQ(slave.requests().size(), 1u);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), IllegalState);
}

TEST_F(TcpMaster, ACustomRequestWithoutReplyDataWaitsForANinthByte)
{
    ScriptedTcpSlave slave([](int, const Bytes &) { return Reply{mbapReply(1, {0x41})}; });
    open(slave);
    EXPECT_EQ(master.customRequest(1, 0x41, nullptr, 0, nullptr, 0), ReplyTimeout);
}

TEST_F(TcpMaster, APeerThatNeverStopsSendingCannotHoldTheExchange)
{
    LoopbackListener listener;
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        const int conn = listener.accept(1000);
        const Bytes junk(256, 0xEE);
        while (flooding && ::send(conn, junk.data(), junk.size(), MSG_NOSIGNAL) > 0) {
        }
        ::close(conn);
    });
    ASSERT_EQ(master.setTimeout(100), Success);
    master.setPort(listener.port());
    ASSERT_EQ(master.open("127.0.0.1"), Success);
    const auto start = std::chrono::steady_clock::now();
    const int r = master.readHoldingRegisters(1, 1, value, 1);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Capped flush: 132; when a pause let the request out, the flood is an invalid reply: 130.
    EXPECT_TRUE(r == ReplyTimeout || r == InvalidFrame) << r;
    EXPECT_LT(elapsed, std::chrono::milliseconds(400));
    EXPECT_TRUE(master.isOpen()); // reconnected
    flooding = false;
    master.close();
    flood.join();
}

TEST(TcpMasterOpen, RefusedConnectAndUnresolvableNameGive68)
{
    // A bound socket that does not listen: connects to its port are refused.
    LoopbackListener bound;
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(::getsockname(s, reinterpret_cast<sockaddr *>(&a), &size), 0);

    MbusTcpMasterProtocol master;
    ASSERT_EQ(master.setTimeout(200), Success);
    master.setPort(ntohs(a.sin_port));
    EXPECT_EQ(master.open("127.0.0.1"), ConnectionError);
    EXPECT_FALSE(master.isOpen());
    EXPECT_EQ(master.open("no-such-host.invalid"), ConnectionError);
    EXPECT_FALSE(master.isOpen());
    EXPECT_EQ(master.open(nullptr), IllegalArgument);
    ::close(s);
}

TEST(TcpMasterOpen, OpenWhileOpenAndSettersWhileOpenAreRefused)
{
    ScriptedTcpSlave slave([](int, const Bytes &) { return Reply{}; });
    MbusTcpMasterProtocol master;
    ASSERT_EQ(master.setTimeout(300), Success);
    master.setPort(slave.port());
    ASSERT_EQ(master.open("127.0.0.1"), Success);
    EXPECT_EQ(master.open("127.0.0.1"), IllegalState);
    // Range first, then state.
    EXPECT_EQ(master.setTimeout(0), IllegalArgument);
    EXPECT_EQ(master.setTimeout(500), IllegalState);
    EXPECT_EQ(master.setPollDelay(100001), IllegalArgument);
    EXPECT_EQ(master.setPollDelay(10), IllegalState);
    EXPECT_EQ(master.setRetryCount(11), IllegalArgument);
    EXPECT_EQ(master.setRetryCount(1), IllegalState);
    EXPECT_EQ(master.getTimeout(), 300);
    EXPECT_EQ(master.getPollDelay(), 0);
    EXPECT_EQ(master.getRetryCount(), 0);
}

} // namespace
