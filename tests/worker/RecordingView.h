#pragma once

#include "worker/WorkerView.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class comThread;

// A WorkerView that records what the worker shows, behaving as the window
// does: its download switch handler suspends the worker and marks a complete
// download, and it stops the worker before it goes away. Jobs run on a thread of its own (a stand-in UI
// thread) or, with Inline, directly inside post().
class RecordingView : public WorkerView
{
  public:
    enum class Jobs { UiThread, Inline };

    // One record as the grid and the status bar showed it.
    struct Shown {
        int row = 0;
        std::string recordNo, date, time;
        std::vector<double> values; // columns 3..33
        std::string counterText, positionText, errorText;
        int columnCount = 0;
    };

    explicit RecordingView(comThread &worker, Jobs jobs = Jobs::UiThread);
    ~RecordingView() override;

    // Runs on the UI side right after each record is shown.
    void setAfterShow(std::function<void(const Shown &)> hook);

    // Waits until pred() holds, at most timeout; pred may call the getters.
    bool waitFor(const std::function<bool()> &pred, std::chrono::milliseconds timeout);
    bool waitForShown(size_t count, std::chrono::milliseconds timeout);

    // Copies taken under the lock.
    std::vector<Shown> shown() const;
    size_t shownCount() const;
    std::string cell(int row, int column) const;
    std::string status(StatusPanel panel) const;
    int completions() const;
    std::vector<std::pair<int, int>> missing() const; // area, index, as reported
    bool switchOn() const;
    int enableCalls() const;
    bool rxLamp() const;
    bool txLamp() const;
    int rowCount() const;
    int currentRow() const;

    // Runs a job on the stand-in UI thread and waits for it.
    void runOnUi(const std::function<void()> &job);
    size_t queuedJobs() const;

    void post(std::function<void()> job) override;
    void showRecord(int row, const LogRecord &record) override;
    void showEnergyHeaders(const DEVICE_REGISTER_TABLE *table) override;
    void recordMissing(int area, int index) override;
    void setStatusText(StatusPanel panel, const std::string &text) override;
    void showStatusMessage(StatusMessage message) override;
    void setLamps(bool rxOn, bool txOn) override;
    void setDownloadSwitch(bool on) override;
    void downloadCompleted() override;

  private:
    void uiLoop();
    void changedNow(); // wakes every waitFor

    comThread &worker;
    const Jobs jobs;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> queue;
    bool quitting = false;
    std::vector<std::pair<int, int>> missingRecords;
    uint64_t generation = 0; // counts changes, so waitFor misses none
    std::thread uiThread;

    std::function<void(const Shown &)> afterShow;
    std::string &cellAt(int row, int column); // grows the grid as needed

    std::vector<std::vector<std::string>> cells;
    std::vector<Shown> records;
    std::string panels[size_t(StatusPanel::Count)];
    int columns = 31;
    int rows = 2;
    int current = 0;
    bool rx = false;
    bool tx = false;
    bool downloadSwitch = true;
    int completed = 0;
    int enabled = 0;
};
