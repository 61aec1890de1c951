#pragma once

#include "FuzzCheck.h"

#include "model/EnergyColumns.h"
#include "model/RegisterTable.h"
#include "worker/WorkerView.h"

#include <map>
#include <string>
#include <utility>

// The window side of the worker for the fuzz targets: runs each job at once
// and keeps the grid cells and lamps in memory.
class DirectView : public WorkerView
{
  public:
    void reset(int columns)
    {
        cells.clear();
        columnCount = columns;
        rowCount = 2;
        rx = false;
        downloadSwitch = true;
        valuesShown = 0;
    }

    void post(std::function<void()> job) override { job(); }

    void showRecord(int row, const LogRecord &record) override
    {
        FUZZ_CHECK(row > 0 && record.area >= 0 && record.area < kAreaCount);
        rowCount = row + 2;
        ++valuesShown;
    }
    void recordMissing(int, int) override {}
    void showEnergyHeaders(const DEVICE_REGISTER_TABLE *table) override
    {
        cells[{0, 0}] = "Record #";
        cells[{0, 1}] = "Date";
        cells[{0, 2}] = "Time";
        const std::vector<std::string> names = energyColumnNames(table, columnCount);
        for (size_t k = 0; k < names.size(); ++k)
            cells[{0, 3 + int(k)}] = names[k];
        columnCount = kEnergyGridColumns;
    }
    void setStatusText(StatusPanel panel, const std::string &) override
    {
        FUZZ_CHECK(panel >= StatusPanel::Message && panel < StatusPanel::Count);
    }
    void showStatusMessage(StatusMessage) override {}
    void setLamps(bool rxOn, bool txOn) override
    {
        FUZZ_CHECK(rxOn != txOn);
        rx = rxOn;
    }
    void setDownloadSwitch(bool on) override { downloadSwitch = on; }
    void downloadCompleted() override {}

    bool downloadSwitch = true;
    int valuesShown = 0;

  private:
    std::map<std::pair<int, int>, std::string> cells;
    int columnCount = 0;
    int rowCount = 2;
    bool rx = false;
};
