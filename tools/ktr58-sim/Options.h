#pragma once

#include "Record.h"
#include "model/AnalyzerMap.h"

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Everything the command line sets, with the analyzer's factory defaults.
struct SimOptions {
    enum class Transport { Tcp, Rtu, Pty };

    Transport transport = Transport::Tcp;
    std::string tcpHost = "127.0.0.1";
    int tcpPort = 1502;
    bool anyAddress = false;
    std::string serialPath; // the device (--rtu) or the link to create (--pty)
    int baud = kDefaultBaudRate;
    bool pace = false; // --pace: replies at the speed of a real line
    int unit = 1;
    std::vector<int> units; // --units: several analyzers on one line, each its own; empty: just `unit`

    std::string model = "KTR-58-168";
    std::optional<std::string> serial; // --serial; none: drawn from the seed
    int idLength = 117;
    std::array<uint16_t, 16> records = {120, 1000, 37, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40};
    uint64_t seed = 1;
    Numbering numbering;

    double drop = 0;
    double corrupt = 0;
    double wrongUnit = 0;
    int delayMs = 0;
    std::set<std::pair<int, int>> missing; // (area, index)
    std::set<std::pair<int, int>> noClock; // (area, index): date and time bytes all zero
    int closeEvery = 0;                    // 0: never
    int growMs = 0;                        // 0: the log does not grow
    int growReads = 0;                     // --grow-reads: a record more after so many served; 0: never
    int ring = 0; // --ring: sector 1 holds at most this many, the newest overwriting the oldest; 0: no ring
    int energyPeriodMin = 15; // between energy log records
    int counterReset = -1;    // the energy record whose import counter starts again; -1: none

    bool printRecord = false;
    int printArea = 0;
    int printIndex = 0;
    bool verbose = false;
    std::string logPath; // --log: the verbose lines go here
    bool help = false;
};

// The one-line synopsis printed after a usage error.
extern const char *const usageText;
// --help: the synopsis and a line for every option.
extern const char *const helpText;

// Parses argv into options. Returns an empty string on success, otherwise a
// one-line description of a bad argument.
std::string parseOptions(int argc, char **argv, SimOptions &options);
