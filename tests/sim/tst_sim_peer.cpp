// An independent master, mbpoll (libmodbus), reads and writes the simulator
// over TCP and over a pseudo-terminal.
#include "ChildProcess.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace
{

class SimMbpoll : public testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (runProgram("mbpoll", {"-V"}).exitCode != 0)
            GTEST_SKIP() << "mbpoll is not installed (Debian package mbpoll)";
        ASSERT_TRUE(GetParam() ? sim.startTcp() : sim.startPty()) << sim.error();
    }

    ProgramRun mbpoll(std::vector<std::string> args, const std::vector<std::string> &values = {})
    {
        std::vector<std::string> link =
            GetParam()
                ? std::vector<std::string>{"-m", "tcp", "-p", std::to_string(sim.tcpPort()), "127.0.0.1"}
                : std::vector<std::string>{"-m", "rtu", "-b", "9600", "-P", "none", sim.ptyPath()};
        args.insert(args.end(), {"-a", "1", "-1", "-o", "2"});
        args.insert(args.end(), link.begin(), link.end());
        args.insert(args.end(), values.begin(), values.end());
        return runProgram("mbpoll", args);
    }

    // Reference -> value of the "[306]: 600" lines of a read.
    std::map<int, int> read(int reference, int count)
    {
        ProgramRun r = mbpoll({"-r", std::to_string(reference), "-c", std::to_string(count)});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::map<int, int> values;
        std::istringstream in(r.out);
        std::string line;
        while (std::getline(in, line)) {
            int ref = 0, value = 0;
            if (std::sscanf(line.c_str(), "[%d]: %d", &ref, &value) == 2)
                values[ref] = value;
        }
        return values;
    }

    SimProcess sim;
};

TEST_P(SimMbpoll, ReadsEveryRegisterBlock)
{
    EXPECT_EQ(read(75, 2), (std::map<int, int>{{75, 100}, {76, 10}}));
    std::map<int, int> config = read(306, 31);
    EXPECT_EQ(config.size(), 31u);
    EXPECT_EQ(config[306], 900);
    std::map<int, int> counts = read(1025, 17);
    EXPECT_EQ(counts.size(), 17u);
    EXPECT_EQ(counts[1026], 120);
    EXPECT_EQ(counts[1027], 1000);
    EXPECT_EQ(counts[1028], 37);
    EXPECT_EQ(counts[1041], 40);

    ProgramRun outside = mbpoll({"-r", "100", "-c", "1"});
    EXPECT_NE(outside.exitCode, 0);
    EXPECT_NE(outside.err.find("Illegal data address"), std::string::npos) << outside.err;
}

TEST_P(SimMbpoll, WritesTheConfiguration)
{
    ProgramRun w = mbpoll({"-r", "306"}, {"300", "0", "5", "27", "255"});
    EXPECT_EQ(w.exitCode, 0) << w.err;
    EXPECT_EQ(read(306, 5), (std::map<int, int>{{306, 300}, {307, 0}, {308, 5}, {309, 27}, {310, 255}}));

    ProgramRun refused = mbpoll({"-r", "75"}, {"1", "2"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_EQ(read(75, 2), (std::map<int, int>{{75, 100}, {76, 10}}));
}

INSTANTIATE_TEST_SUITE_P(Transports, SimMbpoll, testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Tcp" : "Rtu"; });

} // namespace
