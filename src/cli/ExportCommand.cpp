#include "cli/AnalyzerLink.h"
#include "cli/ArchiveOptions.h"
#include "cli/Commands.h"
#include "cli/Sinks.h"
#include "text/ArchivedSource.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

namespace
{

struct ExportOptions {
    ArchiveOptions archive;
    std::optional<std::string> analyzer; // none: every analyzer
    int area = 0;                        // 1..16, 0 for all
    std::string from, to;
    std::string format;
    std::string output = "-";
    std::string lang = "en";
    std::string zone;
};

using Run = RecordRun;

int runExport(const ExportOptions &o)
{
    RecordFilter filter;
    filter.analyzer = o.analyzer;
    filter.area = o.area - 1;
    filter.from = normalizeTime(o.from, false);
    filter.to = normalizeTime(o.to, true);
    if (filter.from.empty() != o.from.empty() || filter.to.empty() != o.to.empty()) {
        std::fprintf(stderr, "pullrec-cli export: --from and --to take YYYY-MM-DD[THH:MM[:SS]]\n");
        return ExitUsage;
    }
    const std::string location = o.archive.chosen().empty() ? kDefaultArchive : o.archive.chosen();
    // Two connections: PostgreSQL streams the records on one while the other looks up analyzers.
    std::unique_ptr<Archive> records = openArchive(location, "export", ArchiveAccess::Read);
    std::unique_ptr<Archive> analyzers =
        records ? openArchive(location, "export", ArchiveAccess::Read) : nullptr;
    if (!analyzers)
        return ExitNoAnalyzer;

    Output out(o.output);
    if (!out.isOpen()) {
        std::fprintf(stderr, "pullrec-cli export: %s\n", out.error().c_str());
        return ExitIncomplete;
    }
    const std::unique_ptr<RecordSink> sink = textSink(o.format, o.lang, o.zone, out);
    std::array<bool, kLogAreas> areas{};
    areas.fill(o.area == 0);
    if (o.area > 0)
        areas[size_t(o.area - 1)] = true;

    std::map<std::string, std::optional<AnalyzerIdentity>> known;
    RecordLog::Source source;
    auto *format = dynamic_cast<FormatSink *>(sink.get());
    // source as the analyzer of run; the areas its records come from.
    auto assume = [&](const Run &run) {
        auto found = known.find(run.analyzer);
        if (found == known.end())
            found = known.emplace(run.analyzer, analyzers->analyzer(run.analyzer)).first;
        const AnalyzerIdentity id = found->second.value_or(AnalyzerIdentity{run.analyzer, "", "", "", 1, 1});
        if (format)
            format->setZone(clockZone(o.zone, id.zone));
        source = archivedSource(id, run.codes);
        source.modelCode = modelCodeOf(source.identity.model);
        std::array<bool, kLogAreas> of = areas;
        if (o.area == 0)
            for (int area = 0; area < kLogAreas; ++area)
                of[size_t(area)] = (area == kEnergyArea) == run.energy;
        return of;
    };

    // One table: every configuration's columns are known before the header is written.
    std::vector<Run> runs;
    Run current;
    bool read = !format || records->forEach(filter, [&](const StoredRecord &stored) {
        current = Run::of(stored, current);
        if (std::find(runs.begin(), runs.end(), current) == runs.end()) {
            runs.push_back(current);
            const std::array<bool, kLogAreas> of = assume(current);
            format->declare(source, of);
        }
        return true;
    });

    current = {};
    bool begun = false;
    read = read && records->forEach(filter, [&](const StoredRecord &stored) {
        const ArchiveRecord &r = stored.record;
        const Run run = Run::of(stored, current);
        if (!begun || run != current) {
            const std::array<bool, kLogAreas> of = assume(run);
            sink->begin(source, of);
            current = run;
            begun = true;
        }
        sink->record(r);
        return true;
    });
    if (!read)
        std::fprintf(stderr, "pullrec-cli export: %s\n", records->error().c_str());
    if (!begun && !format) {
        sink->begin(RecordLog::Source(), areas);
    }
    if (!sink->end()) {
        if (!out.error().empty()) // else the sink said why
            std::fprintf(stderr, "pullrec-cli export: %s\n", out.error().c_str());
        return ExitIncomplete;
    }
    return read ? ExitComplete : ExitIncomplete;
}

} // namespace

void addExportCommand(CLI::App &app, int &status)
{
    auto options = std::make_shared<ExportOptions>();
    ExportOptions &o = *options;
    CLI::App *cmd = app.add_subcommand("export", "Writes the records the archive holds as text");
    addArchiveOptions(*cmd, o.archive, false);
    // An empty serial names the analyzer kept under it, not every one.
    cmd->add_option_function<std::string>(
        "--analyzer", [&o](const std::string &key) { o.analyzer = key; },
        "only this analyzer (its serial number, or as the archive lists it)");
    addIntegerOption(*cmd, "--area", o.area, "only this area: sector 1-15, or 16 for the energy log")
        ->check(CLI::Range(1, kAreaCount));
    cmd->add_option("--from", o.from,
                    "records from this time on: YYYY-MM-DD[THH:MM[:SS]], the analyzer's clock");
    cmd->add_option("--to", o.to, "records up to this time (a date alone: to its end)");
    addFormatOptions(*cmd, o.format, o.lang);
    cmd->get_option("--format")->required();
    addZoneOption(*cmd, o.zone, "the one kept with the analyzer, else the host's");
    cmd->add_option("--output,-o", o.output, "file to write, - for standard output (the default)");
    cmd->footer(
        "Records come by analyzer, area and the order they were archived in; grid of one analyzer and "
        "area is the window's CSV file of those records. Exit status: 0 done, 1 usage error, 2 the "
        "archive cannot be opened, 3 the archive or the output failed on the way.");
    cmd->callback([options, &status] { status = runExport(*options); });
}
