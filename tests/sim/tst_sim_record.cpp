// Record content: a plausible 230/400 V, 50 Hz network, deterministic for a
// seed, following the logging configuration.
#include "Options.h"
#include "RawClient.h"
#include "Record.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{

struct Record {
    int number = 0;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    std::vector<int> words; // 28, signed

    // Seconds since 2000-01-01 of the record's date and time.
    long long instant() const
    {
        static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
        long long days =
            365LL * year + (year + 3) / 4 + before[month - 1] + (month > 2 && year % 4 == 0) + day - 1;
        return days * 86400 + hour * 3600 + minute * 60 + second;
    }
};

Record decode(const std::vector<uint8_t> &data)
{
    Record r;
    if (data.size() != 67) {
        ADD_FAILURE() << "record of " << data.size() << " bytes";
        return r;
    }
    r.number = wordAt(data, 3);
    r.day = data[5], r.month = data[6], r.year = data[7];
    r.hour = data[8], r.minute = data[9], r.second = data[10];
    for (int k = 0; k < 28; ++k)
        r.words.push_back(static_cast<int16_t>(wordAt(data, 11 + 2 * k)));
    return r;
}

Record record(int area, int index, const std::vector<std::string> &args = {})
{
    return decode(SimProcess::printRecord(area, index, args));
}

// Default slots: VLN1-3, ILN1-3, PF1-3, VLL1-3, Hz, W, VAr, VA, kWh low, kWh high.
TEST(SimRecords, LookLikeAThreePhaseNetwork)
{
    const Record first = record(1, 0);
    for (int index = 1; index < 1000; index += 37) {
        Record r = record(1, index);
        EXPECT_EQ(r.number, index + 1);
        EXPECT_GE(r.day, 1);
        EXPECT_LE(r.day, 31);
        EXPECT_GE(r.month, 1);
        EXPECT_LE(r.month, 12);
        EXPECT_LT(r.hour, 24);
        for (int p = 0; p < 3; ++p) {
            EXPECT_NEAR(r.words[p], 2300, 100) << "VLN in 0.1 V";
            EXPECT_GT(r.words[3 + p], 0) << "current";
            EXPECT_GE(r.words[6 + p], 850) << "power factor";
            EXPECT_LE(r.words[6 + p], 1000) << "power factor";
            EXPECT_NEAR(r.words[9 + p], 4000, 150) << "VLL in 0.1 V";
        }
        EXPECT_NEAR(r.words[12], 5000, 20) << "frequency in 0.01 Hz";
        EXPECT_GT(r.words[13], 0) << "total power";
        EXPECT_LT(r.words[13], r.words[15]) << "W below VA";
        EXPECT_GE(r.words[14], 0);
        EXPECT_GE(r.words[16], 0);
        EXPECT_LT(r.words[16], 10000) << "counter low word";
        EXPECT_EQ(r.instant() - first.instant(), 900LL * index) << "records advance by the log period";
    }
}

TEST(SimRecords, DriftSmoothlyAndCountEnergyUpwards)
{
    long long lastEnergy = -1;
    Record previous = record(0, 0);
    for (int index = 0; index < 120; index += 3) {
        Record r = record(0, index);
        long long energy = r.words[16] + 10000LL * r.words[17];
        EXPECT_GE(energy, lastEnergy) << "kWh at record " << index;
        lastEnergy = energy;
        EXPECT_LE(std::abs(r.words[0] - previous.words[0]), 30) << "VLN1 jumps at record " << index;
        EXPECT_LE(std::abs(r.words[12] - previous.words[12]), 10) << "frequency jumps at record " << index;
        previous = r;
    }

    // The energy log: four counters as low/high pairs, each only growing.
    std::vector<long long> last(4, -1);
    for (int index = 0; index < 40; ++index) {
        Record r = record(15, index);
        for (int c = 0; c < 4; ++c) {
            long long value = r.words[2 * c] + 10000LL * r.words[2 * c + 1];
            EXPECT_GE(value, last[c]) << "counter " << c << " at record " << index;
            last[c] = value;
        }
        EXPECT_NEAR(r.words[20], 5000, 20) << "frequency";
        EXPECT_EQ(r.words[22], 100) << "CT ratio";
        EXPECT_EQ(r.words[23], 10) << "VT ratio";
    }
}

