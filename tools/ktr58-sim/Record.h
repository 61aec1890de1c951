#pragma once

#include "model/AnalyzerMap.h"

#include <array>
#include <cstdint>

// The analyzer's register values that shape a log record.
struct LogSettings {
    uint16_t ctRatio;  // register 75
    uint16_t vtTenths; // register 76
    std::array<uint16_t, kConfigWords>
        logConfig;          // registers 306..336: period, event flag, third word, 28 codes
    int energyPeriod = 900; // seconds between energy log records
    int counterReset = -1;  // the energy record (age) from which the import counter restarts
};

// How the analyzer numbers the records of a log. Plain: position + 1. Circular: the oldest record
// sits at position `value`, the newest just before it. Restart: the counter starts again at 1 at
// position `value`. Skip: numbers advance by `value`. Descending: newest first. Fixed: every
// record carries `value`. Numbers are 16-bit and wrap as a counter does.
struct Numbering {
    enum class Kind { Plain, Circular, Restart, Skip, Descending, Fixed };
    Kind kind = Kind::Plain;
    int value = 0;
};

// A record of a log of `count` records at `index`: its place in time (0 the oldest) and its number.
struct NumberedRecord {
    int age;
    uint16_t number;
};
NumberedRecord numberRecord(const Numbering &numbering, int count, int index);

// Reply data (after the function code 20) of one record: sub-response header,
// record number, date, time and 28 words. `age` places it in time. A pure function of its inputs.
std::array<uint8_t, kRecordReplyLength> recordReply(uint64_t seed, const LogSettings &settings, int area,
                                                    int age, uint16_t number);
