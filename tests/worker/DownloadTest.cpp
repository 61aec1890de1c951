#include "RecordingView.h"
#include "SimProcess.h"
#include "WorkerHarness.h"

#include <gtest/gtest.h>

namespace
{

const std::vector<std::string> kSimArgs = {"--records", "3,2,4,0,0,0,0,0,0,0,0,0,0,0,0,2", "--seed", "7"};

class Download : public testing::TestWithParam<bool> // true: RTU over a pty
{
  protected:
    void SetUp() override
    {
        if (GetParam()) {
            ASSERT_TRUE(sim.startPty(kSimArgs)) << sim.error();
            useRtu(worker, sim.ptyPath());
        } else {
            ASSERT_TRUE(sim.startTcp(kSimArgs)) << sim.error();
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
        EXPECT_TRUE(worker.readDone);
        EXPECT_EQ(worker.recordCounter, 0);
        EXPECT_TRUE(worker.suspended());
        EXPECT_FALSE(view.switchOn());
        EXPECT_EQ(view.enableCalls(), 1);
        EXPECT_EQ(view.status(0), "Selected Log data read completed Succesfully...");
        EXPECT_EQ(view.rowCount(), records + 2);
        EXPECT_EQ(view.currentRow(), records);
    }

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
    EXPECT_EQ(view.status(1), "Rec.Count: 3");
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
    EXPECT_TRUE(worker.energyHeaderSet);
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
    startDownload(worker, {0});
    ASSERT_TRUE(waitCompleted(view, worker, 1, 10s));
    view.runOnUi([&] { startDownload(worker, {1}); });
    ASSERT_TRUE(waitCompleted(view, worker, 2, 10s));
    const auto shown = view.shown();
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[3].row, 1);
    EXPECT_EQ(shown[3].positionText, "01-0000");
    EXPECT_EQ(shown[4].positionText, "01-0001");
}

INSTANTIATE_TEST_SUITE_P(Link, Download, testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Rtu" : "Tcp"; });

TEST(DownloadCounts, NegativeCountsReadNothing)
{
    comThread worker;
    worker.sectorCount = {5, -3, 32767, 32767};
    worker.selectAreas({true, true, true, true});
    EXPECT_EQ(worker.totalToRead, 5 + 32767 + 32767);
    EXPECT_EQ(worker.sectorToRead[1], -3);
    worker.selectAreas({false, true});
    EXPECT_EQ(worker.totalToRead, 0);
    EXPECT_FALSE(worker.sectorSelected[0]);
}

} // namespace
