#pragma once

#include <string_view>

// The analyzer's clock as a record's texts give it ("31/12/09", "08:00:30"); the year is within 2000..2099.
struct RecordClock {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

// False unless the texts are three decimal numbers joined by '/' and by ':' that name a real date and
// time of day. Clocks never set give bytes of -1, which fail here.
bool parseRecordClock(std::string_view dateText, std::string_view timeText, RecordClock &clock);
