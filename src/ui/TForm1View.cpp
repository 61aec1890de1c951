#include "text/DeviceText.h"
#include "ui/GridModel.h"
#include "ui/GridViewModel.h"
#include "ui/TForm1.h"

#include "widgets/TiLedRectangle.h"
#include "widgets/TiSwitchLed.h"
#include "worker/comThread.h"

#include <QLabel>
#include <QListWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <charconv>

namespace
{

// Area of a position text such as "0A-0001"; -1 when it names none.
int areaOf(const std::string &position)
{
    int area = -1;
    const char *end = position.data() + std::min<size_t>(position.size(), 2);
    const auto result = std::from_chars(position.data(), end, area, 16);
    return result.ec == std::errc() && result.ptr == position.data() + 2 ? area : -1;
}

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

void TForm1::setGridCell(int row, int column, const std::string &text)
{
    gridModel->setCell(row, column, fromDevice(text));
}

void TForm1::setGridValues(int row, int firstColumn, std::span<const double> values)
{
    gridModel->setValues(row, firstColumn, values);
    // The worker waits while its record is shown: its position names the record's area.
    gridModel->setRowArea(row, areaOf(worker->positionText));
}

void TForm1::writeRecordHeaders()
{
    gridModel->setCells(
        0, 0,
        {texts.captions[Captions::RecordNo], texts.captions[Captions::Date], texts.captions[Captions::Time]});
}

int TForm1::gridColumnCount() const
{
    return gridModel->columnCount();
}

void TForm1::setGridColumnCount(int columns)
{
    gridModel->setColumnCount(columns);
}

void TForm1::setGridRowCount(int rows)
{
    gridModel->setRowCount(rows);
}

void TForm1::setGridCurrentRow(int row)
{
    recordsUnsaved = true;
    pendingCurrentRow = row;
    if (!downloadRepaint->isActive())
        showCurrentRow();
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
    // Not "completed successfully" while a selected area could not be read at all.
    if (message == StatusMessage::Completed && !unreadAreas.isEmpty())
        setStatus(StatusPanel::Message, unreadAreas);
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
