// The command line: refusals, the readiness line, signals and --print-record.
#include "RawClient.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

namespace
{

bool exitedCleanly(int status)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SimCli, RefusesBadArgumentsWithOneLine)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--unit"},
        {"--unit", "0"},
        {"--unit", "x"},
        {"--baud", "12345"},
        {"--tcp", "127.0.0.1"},
        {"--tcp", "127.0.0.1:70000"},
        {"--tcp", "192.0.2.1:1502"}, // not loopback
        {"--tcp", "127.0.0.1:0", "--pty", "/tmp/x"},
        {"--records", "1,2,3"},
        {"--records", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17"},
        {"--records", "32768,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"}, // the count register is signed
        {"--records", "-32769,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"},
        {"--numbering", "circular"},
        {"--numbering", "skip:-1"},
        {"--numbering", "fixed:65536"},
        {"--numbering", "upwards:1"},
        {"--drop", "1.5"},
        {"--corrupt", "-0.1"},
        {"--missing", "16:0"},
        {"--missing", "3"},
        {"--close-every", "0"},
        {"--id-length", "40"},
        {"--id-length", "300"},
        {"--print-record", "0"},
        {"--units", "1,,2"},
        {"--units", "1,248"},
        {"--units", "2,2"},
        {"--unit", "2", "--units", "3,4"},
        {"--grow", "0"},
        {"--pace"}, // no serial line to pace
        {"--tcp", "127.0.0.1:0", "--pace"},
        {"stray"},
    };
    for (const auto &args : bad) {
        ProgramRun r = SimProcess::run(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_TRUE(r.out.empty()) << args[0];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("usage: ktr58-sim"), std::string::npos) << r.err;
    }
}

TEST(SimCli, HelpDescribesEveryOptionOfTheUsageLine)
{
    ProgramRun help = SimProcess::run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    const std::string usage = help.out.substr(0, help.out.find('\n'));
    ASSERT_NE(usage.find("usage: ktr58-sim"), std::string::npos) << help.out;
    // Every option of the synopsis starts a line of its own below it.
    for (size_t at = usage.find("[-"); at != std::string::npos; at = usage.find("[-", at + 1)) {
        const std::string option = usage.substr(at + 1, usage.find_first_of(" ]", at) - at - 1);
        EXPECT_NE(help.out.find("\n  " + option), std::string::npos) << option << " has no line";
    }
}

// Registers 1025..1041: the last sector with records, then the 16 counts.
std::vector<int> recordCounts(RawClient &client, uint8_t unit)
{
    std::vector<int> counts;
    auto a = client.ask(unit, {3, 0x04, 0x00, 0, 17});
    if (a && a->pdu.size() == 2 + 34)
        for (int k = 1; k < 17; ++k)
            counts.push_back(a->pdu[size_t(2 + 2 * k)] << 8 | a->pdu[size_t(3 + 2 * k)]);
    return counts;
}

// The serial number object (id 6) of a function 43 reply, by position of the objects.
std::string serialOf(RawClient &client, uint8_t unit)
{
    auto a = client.ask(unit, {43, 0x0E, 0x01, 0x00});
    if (!a || a->pdu.size() < 8)
        return {};
    size_t at = 7;
    std::string text;
    for (int object = 0; object < 6 && at + 1 < a->pdu.size(); ++object) {
        const size_t length = a->pdu[at + 1];
        text.assign(a->pdu.begin() + long(at + 2),
                    a->pdu.begin() + long(std::min(a->pdu.size(), at + 2 + length)));
        at += 2 + length;
    }
    return text;
}

TEST(SimCli, UnitsAreAnalyzersOfTheirOwnOnOneLine)
{
    for (bool tcp : {true, false}) {
        SimProcess sim;
        const std::vector<std::string> args{"--units", "3,7", "--records", "5,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2"};
        ASSERT_TRUE(tcp ? sim.startTcp(args) : sim.startPty(args)) << sim.error();
        std::unique_ptr<RawClient> client;
        if (tcp)
            client = std::make_unique<RawTcpClient>(sim.tcpPort());
        else
            client = std::make_unique<RawRtuClient>(sim.ptyPath());
        const std::string serial3 = serialOf(*client, 3), serial7 = serialOf(*client, 7);
        EXPECT_FALSE(serial3.empty());
        EXPECT_FALSE(serial7.empty());
        EXPECT_NE(serial3, serial7);
        EXPECT_EQ(recordCounts(*client, 7), recordCounts(*client, 3));
        // Same position, other analyzer: other readings.
        auto record3 = client->ask(3, {20, 7, 6, 0, 0, 0, 1, 0, 1});
        auto record7 = client->ask(7, {20, 7, 6, 0, 0, 0, 1, 0, 1});
        ASSERT_TRUE(record3 && record7);
        EXPECT_NE(record3->pdu, record7->pdu);
        EXPECT_FALSE(client->ask(1, {3, 0, 74, 0, 1}, 300).has_value()) << "unit 1 is not on the line";
    }
    // The first unit is the analyzer a single --unit would be.
    SimProcess single, several;
    ASSERT_TRUE(single.startTcp({"--unit", "3"})) << single.error();
    ASSERT_TRUE(several.startTcp({"--units", "3,7"})) << several.error();
    RawTcpClient a(single.tcpPort()), b(several.tcpPort());
    EXPECT_EQ(serialOf(a, 3), serialOf(b, 3));
}

