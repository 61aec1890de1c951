#pragma once

#include "archive/Archive.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// Writes one analyzer's records on a thread of its own, in transactions of up to batchSize records
// or of what arrived within maxDelayMs, so the download does not wait for the archive and a kill
// loses at most the records not yet committed.
class ArchiveWriter
{
  public:
    ArchiveWriter(Archive &archive, std::string serial, size_t batchSize = 1000, int maxDelayMs = 1000);
    ~ArchiveWriter(); // finish()
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    // Queues a record; returns at once unless kQueuedBatches batches wait already.
    void add(const ArchiveRecord &record);
    // Queues a gap: the record at position of area failed. Stored before the records queued after it, so
    // a later success of the same record removes it.
    void addGap(int area, int position);
    // Writes what is queued and ends the thread. False if any write failed; error() says why. Records
    // queued after a failed write are not written.
    bool finish();

    bool broken() const; // a write failed: nothing more is written
    StoreCounts counts() const;
    std::string error() const;

  private:
    void run();

    Archive &archive;
    const std::string serial;
    const size_t batchSize;
    const int maxDelayMs;
    mutable std::mutex mutex;
    static constexpr size_t kQueuedBatches = 8;
    std::condition_variable changed; // records queued, or finish()
    std::condition_variable written; // a batch went out
    std::vector<ArchiveRecord> queued;
    std::vector<std::pair<int, int>> queuedGaps; // area, position
    bool finishing = false;
    bool failed = false;
    StoreCounts stored;
    std::string failure;
    std::thread thread;
};
