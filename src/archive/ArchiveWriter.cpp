#include "archive/ArchiveWriter.h"

#include <chrono>

ArchiveWriter::ArchiveWriter(Archive &archive, std::string serial, size_t batchSize, int maxDelayMs)
    : archive(archive), serial(std::move(serial)), batchSize(batchSize), maxDelayMs(maxDelayMs)
{
    queued.reserve(batchSize);
    thread = std::thread([this] { run(); });
}

ArchiveWriter::~ArchiveWriter()
{
    finish();
}

void ArchiveWriter::add(const ArchiveRecord &record)
{
    std::unique_lock lock(mutex);
    // An archive far behind holds the download back rather than memory growing with the log.
    written.wait(lock, [this] { return failed || queued.size() < kQueuedBatches * batchSize; });
    if (failed || finishing)
        return;
    queued.push_back(record);
    if (queued.size() >= batchSize)
        changed.notify_one();
}

void ArchiveWriter::addGap(int area, int position)
{
    std::lock_guard lock(mutex);
    if (!failed && !finishing)
        queuedGaps.emplace_back(area, position);
}

bool ArchiveWriter::broken() const
{
    std::lock_guard lock(mutex);
    return failed;
}

bool ArchiveWriter::finish()
{
    {
        std::lock_guard lock(mutex);
        finishing = true;
    }
    changed.notify_one();
    if (thread.joinable())
        thread.join();
    std::lock_guard lock(mutex);
    return !failed;
}

StoreCounts ArchiveWriter::counts() const
{
    std::lock_guard lock(mutex);
    return stored;
}

std::string ArchiveWriter::error() const
{
    std::lock_guard lock(mutex);
    return failure;
}

void ArchiveWriter::run()
{
    std::vector<ArchiveRecord> batch;
    batch.reserve(batchSize);
    std::vector<std::pair<int, int>> gaps;
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait_for(lock, std::chrono::milliseconds(maxDelayMs),
                         [this] { return finishing || queued.size() >= batchSize; });
        if (queued.empty() && queuedGaps.empty()) {
            if (finishing)
                return;
            continue;
        }
        batch.swap(queued);
        gaps.swap(queuedGaps);
        lock.unlock();
        bool ok = true;
        for (const auto &[area, position] : gaps)
            ok = ok && archive.addGaps(serial, area, std::span(&position, 1));
        gaps.clear();
        StoreCounts counts;
        ok = ok && (batch.empty() || archive.store(serial, batch, counts));
        lock.lock();
        written.notify_all();
        batch.clear();
        stored.added += counts.added;
        stored.present += counts.present;
        if (!ok) {
            failed = true;
            failure = archive.error();
            queued.clear();
            queuedGaps.clear();
            written.notify_all();
            return;
        }
    }
}
