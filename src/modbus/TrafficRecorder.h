#pragma once

#include "modbus/ModbusNumbers.h"
#include "modbus/TrafficObserver.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

// One line of traffic: a request sent, or what an attempt read back together with its result.
struct TrafficFrame {
    static constexpr int MaxLength = modbus::MaxFrameLength; // the largest frame of either transport

    uint64_t sequence = 0; // 1, 2, ... in the order of the traffic, never reused
    int64_t wallUs = 0;    // system clock, microseconds since the epoch
    bool sent = false;
    int result = 0;  // received lines: the attempt's MbusError
    int attempt = 0; // received lines: 0 for a first attempt, n for the n-th retry
    int pduOffset = 0;
    int length = 0;
    uint8_t bytes[MaxLength] = {};
};

struct TrafficCounters {
    uint64_t requests = 0;  // frames sent
    uint64_t replies = 0;   // well-formed replies, exception replies included
    uint64_t timeouts = 0;  // attempts ended by a reply time-out
    uint64_t crcErrors = 0; // replies with a wrong CRC
    uint64_t retries = 0;
    uint64_t reconnects = 0;                // opens of the link after the first since reset()
    std::array<uint64_t, 256> exceptions{}; // exception replies by exception code
    int64_t medianReplyUs = -1;             // within 1 %; -1 before the first reply
    int64_t maxReplyUs = -1;
};

// A TrafficObserver that keeps the last Capacity lines in a ring and counts since reset(). The
// master's thread writes and any other thread reads, under one short lock; nothing allocates after
// construction.
class TrafficRecorder final : public TrafficObserver
{
  public:
    static constexpr int Capacity = 1024;

    TrafficRecorder();
    ~TrafficRecorder();
    TrafficRecorder(const TrafficRecorder &) = delete;
    TrafficRecorder &operator=(const TrafficRecorder &) = delete;

    // A new connection: the counters start from zero; the lines stay. linkOpen tells whether the
    // link is open already, so that its next open counts as a reconnect.
    void reset(bool linkOpen);
    TrafficCounters counters() const;
    // Copies the lines after sequence `after`, oldest first, into out: the newest max of them when
    // there are more, and none that the ring has overwritten. Returns how many.
    int linesAfter(uint64_t after, TrafficFrame out[], int max) const;

    void linkOpened() override;
    void requestSent(const uint8_t frame[], int length, int pduOffset, int64_t startUs) override;
    void attemptEnded(const uint8_t reply[], int length, int pduOffset, int result, int attempt) override;

  private:
    static constexpr int ReplyBuckets = 2000; // reply times on a log scale, 1 % apart, up to 8 minutes

    TrafficFrame &append(bool sent, const uint8_t bytes[], int length, int pduOffset);
    void countReply(int64_t replyUs);

    mutable std::mutex mutex;
    std::unique_ptr<TrafficFrame[]> ring;
    uint64_t nextSequence = 1;
    TrafficCounters counts;
    uint64_t opens = 0;
    int64_t sentAtUs = -1; // steadyUs() when the request whose reply is awaited began to go out
    std::array<uint32_t, ReplyBuckets> replyTimes{};
    uint64_t replyCount = 0;
};
