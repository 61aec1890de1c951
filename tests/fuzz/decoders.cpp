// Table building and record decoding with any transformer ratios, model
// codes, parameter codes and raw words.

#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "model/RecordDecoding.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr double kUntouched = -12345.678;

double anyDouble(FuzzInput &in)
{
    uint64_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits = bits << 16 | in.word();
    return std::bit_cast<double>(bits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    // Ratios as the worker makes them from two register words, or any double at all.
    const bool wordRatios = in.flag();
    const double ct = wordRatios ? in.word() : anyDouble(in);
    const double vt = wordRatios ? in.word() * 0.1 : anyDouble(in);
    const DEVICE_REGISTER_TABLE table(ct, vt);

    const int modelCode = static_cast<int>(uint32_t{in.word()} << 16 | in.word());
    std::vector<std::string> labels(in.byte(), "old");
    const std::vector<std::string> before = labels;
    BuildParameterList(table, modelCode, labels);
    const size_t offered = modelCode == kShortModelCode ? 39 : kParameterCount;
    FUZZ_CHECK(labels.size() == std::max<size_t>(before.size(), kParameterCount));
    for (size_t i = 0; i < labels.size(); ++i) {
        if (i < offered)
            FUZZ_CHECK(labels[i] == table.regTable.name[i] + " : " + table.regTable.unit[i]);
        else if (i < before.size())
            FUZZ_CHECK(labels[i] == before[i]);
    }

    std::array<int16_t, kLogSlots> words;
    std::array<int16_t, kLogSlots> codes;
    for (int i = 0; i < kLogSlots; ++i) {
        words[i] = static_cast<int16_t>(in.word());
        // Mostly codes the tables know, sometimes any 16-bit value.
        const uint16_t raw = in.word();
        codes[i] = static_cast<int16_t>(raw & 0x8000 ? raw : raw % 90);
    }
    std::array<double, kDecodedValues> values;
    values.fill(kUntouched);
    DecodeLogRecord(table, words, codes, values);
    for (int i = 0; i < kLogSlots; ++i) {
        if (codes[i] < 0 || codes[i] >= kParameterCount)
            FUZZ_CHECK(values[i] == 0);
        if (wordRatios)
            FUZZ_CHECK(std::isfinite(values[i]));
        // An energy counter's high word, right after its low word, is counted there.
        const bool lowWord = codes[i] == 60 || codes[i] == 62 || codes[i] == 64 || codes[i] == 66;
        if (lowWord && i + 1 < kLogSlots && codes[i + 1] == codes[i] + 1)
            FUZZ_CHECK(values[i + 1] == 0);
    }
    for (int i = kLogSlots; i < kDecodedValues; ++i)
        FUZZ_CHECK(values[i] == kUntouched);

    std::array<int16_t, kEnergyWords> energy;
    for (int16_t &w : energy)
        w = static_cast<int16_t>(in.word());
    values.fill(kUntouched);
    DecodeEnergyRecord(table, energy, values);
    for (int k = 0; k < 4; ++k)
        FUZZ_CHECK(values[k] == energy[2 * k] + 10000.0 * energy[2 * k + 1]);
    for (int i = 4; i < kDecodedValues; ++i) {
        if (i >= 20)
            FUZZ_CHECK(values[i] == 0);
        else if (wordRatios)
            FUZZ_CHECK(std::isfinite(values[i]));
    }
    return 0;
}
