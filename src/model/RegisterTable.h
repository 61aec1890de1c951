#pragma once

#include "model/AnalyzerMap.h"

#include <array>
#include <cstdint>
#include <string>

// Sizes shared by the tables, the record decoding and the worker.
inline constexpr int kTableEntries = 80;     // room of each table
inline constexpr int kParameterCount = 79;   // parameter codes 0..78
inline constexpr int kEnergyFieldCount = 24; // energy fields 0..23
inline constexpr int kEnergyWords = 29;      // words of an energy record
inline constexpr int kDecodedValues = 31;    // values of a parsed record
inline constexpr int kShortModelCode = 167;  // the model that offers parameters 0..38 only
inline constexpr int kShortModelParameters = 39;

// Parameter codes 0..N-1 the analyzer of modelCode offers for logging.
constexpr int offeredParameterCount(int modelCode)
{
    return modelCode == kShortModelCode ? kShortModelParameters : kParameterCount;
}

// One table: four parallel arrays indexed by parameter code (or energy word).
// Undefined entries have code = index, scale 0, empty name and unit.
struct PARAMETER_TABLE {
    std::array<int16_t, kTableEntries> code{};
    std::array<double, kTableEntries> scale{};
    std::array<std::string, kTableEntries> name;
    std::array<std::string, kTableEntries> unit;
};

using KTR58_REG_TABLE = PARAMETER_TABLE;    // parameters 0..78 of a normal log record
using KTR58_ENERGY_TABLE = PARAMETER_TABLE; // words 0..23 of an energy log record

// The table set, scaled by the analyzer's transformer ratios: ctRatio is the
// CT register as unsigned, vtRatio the VT register as unsigned times 0.1.
class DEVICE_REGISTER_TABLE
{
  public:
    DEVICE_REGISTER_TABLE(double ctRatio, double vtRatio);

    double ctRatio() const { return ct; }
    double vtRatio() const { return vt; }

    KTR58_REG_TABLE regTable;
    KTR58_ENERGY_TABLE energyTable;

  private:
    double ct;
    double vt;
};
