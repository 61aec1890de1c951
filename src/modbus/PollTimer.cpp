#include "modbus/PollTimer.h"

#include <chrono>
#include <thread>

namespace
{

using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>; // 100 ns

int64_t now()
{
    return std::chrono::duration_cast<Ticks>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

void PollTimer::arm(uint32_t ms)
{
    deadline = now() + static_cast<int64_t>(ms) * 10000;
}

int64_t PollTimer::remaining() const
{
    const int64_t left = deadline - now();
    return left > 0 ? left : 0;
}

void PollTimer::wait() const
{
    constexpr int64_t hour = 3600000;
    int64_t ms = (remaining() + 5000) / 10000;
    // Sleep in slices of at most an hour, as a millisecond sleep with a 32-bit argument would.
    while (ms > hour) {
        std::this_thread::sleep_for(std::chrono::milliseconds(hour));
        ms -= hour;
    }
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
