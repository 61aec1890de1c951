#include "worker/comThread.h"

namespace
{

constexpr int kEnergyNamesFrom = 8; // energy words 8.. head columns 7..
constexpr const char *kEnergyCounterHeaders[] = {"kW/h.", "kW/h.Ex.", "kVAr/h. (L)", "kVAr/h. (C)"};

} // namespace

void comThread::showRecord()
{
    showRecord(parsedLog, positionText, lastErrorText);
}

void comThread::showRecord(const PARSED_LOG &log, const std::string &position, const std::string &error)
{
    const int32_t row = recordCounter;
    if (row == totalToRead)
        readDone = true;
    if (!view) {
        if (row == totalToRead)
            recordCounter = 0;
        return;
    }

    if (readDone) {
        view->setDownloadSwitch(false); // its handler suspends this worker
        view->downloadCompleted();      // ends a pause, so the completion is said whatever the switch did
        view->showStatusMessage(WorkerView::StatusMessage::Completed);
    }
    view->setGridRowCount(row + 2); // one empty row below the last record
    view->setGridCell(row, 0, log.recordNoText);
    view->setGridCell(row, 1, log.dateText);
    view->setGridCell(row, 2, log.timeText);
    view->setStatusText(WorkerView::StatusPanel::Records, "Rec.Count: " + std::to_string(row));
    view->setStatusText(WorkerView::StatusPanel::Position, position);
    view->setStatusText(WorkerView::StatusPanel::Error, error);
    view->setGridValues(row, 3, log.decodedValues);
    view->setGridCurrentRow(row);

    // The lamps alternate, and the reading text blinks with them until the end.
    const bool rxWasOn = view->rxLampOn();
    view->setLamps(!rxWasOn, rxWasOn);
    if (!readDone) {
        if (rxWasOn)
            view->setStatusText(WorkerView::StatusPanel::Message, "");
        else
            view->showStatusMessage(WorkerView::StatusMessage::Reading);
    }

    if (recordCounter == totalToRead)
        recordCounter = 0;
}

bool comThread::setEnergyHeaders()
{
    if (!view || view->gridCell(0, 3) == kEnergyCounterHeaders[0])
        return true;
    view->writeRecordHeaders();
    for (int k = 0; k < 4; ++k)
        view->setGridCell(0, 3 + k, kEnergyCounterHeaders[k]);
    const int columns = view->gridColumnCount();
    for (int i = 0; i < columns; ++i) {
        const int entry = kEnergyNamesFrom + i;
        const bool named = regTable && entry < kTableEntries;
        view->setGridCell(0, 7 + i, named ? regTable->energyTable.name[entry] : std::string());
    }
    return true;
}
