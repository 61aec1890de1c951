#include "cli/AnalyzerLink.h"
#include "cli/ArchiveOptions.h"
#include "cli/ArchiveSink.h"
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/Download.h"
#include "cli/Progress.h"
#include "cli/Sinks.h"
#include "model/AnalyzerMap.h"
#include "text/Language.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>

namespace
{

struct DownloadOptions {
    ConnectionOptions connection;
    std::string sectors;
    bool energy = false;
    bool all = false;
    std::string format = "csv";
    std::string output = "-";
    int passes = 3;
    std::string lang = "en";
    std::string zone;
    bool quiet = false;
    ArchiveOptions archive;
    bool textAsked = false; // --format or --output given
};

std::array<QString, 3> recordHeaders(const std::string &lang)
{
    LANGUAGE texts;
    fillLanguageTexts(texts, lang == "tr" ? TextLanguage::Turkish : TextLanguage::English);
    return {texts.captions[Captions::RecordNo], texts.captions[Captions::Date],
            texts.captions[Captions::Time]};
}

int runDownload(const DownloadOptions &o)
{
    int status = ExitComplete;
    const std::unique_ptr<AnalyzerLink> link = openAnalyzer(o.connection, "download", status);
    if (!link)
        return status;
    AnalyzerLink &analyzer = *link;
    std::unique_ptr<Archive> archive;
    if (!o.archive.chosen().empty() && !(archive = openArchive(o.archive.chosen(), "download")))
        return ExitIncomplete;
    Output out(o.output);
    if (!out.isOpen()) {
        std::fprintf(stderr, "pullrec-cli download: %s\n", out.error().c_str());
        return ExitIncomplete;
    }
    // With an archive, text goes out only when asked for.
    std::vector<RecordSink *> sinks;
    const std::unique_ptr<RecordSink> text =
        !archive || o.textAsked ? textSink(o.format, o.lang, o.zone, out) : nullptr;
    std::unique_ptr<ArchiveSink> archived =
        archive ? std::make_unique<ArchiveSink>(*archive, o.zone, o.archive.chosen()) : nullptr;
    for (RecordSink *sink : {text.get(), static_cast<RecordSink *>(archived.get())})
        if (sink)
            sinks.push_back(sink);

    const std::array<bool, kLogAreas> areas = chosenAreas(o.sectors, o.energy, analyzer);
    AreaRanges ranges = wholeAreas(analyzer, areas);
    const std::vector<std::string> unread = negativeCounts(analyzer, areas);
    for (const std::string &reason : unread)
        std::fprintf(stderr, "pullrec-cli download: %s\n", reason.c_str());
    std::vector<FailedRecord> unchecked;
    if (o.archive.newOnly) {
        std::string rereads;
        unchecked = skipArchived(analyzer, *archive, archiveIdentity(analyzer.source(), *archive).serial,
                                 ranges, o.passes, rereads);
        if (!rereads.empty())
            std::fprintf(stderr, "pullrec-cli download: log cleared or rewritten, reading whole: %s\n",
                         rereads.c_str());
        for (const FailedRecord &f : unchecked)
            std::fprintf(
                stderr,
                "pullrec-cli download: %s not read: its last archived record %s is unreadable after %d "
                "passes: %s\n",
                areaName(f.area).c_str(), recordPosition(f.area, f.index).c_str(), o.passes, f.error.c_str());
    }
    Progress progress(!o.quiet && ::isatty(STDERR_FILENO));
    const DownloadResult result = download(analyzer, ranges, o.passes, sinks,
                                           [&progress](const DownloadProgress &p) { progress.show(p); });
    progress.finish();
    for (const FailedRecord &f : result.failed)
        std::fprintf(stderr,
                     "pullrec-cli download: record %s (%s, record %d) unreadable after %d passes: %s\n",
                     recordPosition(f.area, f.index).c_str(), areaName(f.area).c_str(), f.index, o.passes,
                     f.error.c_str());
    const std::string &storeError = archived && !archived->error().empty() ? archived->error() : out.error();
    if (result.stopped)
        std::fprintf(stderr, "pullrec-cli download: stopped reading: %s\n", archived->error().c_str());
    else if (!result.stored && !storeError.empty()) // else the sink said why
        std::fprintf(stderr, "pullrec-cli download: %s\n", storeError.c_str());
    if (!result.complete() || !unchecked.empty()) {
        std::fprintf(stderr, "pullrec-cli download: incomplete, %lld of %lld records\n",
                     (long long)result.delivered, (long long)result.total);
        return ExitIncomplete;
    }
    return unread.empty() ? ExitComplete : ExitIncomplete;
}

} // namespace

