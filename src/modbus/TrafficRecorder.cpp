#include "modbus/TrafficRecorder.h"

#include "modbus/FdWait.h"
#include "modbus/MbusMasterFunctions.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace
{

constexpr double kBucketsPerE = 100.0; // e^(1/100): neighbouring buckets 1 % apart

int64_t wallClockUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

bool isException(int result)
{
    // Exception codes from 0x80 on give negative results (exceptionResult sign-extends them).
    return result >= ExceptionResponse || result < 0;
}

} // namespace

TrafficRecorder::TrafficRecorder() : ring(std::make_unique<TrafficFrame[]>(Capacity))
{
}

TrafficRecorder::~TrafficRecorder() = default;

void TrafficRecorder::reset(bool linkOpen)
{
    std::lock_guard lock(mutex);
    counts = {};
    opens = linkOpen ? 1 : 0;
    sentAtUs = -1;
    replyTimes.fill(0);
    replyCount = 0;
}

TrafficCounters TrafficRecorder::counters() const
{
    std::lock_guard lock(mutex);
    TrafficCounters c = counts;
    uint64_t seen = 0;
    for (int i = 0; i < ReplyBuckets && replyCount > 0; ++i) {
        seen += replyTimes[size_t(i)];
        if (2 * seen >= replyCount) {
            c.medianReplyUs = std::llround(std::expm1((i + 0.5) / kBucketsPerE));
            break;
        }
    }
    // A median above the maximum only says where the bucket ends.
    c.medianReplyUs = std::min(c.medianReplyUs, c.maxReplyUs);
    return c;
}

int TrafficRecorder::linesAfter(uint64_t after, TrafficFrame out[], int max) const
{
    std::lock_guard lock(mutex);
    const uint64_t oldestKept = nextSequence > Capacity ? nextSequence - Capacity : 1;
    uint64_t first = std::max(after + 1, oldestKept);
    if (max <= 0 || first >= nextSequence)
        return 0;
    if (nextSequence - first > uint64_t(max))
        first = nextSequence - uint64_t(max);
    int n = 0;
    for (uint64_t s = first; s < nextSequence; ++s)
        out[n++] = ring[s % Capacity];
    return n;
}

void TrafficRecorder::linkOpened()
{
    std::lock_guard lock(mutex);
    if (opens++ > 0)
        ++counts.reconnects;
}

void TrafficRecorder::requestSent(const uint8_t frame[], int length, int pduOffset, int64_t startUs)
{
    std::lock_guard lock(mutex);
    append(true, frame, length, pduOffset);
    ++counts.requests;
    sentAtUs = startUs;
}

void TrafficRecorder::attemptEnded(const uint8_t reply[], int length, int pduOffset, int result, int attempt)
{
    const int64_t endUs = steadyUs();
    std::lock_guard lock(mutex);
    TrafficFrame &line = append(false, reply, length, pduOffset);
    line.result = result;
    line.attempt = attempt;
    if (attempt > 0)
        ++counts.retries;
    if (result == ReplyTimeout)
        ++counts.timeouts;
    else if (result == ChecksumError)
        ++counts.crcErrors;
    const bool exception = isException(result) && length > pduOffset + 1;
    if (exception)
        ++counts.exceptions[reply[pduOffset + 1]];
    if ((result == Success && length > 0) || exception) {
        ++counts.replies;
        if (sentAtUs >= 0)
            countReply(endUs - sentAtUs);
    }
    sentAtUs = -1;
}

TrafficFrame &TrafficRecorder::append(bool sent, const uint8_t bytes[], int length, int pduOffset)
{
    TrafficFrame &line = ring[nextSequence % Capacity];
    line.sequence = nextSequence++;
    line.wallUs = wallClockUs();
    line.sent = sent;
    line.result = Success;
    line.attempt = 0;
    line.pduOffset = pduOffset;
    line.length = std::clamp(length, 0, TrafficFrame::MaxLength);
    if (line.length > 0)
        std::memcpy(line.bytes, bytes, size_t(line.length));
    return line;
}

void TrafficRecorder::countReply(int64_t replyUs)
{
    const auto bucket = static_cast<int>(std::log1p(double(std::max<int64_t>(replyUs, 0))) * kBucketsPerE);
    ++replyTimes[size_t(std::min(bucket, ReplyBuckets - 1))];
    ++replyCount;
    counts.maxReplyUs = std::max(counts.maxReplyUs, replyUs);
}
