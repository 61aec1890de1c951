#include "archive/ArchiveWriter.h"

namespace
{
constexpr size_t kQueuedBatches = 8;
} // namespace

#include <algorithm>

struct ArchiveWriter::State {
    Archive *borrowed = nullptr;
    ArchiveOpener open;
    ArchiveIdentify identify; // thread only, until a connection saved its identity
    AnalyzerIdentity identity;
    std::string serial;
    size_t batchSize = 0;
    int maxDelayMs = 0;
    std::chrono::milliseconds firstPause{250};

    std::mutex mutex;
    std::condition_variable changed;    // records queued, finish() or abandon()
    std::condition_variable written;    // a batch went out, or the thread ended
    std::vector<ArchiveRecord> records; // oldest first
    std::vector<Position> gaps;
    std::vector<Position> owed; // given up: positions no gap marks
    // Taken by the thread for the attempt in progress; changed under mutex, read by it without.
    std::vector<ArchiveRecord> inFlight;
    std::vector<Position> gapsInFlight;
    bool settled = false; // finish() counted what was not kept: the thread's last drop adds nothing
    bool finishing = false;
    bool abandoned = false;
    bool gaveUp = false;
    bool done = false;
    int failures = 0;       // in a row
    int finishFailures = 0; // in a row, since finish()
    StoreCounts stored;
    int64_t lost = 0;
    std::string failure;
    // The connection in use; changed under mutex so abandon() may interrupt it.
    std::unique_ptr<Archive> owned;
    Archive *current = nullptr;

    bool answering() const { return failures == 0; }
    // An archive far behind holds the download back rather than memory growing with the log; one that
    // fails does not, and its records are bounded by take().
    std::unique_lock<std::mutex> room()
    {
        std::unique_lock lock(mutex);
        written.wait(lock, [this] {
            return gaveUp || done || abandoned || !answering() || records.size() < kQueuedBatches * batchSize;
        });
        return lock;
    }
    void take(ArchiveRecord &&record) // mutex held
    {
        if (gaveUp || done || records.size() >= kHeldRecords) {
            (gaveUp || done ? owed : gaps).emplace_back(record.area, record.position);
            ++lost;
            return;
        }
        records.push_back(std::move(record));
        wake();
    }
    void wake()
    {
        if (records.size() >= batchSize)
            changed.notify_one();
    }
    void putBack(std::vector<ArchiveRecord> &batch, std::vector<Position> &taken) // mutex held
    {
        records.insert(records.begin(), std::make_move_iterator(batch.begin()),
                       std::make_move_iterator(batch.end()));
        gaps.insert(gaps.begin(), taken.begin(), taken.end());
        batch.clear();
        taken.clear();
    }
    void dropAll() // mutex held
    {
        if (!settled) {
            count(records, gaps);
            // What the thread writes now is not kept either: finish() returns before it fails.
            if (finishing && abandoned && !done)
                count(inFlight, gapsInFlight);
        }
        settled = settled || (finishing && abandoned);
        records.clear();
        gaps.clear();
    }
    void count(const std::vector<ArchiveRecord> &dropped, const std::vector<Position> &droppedGaps)
    {
        for (const ArchiveRecord &record : dropped)
            owed.emplace_back(record.area, record.position);
        owed.insert(owed.end(), droppedGaps.begin(), droppedGaps.end());
        lost += int64_t(dropped.size());
    }
};

namespace
{
constexpr auto kLongestPause = std::chrono::seconds(4);

// Gaps by area, each area's in one statement.
bool writeGaps(Archive &archive, const std::string &serial, std::vector<ArchiveWriter::Position> gaps)
{
    std::sort(gaps.begin(), gaps.end());
    for (size_t from = 0; from < gaps.size();) {
        std::vector<int> positions;
        size_t to = from;
        for (; to < gaps.size() && gaps[to].first == gaps[from].first; ++to)
            positions.push_back(gaps[to].second);
        if (!archive.addGaps(serial, gaps[from].first, positions))
            return false;
        from = to;
    }
    return true;
}
} // namespace

ArchiveWriter::ArchiveWriter(Archive &archive, std::string serial, size_t batchSize, int maxDelayMs,
                             ArchiveOpener reopen, AnalyzerIdentity identity)
    : state(std::make_shared<State>())
{
    state->borrowed = &archive;
    state->current = &archive;
    state->open = std::move(reopen);
    state->identity = std::move(identity);
    state->serial = std::move(serial);
    state->batchSize = batchSize;
    state->maxDelayMs = maxDelayMs;
    thread = std::thread(&ArchiveWriter::run, state);
}

ArchiveWriter::ArchiveWriter(ArchiveOpener open, AnalyzerIdentity identity, size_t batchSize, int maxDelayMs,
                             std::chrono::milliseconds firstPause, ArchiveIdentify identify)
    : state(std::make_shared<State>())
{
    state->open = std::move(open);
    state->identify = std::move(identify);
    state->serial = identity.serial;
    state->identity = std::move(identity);
    state->batchSize = batchSize;
    state->maxDelayMs = maxDelayMs;
    state->firstPause = firstPause;
    thread = std::thread(&ArchiveWriter::run, state);
}

ArchiveWriter::~ArchiveWriter()
{
    finish();
}

void ArchiveWriter::add(ArchiveRecord &&record)
{
    State &s = *state;
    std::unique_lock lock = s.room();
    s.take(std::move(record));
}

