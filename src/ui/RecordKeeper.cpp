#include "ui/RecordKeeper.h"

#include "archive/ArchiveWriter.h"
#include "text/ArchiveIdentity.h"

#include <sys/resource.h>
#include <unistd.h>

#include <tuple>

namespace
{
// The window's thread hands records over in bunches of this many, or the keeper takes what came within
// kTakeEvery: a lock and a wake-up per record would cost the download more than the writing.
constexpr size_t kHandOverRecords = 256;
constexpr auto kTakeEvery = std::chrono::milliseconds(250);
constexpr auto kLookEvery = std::chrono::seconds(1);

bool sameIdentity(const AnalyzerIdentity &a, const AnalyzerIdentity &b)
{
    return std::tie(a.serial, a.vendor, a.model, a.version, a.ctRatio, a.vtRatio, a.zone) ==
           std::tie(b.serial, b.vendor, b.model, b.version, b.ctRatio, b.vtRatio, b.zone);
}

// The reason without the archive's name in front, as the message names it once.
std::string withoutName(const std::string &why, const std::string &name)
{
    const std::string prefix = "archive " + name + ": ";
    return why.rfind(prefix, 0) == 0 ? why.substr(prefix.size()) : why;
}
} // namespace

RecordKeeper::RecordKeeper(std::function<void(const Failure &)> failed)
    : failed(std::move(failed)), thread(&RecordKeeper::run, this)
{
}

RecordKeeper::~RecordKeeper()
{
    std::unique_lock lock(mutex);
    stopping = true;
    changed.notify_all();
    // A server that stopped answering must not hold the program's close: what is not written by then lies
    // above the highest stored position, where the next "New records only" reads.
    if (!changed.wait_for(lock, kCloseWait, [this] { return stopped; })) {
        givingUp = true;
        if (active)
            active->abandon();
    }
    lock.unlock();
    thread.join();
}

void RecordKeeper::setLocation(const std::string &next)
{
    location = next;
}

RecordKeeper::Batch &RecordKeeper::openBatch(const RecordLog &log)
{
    if (queue.empty() || queue.back().sealed || queue.back().location != location)
        queue.push_back({location, log.source(), {}, {}});
    return queue.back();
}

void RecordKeeper::keep(const RecordLog &log)
{
    if (log.size() < queuedOfLog)
        queuedOfLog = 0;
    if (location.empty() || log.size() == queuedOfLog) {
        if (log.size() != queuedOfLog)
            keptIn.clear(); // these went nowhere
        queuedOfLog = log.size();
        return;
    }
    bool wake;
    {
        std::lock_guard lock(mutex);
        if (keptIn != location && queuedOfLog > 0) {
            // The log's earlier records went to another archive or to none: this one marks them missing,
            // so its "New records only" reads them rather than counting them as archived.
            std::vector<Position> &gaps = openBatch(log).gaps;
            for (size_t i = 0; i < queuedOfLog; ++i)
                gaps.emplace_back(log[i].area, log[i].position);
        }
        std::vector<LogRecord> &batch = openBatch(log).records;
        const bool fresh = batch.empty(); // wakes the keeper, which then waits for the bunch
        if (fresh)                        // no reallocation on the window's thread while the bunch grows
            batch.reserve(kHandOverRecords);
        for (size_t i = queuedOfLog; i < log.size(); ++i)
            batch.push_back(log[i]);
        wake = fresh || batch.size() >= kHandOverRecords;
    }
    queuedOfLog = log.size();
    keptIn = location;
    if (wake)
        changed.notify_all();
}

void RecordKeeper::missing(const RecordLog &log, int area, int position)
{
    if (location.empty())
        return;
    {
        std::lock_guard lock(mutex);
        openBatch(log).gaps.emplace_back(area, position);
    }
    changed.notify_all();
}

void RecordKeeper::downloadEnded()
{
    {
        std::lock_guard lock(mutex);
        if (queue.empty())
            queue.push_back({location, {}, {}, {}});
        queue.back().sealed = true;
        queue.back().lastOne = true;
    }
    changed.notify_all();
}

void RecordKeeper::restart()
{
    queuedOfLog = 0;
    keptIn = location;
    std::lock_guard lock(mutex);
    if (!queue.empty())
        queue.back().sealed = true;
}

bool RecordKeeper::flush(const std::function<bool()> &givenUp)
{
    std::unique_lock lock(mutex);
    const uint64_t asked = ++flushesAsked;
    changed.notify_all();
    changed.wait(lock, [&] { return flushesDone >= asked || (givenUp && givenUp()); });
    if (flushesDone < asked)
        return false;
    return std::exchange(allWritten, true);
}

