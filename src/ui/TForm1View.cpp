#include "model/EnergyColumns.h"
#include "text/DeviceText.h"
#include "ui/GridModel.h"
#include "ui/GridViewModel.h"
#include "ui/RecordKeeper.h"
#include "ui/TForm1.h"

#include "widgets/TiLedRectangle.h"
#include "widgets/TiSwitchLed.h"
#include "worker/comThread.h"

#include <QLabel>
#include <QListWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace
{
constexpr int kFirstValueColumn = 3;
} // namespace

void TForm1::post(std::function<void()> job)
{
    // Called on the worker thread; the job runs here, on the UI thread. It travels in a queue of our
    // own under a std::mutex, and Qt's queued call carries no data: a thread checker sees this
    // hand-over, not one through Qt's own queue, whose locking it cannot see into.
    {
        std::lock_guard lock(postedMutex);
        postedJobs.push_back(std::move(job));
    }
    QMetaObject::invokeMethod(this, "runPostedJob", Qt::QueuedConnection);
}

void TForm1::runPostedJob()
{
    std::function<void()> job;
    {
        std::lock_guard lock(postedMutex);
        if (postedJobs.empty())
            return;
        job = std::move(postedJobs.front());
        postedJobs.pop_front();
    }
    job();
}

void TForm1::showRecord(int row, const LogRecord &record)
{
    gridModel->setRowCount(row + 2); // one empty row below the last record
    gridModel->setRecord(row, records.append(record));
    keeper->keep(records);
    if (worker->completed())
        keeper->downloadEnded();
    recordsUnsaved = true;
    pendingCurrentRow = row;
    if (!downloadRepaint->isActive())
        showCurrentRow();
}

void TForm1::recordMissing(int area, int index)
{
    keeper->missing(records, area, index);
}

void TForm1::showEnergyHeaders(const DEVICE_REGISTER_TABLE *table)
{
    writeRecordHeaders();
    const std::vector<std::string> names = energyColumnNames(table, gridModel->columnCount());
    for (size_t k = 0; k < names.size(); ++k)
        gridModel->setCell(0, kFirstValueColumn + int(k), fromDevice(names[k]));
    gridModel->setColumnCount(kEnergyGridColumns);
}

void TForm1::writeRecordHeaders()
{
    gridModel->setCells(
        0, 0,
        {texts.captions[Captions::RecordNo], texts.captions[Captions::Date], texts.captions[Captions::Time]});
}

void TForm1::clearRecords()
{
    gridModel->clearCells(); // before the log: no row may show a record that is gone
    records.clear();
    keeper->restart();
    worker->headerRowReplaced();
}

void TForm1::showCurrentRow()
{
    if (pendingCurrentRow < 0 || pendingCurrentRow >= gridView->rowCount())
        return;
    // The view scrolls only when the row is out of sight.
    const int column = std::max(grid->currentIndex().column(), 0);
    grid->setCurrentIndex(gridView->index(pendingCurrentRow, column));
}

// Paused, the message panel keeps saying so: the record still in flight must not make it read as running.
void TForm1::setStatusText(StatusPanel panel, const std::string &text)
{
    if (panel != StatusPanel::Message || !downloadPaused)
        setStatus(panel, fromDevice(text));
}

void TForm1::showStatusMessage(StatusMessage message)
{
    if (downloadPaused)
        return;
    // Not "completed successfully" while a selected area could not be read or records were not kept.
    QString notes = unreadAreas;
    if (!archiveTrouble.isEmpty())
        notes += (notes.isEmpty() ? QString() : QStringLiteral(" ")) + archiveTrouble;
    if (message == StatusMessage::Completed && !notes.isEmpty())
        setStatus(StatusPanel::Message, notes);
    else if (message == StatusMessage::Reading && !archiveTrouble.isEmpty()) // kept in view while reading
        setStatus(StatusPanel::Message,
                  texts.captions[Captions::ReadingLog] + QStringLiteral(" ") + archiveTrouble);
    else
        setStatus(StatusPanel::Message,
                  texts.captions[message == StatusMessage::Completed ? Captions::ReadCompleted
                                                                     : Captions::ReadingLog]);
}

void TForm1::setLamps(bool rxOn, bool txOn)
{
    iLedRectangle1->setActive(rxOn);
    iLedRectangle2->setActive(txOn);
}

void TForm1::setDownloadSwitch(bool on)
{
    iSwitchLed1->setActive(on);
}

void TForm1::downloadCompleted()
{
    // A pause that came while the last record was on its way ends with the download.
    downloadPaused = false;
    setWindowState(WindowState::Completed);
}
