#pragma once

#include "FuzzCheck.h"

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

    void setGridCell(int row, int column, const std::string &text) override
    {
        FUZZ_CHECK(row >= 0 && column >= 0);
        cells[{row, column}] = text;
    }
    void setGridValues(int row, int firstColumn, std::span<const double> values) override
    {
        FUZZ_CHECK(row > 0 && firstColumn == 3 && values.size() == kDecodedValues);
        ++valuesShown;
    }
    void writeRecordHeaders() override
    {
        cells[{0, 0}] = "Record #";
        cells[{0, 1}] = "Date";
        cells[{0, 2}] = "Time";
    }
    int gridColumnCount() const override { return columnCount; }
    void setGridColumnCount(int columns) override { columnCount = columns; }
    void setGridRowCount(int rows) override
    {
        FUZZ_CHECK(rows >= 2);
        rowCount = rows;
    }
    void setGridCurrentRow(int row) override { FUZZ_CHECK(row > 0 && row < rowCount); }
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