void addFormatOptions(CLI::App &command, std::string &format, std::string &lang)
{
    command
        .add_option("--format", format,
                    "grid: the window's CSV file (\";\" after each cell, code page 1254); csv: UTF-8, comma "
                    "separated; jsonl: one JSON object a record; influx: line protocol; xlsx: a spreadsheet "
                    "(default csv)")
        ->check(CLI::IsMember({"grid", "csv", "jsonl", "influx", "xlsx"}));
    command.add_option("--lang", lang, "language of the grid's headers: en or tr (default en)")
        ->check(CLI::IsMember({"en", "tr"}));
}

void addZoneOption(CLI::App &command, std::string &zone, const std::string &fallback)
{
    command
        .add_option(
            "--tz", zone,
            "zone the analyzer's clock keeps, such as Europe/Berlin (default " + fallback +
                "); a time its clock shows twice is taken the first time, one it skips with the offset "
                "before")
        ->check(CLI::Validator(
            [](std::string &name) {
                return clockZone(name).isValid() ? std::string() : "unknown time zone: " + name;
            },
            "ZONE"));
}

std::unique_ptr<RecordSink> textSink(const std::string &format, const std::string &lang,
                                     const std::string &zone, Output &out)
{
    static const std::map<std::string, RecordFormat> formats = {
        {"csv", RecordFormat::Csv}, {"jsonl", RecordFormat::Jsonl}, {"influx", RecordFormat::Influx}};
    if (format == "grid")
        return std::make_unique<GridSink>(out, recordHeaders(lang));
    if (format == "xlsx")
        return std::make_unique<FormatSink>(out, clockZone(zone), std::make_unique<RecordWorkbook>());
    return std::make_unique<FormatSink>(out, formats.at(format), clockZone(zone));
}

std::array<bool, kLogAreas> chosenAreas(const std::string &sectors, bool energy, const AnalyzerLink &analyzer)
{
    std::array<bool, kLogAreas> areas{};
    if (!sectors.empty()) {
        parseSectorList(sectors, areas);
    } else if (energy) {
        areas[kEnergyArea] = true;
    } else {
        for (int area = 0; area < kLogAreas; ++area)
            areas[size_t(area)] = analyzer.recordCount(area) != 0; // a negative count is reported
    }
    return areas;
}

void addDownloadCommand(CLI::App &app, int &status)
{
    auto options = std::make_shared<DownloadOptions>();
    DownloadOptions &o = *options;
    CLI::App *cmd = app.add_subcommand("download", "Reads log records and writes them as text");
    addConnectionOptions(*cmd, o.connection);
    auto *sectors = cmd->add_option("--sectors", o.sectors, "sectors to read, such as 1-3,7 (sectors 1-15)")
                        ->check(CLI::Validator(
                            [](std::string &text) {
                                std::array<bool, kLogAreas> areas{};
                                return parseSectorList(text, areas) ? std::string()
                                                                    : "not a list of sectors 1-15: " + text;
                            },
                            "LIST"));
    auto *energy = cmd->add_flag("--energy", o.energy, "read the energy log");
    auto *all = cmd->add_flag("--all", o.all, "read every area that holds records (the default)");
    sectors->excludes(energy)->excludes(all);
    energy->excludes(all);
    addFormatOptions(*cmd, o.format, o.lang);
    addZoneOption(*cmd, o.zone);
    auto *output =
        cmd->add_option("--output,-o", o.output, "file to write, - for standard output (the default)");
    addIntegerOption(*cmd, "--passes", o.passes,
                     "passes over records that failed before giving them up (default 3)")
        ->check(CLI::Range(1, 100));
    cmd->add_flag("--quiet,-q", o.quiet, "no progress on stderr");
    addArchiveOptions(*cmd, o.archive, true);
    cmd->footer(kExitStatusHelp);
    cmd->callback([options, output, cmd, &status] {
        options->textAsked = output->count() > 0 || cmd->get_option("--format")->count() > 0;
        status = runDownload(*options);
    });
}
