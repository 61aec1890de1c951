#include "text/DeviceText.h"
#include "ui/GridModel.h"
#include "ui/GridViewModel.h"
#include "ui/TForm1.h"

#include "widgets/TiLedRectangle.h"
#include "widgets/TiSwitchLed.h"

#include <QLabel>
#include <QListWidget>
#include <QTableView>
#include <QTimer>

void TForm1::post(std::function<void()> job)
{
    // Called on the worker thread; the job runs here, on the UI thread.
    QMetaObject::invokeMethod(this, std::move(job), Qt::QueuedConnection);
}

std::string TForm1::gridCell(int row, int column) const
{
    return toDevice(gridModel->cell(row, column));
}

void TForm1::setGridCell(int row, int column, const std::string &text)
{
    gridModel->setCell(row, column, fromDevice(text));
}

void TForm1::setGridValues(int row, int firstColumn, std::span<const double> values)
{
    gridModel->setValues(row, firstColumn, values);
}

void TForm1::writeRecordHeaders()
{
    gridModel->setCells(0, 0, {texts.captions[33], texts.captions[34], texts.captions[35]});
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

void TForm1::setStatusText(int panel, const std::string &text)
{
    setStatus(panel, fromDevice(text));
}

void TForm1::showStatusMessage(StatusMessage message)
{
    setStatus(0, texts.captions[message == StatusMessage::Completed ? 40 : 36]);
}

bool TForm1::rxLampOn() const
{
    return iLedRectangle1->isActive();
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

void TForm1::enableDownloadControls()
{
    list2->setEnabled(true);
    setDownloadLocks(false);
}
