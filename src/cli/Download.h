#pragma once

#include "cli/RecordSink.h"
#include "model/RecordPosition.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Every record of the areas chosen, as the analyzer counts them.
AreaRanges wholeAreas(const AnalyzerLink &analyzer, const std::array<bool, kLogAreas> &areas);

// One text for each area chosen whose count is negative ("sector 2: the analyzer reports -32000 records;
// nothing read"): the count register is signed, and nothing of such an area is read.
std::vector<std::string> negativeCounts(const AnalyzerLink &analyzer,
                                        const std::array<bool, kLogAreas> &areas);

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
    bool stored = true;   // the sinks kept everything they were given
    bool stopped = false; // no sink could keep records any more: the rest were not read
    bool complete() const { return failed.empty() && stored && !stopped && delivered == total; }
};

// Reads the records of ranges in up to `passes` passes: the first reads every record, each further one
// only those that failed so far. Ordered sinks get the records in order even when some arrive in a later
// pass, the others each as it is read; those still failing after the last pass are left out and listed
// in the result. Reading stops once no sink is working. progress (if given) is called after each record
// read.
DownloadResult download(AnalyzerLink &analyzer, const AreaRanges &ranges, int passes,
                        const std::vector<RecordSink *> &sinks,
                        const std::function<void(const DownloadProgress &)> &progress = {});

// One record read as a download retries it: up to `passes` tries, a pause between them.
bool readRetrying(AnalyzerLink &analyzer, int area, int index, int passes);

// "sector 3", "energy log".
std::string areaName(int area);
