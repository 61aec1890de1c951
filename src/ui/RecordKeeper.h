#pragma once

#include "archive/Archive.h"
#include "model/RecordLog.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ArchiveWriter;

// Keeps what the window downloads in an archive. Opening the archive and writing to it run on a thread
// of its own: a slow or unreachable database never holds up the window or the download.
class RecordKeeper
{
  public:
    // failed runs on the keeper's thread, with the reason, whenever records could not be written.
    explicit RecordKeeper(std::function<void(const std::string &)> failed);
    ~RecordKeeper(); // writes what is queued, then ends
    RecordKeeper(const RecordKeeper &) = delete;
    RecordKeeper &operator=(const RecordKeeper &) = delete;

    // "sqlite:PATH" or "postgresql://..."; empty keeps nothing. For the records queued from now on.
    void setLocation(const std::string &location);
    // Queues the records of log not queued before. Called as records arrive, so a crash or a kill loses
    // at most what was not committed yet (about a second's worth).
    void keep(const RecordLog &log);
    // The log was emptied: its next records are new ones, perhaps of another analyzer.
    void restart();
    // Waits until everything queued is written or given up; true when all of it was written since the
    // last flush.
    bool flush();

  private:
    struct Batch {
        std::string location;
        RecordLog::Source source;
        std::vector<LogRecord> records;
        bool sealed = false; // later records start a batch of their own
    };
    void run();
    bool write(const Batch &batch); // keeper thread
    bool finishWriter();            // keeper thread
    void tell(const std::string &error);

    std::function<void(const std::string &)> failed;
    std::string location;
    size_t queuedOfLog = 0;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Batch> queue; // the last one grows until the keeper thread takes it
    uint64_t flushesAsked = 0;
    uint64_t flushesDone = 0;
    bool allWritten = true;
    bool stopping = false;

    // Keeper thread only. The writer commits on a thread of its own at least once a second.
    std::unique_ptr<Archive> archive;
    std::unique_ptr<ArchiveWriter> writer;
    std::string openLocation;
    AnalyzerIdentity saved; // the identity the writer's records belong to
    std::string failedAt;   // a location that failed since its last success
    std::thread thread;
};
