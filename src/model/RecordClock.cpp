#include "model/RecordClock.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace
{

// "31/12/09" into {31, 12, 9}; false unless three decimal numbers joined by separator.
bool splitThree(std::string_view text, char separator, int (&parts)[3])
{
    const char *at = text.data();
    const char *end = at + text.size();
    for (int k = 0; k < 3; ++k) {
        const auto [next, ec] = std::from_chars(at, end, parts[k]);
        if (ec != std::errc() || (k < 2 && (next == end || *next != separator)) || (k == 2 && next != end))
            return false;
        at = next + 1;
    }
    return true;
}

} // namespace

bool parseRecordClock(std::string_view dateText, std::string_view timeText, RecordClock &clock)
{
    int d[3], t[3];
    if (!splitThree(dateText, '/', d) || !splitThree(timeText, ':', t))
        return false;
    if (d[0] < 1 || d[1] < 1 || d[2] < 0 || d[2] > 99)
        return false;
    const std::chrono::year_month_day day{std::chrono::year(2000 + d[2]), std::chrono::month(unsigned(d[1])),
                                          std::chrono::day(unsigned(d[0]))};
    if (!day.ok() || t[0] < 0 || t[0] > 23 || t[1] < 0 || t[1] > 59 || t[2] < 0 || t[2] > 59)
        return false;
    clock = {2000 + d[2], d[1], d[0], t[0], t[1], t[2]};
    return true;
}

int64_t clockSeconds(const RecordClock &clock)
{
    using namespace std::chrono;
    const sys_days day{year(clock.year) / month(unsigned(clock.month)) /
                       std::chrono::day(unsigned(clock.day))};
    return day.time_since_epoch().count() * int64_t{86400} + clock.hour * 3600 + clock.minute * 60 +
           clock.second;
}

int localOffset(const RecordClock &clock, const std::function<int(int64_t)> &offsetAt)
{
    // A day either side is past any offset (at most 26 hours apart), so these are the offsets in force
    // before and after a change near the reading.
    constexpr int64_t kDay = 86400;
    const int64_t reading = clockSeconds(clock);
    const int before = offsetAt(reading - kDay);
    const int after = offsetAt(reading + kDay);
    // The larger offset is the earlier instant.
    for (const int offset : {std::max(before, after), std::min(before, after)})
        if (offsetAt(reading - offset) == offset)
            return offset;
    return before;
}
