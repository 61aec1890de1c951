#include "RecordingView.h"
#include "SimProcess.h"
#include "WorkerHarness.h"
#include "WorkerTestSeam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace
{

const std::vector<std::string> kSimArgs = {"--records", "3,2,4,0,0,0,0,0,0,0,0,0,0,0,0,2", "--seed", "7"};

class Download : public testing::TestWithParam<bool> // true: RTU over a pty
{
  protected:
    void SetUp() override
    {
        std::vector<std::string> args = kSimArgs;
        args.insert(args.end(), {"--log", logPath});
        if (GetParam()) {
            ASSERT_TRUE(sim.startPty(args)) << sim.error();
            useRtu(worker, sim.ptyPath());
        } else {
            ASSERT_TRUE(sim.startTcp(args)) << sim.error();
            useTcp(worker, sim.tcpPort());
        }
        ASSERT_TRUE(connectAndConfigure(worker));
        worker.setView(&view);
    }

    // Each shown record, in order, is the predicted record of (area, index).
    void expectShown(const std::vector<std::pair<int, int>> &order)
    {
        const auto shown = view.shown();
        ASSERT_EQ(shown.size(), order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            const auto [area, index] = order[i];
            const ExpectedRecord expected = predictRecord(worker, area, index, kSimArgs);
            SCOPED_TRACE(positionOf(area, index));
            EXPECT_EQ(shown[i].row, static_cast<int>(i + 1));
            EXPECT_EQ(shown[i].counterText, "Rec.Count: " + std::to_string(i + 1));
            EXPECT_EQ(shown[i].positionText, positionOf(area, index));
            EXPECT_EQ(shown[i].recordNo, expected.recordNo);
            EXPECT_EQ(shown[i].date, expected.date);
            EXPECT_EQ(shown[i].time, expected.time);
            for (int v = 0; v < kDecodedValues; ++v)
                EXPECT_DOUBLE_EQ(shown[i].values[v], expected.values[v]) << "value " << v;
        }
    }

    void expectCompleted(int records)
    {
        EXPECT_TRUE(worker.completed());
        EXPECT_EQ(worker.recordsShown(), 0);
        EXPECT_TRUE(worker.suspended());
        EXPECT_FALSE(view.switchOn());
        EXPECT_EQ(view.enableCalls(), 1);
        EXPECT_EQ(view.status(WorkerView::StatusPanel::Message),
                  "Selected Log data read completed Succesfully...");
        EXPECT_EQ(view.rowCount(), records + 2);
        EXPECT_EQ(view.currentRow(), records);
    }

    void TearDown() override { std::filesystem::remove(logPath); }

    // Record requests the simulator has logged (function 20).
    int recordRequests() const
    {
        std::ifstream in(logPath);
        int count = 0;
        for (std::string line; std::getline(in, line);)
            count += line.find("request unit 1: 14 ") != std::string::npos;
        return count;
    }

    const std::string logPath =
        testing::TempDir() + "ktr58-sim-download-" + std::to_string(::getpid()) + ".log";
    SimProcess sim;
    comThread worker;
    RecordingView view{worker};
};

TEST_P(Download, OneSector)
{
    startDownload(worker, {0});
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    expectShown({{0, 0}, {0, 1}, {0, 2}});
    expectCompleted(3);
    EXPECT_TRUE(view.rxLamp()); // the lamps alternate from RX: the third record lights RX
    EXPECT_FALSE(view.txLamp());
    EXPECT_EQ(view.status(WorkerView::StatusPanel::Records), "Rec.Count: 3");
}

TEST_P(Download, SeveralSectorsInAreaOrder)
{
    startDownload(worker, {2, 0, 1});
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    expectShown({{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {2, 2}, {2, 3}});
    expectCompleted(9);
}

TEST_P(Download, EnergyLogUnderItsOwnHeaders)
{
    startDownload(worker, {kEnergyArea});
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    expectShown({{15, 0}, {15, 1}});
    expectCompleted(2);
    EXPECT_TRUE(worker.energyHeadersShown());
    const auto shown = view.shown();
    EXPECT_EQ(shown.front().columnCount, 19); // narrowed before the first energy record
    EXPECT_EQ(view.cell(0, 0), "Record #");
    EXPECT_EQ(view.cell(0, 3), "kW/h.");
    EXPECT_EQ(view.cell(0, 6), "kVAr/h. (C)");
    EXPECT_EQ(view.cell(0, 7), "V1 HI");
    EXPECT_EQ(view.cell(0, 18), "TVA DEM.");
}

TEST_P(Download, NextDownloadStartsAfresh)
{
    // Sector 1, then sectors 1 and 2: the second reads exactly its five records, from sector 1 on.
    startDownload(worker, {0});
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    view.runOnUi([&] { startDownload(worker, {0, 1}); });
    ASSERT_TRUE(waitCompleted(view, worker, 2, 10s));
    const auto shown = view.shown();
    ASSERT_EQ(shown.size(), 8u);
    std::vector<std::string> second;
    for (size_t i = 3; i < shown.size(); ++i) {
        second.push_back(shown[i].positionText);
        EXPECT_EQ(shown[i].row, static_cast<int>(i - 2));
    }
    EXPECT_EQ(second, (std::vector<std::string>{"00-0000", "00-0001", "00-0002", "01-0000", "01-0001"}));
    EXPECT_EQ(recordRequests(), 3 + 5);
}

INSTANTIATE_TEST_SUITE_P(Link, Download, testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Rtu" : "Tcp"; });

TEST(RecordParsing, TextsAndWordsOfAReply)
{
    comThread worker;
    std::array<int16_t, kLogSlots> codes;
    codes.fill(kEmptySlot);
    codes[0] = 0;
    codes[27] = 75;
    WorkerTestSeam::assume(worker, 100, 1.0, codes);
    uint8_t reply[kRecordReplyLength] = {0x21, 0x20, 0x06, 0xFF, 0xFF, 31, 12, 9, 8, 0, 30};
    reply[11] = 0x08; // 2300: 230.0 V
    reply[12] = 0xFC;
    reply[65] = 0xFF; // VT word 0xFFFF, unsigned
    reply[66] = 0xFF;
    worker.decodeRecord(3, 7, reply);
    const LogRecord &record = worker.record();
    EXPECT_EQ(record.area, 3);
    EXPECT_EQ(record.position, 7);
    EXPECT_EQ(record.recordNo, -1); // the reply's number, signed
    EXPECT_EQ(record.dateText, "31/12/09");
    EXPECT_EQ(record.timeText, "08:00:30");
    ASSERT_TRUE(record.clock);
    EXPECT_EQ(clockSeconds(*record.clock), 1262246430); // 2009-12-31 08:00:30
    EXPECT_DOUBLE_EQ(record.values[0], 230.0);
    EXPECT_DOUBLE_EQ(record.values[27], 6553.5);

    reply[5] = 5;
    reply[6] = 255; // a byte of 128 or more keeps its minus sign
    reply[7] = 0;
    reply[13] = 0xFF; // high word -4
    reply[14] = 0xFC;
    worker.decodeRecord(kEnergyArea, 0, reply);
    EXPECT_EQ(record.dateText, "05/-1/00");
    EXPECT_FALSE(record.clock);                               // no date: kept as sent, with no time
    EXPECT_DOUBLE_EQ(record.values[0], 2300.0 - 4 * 10000.0); // 2300 + (-4) x 10000
}

TEST(RecordParsing, FailedRequestKeepsTheLastRecord)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp(kSimArgs)) << sim.error();
    comThread worker;
    useTcp(worker, sim.tcpPort());
    ASSERT_TRUE(connectAndConfigure(worker));
    ASSERT_TRUE(worker.readRecord(1, 1));
    const int recordNo = worker.record().recordNo;
    EXPECT_FALSE(worker.readRecord(10, 1)); // sector 11 holds nothing
    EXPECT_EQ(worker.lastError(), "Illegal Data Address exception response");
    EXPECT_EQ(worker.record().recordNo, recordNo);
    EXPECT_EQ(worker.record().area, 1);
}

// However the analyzer numbers its log, a download completes in one pass, shows each number as sent
// (read as signed), and a jump in the numbering costs at most one more request.
struct NumberingCase {
    const char *numbering;
    int (*number)(int index); // the number at a position of a 120-record log
    int extraRequests;
};

void PrintTo(const NumberingCase &c, std::ostream *os)
{
    *os << c.numbering;
}

class Numbering : public WorkerOnSim, public testing::WithParamInterface<NumberingCase>
{
};

TEST_P(Numbering, DownloadsInOnePassWithTheNumbersAsSent)
{
    const NumberingCase &c = GetParam();
    std::vector<std::string> args{"--records", recordCounts({120})};
    if (*c.numbering)
        args.insert(args.end(), {"--numbering", c.numbering});
    ASSERT_TRUE(startAndConnect(Transport::Tcp, args));
    const uint64_t before = worker.traffic().counters().requests;
    startDownload(worker, {0});
    ASSERT_TRUE(waitCompleted(view, worker, 1, 20s));
    const auto shown = view.shown();
    ASSERT_EQ(shown.size(), 120u); // a second pass would show more
    for (int i = 0; i < 120; ++i) {
        EXPECT_EQ(shown[size_t(i)].recordNo, std::to_string(int16_t(c.number(i)))) << positionOf(0, i);
        EXPECT_EQ(shown[size_t(i)].errorText, "") << positionOf(0, i);
    }
    EXPECT_EQ(worker.traffic().counters().requests - before, 120u + uint64_t(c.extraRequests));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Numbering,
    testing::Values(NumberingCase{"", [](int i) { return i + 1; }, 0},
                    NumberingCase{"circular:45", [](int i) { return i >= 45 ? i - 44 : i + 76; }, 1},
                    NumberingCase{"restart:60", [](int i) { return i >= 60 ? i - 59 : i + 1; }, 1},
                    // the step learnt from the first two records (0) is wrong from the third on
                    NumberingCase{"restart:1", [](int i) { return i >= 1 ? i : 1; }, 1},
                    NumberingCase{"skip:700", [](int i) { return int(uint16_t(1 + 700 * i)); }, 0},
                    NumberingCase{"descending", [](int i) { return 120 - i; }, 0},
                    NumberingCase{"fixed:40000", [](int) { return 40000; }, 0}),
    [](const auto &info) {
        std::string name = *info.param.numbering ? info.param.numbering : "plain";
        std::replace(name.begin(), name.end(), ':', '_');
        return name;
    });

TEST(DownloadCounts, NegativeCountsReadNothing)
{
    comThread worker;
    WorkerTestSeam::setRecordCounts(worker, {5, -3, 32767, 32767});
    worker.selectAreas({true, true, true, true});
    EXPECT_EQ(worker.recordsToRead(), 5 + 32767 + 32767);
    EXPECT_EQ(worker.recordsToRead(1), -3);
    worker.selectAreas({false, true});
    EXPECT_EQ(worker.recordsToRead(), 0);
    EXPECT_FALSE(worker.areaSelected(0));
}

} // namespace
