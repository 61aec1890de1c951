#pragma once

#include "model/AnalyzerMap.h"

#include <array>
#include <memory>
#include <string>

namespace CLI
{
class App;
class Option;
} // namespace CLI

// The program's exit statuses, documented in --help.
enum ExitStatus : int {
    ExitComplete = 0,
    ExitUsage = 1,
    ExitNoAnalyzer = 2, // no link, or no analyzer answering on it
    ExitIncomplete = 3, // some records unreadable, or the output could not be written
};

extern const char *const kExitStatusHelp;

class AnalyzerLink;
struct ConnectionOptions;

// The analyzer of the connection options, opened and read (identity, configuration, counts). Null with
// status set (usage, no analyzer) and the reason on stderr, prefixed by the command's name.
std::unique_ptr<AnalyzerLink> openAnalyzer(const ConnectionOptions &options, const char *command,
                                           int &status);

// Each adds its subcommand to app; when the command line chooses it, its run sets status.
void addInfoCommand(CLI::App &app, int &status);
void addDownloadCommand(CLI::App &app, int &status);
void addCollectCommand(CLI::App &app, int &status);
void addExportCommand(CLI::App &app, int &status);
void addReportCommand(CLI::App &app, int &status);

class Output;
class RecordSink;

// An integer option read in base 10, leading zeros and all: CLI11 alone reads 010 as octal and 0x10 as
// hexadecimal. Checks chained on it see the number's decimal text.
CLI::Option *addIntegerOption(CLI::App &command, const std::string &name, int &value,
                              const std::string &help);

// --format and --lang of the commands that write records as text.
void addFormatOptions(CLI::App &command, std::string &format, std::string &lang);
// --tz ZONE: the zone the analyzer's clock keeps, checked to be one the system knows; fallback names
// the zone taken without it.
void addZoneOption(CLI::App &command, std::string &zone, const std::string &fallback = "the host's");
// The sink that writes format ("grid", "csv", "jsonl", "influx") to out; lang for the grid's headers,
// zone (empty: the host's) for the times of the others.
std::unique_ptr<RecordSink> textSink(const std::string &format, const std::string &lang,
                                     const std::string &zone, Output &out);
// The areas of a --sectors list, else the energy log with energy, else every area holding records.
std::array<bool, kAreaCount> chosenAreas(const std::string &sectors, bool energy,
                                         const AnalyzerLink &analyzer);

// Areas of a sector list such as "1-3,7" (sectors 1..15 are areas 0..14). False for anything else.
bool parseSectorList(const std::string &text, std::array<bool, kAreaCount> &areas);
