#pragma once

#include <cstdint>

// One absolute deadline on the steady clock, counted in 100-ns units. The
// master uses it to keep the starts of two attempts at least the poll delay apart.
class PollTimer
{
  public:
    PollTimer() { arm(0); }

    // Deadline := now + ms (ms taken as unsigned 32-bit).
    void arm(uint32_t ms);
    // Time left until the deadline in 100-ns units, 0 once it has passed.
    int64_t remaining() const;
    // Sleeps for the remaining time rounded to the nearest millisecond.
    void wait() const;

  private:
    int64_t deadline = 0;
};
