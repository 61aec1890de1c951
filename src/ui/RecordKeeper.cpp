#include "ui/RecordKeeper.h"

#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"
#include "text/ArchiveIdentity.h"

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
    if (&log != lastLog || log.size() < queuedOfLog)
        queuedOfLog = 0;
    lastLog = &log;
    if (location.empty() || log.size() == queuedOfLog) {
        queuedOfLog = log.size();
        return;
    }
    Batch batch{location, log.source(), {}};
    batch.records.reserve(log.size() - queuedOfLog);
    for (size_t i = queuedOfLog; i < log.size(); ++i)
        batch.records.push_back(log[i]);
    queuedOfLog = log.size();
    {
        std::lock_guard lock(mutex);
        queue.push_back(std::move(batch));
    }
    changed.notify_all();
}

bool RecordKeeper::flush()
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return queue.empty() && writing == 0; });
    return std::exchange(allWritten, true);
}

void RecordKeeper::run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || !queue.empty(); });
        if (queue.empty())
            return;
        Batch batch = std::move(queue.front());
        queue.pop_front();
        ++writing;
        lock.unlock();
        const bool written = write(batch);
        lock.lock();
        --writing;
        allWritten = allWritten && written;
        changed.notify_all();
    }
}

bool RecordKeeper::write(const Batch &batch)
{
    std::string error;
    if (!archive || openLocation != batch.location) {
        archive.reset();
        openLocation = batch.location;
        archive = Archive::open(batch.location, error, ArchiveAccess::Write);
    }
    if (archive) {
        const AnalyzerIdentity identity = archiveIdentity(batch.source);
        if (archive->saveAnalyzer(identity)) {
            ArchiveWriter writer(*archive, identity.serial);
            for (const LogRecord &record : batch.records)
                writer.add(record);
            if (writer.finish()) {
                toldFor.clear();
                return true;
            }
            error = writer.error();
        } else {
            error = archive->error();
        }
        archive.reset(); // opened afresh for the next batch: the server may be back
    }
    if (toldFor != batch.location) {
        toldFor = batch.location;
        if (failed)
            failed(error);
    }
    return false;
}
