#pragma once

#include "archive/Archive.h"
#include "model/RecordPosition.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The analyzer's record at a position of an area, read as the caller retries: the record (valid until
// the next call), or nullptr and the reason in error.
using RecordProbe = std::function<const LogRecord *(int area, int position, std::string &error)>;

struct NewRecordsCheck {
    std::vector<int> readWhole;           // areas whose log was cleared or rewritten
    std::vector<FailedRecord> unreadable; // areas not read: their check record stayed unreadable
    // Areas read whole as the archive's gaps could not be read (index -1, error the archive's reason):
    // a record given up before could not be ruled out otherwise.
    std::vector<FailedRecord> gapsUnread;
    int64_t archived = 0; // records left out because the archive holds them
};

// Narrows ranges to the records the archive lacks. The newest archived record of an area (by its clock,
// else the one at the highest position) is read again where the analyzer had it. When the analyzer
// still has it (same number, date and time), the new records are those after it: the positions above
// the highest archived one, and those a ring log overwrote since, which follow it round the ring (from
// the position after it, on from position 0) as long as the analyzer's record there is not archived
// there and not older; a binary search over the ring finds where they end. The gaps are read too. When
// the newest archived record is gone, the log was cleared or rewritten (or a ring overwrote all of it):
// the area is read whole, its records already archived being dropped by their keys. An area whose check
// stays unreadable is not read (its range emptied); one whose gaps cannot be read is read whole.
NewRecordsCheck skipArchivedRecords(Archive &archive, const std::string &serial, AreaRanges &ranges,
                                    const RecordProbe &probe);
