#include "modbus/TrafficRecorder.h"
#include "modbus/MbusMasterFunctions.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

// Lines past the ring's capacity: the oldest are gone, a reader that fell behind gets the newest.
TEST(TrafficRecorder, RingKeepsTheNewestLines)
{
    TrafficRecorder recorder;
    const int total = TrafficRecorder::Capacity + 476;
    for (int i = 1; i <= total; ++i) {
        const uint8_t frame[3] = {uint8_t(i), uint8_t(i >> 8), 0x03};
        recorder.requestSent(frame, 3, 1);
    }
    std::vector<TrafficFrame> out(TrafficRecorder::Capacity);
    ASSERT_EQ(recorder.linesAfter(0, out.data(), TrafficRecorder::Capacity), TrafficRecorder::Capacity);
    EXPECT_EQ(out.front().sequence, uint64_t(total - TrafficRecorder::Capacity + 1));
    EXPECT_EQ(out.back().sequence, uint64_t(total));
    EXPECT_EQ(out.back().bytes[0] | out.back().bytes[1] << 8, total);
    EXPECT_TRUE(out.back().sent);

    ASSERT_EQ(recorder.linesAfter(uint64_t(total - 10), out.data(), 4), 4);
    EXPECT_EQ(out[0].sequence, uint64_t(total - 3));
    EXPECT_EQ(recorder.linesAfter(uint64_t(total), out.data(), 4), 0);
    EXPECT_EQ(recorder.counters().requests, uint64_t(total));
}

// Exception replies are counted by the code byte, also codes that give negative results.
TEST(TrafficRecorder, CountsRepliesByKind)
{
    TrafficRecorder recorder;
    recorder.reset(false);
    recorder.linkOpened();
    const uint8_t request[6] = {1, 3, 0, 0, 0, 1};
    const uint8_t exception[5] = {1, 0x83, 0x02, 0, 0};
    const uint8_t oddException[5] = {1, 0x83, 0x85, 0, 0};
    const uint8_t partial[2] = {1, 3};
    recorder.requestSent(request, 6, 1);
    recorder.attemptEnded(exception, 5, 1, IllegalDataAddressException, 0);
    recorder.requestSent(request, 6, 1);
    recorder.attemptEnded(oddException, 5, 1, int8_t(0x85) | 0xA0, 0);
    recorder.requestSent(request, 6, 1);
    recorder.attemptEnded(partial, 2, 1, ReplyTimeout, 0);
    recorder.linkOpened();
    recorder.requestSent(request, 6, 1);
    recorder.attemptEnded(partial, 2, 1, ChecksumError, 1);

    const TrafficCounters c = recorder.counters();
    EXPECT_EQ(c.requests, 4u);
    EXPECT_EQ(c.replies, 2u);
    EXPECT_EQ(c.exceptions[0x02], 1u);
    EXPECT_EQ(c.exceptions[0x85], 1u);
    EXPECT_EQ(c.timeouts, 1u);
    EXPECT_EQ(c.crcErrors, 1u);
    EXPECT_EQ(c.retries, 1u);
    EXPECT_EQ(c.reconnects, 1u);
    EXPECT_GE(c.maxReplyUs, 0);
    EXPECT_LE(c.medianReplyUs, c.maxReplyUs);

    recorder.reset(true);
    recorder.linkOpened(); // the link was open: this open is a reconnect
    EXPECT_EQ(recorder.counters().reconnects, 1u);
    EXPECT_EQ(recorder.counters().requests, 0u);
    EXPECT_EQ(recorder.counters().maxReplyUs, -1);
}

} // namespace
