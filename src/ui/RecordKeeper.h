#pragma once

#include "archive/Archive.h"
#include "model/RecordLog.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class ArchiveWriter;

// Keeps what the window downloads in an archive. Opening the archive and writing to it run on a thread
// of its own: a slow or unreachable database never holds up the window or the download.
//
// Every position of a download is either stored or recorded as missing (a gap), as pullrec-cli does:
// records given up in a pass become gaps at once, and the records of batches the archive refused are
// kept and written again through a new connection (ArchiveWriter) until the download ends. Records
// are written in the order they came, so what a download never asked for lies above the highest
// stored position, where "New records only" reads anyway.
class RecordKeeper
{
  public:
    struct Failure {
        std::string archive; // the location without its password
        std::string why;
        ArchiveFault fault = ArchiveFault::None; // why the archive did not open, if it did not
        int64_t notKept = 0;                     // records given up
    };
    // failed runs on the keeper's thread whenever records or gaps could not be written.
    explicit RecordKeeper(std::function<void(const Failure &)> failed);
    // Writes what is queued; past kCloseWait a write in progress is cut short and the rest not kept.
    ~RecordKeeper();
    RecordKeeper(const RecordKeeper &) = delete;
    RecordKeeper &operator=(const RecordKeeper &) = delete;

    static constexpr auto kCloseWait = std::chrono::seconds(2);

    // "sqlite:PATH" or "postgresql://..."; empty keeps nothing. For the records queued from now on.
    void setLocation(const std::string &location);
    // Queues the records of log not queued before. Called as records arrive, so a crash or a kill loses
    // at most what was not committed yet (about a second's worth).
    void keep(const RecordLog &log);
    // The record at position of area, of log's analyzer, was given up in a pass: a gap until stored.
    void missing(const RecordLog &log, int area, int position);
    // The download ended: what the archive still refuses after a few more tries is given up and said.
    void downloadEnded();
    // The log was emptied: its next records are new ones, perhaps of another analyzer.
    void restart();
    // Waits until everything queued is written or given up; true when all of it was written since the
    // last flush. False at once when givenUp() holds, checked again on each stopFlush().
    bool flush(const std::function<bool()> &givenUp = {});
    // Any thread: a flush() waiting on a server that does not answer asks its givenUp() again. The
    // writing goes on.
    void stopFlush();

  private:
    using Position = std::pair<int, int>; // area, position
    struct Batch {
        std::string location;
        RecordLog::Source source;
        std::vector<LogRecord> records;
        std::vector<Position> gaps;
        bool sealed = false;  // later records start a batch of their own
        bool lastOne = false; // the download ended with it
    };
    Batch &openBatch(const RecordLog &log); // mutex held
    void run();
    bool write(Batch batch); // keeper thread
    bool finishWriter();     // keeper thread

    std::function<void(const Failure &)> failed;
    std::string location;
    size_t queuedOfLog = 0;
    std::string keptIn; // where the log's records queued so far went; empty: nowhere

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Batch> queue; // the last one grows until the keeper thread takes it
    uint64_t flushesAsked = 0;
    uint64_t flushesDone = 0;
    bool allWritten = true;
    bool stopping = false;
    bool stopped = false;
    bool givingUp = false;           // closing took too long: nothing more is written
    ArchiveWriter *active = nullptr; // mutex; abandoned when closing takes too long

    // Keeper thread only. The writer commits on a thread of its own at least once a second.
    std::unique_ptr<ArchiveWriter> writer;
    std::string openLocation;
    AnalyzerIdentity saved; // the identity the writer's records belong to
    // Why the writer's last connection did not open: set on the writer's thread, read after finish().
    std::shared_ptr<std::atomic<ArchiveFault>> openFault;
    // Positions of records given up and not marked as gaps yet, by location and serial: written as
    // gaps before anything else of that analyzer.
    std::map<std::pair<std::string, std::string>, std::vector<Position>> owed;
    std::thread thread;
};
