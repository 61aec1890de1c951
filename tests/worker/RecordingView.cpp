#include "RecordingView.h"

#include "model/EnergyColumns.h"
#include "worker/comThread.h"

#include <algorithm>

RecordingView::RecordingView(comThread &worker, Jobs jobs) : worker(worker), jobs(jobs)
{
    if (jobs == Jobs::UiThread)
        uiThread = std::thread(&RecordingView::uiLoop, this);
}

RecordingView::~RecordingView()
{
    worker.stop(); // as the window does: the worker must not outlive its view
    {
        std::lock_guard lock(mutex);
        quitting = true;
    }
    changed.notify_all();
    if (uiThread.joinable())
        uiThread.join();
}

void RecordingView::uiLoop()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return quitting || !queue.empty(); });
        if (queue.empty())
            return;
        auto job = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        job();
        lock.lock();
        ++generation;
        changed.notify_all();
    }
}

void RecordingView::post(std::function<void()> job)
{
    if (jobs == Jobs::Inline) {
        job();
        return;
    }
    {
        std::lock_guard lock(mutex);
        queue.push_back(std::move(job));
        ++generation;
    }
    changed.notify_all();
}

void RecordingView::runOnUi(const std::function<void()> &job)
{
    if (jobs == Jobs::Inline) {
        job();
        return;
    }
    bool done = false;
    post([&] {
        job();
        std::lock_guard lock(mutex);
        done = true;
    }); // uiLoop counts the change once the job has run
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return done; });
}

void RecordingView::setAfterShow(std::function<void(const Shown &)> hook)
{
    std::lock_guard lock(mutex);
    afterShow = std::move(hook);
}

void RecordingView::changedNow()
{
    {
        std::lock_guard lock(mutex);
        ++generation;
    }
    changed.notify_all();
}

bool RecordingView::waitFor(const std::function<bool()> &pred, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex);
    for (;;) {
        const uint64_t seen = generation;
        lock.unlock();
        if (pred())
            return true;
        lock.lock();
        if (generation == seen && !changed.wait_until(lock, deadline, [&] { return generation != seen; })) {
            lock.unlock();
            return pred();
        }
    }
}

bool RecordingView::waitForShown(size_t count, std::chrono::milliseconds timeout)
{
    return waitFor([&] { return shownCount() >= count; }, timeout);
}

size_t RecordingView::shownCount() const
{
    std::lock_guard lock(mutex);
    return records.size();
}

std::vector<RecordingView::Shown> RecordingView::shown() const
{
    std::lock_guard lock(mutex);
    return records;
}

std::string RecordingView::cell(int row, int column) const
{
    std::lock_guard lock(mutex);
    const bool present = row < static_cast<int>(cells.size()) && column < static_cast<int>(cells[row].size());
    return present ? cells[row][column] : std::string();
}

std::string &RecordingView::cellAt(int row, int column)
{
    if (row >= static_cast<int>(cells.size()))
        cells.resize(row + 1);
    if (column >= static_cast<int>(cells[row].size()))
        cells[row].resize(column + 1);
    return cells[row][column];
}

size_t RecordingView::queuedJobs() const
{
    std::lock_guard lock(mutex);
    return queue.size();
}

std::string RecordingView::status(StatusPanel panel) const
{
    std::lock_guard lock(mutex);
    return panels[size_t(panel)];
}

int RecordingView::completions() const
{
    std::lock_guard lock(mutex);
    return completed;
}

bool RecordingView::switchOn() const
{
    std::lock_guard lock(mutex);
    return downloadSwitch;
}

int RecordingView::enableCalls() const
{
    std::lock_guard lock(mutex);
    return enabled;
}

bool RecordingView::rxLamp() const
{
    std::lock_guard lock(mutex);
    return rx;
}

bool RecordingView::txLamp() const
{
    std::lock_guard lock(mutex);
    return tx;
}

int RecordingView::rowCount() const
{
    std::lock_guard lock(mutex);
    return rows;
}

int RecordingView::currentRow() const
{
    std::lock_guard lock(mutex);
    return current;
}

void RecordingView::showEnergyHeaders(const DEVICE_REGISTER_TABLE *table)
{
    std::lock_guard lock(mutex);
    cellAt(0, 0) = "Record #";
    cellAt(0, 1) = "Date";
    cellAt(0, 2) = "Time";
    const std::vector<std::string> names = energyColumnNames(table, columns);
    for (size_t k = 0; k < names.size(); ++k)
        cellAt(0, 3 + int(k)) = names[k];
    columns = kEnergyGridColumns;
}

void RecordingView::recordMissing(int area, int index)
{
    std::lock_guard lock(mutex);
    missingRecords.emplace_back(area, index);
}

std::vector<std::pair<int, int>> RecordingView::missing() const
{
    std::lock_guard lock(mutex);
    return missingRecords;
}

void RecordingView::showRecord(int row, const LogRecord &shownRecord)
{
    std::function<void(const Shown &)> hook;
    Shown record;
    {
        std::lock_guard lock(mutex);
        rows = row + 2;
        current = row;
        cellAt(row, 0) = std::to_string(shownRecord.recordNo);
        cellAt(row, 1) = shownRecord.dateText;
        cellAt(row, 2) = shownRecord.timeText;
        record.row = row;
        record.recordNo = cellAt(row, 0);
        record.date = shownRecord.dateText;
        record.time = shownRecord.timeText;
        record.values.assign(shownRecord.values.begin(), shownRecord.values.end());
        record.counterText = panels[size_t(StatusPanel::Records)];
        record.positionText = panels[size_t(StatusPanel::Position)];
        record.errorText = panels[size_t(StatusPanel::Error)];
        record.columnCount = columns;
        records.push_back(record);
        hook = afterShow;
    }
    if (hook)
        hook(record);
    changedNow();
}

void RecordingView::setStatusText(StatusPanel panel, const std::string &text)
{
    std::lock_guard lock(mutex);
    panels[size_t(panel)] = text;
}

void RecordingView::showStatusMessage(StatusMessage message)
{
    std::lock_guard lock(mutex);
    if (message == StatusMessage::Completed) {
        panels[size_t(StatusPanel::Message)] = "Selected Log data read completed Succesfully...";
        ++completed;
    } else {
        panels[size_t(StatusPanel::Message)] = " Reading Log ...";
    }
}

void RecordingView::setLamps(bool rxOn, bool txOn)
{
    std::lock_guard lock(mutex);
    rx = rxOn;
    tx = txOn;
}

void RecordingView::setDownloadSwitch(bool on)
{
    {
        std::lock_guard lock(mutex);
        downloadSwitch = on;
    }
    // The window's switch handler: switched off, it pauses the worker.
    if (!on)
        worker.pauseDownload();
}

void RecordingView::downloadCompleted()
{
    std::lock_guard lock(mutex);
    ++enabled;
}
