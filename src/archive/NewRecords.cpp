#include "archive/NewRecords.h"

#include <algorithm>

NewRecordsCheck skipArchivedRecords(Archive &archive, const std::string &serial, AreaRanges &ranges,
                                    const RecordProbe &probe)
{
    NewRecordsCheck check;
    for (int area = 0; area < kAreaCount; ++area) {
        AreaRange &range = ranges[size_t(area)];
        if (range.last <= range.first)
            continue;
        const std::optional<ArchiveRecord> last = archive.lastRecord(serial, area, range.last);
        if (!last)
            continue; // nothing archived yet: all of it is new
        std::string error;
        const LogRecord *now = probe(area, last->position, error);
        if (!now) {
            // A dropped reply is no cleared log: reading the area whole would be no better off.
            check.unreadable.push_back({area, last->position, error});
            range = {};
            continue;
        }
        if (!now->sameRecord(*last)) {
            check.readWhole.push_back(area);
            continue;
        }
        const int wanted = range.first;
        range.first = std::max(range.first, last->position + 1);
        int64_t gapsSkipped = 0;
        for (const int gap : archive.gaps(serial, area))
            if (gap < range.first) {
                range.before.push_back(gap);
                gapsSkipped += gap >= wanted;
            }
        check.archived += range.first - wanted - gapsSkipped;
    }
    return check;
}
