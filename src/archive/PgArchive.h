#pragma once

#include "archive/Archive.h"
#include "archive/Schema.h"

#include <atomic>
#include <vector>

struct pg_conn;
struct pg_result;

// The archive in a PostgreSQL database, which any number of collectors may write at once.
class PgArchive final : public Archive, private SchemaConnection
{
  public:
    PgArchive(const std::string &connection, ArchiveAccess access); // check error() afterwards
    ~PgArchive() override;

    bool saveAnalyzer(const AnalyzerIdentity &identity) override;
    std::optional<AnalyzerIdentity> analyzer(const std::string &serial) override;
    bool store(const std::string &serial, std::span<const ArchiveRecord> batch, StoreCounts &counts) override;
    std::optional<ArchiveRecord> lastRecord(const std::string &serial, int area, int below) override;
    std::optional<ArchiveRecord> newestRecord(const std::string &serial, int area, int below) override;
    std::optional<std::vector<int>> readGaps(const std::string &serial, int area) override;
    bool addGaps(const std::string &serial, int area, std::span<const int> positions) override;
    bool forEach(const RecordFilter &filter, const std::function<bool(const StoredRecord &)> &visit) override;
    bool listAnalyzers(std::vector<ArchivedAnalyzer> &list) override;
    void interrupt() override; // any thread: the wait in progress ends, and the connection with it

  private:
    class Result;

    bool exec(const std::string &sql) override;
    bool queryNumber(const std::string &sql, long long &value) override;
    std::string &errorText() override { return lastError; }
    ArchiveFault &fault() override { return openFault; }
    // Runs sql with text parameters (nullptr is NULL); the result, or an empty one after setting lastError.
    Result query(const std::string &sql, const std::vector<const char *> &parameters);
    // COPY ... FROM STDIN of rows (binary format); its SQLSTATE in copyState on failure.
    bool copy(const std::string &sql, const std::string &rows);
    // Sends sql, with parameters unless nullptr (then it may hold several statements), and returns
    // answer().
    Result run(const std::string &sql, const std::vector<const char *> *parameters);
    // The answer to what was sent, as PQexec gives it: the last result, or the start of a COPY. When it
    // is no success, lastError and lastState say why.
    Result answer();
    // Sends what is queued and waits until a result is there, at most answerSeconds. Past that, or on
    // interrupt(), closes the connection for good and fails, as every later call does, with lastError
    // saying so.
    bool awaitResult();
    std::optional<ArchiveRecord> pickRecord(const std::string &serial, int area, int below, bool newest);
    bool storeOnce(const std::string &serial, std::span<const ArchiveRecord> batch, StoreCounts &counts,
                   bool &retry);

    pg_conn *db = nullptr;
    std::string name; // the location without its password, for messages
    bool tracksGaps = false;
    bool keepsZones = false; // an older archive a reader or a writer without rights sees
    bool keepsDownloads = false;
    // reason with the archive's name, and the time-out's when that ended it.
    std::string explained(const std::string &reason) const;

    std::string copyState;
    std::string lastState; // SQLSTATE of the last failure
    std::string lost;      // why the connection was closed
    int wake = -1;         // an eventfd interrupt() writes to, beside the socket
    std::atomic<bool> interrupted = false;
};
