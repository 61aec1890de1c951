// The worker's traffic recorder against the simulator's own log of what crossed the wire.

#include "SimProcess.h"
#include "WorkerHarness.h"
#include "WorkerTestSeam.h"
#include "modbus/Crc16.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace
{

// Request and reply lines of `ktr58-sim -v --log`, in order: "request unit 1: 03 00 10 00 02".
std::vector<std::string> simFrames(const std::string &path)
{
    std::vector<std::string> frames;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        for (const char *kind : {"ktr58-sim: request unit ", "ktr58-sim: reply unit "})
            if (line.rfind(kind, 0) == 0)
                frames.push_back(line.substr(11));
    }
    return frames;
}

int corruptedReplies(const std::vector<std::string> &frames)
{
    int n = 0;
    for (const std::string &f : frames)
        n += f.find("(corrupted)") != std::string::npos;
    return n;
}

class Traffic : public testing::TestWithParam<bool> // true: RTU over a pty
{
  protected:
    void SetUp() override { logPath = testing::TempDir() + "traffic-" + std::to_string(::getpid()) + ".log"; }
    void TearDown() override
    {
        sim.stop();
        std::filesystem::remove(logPath);
    }

    bool start(std::vector<std::string> args)
    {
        args.insert(args.end(), {"-v", "--log", logPath});
        const bool started = GetParam() ? sim.startPty(args) : sim.startTcp(args);
        if (started) {
            if (GetParam())
                useRtu(worker, sim.ptyPath());
            else
                useTcp(worker, sim.tcpPort());
        }
        return started;
    }

    MbusMasterFunctions &master()
    {
        return GetParam() ? static_cast<MbusMasterFunctions &>(WorkerTestSeam::rtuMaster(worker))
                          : WorkerTestSeam::tcpMaster(worker);
    }

    // The recorder's lines as the simulator logs them: its unit, then the PDU without MBAP header
    // or CRC. Checks each line's envelope on the way.
    std::vector<std::string> recordedFrames()
    {
        std::vector<TrafficFrame> lines(TrafficRecorder::Capacity);
        lines.resize(size_t(worker.traffic().linesAfter(0, lines.data(), TrafficRecorder::Capacity)));
        std::vector<std::string> frames;
        for (const TrafficFrame &f : lines) {
            if (f.length == 0)
                continue; // an attempt that read nothing
            const int trailer = GetParam() ? 2 : 0;
            if (GetParam()) {
                const uint16_t crc = crc16(f.bytes, f.length - 2);
                const bool crcOk = crc == (f.bytes[f.length - 2] | f.bytes[f.length - 1] << 8);
                EXPECT_EQ(crcOk, f.sent || f.result != ChecksumError) << f.sequence;
            } else {
                EXPECT_EQ((f.bytes[4] << 8 | f.bytes[5]), f.length - 6) << f.sequence;
            }
            std::string text = std::string(f.sent ? "request" : "reply") + " unit " +
                               std::to_string(f.bytes[f.pduOffset - 1]) +
                               (!f.sent && f.result == ChecksumError ? " (corrupted)" : "") + ":";
            char hex[4];
            for (int i = f.pduOffset; i < f.length - trailer; ++i) {
                std::snprintf(hex, sizeof hex, " %02x", f.bytes[i]);
                text += hex;
            }
            frames.push_back(text);
        }
        return frames;
    }

    std::string logPath;
    SimProcess sim;
    comThread worker;
};

TEST_P(Traffic, FramesSeenAreTheBytesOnTheWire)
{
    ASSERT_TRUE(start({"--delay", "5"})) << sim.error();
    ASSERT_TRUE(connectAndConfigure(worker));
    ASSERT_TRUE(worker.readDeviceId());
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(worker.readRecord(0, i)) << worker.lastError();

    const std::vector<std::string> wire = simFrames(logPath);
    EXPECT_EQ(recordedFrames(), wire);
    const TrafficCounters c = worker.traffic().counters();
    EXPECT_EQ(c.requests, wire.size() / 2);
    EXPECT_EQ(c.replies, wire.size() / 2);
    EXPECT_EQ(c.timeouts + c.crcErrors + c.retries + c.reconnects, 0u);
    // Every reply comes 5 ms late.
    EXPECT_GE(c.medianReplyUs, 4950);
    EXPECT_LE(c.medianReplyUs, c.maxReplyUs);
    EXPECT_LT(c.maxReplyUs, 300000);

    // A new connection counts from zero; the lines stay for the monitor.
    worker.closeLink(worker.settings().mode);
    ASSERT_TRUE(worker.connect());
    EXPECT_EQ(worker.traffic().counters().requests, 0u);
    EXPECT_EQ(worker.traffic().counters().reconnects, 0u);
    EXPECT_EQ(recordedFrames(), wire);
}

TEST_P(Traffic, CountsCorruptRepliesExceptionsAndRetries)
{
    ASSERT_TRUE(start({"--corrupt", "0.3", "--seed", "11"})) << sim.error();
    ASSERT_TRUE(worker.connect());
    for (int i = 0; i < 15; ++i)
        ASSERT_TRUE(worker.readAreaCounts()) << worker.lastError();
    int16_t word = 0;
    const uint8_t coil[4] = {0, 0, 0xFF, 0};
    uint8_t echo[4];
    EXPECT_EQ(master().readHoldingRegisters(1, 1, &word, 1), IllegalDataAddressException); // register 0
    EXPECT_EQ(master().customRequest(1, 5, coil, 4, echo, 4), IllegalFunctionException);

    const std::vector<std::string> wire = simFrames(logPath);
    const auto corrupted = uint64_t(corruptedReplies(wire));
    ASSERT_GT(corrupted, 0u);
    const TrafficCounters c = worker.traffic().counters();
    EXPECT_EQ(c.exceptions[2], 1u);
    EXPECT_EQ(c.exceptions[1], 1u);
    EXPECT_EQ(c.replies, 17u);
    EXPECT_EQ(c.requests, 17u + corrupted);
    EXPECT_EQ(c.retries, corrupted);
    if (GetParam()) {
        // A bad CRC: the master asks again on the same line.
        EXPECT_EQ(c.crcErrors, corrupted);
        EXPECT_EQ(c.reconnects, 0u);
        EXPECT_EQ(recordedFrames(), wire);
    } else {
        // Over TCP the simulator garbles the function code: the master reconnects and asks again.
        EXPECT_EQ(c.crcErrors, 0u);
        EXPECT_EQ(c.reconnects, corrupted);
    }
}

INSTANTIATE_TEST_SUITE_P(Link, Traffic, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) { return info.param ? "Rtu" : "Tcp"; });

} // namespace