TEST(SimRecords, DependOnTheSeedOnly)
{
    auto first = SimProcess::printRecord(2, 17, {"--seed", "5"});
    EXPECT_EQ(first, SimProcess::printRecord(2, 17, {"--seed", "5", "--drop", "0.5", "--delay", "10"}));
    EXPECT_NE(first, SimProcess::printRecord(2, 17, {"--seed", "6"}));
    EXPECT_TRUE(SimProcess::printRecord(2, 37).empty()) << "sector 3 holds 37 records";
    EXPECT_EQ(SimProcess::printRecord(4, 0, {"--records", "0,0,0,0,9,0,0,0,0,0,0,0,0,0,0,0"}).size(), 67u);
    EXPECT_TRUE(SimProcess::printRecord(0, 1, {"--missing", "0:1"}).empty());
}

TEST(SimRecords, TheBasicModelLogsOnlyWhatItOffers)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--model", "KTR-58-167"})) << sim.error();
    RawTcpClient client(sim.tcpPort());
    std::optional<Answer> a = client.ask(1, {3, 1, 0x31, 0, 31});
    ASSERT_TRUE(a.has_value());
    int used = 0;
    for (int k = 3; k < 31; ++k) {
        int code = wordAt(a->pdu, 2 + 2 * k);
        EXPECT_TRUE(code <= 38 || code == 255) << code;
        used += code != 255;
    }
    EXPECT_GE(used, 15);
}

TEST(SimRecords, FollowAWrittenConfiguration)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--seed", "9"})) << sim.error();
    RawTcpClient client(sim.tcpPort());
    std::vector<uint8_t> before = SimProcess::printRecord(1, 10, {"--seed", "9"});

    // Period 60 s; slots: frequency, hour, minute, CT, VT, then empty.
    std::vector<uint8_t> write{16, 1, 0x31, 0, 31, 62};
    for (int w : {60, 1, 0, 27, 68, 69, 74, 75})
        putWord(write, w);
    for (int k = 5; k < 28; ++k)
        putWord(write, 255);
    ASSERT_TRUE(client.ask(1, write).has_value());

    auto fetch = [&](int index) {
        std::vector<uint8_t> pdu{20, 7, 6, 0, 1};
        putWord(pdu, index);
        putWord(pdu, 1);
        std::optional<Answer> a = client.ask(1, pdu);
        return a ? decode(std::vector<uint8_t>(a->pdu.begin() + 1, a->pdu.end())) : Record{};
    };
    Record r10 = fetch(10), r11 = fetch(11);
    EXPECT_NEAR(r10.words[0], 5000, 20);
    EXPECT_EQ(r10.words[1], r10.hour);
    EXPECT_EQ(r10.words[2], r10.minute);
    EXPECT_EQ(r10.words[3], 100);
    EXPECT_EQ(r10.words[4], 10);
    for (int k = 5; k < 28; ++k)
        EXPECT_EQ(r10.words[k], 0) << "empty slot " << k;
    EXPECT_EQ(r11.instant() - r10.instant(), 60);
    EXPECT_NE(decode(before).words, r10.words);
}

TEST(SimRecords, NumberingOptionGivesTheNumbersAsAnAnalyzerWould)
{
    const std::string records = "120,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0";
    struct Case {
        std::vector<std::string> options;
        std::vector<std::pair<int, int>> numbers;  // position, number
        std::vector<std::pair<int, int>> sameTime; // position, plain position logged at that time
    };
    const Case cases[] = {
        {{}, {{0, 1}, {1, 2}, {119, 120}}, {}},
        {{"--numbering", "circular:45"}, {{44, 120}, {45, 1}, {119, 75}, {0, 76}}, {{45, 0}, {44, 119}}},
        {{"--numbering", "restart:60"}, {{59, 60}, {60, 1}, {61, 2}}, {{60, 60}}},
        {{"--numbering", "skip:700"}, {{0, 1}, {1, 701}, {94, 265}, {119, 17765}}, {{94, 94}}},
        {{"--numbering", "descending"}, {{0, 120}, {119, 1}}, {{0, 119}, {119, 0}}},
        {{"--numbering", "fixed:40000"}, {{0, 40000}, {77, 40000}}, {{77, 77}}},
        // A ring of 50 that logged 120: positions 0..19 wrapped twice, the others once.
        {{"--ring", "50"}, {{0, 101}, {19, 120}, {20, 71}, {49, 100}}, {{0, 100}, {19, 119}, {20, 70}}},
        {{"--ring", "120"}, {{0, 1}, {119, 120}}, {{0, 0}}}, // full, not wrapped yet
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.empty() ? "plain" : c.options[0] + " " + c.options[1]);
        std::vector<std::string> args{"--records", records};
        args.insert(args.end(), c.options.begin(), c.options.end());
        for (const auto &[position, number] : c.numbers)
            EXPECT_EQ(record(0, position, args).number, number) << "position " << position;
        for (const auto &[position, plain] : c.sameTime)
            EXPECT_EQ(record(0, position, args).instant(), record(0, plain, {"--records", records}).instant())
                << "position " << position;
    }
}

