#include "cli/ArchiveOptions.h"

#include "archive/NewRecords.h"
#include "cli/AnalyzerLink.h"

#include <CLI/CLI.hpp>

#include <cstdio>

std::string ArchiveOptions::chosen() const
{
    if (!location.empty())
        return absoluteLocation(location);
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
            ->expected(0, 1)
            ->check([](const std::string &location) {
                // A location that names no archive is a usage error, before any link is opened.
                return location.empty() ? std::string() : Archive::checkLocation(location);
            });
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
    const NewRecordsCheck check =
        skipArchivedRecords(archive, serial, ranges, [&](int area, int position, std::string &error) {
            if (readRetrying(analyzer, area, position, passes))
                return &analyzer.worker.record();
            error = analyzer.worker.lastError();
            return static_cast<const LogRecord *>(nullptr);
        });
    for (const int area : check.readWhole)
        notes += std::string(notes.empty() ? "" : ", ") + areaName(area);
    for (const FailedRecord &f : check.gapsUnread)
        std::fprintf(stderr, "pullrec-cli: %s read whole: %s\n", areaName(f.area).c_str(), f.error.c_str());
    return check.unreadable;
}
