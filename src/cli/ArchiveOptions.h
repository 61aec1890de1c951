#pragma once

#include "archive/Archive.h"
#include "cli/Download.h"

#include <string>

namespace CLI
{
class App;
class Option;
} // namespace CLI

inline constexpr const char *kDefaultArchive = "sqlite:pullrec.db";

struct ArchiveOptions {
    std::string location;
    bool newOnly = false;
    CLI::Option *archiveOption = nullptr;

    // The archive to use: the location given (a relative SQLite path made absolute), the default for
    // --archive without one or for --new-only, or empty for none.
    std::string chosen() const;
};

// --archive [URL] and, with newOnly (the commands that download), --new-only.
void addArchiveOptions(CLI::App &command, ArchiveOptions &options, bool newOnly);

// Opens the chosen archive; nullptr after telling why on stderr, prefixed with command.
std::unique_ptr<Archive> openArchive(const std::string &location, const char *command,
                                     ArchiveAccess access = ArchiveAccess::Write);

// Narrows ranges to the records the archive lacks, as skipArchivedRecords does, each check record
// retried as a download retries (up to passes). Areas read whole are named in notes. An area whose
// check stays unreadable is not read: it is returned as failed.
std::vector<FailedRecord> skipArchived(AnalyzerLink &analyzer, Archive &archive, const std::string &serial,
                                       AreaRanges &ranges, int passes, std::string &notes);
