#pragma once

#include "model/RecordLog.h"

#include <functional>
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
//  - The view holds the records it is given: the worker keeps none.
//  - The view must outlive the worker's thread: the window calls
//    comThread::stop() before anything the view uses is destroyed.
//  - Grid rows: row 0 is the header row, records start at row 1.
//  - The worker makes the technical texts ("Rec.Count: 3", "0A-0001", the
//    stack's error text); texts of the language tables stay in the window
//    (showEnergyHeaders, showStatusMessage).
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

    // A record of the download for grid row `row` (1 the first of the pass), which becomes the current
    // row with one empty row below it. The view keeps its own copy.
    virtual void showRecord(int row, const LogRecord &record) = 0;
    // The record at index of area failed in this pass and is skipped; a later pass asks for it again. The
    // view keeps it as missing until it is shown.
    virtual void recordMissing(int area, int index) = 0;
    // The energy log's header row and columns: "Record #", "Date", "Time" in the chosen language, the
    // counters, then the energy names of table (none without one).
    virtual void showEnergyHeaders(const DEVICE_REGISTER_TABLE *table) = 0;

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
