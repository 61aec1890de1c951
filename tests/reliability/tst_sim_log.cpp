// ktr58-sim --log: the simulator's account of the faults it injected, read by the soak tests while it
// still serves.

#include "SimProcess.h"
#include "WorkerHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{

int linesWith(const std::string &path, const std::string &text)
{
    std::ifstream in(path);
    int count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.find(text) != std::string::npos;
    return count;
}

TEST(SimLog, NotesEveryFaultAsItHappens)
{
    const std::string path = testing::TempDir() + "ktr58-sim-" + std::to_string(::getpid()) + ".log";
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--drop", "1", "--log", path})) << sim.error();
    comThread worker;
    useTcp(worker, sim.tcpPort(), 50);
    ASSERT_TRUE(worker.connect());
    EXPECT_FALSE(worker.readAreaCounts()); // the first try and five retries, all dropped
    EXPECT_EQ(linesWith(path, "ktr58-sim: request unit 1:"), 6);
    EXPECT_EQ(linesWith(path, "reply dropped"), 6);
    sim.stop();
    std::filesystem::remove(path);
}

TEST(SimLog, RefusesAFileItCannotCreate)
{
    const ProgramRun run = SimProcess::run({"--tcp", "127.0.0.1:0", "--log", "/nonexistent-dir/sim.log"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot create /nonexistent-dir/sim.log"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

} // namespace
