#pragma once

#include "model/RegisterTable.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Checklist labels ("VLN1 : V") of the parameters the model offers: 0..38 for
// model code 167, 0..78 for any other. labels grows to 79 entries if shorter;
// entries after the last label written keep their text.
void BuildParameterList(const DEVICE_REGISTER_TABLE &table, int modelCode, std::vector<std::string> &labels);

// Decodes the 28 words of a normal log record by the parameter codes of the
// logging configuration into decodedValues[0..27]; [28..30] are not touched.
// Words are signed, except under code 75 (VT). An energy counter LSB code
// (60, 62, 64, 66) followed by its own MSB code yields LSB + MSB x 10000 in
// its slot and 0 in the MSB slot. The cases the checklist allows but the
// analyzer cannot pair:
//   - an LSB in the last slot, or followed by any other code: the LSB alone;
//   - an MSB not preceded by its LSB: MSB x 10000, the high part on its own;
//   - a code outside 0..78 (255 = empty slot): 0.
void DecodeLogRecord(const DEVICE_REGISTER_TABLE &table, std::span<const int16_t, kLogSlots> rawWords,
                     std::span<const int16_t, kLogSlots> paramCodes,
                     std::span<double, kDecodedValues> decodedValues);

// Decodes the 29 words of an energy log record into all 31 values: [0..3]
// the four counters (low + high x 10000, exact integers), [4..19] energy
// words 8..23 scaled by the energy table, [20..30] 0 (no such words).
void DecodeEnergyRecord(const DEVICE_REGISTER_TABLE &table, std::span<const int16_t, kEnergyWords> rawWords,
                        std::span<double, kDecodedValues> decodedValues);

// The values of an energy record that mean something, and the parameter code of each: the four
// counters, then energy words 8..23.
inline constexpr int kEnergyValues = 20;
inline constexpr std::array<int16_t, kEnergyValues> kEnergyValueCodes = {
    60, 62, 64, 66, 39, 40, 41, 45, 46, 47, 54, 55, 56, 57, 58, 59, 27, 77, 74, 75};
