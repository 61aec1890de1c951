#pragma once

#include "model/AnalyzerMap.h"

#include <array>
#include <string>
#include <vector>

// "0A-0001": the area in two upper-case hex digits, the record in four, as the status bar and the
// command line name a record.
std::string recordPosition(int area, int index);

// Which records of each area to read: positions `before` (each below first), then first..last-1.
struct AreaRange {
    int first = 0;
    int last = 0;
    std::vector<int> before; // gaps left by earlier downloads, the newest records of a ring log
};
using AreaRanges = std::array<AreaRange, kAreaCount>;

struct FailedRecord {
    int area = 0;
    int index = 0;
    std::string error; // the stack's text of the last attempt
};
