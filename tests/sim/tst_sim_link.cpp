// What each transport adds: MBAP headers and connections on TCP, framing,
// broadcasts and a reopened line on RTU.
#include "RawClient.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <chrono>

#include <fcntl.h>
#include <poll.h>
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

// When each of the n bytes of a reply arrived on fd, within 2 s; fewer when the rest did not come.
std::vector<std::chrono::steady_clock::time_point> arrivals(int fd, size_t n)
{
    using namespace std::chrono;
    std::vector<steady_clock::time_point> at;
    const auto end = steady_clock::now() + seconds(2);
    while (at.size() < n && steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        uint8_t buf[256];
        const ssize_t got = ::read(fd, buf, std::min(sizeof buf, n - at.size()));
        at.insert(at.end(), got > 0 ? static_cast<size_t>(got) : 0, steady_clock::now());
    }
    return at;
}

TEST(SimRtu, PacedRepliesNeverOutrunTheLine)
{
    // 9600 baud, 11 bits a character: a request's bytes cross the line one after another, the reply
    // starts 3.5 characters after its last one, and byte i of the reply cannot arrive before its own
    // character time has passed. Only lower bounds: a busy machine may make every byte late.
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    RawRtuClient client(master);
    termios raw{};
    ASSERT_EQ(::tcgetattr(master, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(master, TCSANOW, &raw), 0);
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rtu", device, "--baud", "9600", "--pace"})) << sim.error();

    using namespace std::chrono;
    const duration<double, std::micro> character(11e6 / 9600);
    struct Exchange {
        std::vector<uint8_t> request;
        size_t replyLength;
    };
    const std::vector<uint8_t> recordRequest{1, 20, 7, 6, 0, 0, 0, 0, 0, 1};
    const std::vector<uint8_t> ratios{1, 3, 0, 74, 0, 2};
    for (const Exchange &e :
         {Exchange{recordRequest, 71}, Exchange{ratios, 9}, Exchange{recordRequest, 71}}) {
        const auto sent = steady_clock::now();
        ASSERT_TRUE(client.send(e.request[0], std::vector<uint8_t>(e.request.begin() + 1, e.request.end())));
        const auto at = arrivals(master, e.replyLength);
        ASSERT_EQ(at.size(), e.replyLength);
        const double firstDue = (e.request.size() + 2) + 3.5;
        for (size_t i = 0; i < at.size(); ++i)
            ASSERT_GE(at[i] - sent, character * (firstDue + i + 1)) << "byte " << i;
    }
}

} // namespace