TEST(SimCli, GrowAppendsLaterRecordsToSectorOne)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--grow", "50", "--records", "4,2,0,0,0,0,0,0,0,0,0,0,0,0,0,1"}))
        << sim.error();
    RawTcpClient client(sim.tcpPort());
    const std::vector<int> first = recordCounts(client, 1);
    ASSERT_EQ(first.size(), 16u);
    std::vector<int> later = first;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (later[0] < first[0] + 3 && std::chrono::steady_clock::now() < deadline)
        later = recordCounts(client, 1);
    ASSERT_GE(later[0], first[0] + 3);
    EXPECT_EQ(later[1], 2) << "only sector 1 grows";
    EXPECT_EQ(later[15], 1);

    // Each new record follows the one before it: the next number, a later time.
    auto stamp = [&client](int index) {
        auto a = client.ask(1, {20, 7, 6, 0, 0, uint8_t(index >> 8), uint8_t(index), 0, 1});
        EXPECT_TRUE(a && a->pdu.size() == 68) << index;
        if (!a || a->pdu.size() != 68)
            return std::vector<int>{};
        // Number, then year, month, day, hour, minute, second: compared in that order.
        const auto &p = a->pdu;
        return std::vector<int>{p[4] << 8 | p[5], p[8], p[7], p[6], p[9], p[10], p[11]};
    };
    for (int index = first[0]; index < later[0]; ++index) {
        const std::vector<int> before = stamp(index - 1), now = stamp(index);
        EXPECT_EQ(now.at(0), before.at(0) + 1);
        EXPECT_GT(std::vector<int>(now.begin() + 1, now.end()),
                  std::vector<int>(before.begin() + 1, before.end()));
    }
}

TEST(SimCli, AnnouncesTheRealPortAndStopsCleanly)
{
    for (int signal : {SIGTERM, SIGINT}) {
        SimProcess sim;
        ASSERT_TRUE(sim.startTcp()) << sim.error();
        EXPECT_GT(sim.tcpPort(), 0);
        RawTcpClient client(sim.tcpPort());
        EXPECT_TRUE(client.ask(1, {3, 0, 74, 0, 1}).has_value());
        EXPECT_TRUE(exitedCleanly(sim.stop(signal))) << "signal " << signal;
    }
}

TEST(SimCli, TheLinkLivesExactlyAsLongAsThePtySimulator)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startPty()) << sim.error();
    const std::filesystem::path link = sim.ptyPath();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(exitedCleanly(sim.stop(SIGINT)));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    // A link left by a killed simulator is taken over by the next one.
    ASSERT_TRUE(sim.restart()) << sim.error();
    sim.kill();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    ASSERT_TRUE(sim.restart()) << sim.error();
    RawRtuClient client(link.string());
    EXPECT_TRUE(client.ask(1, {3, 0, 74, 0, 1}).has_value());
    EXPECT_TRUE(exitedCleanly(sim.stop()));

    // Anything else at that path is left alone.
    {
        std::ofstream(link.string()) << "keep me";
    }
    SimProcess refused;
    EXPECT_FALSE(refused.start({"--pty", link.string()}));
    EXPECT_TRUE(std::filesystem::is_regular_file(link));
    std::filesystem::remove(link);
}

TEST(SimCli, RestartsOnTheSamePortAfterAKill)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp()) << sim.error();
    const int port = sim.tcpPort();
    RawTcpClient before(port);
    ASSERT_TRUE(before.ask(1, {3, 0, 74, 0, 1}).has_value());
    sim.kill();
    EXPECT_FALSE(before.ask(1, {3, 0, 74, 0, 1}, 500).has_value());
    ASSERT_TRUE(sim.restart()) << sim.error();
    EXPECT_EQ(sim.tcpPort(), port);
    RawTcpClient after(port);
    EXPECT_TRUE(after.ask(1, {3, 0, 74, 0, 1}).has_value());
}

TEST(SimCli, PrintRecordPrintsTheReplyDataInHex)
{
    ProgramRun r = SimProcess::run({"--print-record", "15", "0"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.size(), 67u * 3) << "67 bytes, two hex digits and a separator each";
    EXPECT_EQ(r.out.substr(0, 9), "42 41 06 ");
    EXPECT_EQ(SimProcess::run({"--print-record", "3", "0"}).exitCode, 1) << "sector 4 is empty";
}

} // namespace
