#pragma once

#include "archive/Archive.h"
#include "archive/Schema.h"

struct sqlite3;
struct sqlite3_stmt;

// The archive in one SQLite file (write-ahead log; several processes may write, one at a time).
class SqliteArchive final : public Archive, private SchemaConnection
{
  public:
    SqliteArchive(const std::string &path, ArchiveAccess access); // check error() afterwards
    ~SqliteArchive() override;

    bool saveAnalyzer(const AnalyzerIdentity &identity) override;
    std::optional<AnalyzerIdentity> analyzer(const std::string &serial) override;
    bool store(const std::string &serial, std::span<const ArchiveRecord> batch, StoreCounts &counts) override;
    std::optional<ArchiveRecord> lastRecord(const std::string &serial, int area, int below) override;
    std::optional<ArchiveRecord> newestRecord(const std::string &serial, int area, int below) override;
    std::optional<std::vector<int>> readGaps(const std::string &serial, int area) override;
    bool addGaps(const std::string &serial, int area, std::span<const int> positions) override;
    bool forEach(const RecordFilter &filter, const std::function<bool(const StoredRecord &)> &visit) override;
    bool listAnalyzers(std::vector<ArchivedAnalyzer> &list) override;
    void interrupt() override;

  private:
    class Statement;

    bool exec(const std::string &sql) override;
    bool queryNumber(const std::string &sql, long long &value) override;
    std::string &errorText() override { return lastError; }
    ArchiveFault &fault() override { return openFault; }
    bool fail();
    // Opens name (a path or, for reading, a URI) and checks or creates the schema; false with error().
    bool openAs(const std::string &name, const std::string &path, ArchiveAccess access);
    sqlite3_stmt *sampleInsert(int rows); // prepared on first use
    std::optional<ArchiveRecord> pickRecord(const std::string &serial, int area, int below, bool newest);
    bool storeOne(const std::string &serial, const ArchiveRecord &record, StoreCounts &counts);

    std::string name; // the path, for messages
    sqlite3 *db = nullptr;
    sqlite3_stmt *insertRecord = nullptr;
    sqlite3_stmt *deleteGap = nullptr; // null when the archive keeps no gaps
    bool tracksGaps = false;
    bool keepsZones = false; // an older archive a reader or a writer without rights sees
    bool keepsDownloads = false;
    std::array<sqlite3_stmt *, kDecodedValues + 1> sampleInserts{}; // by the number of values
};
