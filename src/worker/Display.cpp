#include "worker/comThread.h"

#include "model/RecordPosition.h"

void comThread::showRecord()
{
    showRecord(lastRecord, requestErrorText);
}

void comThread::showRecord(const LogRecord &record, const std::string &error)
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
    view->setStatusText(WorkerView::StatusPanel::Records, "Rec.Count: " + std::to_string(row));
    view->setStatusText(WorkerView::StatusPanel::Position, recordPosition(record.area, record.position));
    view->setStatusText(WorkerView::StatusPanel::Error, error);
    view->showRecord(row, record);

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
    view->showEnergyHeaders(regTable.get());
    energyHeaderSet = true;
    return true;
}

void comThread::headerRowReplaced()
{
    energyHeaderSet = false;
}
