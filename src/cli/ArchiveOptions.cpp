#include "cli/ArchiveOptions.h"

#include "cli/AnalyzerLink.h"

#include <CLI/CLI.hpp>

#include <cstdio>

std::string ArchiveOptions::chosen() const
{
    if (!location.empty())
        return location;
    return newOnly || (archiveOption && archiveOption->count() > 0) ? kDefaultArchive : std::string();
}

void addArchiveOptions(CLI::App &command, ArchiveOptions &options, bool newOnly)
{
    // Commands that only read an archive use it with or without the option.
    const std::string what = newOnly ? "keep the records in an archive" : "the archive to read";
    options.archiveOption =
        command
            .add_option("--archive", options.location,
                        what + ": sqlite:PATH, postgresql://... or a PostgreSQL connection string "
                               "(sqlite:pullrec.db when given without a value)")
            ->expected(0, 1);
    if (newOnly)
        command.add_flag(
            "--new-only", options.newOnly,
            "read only the records the archive does not hold yet (archive sqlite:pullrec.db unless "
            "--archive says otherwise)");
}

std::unique_ptr<Archive> openArchive(const std::string &location, const char *command, ArchiveAccess access)
{
    std::string error;
    std::unique_ptr<Archive> archive = Archive::open(location, error, access);
    if (!archive)
        std::fprintf(stderr, "pullrec-cli %s: %s\n", command, error.c_str());
    return archive;
}

std::vector<FailedRecord> skipArchived(AnalyzerLink &analyzer, Archive &archive, const std::string &serial,
                                       AreaRanges &ranges, int passes, std::string &notes)
{
    std::vector<FailedRecord> unreadable;
    for (int area = 0; area < kLogAreas; ++area) {
        AreaRange &range = ranges[size_t(area)];
        if (range.last <= range.first)
            continue;
        const std::optional<ArchiveRecord> last = archive.lastRecord(serial, area, range.last);
        if (!last)
            continue; // nothing archived yet: all of it is new
        if (!readRetrying(analyzer, area, last->position, passes)) {
            // A dropped reply is no cleared log: reading the area whole would be no better off.
            unreadable.push_back({area, last->position, analyzer.worker.lastError()});
            range = {};
            continue;
        }
        if (analyzer.worker.record().sameRecord(*last)) {
            range.first = std::max(range.first, last->position + 1);
            for (const int gap : archive.gaps(serial, area))
                if (gap < range.first)
                    range.before.push_back(gap);
            continue;
        }
        notes += std::string(notes.empty() ? "" : ", ") + areaName(area);
    }
    return unreadable;
}
