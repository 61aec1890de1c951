#pragma once

// What the download benchmarks share: 15 sectors of 1000 records from ktr58-sim over loopback TCP,
// a worker set up as the window sets it up, and the download switched on as the window does.

#include "RecordingView.h"
#include "SimProcess.h"
#include "worker/comThread.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;
constexpr int kSectors = 15;
constexpr int kPerSector = 1000;
constexpr int kRecords = kSectors * kPerSector;

inline double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The simulator with kPerSector records in each of the first kSectors areas; false after saying why not.
inline bool startSimulator(SimProcess &sim)
{
    std::string counts;
    for (int area = 0; area < kAreaCount; ++area)
        counts += std::to_string(area < kSectors ? kPerSector : 0) + (area + 1 < kAreaCount ? "," : "");
    if (sim.startTcp({"--records", counts}))
        return true;
    std::fprintf(stderr, "ktr58-sim: %s\n", sim.error().c_str());
    return false;
}

// Connect and configuration read on 127.0.0.1:port, poll delay 0.
inline bool connectWorker(comThread &worker, int port)
{
    worker.settings.mode = 0;
    worker.settings.host = "127.0.0.1";
    worker.settings.tcpPort = port;
    worker.settings.slaveAddress = 1;
    worker.settings.timeout = 1000;
    worker.settings.pollDelay = 0;
    std::vector<std::string> names(kParameterCount);
    return worker.connect() && worker.readConfiguration(168, names) && worker.readAreaCounts();
}

// Switches the download of every sector on from the view's UI thread; when it was switched on.
inline Clock::time_point startAllSectors(RecordingView &view, comThread &worker)
{
    std::array<bool, kAreaCount> selected{};
    std::fill_n(selected.begin(), kSectors, true);
    const auto start = Clock::now();
    view.runOnUi([&] {
        worker.selectAreas(selected);
        worker.readDone = false;
        worker.resume();
    });
    return start;
}
