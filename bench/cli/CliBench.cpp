// pullrec-cli downloading 15 sectors of 1000 records from ktr58-sim over loopback TCP, poll delay 0, as
// csv to /dev/null, against the headless worker on the same simulator, in alternating rounds. The
// program's whole run counts: start, connect, identity, configuration, counts and every record.

#include "../DownloadBench.h"

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

// Seconds of one pullrec-cli download with extraArgs; negative when it fails.
double cliSeconds(int port, const std::vector<std::string> &extraArgs)
{
    std::vector<std::string> args{"download",  "--tcp",   "127.0.0.1:" + std::to_string(port),
                                  "--sectors", "1-15",    "--poll-delay",
                                  "0",         "--quiet", "--output",
                                  "/dev/null"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    const auto start = Clock::now();
    const ProgramRun run = runProgram(cliBinary(), args, 5 * 60 * 1000);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (run.exitCode != 0) {
        std::fprintf(stderr, "pullrec-cli exited %d: %s\n", run.exitCode, run.err.c_str());
        return -1;
    }
    return elapsed;
}

} // namespace

int main()
{
    SimProcess sim;
    if (!startSimulator(sim))
        return 1;
    std::vector<double> headlessRates, cliRates, ratios;
    for (int round = 1; round <= kRounds; ++round) {
        const double headless = headlessDownloadSeconds(sim.tcpPort());
        const double cli = cliSeconds(sim.tcpPort(), {"--format", "csv"});
        if (headless < 0 || cli < 0) {
            std::fprintf(stderr, "a download did not complete\n");
            return 1;
        }
        headlessRates.push_back(kRecords / headless);
        cliRates.push_back(kRecords / cli);
        ratios.push_back(headless / cli);
        std::printf("round %d: pullrec-cli csv %.0f, headless worker %.0f records per second (%.3f)\n", round,
                    cliRates.back(), headlessRates.back(), ratios.back());
    }
    const double ratio = median(ratios);
    std::printf("%d records over loopback TCP, poll delay 0\n", kRecords);
    std::printf("median records per second: pullrec-cli csv %.0f, headless worker %.0f\n", median(cliRates),
                median(headlessRates));
    std::printf("pullrec-cli csv / headless worker: %.3f (at least 0.95)\n", ratio);
    return ratio >= 0.95 ? 0 : 2;
}
