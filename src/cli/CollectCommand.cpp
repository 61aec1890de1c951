#include "cli/AnalyzerLink.h"
#include "cli/ArchiveOptions.h"
#include "cli/ArchiveSink.h"
#include "cli/Commands.h"
#include "cli/Fleet.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace
{

struct CollectOptions {
    std::string fleet;
    ArchiveOptions archive;
    int jobs = 4;
    int passes = 3;
};

struct Summary {
    int status = ExitComplete;
    std::string line;
};

// Worse first: no analyzer, then incomplete, then complete.
int severity(int status)
{
    return status == ExitNoAnalyzer ? 2 : status == ExitIncomplete ? 1 : 0;
}

Summary collectOne(const FleetAnalyzer &a, AnalyzerLink &link, Archive *archive,
                   const std::string &archiveFailure, const CollectOptions &o)
{
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    char text[1024];
    COMSETT settings;
    std::string error;
    toSettings(a.connection, settings, error);
    COMSETT shared = link.worker.settings(); // the link is the group's
    shared.slaveAddress = settings.slaveAddress;
    shared.pollDelay = settings.pollDelay;
    link.worker.setSettings(shared);
    if (!archive || !link.open()) {
        std::snprintf(text, sizeof text, "%s: failed, %s (%.1f s)", a.name.c_str(),
                      archive ? link.error().c_str() : archiveFailure.c_str(), seconds());
        return {ExitNoAnalyzer, text};
    }
    const std::string serial = archiveIdentity(link.source(), *archive).serial;
    const std::array<bool, kLogAreas> areas = chosenAreas(a.sectors, a.energy, link);
    AreaRanges ranges = wholeAreas(link, areas);
    std::string unread;
    for (const std::string &text : negativeCounts(link, areas))
        unread += "; " + text;
    std::string rereads;
    std::vector<FailedRecord> unchecked;
    if (o.archive.newOnly)
        unchecked = skipArchived(link, *archive, serial, ranges, o.passes, rereads);
    ArchiveSink sink(*archive, a.zone, o.archive.chosen().empty() ? kDefaultArchive : o.archive.chosen());
    const DownloadResult result = download(link, ranges, o.passes, {&sink});
    const StoreCounts counts = sink.counts();
    const int status =
        result.complete() && unchecked.empty() && unread.empty() ? ExitComplete : ExitIncomplete;
    std::string notes;
    if (!rereads.empty())
        notes += "; log cleared or rewritten, read whole: " + rereads;
    for (const FailedRecord &f : unchecked)
        notes += "; " + areaName(f.area) + " not read, its last archived record " +
                 recordPosition(f.area, f.index) + " unreadable: " + f.error;
    notes += unread;
    std::snprintf(text, sizeof text,
                  "%s: serial %s, %lld new, %lld already archived, %zu failed%s%s%s (%.1f s)%s",
                  a.name.c_str(), serial.c_str(), (long long)counts.added, (long long)counts.present,
                  result.failed.size(), result.stopped ? ", stopped reading" : "",
                  sink.error().empty() ? "" : ", archive: ", sink.error().c_str(), seconds(), notes.c_str());
    return {status, text};
}

int runCollect(const CollectOptions &o)
{
    std::vector<FleetAnalyzer> fleet;
    std::string error;
    if (!readFleet(o.fleet, fleet, error)) {
        std::fprintf(stderr, "pullrec-cli collect: %s\n", error.c_str());
        return ExitUsage;
    }
    const std::string location = o.archive.chosen().empty() ? kDefaultArchive : o.archive.chosen();
    if (!openArchive(location, "collect")) // the schema before the jobs, and a clear message once
        return ExitNoAnalyzer;

    const auto groups = groupByLink(fleet);
    std::vector<Summary> summaries(fleet.size());
    std::atomic<size_t> nextGroup{0};
    auto work = [&] {
        for (size_t g; (g = nextGroup++) < groups.size();) {
            std::string ignored;
            std::string failure;
            std::unique_ptr<Archive> archive = Archive::open(location, failure);
            COMSETT settings;
            toSettings(groups[g].front()->connection, settings, ignored);
            AnalyzerLink link(settings);
            if (groups[g].front()->connection.verbose)
                link.reportTrafficAs("collect");
            for (const FleetAnalyzer *a : groups[g])
                summaries[size_t(a - fleet.data())] = collectOne(*a, link, archive.get(), failure, o);
        }
    };
    std::vector<std::thread> jobs;
    for (int j = 0; j < std::min<int>(o.jobs, int(groups.size())); ++j)
        jobs.emplace_back(work);
    for (std::thread &job : jobs)
        job.join();

    int status = ExitComplete;
    for (const Summary &s : summaries) {
        std::printf("%s\n", s.line.c_str());
        if (severity(s.status) > severity(status))
            status = s.status;
    }
    return status;
}

} // namespace

void addCollectCommand(CLI::App &app, int &status)
{
    auto options = std::make_shared<CollectOptions>();
    CollectOptions &o = *options;
    CLI::App *cmd = app.add_subcommand(
        "collect",
        "Reads every analyzer of a fleet file into the archive, analyzers on different links at once");
    cmd->add_option(
           "--fleet", o.fleet,
           "INI file, a section per analyzer with keys like the options: tcp = HOST:PORT or rtu = DEVICE, "
           "baud, unit, timeout, retries, poll-delay, sectors = LIST, energy = true, all = true")
        ->required()
        ->check(CLI::ExistingFile);
    addArchiveOptions(*cmd, o.archive, true);
    addIntegerOption(*cmd, "--jobs,-j", o.jobs, "links read at the same time (default 4)")
        ->check(CLI::Range(1, 256));
    addIntegerOption(*cmd, "--passes", o.passes,
                     "passes over records that failed before giving them up (default 3)")
        ->check(CLI::Range(1, 100));
    cmd->footer(std::string("Prints a line per analyzer: records new, already archived, failed, time. ") +
                "Exit status: the worst analyzer's: 2 when one could not be reached, else 3 when one is "
                "incomplete, else 0; 1 for a usage error or a bad fleet file.");
    cmd->callback([options, &status] { status = runCollect(*options); });
}
