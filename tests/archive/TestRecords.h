#pragma once

#include "archive/Archive.h"

#include <string>

// A record of the tests' archives: its number and time follow its position; first is its first value,
// the second one has no short decimal text.
inline ArchiveRecord record(int area, int position, double first)
{
    ArchiveRecord r;
    r.area = area;
    r.position = position;
    r.recordNo = position + 1;
    r.dateText = "31/12/09";
    r.timeText = "08:00:" + std::string(position < 10 ? "0" : "") + std::to_string(position % 60);
    r.codes.fill(kEmptySlot);
    r.codes[0] = 0;
    r.codes[1] = 27;
    r.values[0] = first;
    r.values[1] = 0.1 + 0.2; // must come back exactly
    return r;
}
