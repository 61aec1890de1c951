#pragma once

#include "archive/Archive.h"
#include "model/RecordPosition.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The analyzer's record at a position of an area, read as the caller retries: the record, or nullptr
// and the reason in error.
using RecordProbe = std::function<const LogRecord *(int area, int position, std::string &error)>;

struct NewRecordsCheck {
    std::vector<int> readWhole;           // areas whose log was cleared or rewritten
    std::vector<FailedRecord> unreadable; // areas not read: their check record stayed unreadable
    int64_t archived = 0;                 // records left out because the archive holds them
};

// Narrows ranges to the records the archive lacks. The archived record of an area at the highest
// position the analyzer still has is read again there: when the analyzer still has it (same number,
// date and time), only the records after it and the gaps before it are new; otherwise the log was
// cleared or rewritten and the area is read whole, its records already archived being dropped by their
// keys. An area whose check stays unreadable is not read (its range emptied).
NewRecordsCheck skipArchivedRecords(Archive &archive, const std::string &serial, AreaRanges &ranges,
                                    const RecordProbe &probe);
