#include "worker/comThread.h"

// One record's trip to the UI thread. It outlives the worker when the view
// still holds the queued job, so the job touches only this after a cancel.
struct comThread::HandOver {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool done = false;
    bool cancelled = false;
};

void comThread::resume()
{
    std::lock_guard lock(stateMutex);
    if (stopRequested)
        return;
    pauseRequested = false;
    if (!thread.joinable())
        thread = std::thread(&comThread::run, this);
    stateChanged.notify_all();
}

void comThread::restartPass()
{
    passAbandoned = true;
}

void comThread::suspend()
{
    std::lock_guard lock(stateMutex);
    pauseRequested = true;
}

bool comThread::suspended() const
{
    std::lock_guard lock(stateMutex);
    return pauseRequested;
}

void comThread::stop()
{
    std::shared_ptr<HandOver> pending;
    {
        std::lock_guard lock(stateMutex);
        stopRequested = true;
        pending = pendingHandOver;
        stateChanged.notify_all();
    }
    if (pending) {
        std::lock_guard lock(pending->mutex);
        pending->cancelled = true;
        pending->changed.notify_all();
    }
    // A record request in flight ends at once instead of running out its time-outs and retries.
    cancel();
    if (thread.joinable())
        thread.join();
    std::lock_guard lock(linkMutex);
    rtuMaster.close();
    tcpMaster.close();
}

void comThread::run()
{
    for (;;) {
        {
            std::unique_lock lock(stateMutex);
            stateChanged.wait(lock, [this] { return stopRequested || (!pauseRequested && !readDone); });
            if (stopRequested)
                return;
        }
        readPass();
    }
}

bool comThread::checkPoint()
{
    std::unique_lock lock(stateMutex);
    stateChanged.wait(lock, [this] { return stopRequested || !pauseRequested; });
    return !stopRequested;
}

bool comThread::pauseFor(int ms)
{
    std::unique_lock lock(stateMutex);
    return !stateChanged.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopRequested; });
}

bool comThread::handOver(bool withEnergyHeaders)
{
    return runOnView([this, withEnergyHeaders] {
        if (withEnergyHeaders) {
            energyHeaderSet = setEnergyHeaders();
            if (view)
                view->setGridColumnCount(kEnergyGridColumns);
        }
        showRecord();
    });
}

bool comThread::showLinkError()
{
    return runOnView([this] {
        if (view)
            view->setStatusText(WorkerView::StatusPanel::Message, lastErrorText);
    });
}

bool comThread::runOnView(std::function<void()> job)
{
    if (!view) {
        job();
        return true;
    }

    auto state = std::make_shared<HandOver>();
    {
        std::lock_guard lock(stateMutex);
        if (stopRequested)
            return false;
        pendingHandOver = state;
    }
    view->post([state, job] {
        {
            std::lock_guard lock(state->mutex);
            if (state->cancelled)
                return;
            state->started = true;
        }
        job();
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->changed.notify_all();
    });
    bool shown;
    {
        std::unique_lock lock(state->mutex);
        state->changed.wait(lock, [&state] { return state->done || (state->cancelled && !state->started); });
        shown = state->done;
    }
    std::lock_guard lock(stateMutex);
    pendingHandOver.reset();
    return shown;
}
