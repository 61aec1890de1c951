#pragma once

#include "cli/RecordSink.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Which records of each area to read: positions first..last-1.
struct AreaRange {
    int first = 0;
    int last = 0;
};
using AreaRanges = std::array<AreaRange, kLogAreas>;

// Every record of the areas chosen, as the analyzer counts them.
AreaRanges wholeAreas(const AnalyzerLink &analyzer, const std::array<bool, kLogAreas> &areas);

// One text for each area chosen whose count is negative ("sector 2: the analyzer reports -32000 records;
// nothing read"): the count register is signed, and nothing of such an area is read.
std::vector<std::string> negativeCounts(const AnalyzerLink &analyzer,
                                        const std::array<bool, kLogAreas> &areas);

struct FailedRecord {
    int area = 0;
    int index = 0;
    std::string error; // the stack's text of the last attempt
};

struct DownloadProgress {
    int area = 0;
    int64_t done = 0;  // records read so far, all areas
    int64_t total = 0; // records to read, all areas
    std::chrono::steady_clock::duration elapsed{};
};

struct DownloadResult {
    int64_t total = 0;
    int64_t delivered = 0;
    std::vector<FailedRecord> failed;
    bool stored = true; // the sink kept everything it was given
    bool complete() const { return failed.empty() && stored && delivered == total; }
};

// Reads the records of ranges in up to `passes` passes: the first reads every record, each further one
// only those that failed so far. The sink gets the records in order even when some arrive in a later
// pass; those still failing after the last pass are left out and listed in the result. progress (if
// given) is called after each record read.
DownloadResult download(AnalyzerLink &analyzer, const AreaRanges &ranges, int passes, RecordSink &sink,
                        const std::function<void(const DownloadProgress &)> &progress = {});

// "sector 3", "energy log".
std::string areaName(int area);

// "0A-0001": the area in two hex digits, the record in four, as the window's status bar names it.
std::string positionText(int area, int index);
