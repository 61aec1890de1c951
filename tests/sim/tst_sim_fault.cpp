// Each fault option does what it promises, and the same seed repeats it.
#include "RawClient.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>

namespace
{

const std::vector<uint8_t> readRatios{3, 0, 74, 0, 2};

enum class Outcome { Good, Silent, Damaged, OtherUnit };

Outcome classify(const std::optional<Answer> &a)
{
    if (!a)
        return Outcome::Silent;
    if (a->unit != 1)
        return Outcome::OtherUnit;
    if (!a->crcOk || a->pdu.empty() || a->pdu[0] != 3)
        return Outcome::Damaged;
    return Outcome::Good;
}

// Outcomes of n requests, each on the one connection.
std::vector<Outcome> outcomes(auto &client, int n)
{
    std::vector<Outcome> out;
    for (int i = 0; i < n; ++i)
        out.push_back(classify(client.ask(1, readRatios, 250)));
    return out;
}

std::vector<Outcome> tcpOutcomes(const std::vector<std::string> &args, int n)
{
    SimProcess sim;
    if (!sim.startTcp(args)) {
        ADD_FAILURE() << sim.error();
        return {};
    }
    RawTcpClient client(sim.tcpPort());
    return outcomes(client, n);
}

std::vector<Outcome> rtuOutcomes(const std::vector<std::string> &args, int n)
{
    SimProcess sim;
    if (!sim.startPty(args)) {
        ADD_FAILURE() << sim.error();
        return {};
    }
    RawRtuClient client(sim.ptyPath());
    return outcomes(client, n);
}

int count(const std::vector<Outcome> &outcomes, Outcome which)
{
    return static_cast<int>(std::count(outcomes.begin(), outcomes.end(), which));
}

TEST(SimFaults, CertainFaultsAlwaysHappen)
{
    EXPECT_EQ(count(tcpOutcomes({"--drop", "1"}, 3), Outcome::Silent), 3);
    EXPECT_EQ(count(rtuOutcomes({"--drop", "1"}, 3), Outcome::Silent), 3);
    EXPECT_EQ(count(tcpOutcomes({"--wrong-unit", "1"}, 3), Outcome::OtherUnit), 3);
    EXPECT_EQ(count(rtuOutcomes({"--wrong-unit", "1"}, 3), Outcome::OtherUnit), 3);
    EXPECT_EQ(count(tcpOutcomes({"--corrupt", "0"}, 3), Outcome::Good), 3);
}

TEST(SimFaults, CorruptionDamagesTheFrameOfEachTransport)
{
    SimProcess tcp;
    ASSERT_TRUE(tcp.startTcp({"--corrupt", "1"})) << tcp.error();
    RawTcpClient client(tcp.tcpPort());
    std::optional<Answer> a = client.ask(1, readRatios);
    ASSERT_TRUE(a.has_value());
    EXPECT_NE(a->pdu.at(0) & 0x7F, 3) << "another function byte";
    EXPECT_EQ(a->pdu.at(0) & 0x80, 0) << "not an exception either";

    SimProcess rtu;
    ASSERT_TRUE(rtu.startPty({"--corrupt", "1"})) << rtu.error();
    RawRtuClient line(rtu.ptyPath());
    a = line.ask(1, readRatios);
    ASSERT_TRUE(a.has_value());
    EXPECT_FALSE(a->crcOk);
    EXPECT_EQ(a->pdu, (std::vector<uint8_t>{3, 4, 0, 100, 0, 10})) << "only the CRC is damaged";
}

TEST(SimFaults, RandomFaultsRepeatForASeed)
{
    const std::vector<std::string> args{"--drop", "0.3", "--corrupt", "0.3", "--seed", "11"};
    std::vector<Outcome> first = tcpOutcomes(args, 12);
    EXPECT_EQ(first, tcpOutcomes(args, 12));
    EXPECT_GT(count(first, Outcome::Good), 0);
    EXPECT_GT(count(first, Outcome::Silent) + count(first, Outcome::Damaged), 0);

    std::vector<std::string> other = args;
    other.back() = "12";
    EXPECT_NE(first, tcpOutcomes(other, 12));
    EXPECT_EQ(rtuOutcomes(args, 8), rtuOutcomes(args, 8));
}

TEST(SimFaults, DelayHoldsEachReply)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--delay", "300"})) << sim.error();
    RawTcpClient client(sim.tcpPort());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.ask(1, readRatios, 150).has_value());
    std::optional<Answer> late = client.receive(2000);
    ASSERT_TRUE(late.has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST(SimFaults, MissingRecordsAlwaysFail)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--missing", "1:5", "--missing", "15:0"})) << sim.error();
    RawTcpClient client(sim.tcpPort());
    auto ask = [&](int area, int index) {
        std::vector<uint8_t> pdu{20, 7, 6, 0, static_cast<uint8_t>(area)};
        putWord(pdu, index);
        putWord(pdu, 1);
        std::optional<Answer> a = client.ask(1, pdu);
        return a ? a->pdu : std::vector<uint8_t>{};
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(ask(1, 5), (std::vector<uint8_t>{0x94, 2}));
        EXPECT_EQ(ask(15, 0), (std::vector<uint8_t>{0x94, 2}));
    }
    EXPECT_EQ(ask(1, 4).size(), 68u);
    EXPECT_EQ(ask(1, 6).size(), 68u);
}

TEST(SimFaults, CloseEveryEndsTheConnectionAfterNReplies)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--close-every", "3"})) << sim.error();
    for (int connection = 0; connection < 2; ++connection) {
        RawTcpClient client(sim.tcpPort());
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(client.ask(1, readRatios).has_value()) << "reply " << i;
        EXPECT_FALSE(client.ask(1, readRatios).has_value());
        EXPECT_TRUE(client.peerClosed());
    }
}

} // namespace
