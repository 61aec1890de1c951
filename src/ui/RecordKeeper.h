#pragma once

#include "model/RecordLog.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Archive;

// Keeps what the window downloads in an archive. Opening the archive and writing to it run on a thread
// of its own: a slow or unreachable database never holds up the window or the download.
class RecordKeeper
{
  public:
    // failed runs on the keeper's thread, with the reason, the first time writes to a location fail
    // (again after the location changed or a write succeeded).
    explicit RecordKeeper(std::function<void(const std::string &)> failed);
    ~RecordKeeper(); // writes what is queued, then ends
    RecordKeeper(const RecordKeeper &) = delete;
    RecordKeeper &operator=(const RecordKeeper &) = delete;

    // "sqlite:PATH" or "postgresql://..."; empty keeps nothing. For the records queued from now on.
    void setLocation(const std::string &location);
    // Queues the records of log not queued before; a log emptied since starts again from its first.
    void keep(const RecordLog &log);
    // Waits until everything queued is written or given up; true when all of it was written.
    bool flush();

  private:
    struct Batch {
        std::string location;
        RecordLog::Source source;
        std::vector<LogRecord> records;
    };
    void run();
    bool write(const Batch &batch);

    std::function<void(const std::string &)> failed;
    std::string location;
    const RecordLog *lastLog = nullptr;
    size_t queuedOfLog = 0;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Batch> queue;
    size_t writing = 0; // batches taken off the queue, not yet written
    bool allWritten = true;
    bool stopping = false;

    // Keeper thread only.
    std::unique_ptr<Archive> archive;
    std::string openLocation;
    std::string toldFor; // the location whose failure was said
    std::thread thread;
};
