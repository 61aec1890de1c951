// A year of 15-minute energy records (35 040) in a SQLite archive: pullrec-cli report of the year
// against pullrec-cli export --format csv of the same records, whole program runs in alternating rounds.

#include "../YearArchive.h"
#include "archive/ArchiveWriter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{

constexpr int kRounds = 5;
constexpr int kRecords = kYearOfQuarterHours;
constexpr double kLimit = 1.5;

// Readings as a plant makes them: a day's curve, counters in low word + 10000 x high word.
bool fillArchive(const std::string &location)
{
    std::string error;
    auto archive = Archive::open(location, error);
    if (!archive || !archive->saveAnalyzer({"58322521", "V", "KTR-58", "1", 1, 1, "Europe/Istanbul"})) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    ArchiveWriter writer(*archive, "58322521");
    double counters[4] = {};
    for (int i = 0; i < kRecords; ++i) {
        const int minute = (i % 96) * 15;
        const double load = 20 + 15 * std::sin(minute / 1440.0 * 6.283);
        counters[0] += load / 4;
        counters[2] += load / 20;
        counters[3] += 0.05;
        ArchiveRecord r = quarterHour(kArchiveEnergyArea, i);
        for (int c = 0; c < 4; ++c)
            r.values[size_t(c)] = std::floor(counters[c]);
        r.values[13] = load * 1000; // TW DEM
        r.values[15] = load * 1100; // TVA DEM
        r.values[17] = 0.92;        // Total PF
        writer.add(r);
    }
    return writer.finish();
}

} // namespace

int main()
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("pullrec-report-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string archive = "sqlite:" + (dir / "year.db").string();
    if (!fillArchive(archive))
        return 1;
    std::vector<double> exports, reports, ratios;
    for (int round = 1; round <= kRounds; ++round) {
        const double e = cliSeconds(
            {"export", "--archive", archive, "--analyzer", "58322521", "--format", "csv", "-o", "/dev/null"});
        const double r =
            cliSeconds({"report", "--archive", archive, "--analyzer", "58322521", "--from", "2025-01-01",
                        "--to", "2025-12-31", "--format", "json", "-o", "/dev/null"});
        if (e < 0 || r < 0)
            return 1;
        exports.push_back(e);
        reports.push_back(r);
        ratios.push_back(r / e);
        std::printf("round %d: export csv %.3f s, report %.3f s (%.2f)\n", round, e, r, r / e);
    }
    std::filesystem::remove_all(dir);
    const double ratio = medianOf(ratios);
    std::printf("%d energy records from SQLite, median: export csv %.3f s, report of the year %.3f s; "
                "report / export %.2f (at most %.1f)\n",
                kRecords, medianOf(exports), medianOf(reports), ratio, kLimit);
    return ratio <= kLimit ? 0 : 2;
}
