#include "ui/RecordKeeper.h"

#include "archive/ArchiveWriter.h"
#include "text/ArchiveIdentity.h"

#include <tuple>
#include <utility>

namespace
{
bool sameIdentity(const AnalyzerIdentity &a, const AnalyzerIdentity &b)
{
    return std::tie(a.serial, a.vendor, a.model, a.version, a.ctRatio, a.vtRatio, a.zone) ==
           std::tie(b.serial, b.vendor, b.model, b.version, b.ctRatio, b.vtRatio, b.zone);
}
} // namespace

RecordKeeper::RecordKeeper(std::function<void(const std::string &)> failed)
    : failed(std::move(failed)), thread(&RecordKeeper::run, this)
{
}

RecordKeeper::~RecordKeeper()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

void RecordKeeper::setLocation(const std::string &next)
{
    location = next;
}

void RecordKeeper::keep(const RecordLog &log)
{
    if (log.size() < queuedOfLog)
        queuedOfLog = 0;
    if (location.empty() || log.size() == queuedOfLog) {
        queuedOfLog = log.size();
        return;
    }
    {
        std::lock_guard lock(mutex);
        if (queue.empty() || queue.back().sealed || queue.back().location != location)
            queue.push_back({location, log.source(), {}});
        std::vector<LogRecord> &batch = queue.back().records;
        for (size_t i = queuedOfLog; i < log.size(); ++i)
            batch.push_back(log[i]);
    }
    queuedOfLog = log.size();
    changed.notify_all();
}

void RecordKeeper::restart()
{
    queuedOfLog = 0;
    std::lock_guard lock(mutex);
    if (!queue.empty())
        queue.back().sealed = true;
}

bool RecordKeeper::flush()
{
    std::unique_lock lock(mutex);
    const uint64_t asked = ++flushesAsked;
    changed.notify_all();
    changed.wait(lock, [&] { return flushesDone >= asked; });
    return std::exchange(allWritten, true);
}

void RecordKeeper::run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || !queue.empty() || flushesDone < flushesAsked; });
        if (!queue.empty()) {
            Batch batch = std::move(queue.front());
            queue.pop_front();
            // Closing: a location that failed is not tried again for every batch left.
            const bool skip = stopping && batch.location == failedAt;
            lock.unlock();
            const bool written = !skip && write(batch);
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
        if (stopping)
            return;
    }
}

bool RecordKeeper::write(const Batch &batch)
{
    if (batch.records.empty())
        return true;
    if (!archive || openLocation != batch.location) {
        finishWriter();
        archive.reset();
        openLocation = batch.location;
        std::string error;
        archive = Archive::open(batch.location, error, ArchiveAccess::Write);
        if (!archive) {
            tell(error);
            return false;
        }
    }
    const AnalyzerIdentity identity = archiveIdentity(batch.source, *archive);
    if (!writer || !sameIdentity(identity, saved)) {
        // The writer uses the connection on its own thread: the identity is saved while none runs.
        if (!finishWriter())
            return false;
        if (!archive->saveAnalyzer(identity)) {
            tell(archive->error());
            archive.reset(); // opened afresh for the next batch: the server may be back
            return false;
        }
        saved = identity;
        writer = std::make_unique<ArchiveWriter>(*archive, identity.serial);
    }
    for (const LogRecord &record : batch.records)
        writer->add(record);
    if (writer->broken())
        return finishWriter();
    return true;
}

bool RecordKeeper::finishWriter()
{
    if (!writer)
        return true;
    const bool written = writer->finish();
    const std::string error = writer->error();
    writer.reset();
    if (!written) {
        archive.reset();
        tell(error);
    } else if (failedAt == openLocation) {
        failedAt.clear();
    }
    return written;
}

void RecordKeeper::tell(const std::string &error)
{
    failedAt = openLocation;
    if (failed)
        failed(error);
}
