#include "model/RecordDecoding.h"

#include <cstdint>

namespace
{

constexpr int kVtCode = 75;
constexpr int kCounterWeight = 10000; // high word of an energy counter

bool isCounterLsb(int code)
{
    return code == 60 || code == 62 || code == 64 || code == 66;
}

bool isDefinedParameter(int code)
{
    return code >= 0 && code < kParameterCount;
}

} // namespace

void BuildParameterList(const DEVICE_REGISTER_TABLE &table, int modelCode, std::vector<std::string> &labels)
{
    const int count = offeredParameterCount(modelCode);
    if (labels.size() < static_cast<size_t>(kParameterCount))
        labels.resize(kParameterCount);
    for (int i = 0; i < count; ++i)
        labels[i] = table.regTable.name[i] + " : " + table.regTable.unit[i];
}

void DecodeLogRecord(const DEVICE_REGISTER_TABLE &table, std::span<const int16_t, kLogSlots> rawWords,
                     std::span<const int16_t, kLogSlots> paramCodes,
                     std::span<double, kDecodedValues> decodedValues)
{
    const auto &scale = table.regTable.scale;
    for (int i = 0; i < kLogSlots; ++i) {
        const int code = paramCodes[i];
        if (!isDefinedParameter(code)) {
            decodedValues[i] = 0;
        } else if (isCounterLsb(code)) {
            // Only the slot right after an LSB, holding its own MSB code, is the high word.
            const bool paired = i + 1 < kLogSlots && paramCodes[i + 1] == code + 1;
            decodedValues[i] = rawWords[i] * scale[code];
            if (paired) {
                decodedValues[i] += rawWords[i + 1] * scale[code + 1];
                decodedValues[++i] = 0;
            }
        } else if (code == kVtCode) {
            decodedValues[i] = static_cast<uint16_t>(rawWords[i]) * scale[code];
        } else {
            // An unpaired MSB lands here too: its high part, times 10000.
            decodedValues[i] = rawWords[i] * scale[code];
        }
    }
}

void DecodeEnergyRecord(const DEVICE_REGISTER_TABLE &table, std::span<const int16_t, kEnergyWords> rawWords,
                        std::span<double, kDecodedValues> decodedValues)
{
    for (int k = 0; k < 4; ++k) {
        const int64_t counter = rawWords[2 * k] + int64_t{rawWords[2 * k + 1]} * kCounterWeight;
        decodedValues[k] = static_cast<double>(counter);
    }
    // Values 4..19 are energy words 8..23; the record has no words for the rest.
    for (int i = 4; i < kDecodedValues; ++i) {
        const int word = i + 4;
        decodedValues[i] = word < kEnergyFieldCount ? rawWords[word] * table.energyTable.scale[word] : 0.0;
    }
}
