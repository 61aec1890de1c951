#pragma once

#include <functional>
#include <span>
#include <string>

// What the download worker needs of the main window. The window implements
// it and hands it to comThread::setView().
//
// Contract:
//  - post() is called on the worker thread. It queues the job to run once on
//    the UI thread and returns at once (Qt: QMetaObject::invokeMethod with
//    Qt::QueuedConnection). The worker itself waits until the job has run, or
//    until comThread::stop() cancels a job that has not started, so stopping
//    the worker from the UI thread never deadlocks. A view may also run the
//    job directly inside post() (tests do).
//  - Every other function is called only from inside such a job (or from
//    comThread::setEnergyHeaders(), which the window calls itself), that is on
//    the UI thread while the worker waits.
//  - The view must outlive the worker's thread: the window calls
//    comThread::stop() before anything the view uses is destroyed.
//  - Grid coordinates are (row, column); row 0 is the header row. Cells may be
//    written beyond the current row or column count: keep or drop them, never
//    fail.
//  - The worker makes the technical texts ("Rec.Count: 3", "0A-0001", the
//    stack's error text, the energy column names); texts of the language
//    tables stay in the window (writeRecordHeaders, showStatusMessage).
class WorkerView
{
  public:
    enum class StatusMessage {
        Reading,   // " Reading Log ..."
        Completed, // "Selected Log data read completed Succesfully..."
    };

    // The status bar's panels, left to right.
    enum class StatusPanel {
        Message,  // the language's texts, the last error of a failed start
        Records,  // "Rec.Count: 3"
        Position, // "0A-0001"
        Error,    // the stack's error text of the last record
        Count
    };

    virtual ~WorkerView() = default;

    virtual void post(std::function<void()> job) = 0;

    // Result grid.
    virtual void setGridCell(int row, int column, const std::string &text) = 0;
    // Values in the general number form of the grid (15 significant digits,
    // the locale's decimal separator), starting at firstColumn.
    virtual void setGridValues(int row, int firstColumn, std::span<const double> values) = 0;
    // Row 0, columns 0..2: "Record #", "Date", "Time" in the chosen language.
    virtual void writeRecordHeaders() = 0;
    virtual int gridColumnCount() const = 0;
    virtual void setGridColumnCount(int columns) = 0;
    virtual void setGridRowCount(int rows) = 0;
    virtual void setGridCurrentRow(int row) = 0;

    // The text as given.
    virtual void setStatusText(StatusPanel panel, const std::string &text) = 0;
    // The Message panel, the language's text for the message.
    virtual void showStatusMessage(StatusMessage message) = 0;

    // The "RX" (iLedRectangle1) and "TX" (iLedRectangle2) lamps; both off until the worker sets them.
    virtual void setLamps(bool rxOn, bool txOn) = 0;

    // Sets the download switch iSwitchLed1; its change handler runs as for
    // an operator's click (switched off it pauses the worker).
    virtual void setDownloadSwitch(bool on) = 0;
    // The last record of the download is shown: the window lets the operator
    // choose, connect and apply again.
    virtual void downloadCompleted() = 0;
};
