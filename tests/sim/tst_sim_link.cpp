// What each transport adds: MBAP headers and connections on TCP, framing,
// broadcasts and a reopened line on RTU.
#include "RawClient.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace
{

std::vector<uint8_t> readRatios()
{
    return {3, 0, 74, 0, 2};
}

const std::vector<uint8_t> ratiosReply{3, 4, 0, 100, 0, 10};

TEST(SimTcp, EchoesTheHeaderOfEachRequest)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp()) << sim.error();
    RawTcpClient client(sim.tcpPort());
    for (uint16_t transaction : {0, 1, 0xBEEF}) {
        client.setTransaction(transaction);
        std::optional<Answer> a = client.ask(1, readRatios());
        ASSERT_TRUE(a.has_value());
        EXPECT_EQ(a->transaction, transaction);
        EXPECT_EQ(a->protocol, 0);
        EXPECT_EQ(a->length, ratiosReply.size() + 1);
        EXPECT_EQ(a->pdu, ratiosReply);
    }
}

TEST(SimTcp, AnswersRequestsSentTogetherInOrder)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp()) << sim.error();
    RawTcpClient client(sim.tcpPort());
    std::vector<uint8_t> both;
    for (uint8_t id : {1, 2}) {
        std::vector<uint8_t> frame{0, id, 0, 0, 0, 6, 1};
        frame.insert(frame.end(), {3, 0, static_cast<uint8_t>(73 + id), 0, 1});
        both.insert(both.end(), frame.begin(), frame.end());
    }
    ASSERT_TRUE(client.sendRaw(both));
    std::optional<Answer> first = client.receive(2000), second = client.receive(2000);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->transaction, 1);
    EXPECT_EQ(first->pdu, (std::vector<uint8_t>{3, 2, 0, 100}));
    EXPECT_EQ(second->transaction, 2);
    EXPECT_EQ(second->pdu, (std::vector<uint8_t>{3, 2, 0, 10}));
}

TEST(SimTcp, ServesSeveralAndReturningConnections)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp()) << sim.error();
    auto idle = std::make_unique<RawTcpClient>(sim.tcpPort());
    RawTcpClient busy(sim.tcpPort());
    ASSERT_TRUE(idle->connected() && busy.connected());
    EXPECT_TRUE(busy.ask(1, readRatios()).has_value()) << "a silent connection must not block another";
    EXPECT_TRUE(idle->ask(1, readRatios()).has_value());
    for (int i = 0; i < 5; ++i) {
        idle = std::make_unique<RawTcpClient>(sim.tcpPort());
        std::optional<Answer> a = idle->ask(1, readRatios());
        ASSERT_TRUE(a.has_value()) << "reconnect " << i;
        EXPECT_EQ(a->pdu, ratiosReply);
    }
}

TEST(SimTcp, DropsAConnectionThatSendsNoModbus)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp()) << sim.error();
    RawTcpClient garbage(sim.tcpPort());
    ASSERT_TRUE(garbage.sendRaw({'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P'}));
    EXPECT_FALSE(garbage.receive(2000).has_value());
    EXPECT_TRUE(garbage.peerClosed());
    RawTcpClient good(sim.tcpPort());
    EXPECT_TRUE(good.ask(1, readRatios()).has_value());
}

TEST(SimRtu, FramesSilenceDelimitedAndDamagedRequestsLikeASlave)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startPty({"--baud", "19200"})) << sim.error();
    RawRtuClient client(sim.ptyPath());
    ASSERT_TRUE(client.isOpen());

    // A function of unknown length ends with the silence after it.
    std::optional<Answer> a = client.ask(1, {0x41, 1, 2, 3});
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->pdu, (std::vector<uint8_t>{0xC1, 1}));

    // A request with a bad CRC gets no answer, and the next one is served.
    ASSERT_TRUE(client.sendRaw({1, 3, 0, 74, 0, 2, 0x12, 0x34}));
    EXPECT_FALSE(client.receive(300).has_value());
    a = client.ask(1, readRatios());
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(a->crcOk);
    EXPECT_EQ(a->pdu, ratiosReply);
}

TEST(SimRtu, AppliesABroadcastWriteSilently)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startPty()) << sim.error();
    RawRtuClient client(sim.ptyPath());
    std::vector<uint8_t> write{16, 1, 49, 0, 1, 2};
    putWord(write, 3600);
    EXPECT_FALSE(client.ask(0, write, 300).has_value());
    std::optional<Answer> a = client.ask(1, {3, 1, 49, 0, 1});
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->pdu, (std::vector<uint8_t>{3, 2, 0x0E, 0x10}));
}

TEST(SimRtu, KeepsServingAClientThatReopensThePty)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startPty()) << sim.error();
    for (int i = 0; i < 4; ++i) {
        RawRtuClient client(sim.ptyPath());
        std::optional<Answer> a = client.ask(1, readRatios());
        ASSERT_TRUE(a.has_value()) << "open " << i;
        EXPECT_EQ(a->pdu, ratiosReply);
    }
}

TEST(SimRtu, ServesAnExistingSerialDevice)
{
    // The tests' own pseudo-terminal stands in for a serial port.
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    std::string device = ::ptsname(master);
    RawRtuClient client(master);

    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rtu", device, "--baud", "38400"})) << sim.error();
    EXPECT_EQ(sim.ptyPath(), device);
    std::optional<Answer> a = client.ask(1, readRatios());
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->pdu, ratiosReply);
}

} // namespace
