#pragma once

#include "SerialLine.h"
#include "StopSignal.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

// --pace: the timing of a real RS-485 line on a pseudo-terminal, which moves bytes at once. A character
// takes 11 bit times (start, 8 data, parity or a second stop bit, stop: the longest 11-bit frame, so the
// line is never faster than a real one). Received bytes count as crossing the line one after another
// from their arrival; a reply starts 3.5 characters after the line fell quiet and goes out a character
// at a time, each byte written when its last bit would arrive.
class LinePace
{
  public:
    using Clock = std::chrono::steady_clock;

    explicit LinePace(int baud);

    // count bytes read from the line at `now`.
    void received(size_t count, Clock::time_point now);
    // False when a stop ended the reply early.
    bool send(SerialLine &line, const std::vector<uint8_t> &frame, const StopSignal &stop);

  private:
    Clock::duration character;
    Clock::time_point quietFrom; // the end of the last character on the line
};