void ArchiveWriter::add(std::vector<ArchiveRecord> &&more)
{
    State &s = *state;
    std::unique_lock lock = s.room();
    if (s.records.empty() && !s.gaveUp && !s.done && more.size() <= kHeldRecords) {
        s.records.swap(more); // no copy, no allocation on this thread
        s.wake();
        return;
    }
    for (ArchiveRecord &record : more)
        s.take(std::move(record));
}

void ArchiveWriter::addGap(int area, int position)
{
    std::lock_guard lock(state->mutex);
    (state->gaveUp || state->done ? state->owed : state->gaps).emplace_back(area, position);
}

bool ArchiveWriter::broken() const
{
    std::lock_guard lock(state->mutex);
    return state->gaveUp;
}

bool ArchiveWriter::finish()
{
    State &s = *state;
    {
        std::unique_lock lock(s.mutex);
        s.finishing = true;
        s.changed.notify_one();
        // Abandoned, a thread still opening a connection is left to end on its own: it touches only the
        // state it shares. A connection of the caller's must outlive its use, so that one is waited for.
        s.written.wait(lock, [&s] { return s.done || (s.abandoned && !s.borrowed); });
        if (!s.done) {
            s.dropAll();
            if (thread.joinable())
                thread.detach();
        }
    }
    if (thread.joinable())
        thread.join();
    std::lock_guard lock(s.mutex);
    return s.lost == 0 && s.owed.empty();
}

void ArchiveWriter::abandon()
{
    std::lock_guard lock(state->mutex);
    state->abandoned = true;
    if (state->current)
        state->current->interrupt();
    state->changed.notify_all();
    state->written.notify_all();
}

StoreCounts ArchiveWriter::counts() const
{
    std::lock_guard lock(state->mutex);
    return state->stored;
}

std::string ArchiveWriter::error() const
{
    std::lock_guard lock(state->mutex);
    return state->failure;
}

int64_t ArchiveWriter::notKept() const
{
    std::lock_guard lock(state->mutex);
    return state->lost;
}

std::vector<ArchiveWriter::Position> ArchiveWriter::unkept() const
{
    std::lock_guard lock(state->mutex);
    return state->owed;
}

void ArchiveWriter::run(const std::shared_ptr<State> &shared)
{
    State &s = *shared;
    std::vector<ArchiveRecord> &batch = s.inFlight;
    std::vector<Position> &gaps = s.gapsInFlight;
    std::unique_lock lock(s.mutex);
    for (;;) {
        if (s.answering()) {
            s.changed.wait_for(lock, std::chrono::milliseconds(s.maxDelayMs), [&s] {
                return s.finishing || s.abandoned || s.records.size() >= s.batchSize;
            });
        } else {
            const auto pause = std::min<std::chrono::milliseconds>(
                s.firstPause * (1 << std::min(s.failures - 1, 8)), kLongestPause);
            s.changed.wait_for(lock, pause, [&s] { return s.abandoned; });
        }
        if (s.abandoned || (s.records.empty() && s.gaps.empty() && s.finishing)) {
            s.dropAll();
            s.done = true;
            s.written.notify_all();
            return;
        }
        if (s.records.empty() && s.gaps.empty())
            continue;
        batch.swap(s.records); // stored in transactions of batchSize below
        gaps.swap(s.gaps);
        Archive *archive = s.current;
        lock.unlock();

        std::string error;
        bool ok = true;
        if (!archive) {
            std::unique_ptr<Archive> opened =
                s.open ? s.open(error) : nullptr; // a new connection: the last one may be dead
            if (opened && s.identify) {
                s.identity = s.identify(*opened);
                s.serial = s.identity.serial;
            }
            ok = opened && opened->saveAnalyzer(s.identity);
            if (ok) // asked again of the next connection when this one failed: its answer may be wrong
                s.identify = nullptr;
            if (opened && !ok)
                error = opened->error();
            lock.lock();
            s.owned = std::move(opened);
            s.current = archive = ok ? s.owned.get() : nullptr;
            if (s.abandoned) { // while opening: the owner counted these as not kept
                s.putBack(batch, gaps);
                s.dropAll();
                s.done = true;
                s.written.notify_all();
                return;
            }
            lock.unlock();
        }
        StoreCounts counts;
        ok = ok && writeGaps(*archive, s.serial, gaps);
        size_t stored = 0;
        while (ok && stored < batch.size()) {
            const size_t count = std::min(s.batchSize, batch.size() - stored);
            ok = archive->store(s.serial, std::span(batch).subspan(stored, count), counts);
            stored += ok ? count : 0;
        }
        if (!ok && error.empty())
            error = archive ? archive->error() : "no archive";

        lock.lock();
        s.stored.added += counts.added; // the transactions that committed
        s.stored.present += counts.present;
        batch.erase(batch.begin(), batch.begin() + long(stored));
        if (ok) {
            gaps.clear();
            s.failures = s.finishFailures = 0;
        } else {
            s.putBack(batch, gaps);
            if (s.failures == 0) // the cause; later attempts mostly fail to connect
                s.failure = error;
            ++s.failures;
            s.finishFailures += s.finishing;
            if (s.open) { // the next attempt on a connection of its own
                s.current = nullptr;
                s.owned.reset();
            }
            if (s.failures >= kAttempts || s.finishFailures >= kFinishAttempts) {
                s.gaveUp = true;
                s.dropAll();
                s.done = true;
                s.written.notify_all();
                return;
            }
        }
        batch.clear();
        s.written.notify_all();
    }
}
