#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

// The analyzer's clock as a record's texts give it ("31/12/09", "08:00:30"); the year is within 2000..2099.
struct RecordClock {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

// False unless the texts are three decimal numbers joined by '/' and by ':' that name a real date and
// time of day. Clocks never set give bytes of -1, which fail here.
bool parseRecordClock(std::string_view dateText, std::string_view timeText, RecordClock &clock);

// Seconds since 1970-01-01 00:00:00 of the clock's reading, as if the clock kept UTC.
int64_t clockSeconds(const RecordClock &clock);

// The UTC offset in seconds of the clock's reading in a zone whose offset at a UTC instant (seconds since
// the epoch) offsetAt gives. A reading the zone skips (clocks put forward) gets the offset in force before
// the change; one it has twice (clocks put back) the first, the earlier instant. Assumes the zone's
// transitions are more than two days apart, as every real zone's are.
int localOffset(const RecordClock &clock, const std::function<int(int64_t)> &offsetAt);
