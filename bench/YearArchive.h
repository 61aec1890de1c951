#pragma once

// What the archive benches share: a year of 15-minute records of 2025 and timed pullrec-cli runs.

#include "SimProcess.h"
#include "archive/Archive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

constexpr int kYearOfQuarterHours = 365 * 96;

// Record index (0 .. kYearOfQuarterHours - 1) of area: its number, position and the clock's texts; no
// values yet.
inline ArchiveRecord quarterHour(int area, int index)
{
    const int day = index / 96, minute = (index % 96) * 15;
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::year{2025} / 1 / 1} +
                                           std::chrono::days{day}};
    ArchiveRecord r;
    r.area = area;
    r.position = index;
    r.recordNo = (index + 1) & 0x7fff;
    char text[16];
    std::snprintf(text, sizeof text, "%02u/%02u/%02d", unsigned(date.day()), unsigned(date.month()),
                  int(date.year()) % 100);
    r.dateText = text;
    std::snprintf(text, sizeof text, "%02d:%02d:00", minute / 60, minute % 60);
    r.timeText = text;
    return r;
}

inline std::string cliBinary()
{
    const std::string sim = SimProcess::binary();
    return sim.substr(0, sim.rfind('/') + 1) + "pullrec-cli";
}

// Seconds of a whole pullrec-cli run; negative when it fails.
inline double cliSeconds(const std::vector<std::string> &args)
{
    const auto start = std::chrono::steady_clock::now();
    const ProgramRun run = runProgram(cliBinary(), args, 5 * 60 * 1000);
    if (run.exitCode != 0) {
        std::fprintf(stderr, "pullrec-cli exited %d: %s\n", run.exitCode, run.err.c_str());
        return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double medianOf(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}
