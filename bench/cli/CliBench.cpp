// pullrec-cli downloading 15 sectors of 1000 records from ktr58-sim over loopback TCP, poll delay 0, as
// csv to /dev/null, into a new SQLite archive and into a new PostgreSQL database, against the headless
// worker on the same simulator, in alternating rounds. The program's whole run counts: start, connect,
// identity, configuration, counts and every record (and the last archive commit). Then collect of 8
// simulators that answer like real analyzers (10 ms a reply), 8 links at once against one at a time.

#include "../DownloadBench.h"
#include "PgServer.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr int kRounds = 5;

std::string cliBinary()
{
    const std::string sim = SimProcess::binary();
    return sim.substr(0, sim.rfind('/') + 1) + "pullrec-cli";
}

// Seconds of one pullrec-cli run; negative when it fails.
double cliRunSeconds(const std::vector<std::string> &args)
{
    const auto start = Clock::now();
    const ProgramRun run = runProgram(cliBinary(), args, 5 * 60 * 1000);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (run.exitCode != 0) {
        std::fprintf(stderr, "pullrec-cli exited %d: %s%s\n", run.exitCode, run.out.c_str(), run.err.c_str());
        return -1;
    }
    return elapsed;
}

// Seconds of one pullrec-cli download with extraArgs; negative when it fails.
double cliSeconds(int port, const std::vector<std::string> &extraArgs)
{
    std::vector<std::string> args{"download",  "--tcp",  "127.0.0.1:" + std::to_string(port),
                                  "--sectors", "1-15",   "--poll-delay",
                                  "0",         "--quiet"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return cliRunSeconds(args);
}

// collect of 8 simulators with 10 ms replies, --jobs 8 against --jobs 1: the ratio of the rates.
double collectSpeedUp(const std::filesystem::path &dir)
{
    constexpr int kAnalyzers = 8;
    constexpr int kEach = 60;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::ofstream fleet(dir / "fleet.ini");
    for (int k = 0; k < kAnalyzers; ++k) {
        sims.push_back(std::make_unique<SimProcess>());
        std::string counts = std::to_string(kEach);
        for (int area = 1; area < kAreaCount; ++area)
            counts += ",0";
        if (!sims.back()->startTcp({"--records", counts, "--delay", "10", "--seed", std::to_string(k + 1)}))
            return -1;
        fleet << "[a" << k << "]\ntcp = 127.0.0.1:" << sims.back()->tcpPort() << "\n";
    }
    fleet.close();
    double seconds[2];
    const char *jobs[] = {"1", "8"};
    for (int j = 0; j < 2; ++j) {
        const std::string db = "sqlite:" + (dir / ("collect" + std::string(jobs[j]) + ".db")).string();
        seconds[j] = cliRunSeconds(
            {"collect", "--fleet", (dir / "fleet.ini").string(), "--archive", db, "--jobs", jobs[j]});
        if (seconds[j] < 0)
            return -1;
    }
    const double records = kAnalyzers * kEach;
    std::printf("collect of %d simulators answering in 10 ms, %d records each: --jobs 1 %.0f, --jobs 8 %.0f "
                "records per second\n",
                kAnalyzers, kEach, records / seconds[0], records / seconds[1]);
    return seconds[0] / seconds[1];
}

} // namespace

int main()
{
    SimProcess sim;
    PgServer pg;
    if (!startSimulator(sim) || !pg.start()) {
        std::fprintf(stderr, "%s\n", pg.error().c_str());
        return 1;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("pullrec-cli-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    // Each way of keeping the records, with its target against the headless worker.
    struct Row {
        const char *name;
        double target;
        std::vector<double> rates, ratios;
    };
    Row rows[] = {
        {"csv", 0.95, {}, {}}, {"sqlite archive", 0.9, {}, {}}, {"postgresql archive", 0.8, {}, {}}};
    std::vector<double> headlessRates;
    for (int round = 1; round <= kRounds; ++round) {
        const std::string database = "bench" + std::to_string(round);
        const double headless = headlessDownloadSeconds(sim.tcpPort());
        const double seconds[] = {
            cliSeconds(sim.tcpPort(), {"--format", "csv", "--output", "/dev/null"}),
            cliSeconds(sim.tcpPort(), {"--archive", "sqlite:" + (dir / (database + ".db")).string()}),
            pg.createDatabase(database) ? cliSeconds(sim.tcpPort(), {"--archive", pg.connection(database)})
                                        : -1};
        if (headless < 0 || seconds[0] < 0 || seconds[1] < 0 || seconds[2] < 0) {
            std::fprintf(stderr, "a download did not complete\n");
            return 1;
        }
        headlessRates.push_back(kRecords / headless);
        std::printf("round %d: headless worker %.0f records per second", round, headlessRates.back());
        for (int k = 0; k < 3; ++k) {
            rows[k].rates.push_back(kRecords / seconds[k]);
            rows[k].ratios.push_back(headless / seconds[k]);
            std::printf(", %s %.0f (%.3f)", rows[k].name, rows[k].rates.back(), rows[k].ratios.back());
        }
        std::printf("\n");
    }
    std::printf(
        "%d records over loopback TCP, poll delay 0; median records per second: headless worker %.0f\n",
        kRecords, median(headlessRates));
    bool met = true;
    for (const Row &row : rows) {
        const double ratio = median(row.ratios);
        std::printf("pullrec-cli %s / headless worker: %.0f records per second, %.3f (at least %.2f)\n",
                    row.name, median(row.rates), ratio, row.target);
        met = met && ratio >= row.target;
    }
    const double speedUp = collectSpeedUp(dir);
    std::printf("collect --jobs 8 / --jobs 1: %.2f (at least 6)\n", speedUp);
    std::filesystem::remove_all(dir);
    return met && speedUp >= 6 ? 0 : 2;
}
