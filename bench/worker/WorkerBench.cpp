// Downloads 15 sectors of 1000 records from ktr58-sim over loopback TCP and
// compares the time per record with raw function 20 requests on the same link.

#include "RecordingView.h"
#include "SimProcess.h"
#include "worker/comThread.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int kSectors = 15;
constexpr int kPerSector = 1000;
constexpr int kRecords = kSectors * kPerSector;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double rawPass(comThread &worker)
{
    uint8_t request[] = {0x07, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    uint8_t reply[kRecordReplyLength];
    const auto start = Clock::now();
    for (int area = 0; area < kSectors; ++area) {
        for (int index = 0; index < kPerSector; ++index) {
            request[3] = static_cast<uint8_t>(area);
            request[4] = static_cast<uint8_t>(index >> 8);
            request[5] = static_cast<uint8_t>(index & 0xFF);
            if (worker.tcpMaster.customRequest(1, 20, request, sizeof request, reply, sizeof reply) !=
                Success) {
                std::fprintf(stderr, "raw request %d:%d failed\n", area, index);
                return -1;
            }
        }
    }
    return seconds(Clock::now() - start);
}

double workerDownload(comThread &worker, RecordingView &view, int completion)
{
    std::array<bool, kAreaCount> selected{};
    for (int area = 0; area < kSectors; ++area)
        selected[area] = true;
    const auto start = Clock::now();
    view.runOnUi([&] {
        worker.selectAreas(selected);
        worker.readDone = false;
        worker.resume();
    });
    if (!view.waitFor([&] { return view.completions() == completion && worker.recordCounter == 0; },
                      std::chrono::minutes(5))) {
        std::fprintf(stderr, "download did not complete\n");
        return -1;
    }
    return seconds(Clock::now() - start);
}

} // namespace

int main()
{
    std::vector<std::string> args = {
        "--records", "1000,1000,1000,1000,1000,1000,1000,1000,1000,1000,1000,1000,1000,1000,1000,0"};
    SimProcess sim;
    if (!sim.startTcp(args)) {
        std::fprintf(stderr, "ktr58-sim: %s\n", sim.error().c_str());
        return 1;
    }
    comThread worker;
    worker.settings.mode = 0;
    worker.settings.host = "127.0.0.1";
    worker.settings.tcpPort = sim.tcpPort();
    worker.settings.slaveAddress = 1;
    worker.settings.timeout = 1000;
    worker.settings.pollDelay = 0;
    std::vector<std::string> names(kParameterCount);
    if (!worker.connect() || !worker.readConfiguration(168, names) || !worker.readAreaCounts()) {
        std::fprintf(stderr, "cannot connect to the simulator\n");
        return 1;
    }
    RecordingView view(worker);
    worker.setView(&view);

    // Alternate the two so that a drift of the machine's load hits both alike.
    double rawTotal = 0, workerTotal = 0;
    for (int round = 1; round <= 2; ++round) {
        const double raw = rawPass(worker);
        const double download = workerDownload(worker, view, round);
        if (raw < 0 || download < 0)
            return 1;
        rawTotal += raw;
        workerTotal += download;
        std::printf("round %d: raw %.3f s, worker %.3f s\n", round, raw, download);
    }
    const double records = 2.0 * kRecords;
    const double rawPerRecord = rawTotal / records * 1e6;
    const double workerPerRecord = workerTotal / records * 1e6;
    const double overhead = (workerPerRecord - rawPerRecord) / rawPerRecord * 100;
    std::printf("records per second: worker %.0f, raw FC 20 %.0f\n", records / workerTotal,
                records / rawTotal);
    std::printf("per record: worker %.1f us, raw %.1f us; ratio %.3f; worker overhead %.1f %% (limit 5 %%)\n",
                workerPerRecord, rawPerRecord, workerTotal / rawTotal, overhead);
    return overhead < 5 ? 0 : 2;
}
