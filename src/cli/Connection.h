#pragma once

#include "modbus/TrafficRecorder.h"
#include "model/AnalyzerMap.h"
#include "worker/WorkerTypes.h"

#include <string>

namespace CLI
{
class App;
}

// How to reach one analyzer, as the command line (or a fleet file's keys) spell it.
struct ConnectionOptions {
    std::string tcp; // HOST[:PORT], port 502 when left out
    std::string rtu; // serial device
    int baud = kDefaultBaudRate;
    int unit = 1;
    int timeout = 1000;
    int retries = 5;
    int pollDelay = 0;
    bool verbose = false; // the link's counters on stderr at the end
};

// --tcp, --rtu, --baud, --unit, --timeout, --retries and --poll-delay, with their ranges.
void addConnectionOptions(CLI::App &command, ConnectionOptions &options);

// The worker's settings for options. False, with the reason in error, for a bad --tcp text or when
// neither or both of --tcp and --rtu are given.
bool toSettings(const ConnectionOptions &options, COMSETT &settings, std::string &error);

// "tcp 10.0.0.5:502 unit 1" or "rtu /dev/ttyUSB0 9600 baud unit 3", for messages.
std::string describe(const COMSETT &settings);

// "requests 120, replies 118, time-outs 2, ...": the counters of a link since it was opened, as the
// window's communication monitor counts them.
std::string countersLine(const TrafficCounters &counters);