void RecordKeeper::stopFlush()
{
    // Under the mutex: a flush about to wait sees the change, or is woken by this.
    std::lock_guard lock(mutex);
    changed.notify_all();
}

void RecordKeeper::run()
{
    // The download and the window come first; threads started here (the writers') inherit it.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    std::unique_lock lock(mutex);
    for (;;) {
        if (!changed.wait_for(lock, kLookEvery,
                              [this] { return stopping || !queue.empty() || flushesDone < flushesAsked; })) {
            // A writer that gave up while no record comes (a download repeating a pass for one that fails)
            // is said now, not when the next record or the end of the download comes.
            lock.unlock();
            const bool written = !(writer && writer->broken()) || finishWriter();
            lock.lock();
            allWritten = allWritten && written;
            continue;
        }
        // A batch still growing is taken when full, sealed, or after kTakeEvery.
        if (queue.size() == 1 && !stopping && flushesDone >= flushesAsked && !queue.front().sealed &&
            queue.front().records.size() < kHandOverRecords)
            changed.wait_for(lock, kTakeEvery, [this] {
                return stopping || queue.size() > 1 || flushesDone < flushesAsked || queue.front().sealed ||
                       queue.front().records.size() >= kHandOverRecords;
            });
        if (!queue.empty()) {
            Batch batch = std::move(queue.front());
            queue.pop_front();
            const bool skip = givingUp;
            const bool lastOne = batch.lastOne;
            lock.unlock();
            bool written = !skip && write(std::move(batch));
            if (lastOne)
                written = finishWriter() && written;
            lock.lock();
            allWritten = allWritten && written;
            continue;
        }
        const uint64_t asked = flushesAsked;
        lock.unlock();
        const bool written = finishWriter();
        lock.lock();
        allWritten = allWritten && written;
        flushesDone = asked;
        changed.notify_all();
        if (stopping) {
            stopped = true;
            changed.notify_all();
            return;
        }
    }
}

bool RecordKeeper::write(Batch batch)
{
    if (batch.records.empty() && batch.gaps.empty())
        return true;
    const AnalyzerIdentity plain = plainIdentity(batch.source);
    bool written = true;
    if (!writer || openLocation != batch.location || !sameIdentity(plain, saved)) {
        written = finishWriter();
        openLocation = batch.location;
        saved = plain;
        const AnalyzerIdentity &identity = saved;
        const std::string where = batch.location;
        openFault = std::make_shared<std::atomic<ArchiveFault>>(ArchiveFault::None);
        // The key is the archive's to tell (a serial of another model is another analyzer): asked in the
        // writer's first connection, so a server that does not answer holds no thread of the keeper's.
        auto made = std::make_unique<ArchiveWriter>(
            [where, fault = openFault](std::string &error) {
                ArchiveFault why = ArchiveFault::None;
                auto archive = Archive::open(where, error, ArchiveAccess::Write, &why);
                fault->store(why);
                return archive;
            },
            identity, 1000, 1000, std::chrono::milliseconds(250),
            [source = batch.source](Archive &archive) { return archiveIdentity(source, archive); });
        std::vector<Position> &gaps = owed[{openLocation, identity.serial}];
        for (const auto &[area, position] : gaps)
            made->addGap(area, position);
        gaps.clear();
        std::lock_guard lock(mutex);
        writer = std::move(made);
        active = writer.get();
        if (givingUp) // the close gave up while this one was made
            active->abandon();
    }
    for (const auto &[area, position] : batch.gaps)
        writer->addGap(area, position);
    writer->add(std::move(batch.records));
    if (writer->broken()) // gave up while the download runs; the next batch tries a new writer
        written = finishWriter() && written;
    return written;
}

bool RecordKeeper::finishWriter()
{
    if (!writer)
        return true;
    const bool written = writer->finish();
    if (!written) {
        const std::vector<Position> unkept = writer->unkept();
        std::vector<Position> &gaps = owed[{openLocation, saved.serial}];
        gaps.insert(gaps.end(), unkept.begin(), unkept.end());
        const std::string name = redactLocation(openLocation);
        if (failed)
            failed({name, withoutName(writer->error(), name),
                    openFault ? openFault->load() : ArchiveFault::None, writer->notKept()});
    }
    std::lock_guard lock(mutex);
    active = nullptr;
    writer.reset();
    return written;
}
