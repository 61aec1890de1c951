// Downloads of 300 records over Modbus RTU from ktr58-sim --pace, which sends at the speed of a real
// line, at three baud rates with poll delay 0. Each download is printed against the wire limit: the
// request and reply frames and the two 3.5-character silences of an exchange, 11 bits a character.
// Whatever the program adds to an exchange shows as the distance to that limit. The stack alone
// (function 20 requests in a loop) is measured beside it, to tell the master's share from the worker's.
//
// A pseudo-terminal hands bytes over through a kernel worker thread, which a busy machine wakes late by
// whole scheduler ticks: the rate over the whole download carries those stalls, the median record does
// not. The load average is printed to tell them apart.

#include "../DownloadBench.h"
#include "WorkerTestSeam.h"

#include <fstream>

namespace
{

constexpr int kSerialRecords = 300;
constexpr int kRequestFrame = 1 + 1 + 8 + 2;                // address, function, data, CRC
constexpr int kReplyFrame = 1 + 1 + kRecordReplyLength + 2; // the same around the 67 data bytes
constexpr double kExchangeCharacters = kRequestFrame + kReplyFrame + 2 * 3.5;
constexpr int kBitsPerCharacter = 11;

struct Rate {
    int baud;
    double target; // least share of the wire limit
};

constexpr Rate kRates[] = {{9600, 0.95}, {38400, 0.95}, {115200, 0.9}};

double wireLimit(int baud)
{
    return baud / (kExchangeCharacters * kBitsPerCharacter);
}

// Records per second over the whole run, and at the median interval between two records.
struct Measured {
    double overall = -1;
    double median = -1;
};

Measured measured(const std::vector<Clock::time_point> &times)
{
    if (times.size() < 2)
        return {};
    std::vector<double> intervals;
    for (size_t k = 1; k < times.size(); ++k)
        intervals.push_back(std::chrono::duration<double>(times[k] - times[k - 1]).count());
    const double seconds = std::chrono::duration<double>(times.back() - times.front()).count();
    return {intervals.size() / seconds, 1 / median(intervals)};
}

bool connectSerialWorker(comThread &worker, const std::string &port, int baud)
{
    COMSETT settings = worker.settings();
    settings.mode = LinkMode::Rtu;
    settings.comPort = port;
    settings.baudRate = baud;
    worker.setSettings(settings);
    return connectAndRead(worker);
}

Measured download(comThread &worker)
{
    RecordingView view(worker, RecordingView::Jobs::UiThread);
    worker.setView(&view);
    std::array<bool, kAreaCount> selected{};
    selected[0] = true;
    const std::vector<Clock::time_point> times = timedDownload(view, worker, selected, kSerialRecords);
    worker.stop();
    worker.setView(nullptr);
    return measured(times);
}

Measured stackAlone(comThread &worker)
{
    uint8_t request[] = {0x07, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    uint8_t reply[kRecordReplyLength];
    std::vector<Clock::time_point> times{Clock::now()};
    for (int index = 0; index < kSerialRecords; ++index) {
        request[4] = static_cast<uint8_t>(index >> 8);
        request[5] = static_cast<uint8_t>(index & 0xFF);
        if (WorkerTestSeam::rtuMaster(worker).customRequest(1, 20, request, sizeof request, reply,
                                                            sizeof reply) != Success)
            return {};
        times.push_back(Clock::now());
    }
    return measured(times);
}

std::string recordCounts()
{
    std::string counts = std::to_string(kSerialRecords);
    for (int area = 1; area < kAreaCount; ++area)
        counts += ",0";
    return counts;
}

} // namespace

int main()
{
    std::string load;
    std::getline(std::ifstream("/proc/loadavg"), load);
    std::printf("%d records, request %d + reply %d bytes + 2 x 3.5 characters of silence, %d bits a "
                "character, poll delay 0; load average %s\n",
                kSerialRecords, kRequestFrame, kReplyFrame, kBitsPerCharacter, load.c_str());
    bool met = true;
    for (const Rate &rate : kRates) {
        SimProcess sim;
        if (!sim.startPty({"--pace", "--baud", std::to_string(rate.baud), "--records", recordCounts()})) {
            std::fprintf(stderr, "ktr58-sim: %s\n", sim.error().c_str());
            return 1;
        }
        comThread worker;
        if (!connectSerialWorker(worker, sim.ptyPath(), rate.baud)) {
            std::fprintf(stderr, "cannot connect at %d baud: %s\n", rate.baud, worker.lastError().c_str());
            return 1;
        }
        const Measured stack = stackAlone(worker);
        const Measured all = download(worker);
        if (stack.overall < 0 || all.overall < 0) {
            std::fprintf(stderr, "the transfer at %d baud failed\n", rate.baud);
            return 1;
        }
        const double limit = wireLimit(rate.baud);
        const bool ok = all.overall / limit >= rate.target;
        met = met && ok;
        std::printf("%6d baud, wire limit %.2f records/s: download %.2f records/s = %.3f of it (target %.2f: "
                    "%s), at the median record %.3f; stack alone %.3f, at the median %.3f\n",
                    rate.baud, limit, all.overall, all.overall / limit, rate.target, ok ? "ok" : "UNDER",
                    all.median / limit, stack.overall / limit, stack.median / limit);
        std::fflush(stdout);
    }
    return met ? 0 : 2;
}
