// The command line: refusals, the readiness line, signals and --print-record.
#include "RawClient.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>

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
        {"--drop", "1.5"},
        {"--corrupt", "-0.1"},
        {"--missing", "16:0"},
        {"--missing", "3"},
        {"--close-every", "0"},
        {"--id-length", "40"},
        {"--id-length", "300"},
        {"--print-record", "0"},
        {"stray"},
    };
    for (const auto &args : bad) {
        ProgramRun r = SimProcess::run(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_TRUE(r.out.empty()) << args[0];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("usage: ktr58-sim"), std::string::npos) << r.err;
    }
    ProgramRun help = SimProcess::run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--print-record"), std::string::npos);
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
