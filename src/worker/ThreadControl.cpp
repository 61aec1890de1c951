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
    ++pass;
}

void comThread::waitForNoRequest()
{
    std::unique_lock lock(stateMutex);
    pauseRequested = true;
    stateChanged.wait(lock, [this] { return !requestPending; });
}

bool comThread::requestInFlight() const
{
    std::lock_guard lock(stateMutex);
    return requestPending;
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
            // A pass reads the selection as it was when it began: the window changes it only between
            // passes.
            passRanges = selectedRanges;
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

bool comThread::passGoesOn(uint64_t forPass) const
{
    return pass == forPass && !readDone;
}

comThread::Fetch comThread::fetch(int area, int index, uint64_t forPass, Fetched &into)
{
    {
        // One lock for the test and the mark, so that waitForNoRequest() never misses a request.
        std::unique_lock lock(stateMutex);
        stateChanged.wait(lock, [this] { return stopRequested || !pauseRequested; });
        if (stopRequested || !passGoesOn(forPass))
            return Fetch::PassEnded;
        requestPending = true;
    }
    const bool read = readRecord(area, index);
    into.linkDown = !read && linkDown();
    {
        // A transaction on another thread may write requestErrorText once the request has ended.
        std::lock_guard link(linkMutex);
        into.error = requestErrorText;
        if (read)
            into.record = lastRecord;
    }
    std::lock_guard lock(stateMutex);
    requestPending = false;
    stateChanged.notify_all();
    return read ? Fetch::Read : Fetch::Failed;
}

bool comThread::pauseFor(int ms)
{
    std::unique_lock lock(stateMutex);
    return !stateChanged.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopRequested; });
}

bool comThread::handOver(uint64_t forPass, const Fetched &record, bool withEnergyHeaders)
{
    return runOnView([this, forPass, record, withEnergyHeaders] {
        if (pass != forPass)
            return; // the window ended the pass while the record was on its way
        if (withEnergyHeaders)
            energyHeaderSet = setEnergyHeaders();
        showRecord(record.record, record.error);
    });
}

bool comThread::showLinkError(uint64_t forPass, const std::string &error)
{
    return runOnView([this, forPass, error] {
        if (view && pass == forPass)
            view->setStatusText(WorkerView::StatusPanel::Message, error);
    });
}

bool comThread::reportMissing(uint64_t forPass, int area, int index)
{
    return runOnView([this, forPass, area, index] {
        if (view && pass == forPass)
            view->recordMissing(area, index);
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
