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
#include <future>
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

// Connect, configuration and count reads on the link the settings name, unit 1, poll delay 0.
inline bool connectAndRead(comThread &worker)
{
    COMSETT settings = worker.settings();
    settings.slaveAddress = 1;
    settings.timeout = 1000;
    settings.pollDelay = 0;
    worker.setSettings(settings);
    std::vector<std::string> names(kParameterCount);
    return worker.connect() && worker.readConfiguration(168, names) && worker.readAreaCounts();
}

// The same on 127.0.0.1:port.
inline bool connectWorker(comThread &worker, int port)
{
    COMSETT settings = worker.settings();
    settings.mode = LinkMode::Tcp;
    settings.host = "127.0.0.1";
    settings.tcpPort = port;
    worker.setSettings(settings);
    return connectAndRead(worker);
}

// Switches the download of the selected areas on from the view's UI thread; when it was switched on.
inline Clock::time_point startAreas(RecordingView &view, comThread &worker,
                                    const std::array<bool, kAreaCount> &selected)
{
    const auto start = Clock::now();
    view.runOnUi([&] {
        worker.selectAreas(selected);
        worker.startDownload();
    });
    return start;
}

// Switches the download of every sector on from the view's UI thread; when it was switched on.
inline Clock::time_point startAllSectors(RecordingView &view, comThread &worker)
{
    std::array<bool, kAreaCount> selected{};
    std::fill_n(selected.begin(), kSectors, true);
    return startAreas(view, worker, selected);
}

// Downloads the selected areas until `records` records are shown (at most 5 minutes): when it was switched
// on, then when each record was shown; empty on failure.
inline std::vector<Clock::time_point> timedDownload(RecordingView &view, comThread &worker,
                                                    const std::array<bool, kAreaCount> &selected,
                                                    size_t records)
{
    std::vector<Clock::time_point> times;
    times.reserve(records + 1);
    std::promise<void> lastShown;
    view.setAfterShow([&](const RecordingView::Shown &) {
        times.push_back(Clock::now());
        if (times.size() == records + 1)
            lastShown.set_value();
    });
    times.push_back(startAreas(view, worker, selected));
    const bool done = lastShown.get_future().wait_for(std::chrono::minutes(5)) == std::future_status::ready;
    view.setAfterShow(nullptr);
    if (!done)
        times.clear();
    return times;
}

// Seconds for the whole download by the worker alone, its records handed to a recording view on a UI
// thread of its own: the headless worker the other programs are measured against. Negative on failure.
inline double headlessDownloadSeconds(int port)
{
    comThread worker;
    if (!connectWorker(worker, port))
        return -1;
    RecordingView view(worker, RecordingView::Jobs::UiThread);
    worker.setView(&view);
    std::array<bool, kAreaCount> selected{};
    std::fill_n(selected.begin(), kSectors, true);
    const std::vector<Clock::time_point> times = timedDownload(view, worker, selected, kRecords);
    worker.stop();
    return times.empty() ? -1 : std::chrono::duration<double>(times.back() - times.front()).count();
}
