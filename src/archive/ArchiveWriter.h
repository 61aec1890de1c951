#pragma once

#include "archive/Archive.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A new connection to an archive, or nullptr and why.
using ArchiveOpener = std::function<std::unique_ptr<Archive>(std::string &error)>;
// The identity to keep the records under, from what the archive holds already (its key may depend on it).
using ArchiveIdentify = std::function<AnalyzerIdentity(Archive &archive)>;

// Writes one analyzer's records on a thread of its own, in transactions of up to batchSize records
// or of what arrived within maxDelayMs, so the download does not wait for the archive and a kill
// loses at most the records not yet committed.
//
// A failed write loses nothing: the batch and everything queued after it are kept and written again,
// after a pause that doubles each time, through a new connection when the writer has an opener. While
// the archive fails, at most kHeldRecords records are held; later ones are kept as their positions
// only. After kAttempts failures in a row (kFinishAttempts once finish() is called) the writer gives
// up: what it still holds is not kept, and its positions are written as gaps before any later record
// whenever a connection allows (else unkept() hands them on), so no record left out ever lies below a
// stored one without a gap.
class ArchiveWriter
{
  public:
    static constexpr size_t kHeldRecords = 100000;
    static constexpr int kAttempts = 6;
    static constexpr int kFinishAttempts = 6;
    using Position = std::pair<int, int>; // area, position

    // Through archive, which the caller keeps open and in which it saved the analyzer; after a failure
    // through connections of reopen, if given, which saves identity in each.
    ArchiveWriter(Archive &archive, std::string serial, size_t batchSize = 1000, int maxDelayMs = 1000,
                  ArchiveOpener reopen = {}, AnalyzerIdentity identity = {});
    // Through connections of open, in each of which identity is saved first.
    // With identify, the identity is asked of each new connection until one saved it; it stays then.
    ArchiveWriter(ArchiveOpener open, AnalyzerIdentity identity, size_t batchSize = 1000,
                  int maxDelayMs = 1000,
                  std::chrono::milliseconds firstPause = std::chrono::milliseconds(250),
                  ArchiveIdentify identify = {});
    ~ArchiveWriter(); // finish()
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    // Queues a record; returns at once unless kQueuedBatches batches wait already on an archive that
    // answers.
    void add(const ArchiveRecord &record) { add(ArchiveRecord(record)); }
    void add(ArchiveRecord &&record);
    void add(std::vector<ArchiveRecord> &&records); // in their order; the vector is taken over
    // Queues a gap: the record at position of area failed. Stored no later than the records queued after
    // it, so a later success of the same record removes it.
    void addGap(int area, int position);
    // Writes what is queued, trying a failing archive kFinishAttempts more times, and ends the thread.
    // False if anything was not kept; error() says why, notKept() how many records.
    bool finish();
    // Any thread: finish() returns now, the write in progress cut short where the archive can (an
    // opening connection is left to end on its own). What is not written is not kept.
    void abandon();

    bool broken() const; // given up: nothing more is written
    StoreCounts counts() const;
    std::string error() const;
    int64_t notKept() const;
    // After finish(): the positions of records not kept (and gaps not written) that no gap marks yet.
    std::vector<Position> unkept() const;

  private:
    struct State;
    static void run(const std::shared_ptr<State> &state);

    std::shared_ptr<State> state;
    std::thread thread;
};
