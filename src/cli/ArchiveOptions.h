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

    // The archive to use: the location given, the default for --archive without one or for --new-only,
    // or empty for none.
    std::string chosen() const;
};

// --archive [URL] and, with newOnly (the commands that download), --new-only.
void addArchiveOptions(CLI::App &command, ArchiveOptions &options, bool newOnly);

// Opens the chosen archive; nullptr after telling why on stderr, prefixed with command.
std::unique_ptr<Archive> openArchive(const std::string &location, const char *command);

// Narrows ranges to the records the archive lacks. The last record archived of an area is read again at
// its position: when the analyzer still has it there (same number, date and time), only the records
// after it are new; otherwise the log was cleared or rewritten and the area is read whole, its records
// already archived being dropped by their keys. Areas read whole are named in notes.
void skipArchived(AnalyzerLink &analyzer, Archive &archive, const std::string &serial, AreaRanges &ranges,
                  std::string &notes);
