#include "model/RecordDecoding.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace
{

struct LogRecord {
    std::array<int16_t, kLogSlots> words{};
    std::array<int16_t, kLogSlots> codes{};
    std::array<double, kDecodedValues> values{};

    LogRecord() { codes.fill(kEmptySlot); }
    void slot(int i, int code, int word)
    {
        codes[i] = static_cast<int16_t>(code);
        words[i] = static_cast<int16_t>(word);
    }
    void decode(const DEVICE_REGISTER_TABLE &table) { DecodeLogRecord(table, words, codes, values); }
};

const DEVICE_REGISTER_TABLE kTable(100, 1.0); // CT 100, VT register 10

TEST(DecodeLogRecord, ScalesEachSlotByItsParameter)
{
    LogRecord r;
    r.slot(0, 0, 2300);
    r.slot(1, 3, 5000);
    r.slot(2, 7, 1500);
    r.slot(3, 27, 5000);
    r.slot(4, 16, static_cast<int16_t>(0xFC18));
    r.slot(5, 7, -1);
    r.decode(kTable);
    EXPECT_DOUBLE_EQ(r.values[0], 230.0);
    EXPECT_DOUBLE_EQ(r.values[1], 500.0);
    EXPECT_DOUBLE_EQ(r.values[2], 150000.0);
    EXPECT_DOUBLE_EQ(r.values[3], 50.0);
    EXPECT_DOUBLE_EQ(r.values[4], -1.0); // words are signed
    EXPECT_DOUBLE_EQ(r.values[5], -100.0);
}

TEST(DecodeLogRecord, VtWordIsUnsigned)
{
    LogRecord r;
    r.slot(0, 75, static_cast<int16_t>(0xFFFF));
    r.slot(1, 74, static_cast<int16_t>(0xFFFF));
    r.decode(kTable);
    EXPECT_DOUBLE_EQ(r.values[0], 6553.5);
    EXPECT_DOUBLE_EQ(r.values[1], -1.0);
}

TEST(DecodeLogRecord, CounterPairJoinsLowAndHighWords)
{
    LogRecord r;
    r.values.fill(7);
    r.slot(0, 60, 1234);
    r.slot(1, 61, 5);
    r.slot(26, 66, 1);
    r.slot(27, 67, 2);
    r.decode(kTable);
    EXPECT_DOUBLE_EQ(r.values[0], 51234.0);
    EXPECT_DOUBLE_EQ(r.values[1], 0.0);
    EXPECT_DOUBLE_EQ(r.values[26], 20001.0);
    EXPECT_DOUBLE_EQ(r.values[27], 0.0);
    EXPECT_DOUBLE_EQ(r.values[2], 0.0); // empty slots decode to 0
    EXPECT_DOUBLE_EQ(r.values[28], 7);  // beyond the slots nothing is written
}

TEST(DecodeLogRecord, UnpairedCounterWordsStandAlone)
{
    LogRecord r;
    r.values.fill(7);
    r.slot(0, 60, 1234); // LSB followed by another parameter
    r.slot(1, 0, 2300);
    r.slot(2, 62, 10); // LSB followed by another counter's MSB
    r.slot(3, 65, 3);  // MSB without its LSB
    r.slot(5, 63, 2);  // MSB after an empty slot
    r.slot(27, 64, 9); // LSB in the last slot
    r.decode(kTable);
    EXPECT_DOUBLE_EQ(r.values[0], 1234.0);
    EXPECT_DOUBLE_EQ(r.values[1], 230.0);
    EXPECT_DOUBLE_EQ(r.values[2], 10.0);
    EXPECT_DOUBLE_EQ(r.values[3], 30000.0);
    EXPECT_DOUBLE_EQ(r.values[5], 20000.0);
    EXPECT_DOUBLE_EQ(r.values[27], 9.0);
    EXPECT_DOUBLE_EQ(r.values[28], 7);
}

TEST(DecodeLogRecord, CodesOutsideTheTableDecodeToZero)
{
    LogRecord r;
    r.values.fill(7);
    r.slot(0, 255, 1000);
    r.slot(1, 79, 1000);
    r.slot(2, -1, 1000);
    r.slot(3, 32767, 1000);
    r.decode(kTable);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(r.values[i], 0.0) << i;
}

TEST(DecodeEnergyRecord, CountersAreExactIntegers)
{
    std::array<int16_t, kEnergyWords> words{9999, 2, 0, 0, -1, 0, 3, 1};
    words[8] = 2300;  // V1 HI
    words[17] = -3;   // TW DEM.
    words[20] = 5000; // Hz.
    words[23] = 10;   // VT
    words[28] = 1234;
    std::array<double, kDecodedValues> values;
    values.fill(7);
    DecodeEnergyRecord(kTable, words, values);
    EXPECT_EQ(values[0], 29999.0);
    EXPECT_EQ(values[1], 0.0);
    EXPECT_EQ(values[2], -1.0);
    EXPECT_EQ(values[3], 10003.0);
    EXPECT_DOUBLE_EQ(values[4], 230.0);
    EXPECT_DOUBLE_EQ(values[13], -300.0);
    EXPECT_DOUBLE_EQ(values[16], 50.0);
    EXPECT_DOUBLE_EQ(values[19], 1.0);
    for (int i = 20; i < kDecodedValues; ++i)
        EXPECT_EQ(values[i], 0.0) << i;
}

TEST(DecodeEnergyRecord, ExtremeCountersDoNotOverflow)
{
    std::array<int16_t, kEnergyWords> words{32767, 32767, -32768, -32768};
    std::array<double, kDecodedValues> values{};
    DecodeEnergyRecord(kTable, words, values);
    EXPECT_EQ(values[0], 327702767.0);
    EXPECT_EQ(values[1], -327712768.0);
}

} // namespace
