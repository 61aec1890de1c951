#include "worker/comThread.h"

#include "model/EnergyColumns.h"

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
    const bool rxWasOn = rxLampLit;
    rxLampLit = !rxWasOn;
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
    if (!view || energyHeaderSet)
        return true;
    view->writeRecordHeaders();
    const std::vector<std::string> cells = energyColumnNames(regTable.get(), view->gridColumnCount());
    for (size_t k = 0; k < cells.size(); ++k)
        view->setGridCell(0, 3 + int(k), cells[k]);
    energyHeaderSet = true;
    return true;
}

void comThread::headerRowReplaced()
{
    energyHeaderSet = false;
}
