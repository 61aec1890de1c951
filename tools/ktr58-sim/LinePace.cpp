#include "LinePace.h"

#include <algorithm>

LinePace::LinePace(int baud)
    : character(std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(11000000000LL / baud)))
{
}

void LinePace::received(size_t count, Clock::time_point now)
{
    quietFrom = std::max(quietFrom, now) + character * static_cast<long>(count);
}

bool LinePace::send(SerialLine &line, const std::vector<uint8_t> &frame, const StopSignal &stop)
{
    const Clock::time_point start = std::max(Clock::now(), quietFrom + character * 7 / 2);
    size_t sent = 0;
    while (sent < frame.size()) {
        // Every byte that is due goes at once, so a late wake-up does not delay the rest.
        const auto due = (Clock::now() - start) / character;
        const size_t upTo = due > 0 ? std::min(frame.size(), static_cast<size_t>(due)) : 0;
        if (upTo > sent) {
            line.write(frame.data() + sent, upTo - sent);
            sent = upTo;
        } else if (!stop.sleepUntil(start + character * static_cast<long>(sent + 1))) {
            return false;
        }
    }
    quietFrom = std::max(Clock::now(), start + character * static_cast<long>(frame.size()));
    return true;
}
