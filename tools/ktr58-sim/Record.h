#pragma once

#include <array>
#include <cstdint>

constexpr int recordReplyLength = 67;
constexpr int energyArea = 15;

// The analyzer's register values that shape a log record.
struct LogSettings {
    uint16_t ctRatio;                   // register 75
    uint16_t vtTenths;                  // register 76
    std::array<uint16_t, 31> logConfig; // registers 306..336: period, event flag, third word, 28 codes
};

// Reply data (after the function code 20) of one record: sub-response header,
// record number, date, time and 28 words. A pure function of its inputs.
std::array<uint8_t, recordReplyLength> recordReply(uint64_t seed, const LogSettings &settings, int area,
                                                   int index);
