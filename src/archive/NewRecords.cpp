#include "archive/NewRecords.h"

#include <algorithm>

namespace
{

// What the ring search asks of one position of the analyzer's log.
class RingProbe
{
  public:
    RingProbe(Archive &archive, const std::string &serial, int area, const ArchiveRecord &newest,
              const RecordProbe &probe)
        : archive(archive), serial(serial), area(area), newest(newest), probe(probe)
    {
    }

    // Whether the analyzer's record at position came after the newest archived one: another than the one
    // archived there (overwritten, whatever its clock says: a clock set back or lost tells nothing), or,
    // where none is archived, not older by its clock. One that cannot be read counts as newer: reading
    // it again costs less than losing it.
    bool newer(int position) const
    {
        std::string error;
        const LogRecord *now = probe(area, position, error);
        if (!now)
            return true;
        const std::optional<ArchiveRecord> there = archive.lastRecord(serial, area, position + 1);
        if (there && there->position == position)
            return !there->sameRecord(*now);
        const std::string at = now->recordedAt();
        return at.empty() || at >= newest.recordedAt();
    }

  private:
    Archive &archive;
    const std::string &serial;
    const int area;
    const ArchiveRecord &newest;
    const RecordProbe &probe;
};

// How many of positions (in the order the log writes them) came after the newest archived record: the
// newer ones come first. The first is asked alone, as most often nothing new is there; then a binary
// search.
int newerPrefix(const std::vector<int> &positions, const RingProbe &ring)
{
    if (positions.empty() || !ring.newer(positions.front()))
        return 0;
    size_t low = 1, high = positions.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (ring.newer(positions[middle]))
            low = middle + 1;
        else
            high = middle;
    }
    return int(low);
}

} // namespace

NewRecordsCheck skipArchivedRecords(Archive &archive, const std::string &serial, AreaRanges &ranges,
                                    const RecordProbe &probe)
{
    NewRecordsCheck check;
    for (int area = 0; area < kAreaCount; ++area) {
        AreaRange &range = ranges[size_t(area)];
        const int count = range.last;
        if (count <= range.first)
            continue;
        const std::optional<ArchiveRecord> last = archive.lastRecord(serial, area, count);
        if (!last)
            continue; // nothing archived yet: all of it is new
        const std::optional<std::vector<int>> gaps = archive.readGaps(serial, area);
        if (!gaps) {
            check.gapsUnread.push_back({area, -1, archive.error()});
            continue;
        }
        // A ring log's newest record is not at its highest position once it wrapped; the clock tells.
        const ArchiveRecord newest = archive.newestRecord(serial, area, count).value_or(*last);
        std::string error;
        const LogRecord *now = probe(area, newest.position, error);
        if (!now) {
            // A dropped reply is no cleared log: reading the area whole would be no better off.
            check.unreadable.push_back({area, newest.position, error});
            range = {};
            continue;
        }
        if (!now->sameRecord(newest)) {
            check.readWhole.push_back(area);
            continue;
        }

        // The newest archived record is still there: what came after it follows it round the ring, up to
        // the highest archived position (beyond which nothing is archived), and from position 0. The two
        // runs are searched apart: records archived after the newest clock but without one of their own
        // (a clock lost) may still stand before the first, so it can end at once while the second goes on.
        std::vector<bool> read(size_t(count), false);
        for (int position = last->position + 1; position < count; ++position)
            read[size_t(position)] = true;
        std::vector<int> beforeEnd, fromStart;
        for (int position = newest.position + 1; position <= last->position; ++position)
            beforeEnd.push_back(position);
        for (int position = 0; position < newest.position; ++position)
            fromStart.push_back(position);
        const RingProbe ring(archive, serial, area, newest, probe);
        for (const std::vector<int> *run : {&beforeEnd, &fromStart}) {
            const int newer = newerPrefix(*run, ring);
            for (int k = 0; k < newer; ++k)
                read[size_t((*run)[size_t(k)])] = true;
        }

        // Narrowed, never widened: nothing below the first position asked for, but its gaps.
        const int wanted = std::max(range.first, 0);
        std::fill(read.begin(), read.begin() + wanted, false);
        range.first = count;
        while (range.first > wanted && read[size_t(range.first - 1)])
            --range.first;
        for (const int gap : *gaps)
            if (gap >= 0 && gap < count)
                read[size_t(gap)] = true;
        for (int position = 0; position < range.first; ++position)
            if (read[size_t(position)])
                range.before.push_back(position);
        check.archived += std::count(read.begin() + wanted, read.end(), false);
    }
    return check;
}
