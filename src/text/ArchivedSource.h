#pragma once

#include "archive/Archive.h"
#include "model/RecordLog.h"

// The analyzer as the archive keeps it, for records of the configuration codes; texts back in the
// device's code page. The model code is the caller's to set (the worker reads it from the model text).
RecordLog::Source archivedSource(const AnalyzerIdentity &analyzer,
                                 const std::array<int16_t, kLogSlots> &codes);

// A run of stored records one grid header suits: an analyzer's sector records of one configuration, or
// its energy records.
struct RecordRun {
    std::string analyzer;
    bool energy = false;
    std::array<int16_t, kLogSlots> codes{};
    bool operator==(const RecordRun &) const = default;

    // The run of a stored record following the run before it; energy records keep the codes before them.
    static RecordRun of(const StoredRecord &stored, const RecordRun &before);
};