// Two weeks of the energy log as a plant's: counters that rise with a working week, reactive shares
// around the limit, capacitive energy at night only, demand that follows the load, and the options.
TEST(SimRecords, EnergyLogFollowsAPlantsWeek)
{
    struct Case {
        int periodMin, counterReset;
    };
    for (const Case c : {Case{15, -1}, Case{60, -1}, Case{15, 300}}) {
        SCOPED_TRACE(std::to_string(c.periodMin) + " min, reset at " + std::to_string(c.counterReset));
        LogSettings settings{100, 10, {}, c.periodMin * 60, c.counterReset};
        settings.logConfig[0] = 900;
        const int perDay = 24 * 60 / c.periodMin;
        std::vector<Record> log;
        for (int age = 0; age <= 14 * perDay; ++age) {
            const auto reply = recordReply(1, settings, kEnergyArea, age, uint16_t(age + 1));
            log.push_back(decode(std::vector<uint8_t>(reply.begin(), reply.end())));
        }
        const auto counter = [](const Record &r, int k) {
            return r.words[2 * k] + 10000.0 * r.words[2 * k + 1];
        };
        std::vector<double> dayImport(14), dayInductive(14);
        for (size_t i = 1; i < log.size(); ++i) {
            EXPECT_EQ(log[i].instant() - log[i - 1].instant(), c.periodMin * 60);
            for (int k = 0; k < 4; ++k) {
                const double step = counter(log[i], k) - counter(log[i - 1], k);
                if (k == 0 && int(i) == c.counterReset) {
                    EXPECT_LT(step, 0) << "the import counter starts again";
                } else {
                    EXPECT_GE(step, 0) << "counter " << k << " at " << i;
                }
            }
            const int hour = log[i - 1].hour;
            if (hour >= 6 && hour < 22) {
                EXPECT_LE(counter(log[i], 3) - counter(log[i - 1], 3), 1) << "capacitive by day at " << hour;
            }
            const size_t day = (i - 1) / size_t(perDay);
            if (day < 14 && !(int(i) == c.counterReset)) {
                dayImport[day] += counter(log[i], 0) - counter(log[i - 1], 0);
                dayInductive[day] += counter(log[i], 2) - counter(log[i - 1], 2);
            }
            EXPECT_GT(log[i].words[17], 0) << "TW DEM";
        }
        const double busiest = *std::max_element(dayImport.begin(), dayImport.end());
        const double quietest = *std::min_element(dayImport.begin(), dayImport.end());
        EXPECT_GT(busiest, 2 * quietest) << "working days against Sundays";
        int overLimit = 0;
        for (size_t d = 0; d < 14; ++d) {
            if (int(d) == c.counterReset / perDay)
                continue;
            const double ratio = dayInductive[d] / dayImport[d];
            EXPECT_GT(ratio, 0.13);
            EXPECT_LT(ratio, 0.27);
            overLimit += ratio > 0.20;
        }
        EXPECT_GE(overLimit, 1);
        EXPECT_LE(overLimit, 7);
    }
    SimOptions options;
    const char *argv[] = {"ktr58-sim", "--energy-period", "60", "--counter-reset", "5"};
    EXPECT_EQ(parseOptions(5, const_cast<char **>(argv), options), "");
    EXPECT_EQ(options.energyPeriodMin, 60);
    EXPECT_EQ(options.counterReset, 5);
}

} // namespace
