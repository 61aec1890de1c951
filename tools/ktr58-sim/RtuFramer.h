#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// Cuts the byte stream of a serial line into RTU request frames. A frame
// ends when its function's request length is complete or, for functions of
// unknown length, after 3.5 character times of silence. Frames with a bad
// CRC are dropped, as a slave must.
class RtuFramer
{
  public:
    using Clock = std::chrono::steady_clock;

    explicit RtuFramer(int baud);

    void feed(const uint8_t *data, size_t length, Clock::time_point now);
    // Call when the line has been quiet; ends a frame of unknown length.
    void idle(Clock::time_point now);
    // How long idle() may wait before it has something to do; -1 for ever.
    int idleTimeoutMs(Clock::time_point now) const;

    bool hasFrame() const { return !frames.empty(); }
    // A complete frame with a good CRC: address, PDU, CRC.
    std::vector<uint8_t> takeFrame();

  private:
    void extractKnownLengths();
    void finish(std::vector<uint8_t> frame);
    void discard();

    Clock::duration silence;
    Clock::time_point lastByte;
    std::vector<uint8_t> pending;
    bool discarding = false;
    std::deque<std::vector<uint8_t>> frames;
};
