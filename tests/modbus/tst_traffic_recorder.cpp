#include "modbus/TrafficRecorder.h"

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
        recorder.requestSent(frame, 3, 1, 0);
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

// An exception code from 0x80 on gives a negative result; it is still counted by its code byte.
TEST(TrafficRecorder, CountsHighExceptionCodes)
{
    TrafficRecorder recorder;
    const uint8_t request[6] = {1, 3, 0, 0, 0, 1};
    const uint8_t reply[5] = {1, 0x83, 0x85, 0, 0};
    recorder.requestSent(request, 6, 1, 0);
    recorder.attemptEnded(reply, 5, 1, int8_t(0x85) | 0xA0, 0);
    EXPECT_EQ(recorder.counters().exceptions[0x85], 1u);
    EXPECT_EQ(recorder.counters().replies, 1u);
}

} // namespace
