#include "archive/SqliteArchive.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace
{

constexpr int kBusyTimeoutMs = 60000; // another process's write transaction

// Switching the journal of a file another writer is switching at the same moment fails at once
// with "database is locked": the busy handler is not asked then, so wait here as it would.
int useWriteAheadLog(sqlite3 *db)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        const int rc = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        if ((rc & 0xff) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline)
            return rc;
        sqlite3_sleep(5);
    }
}

// A path as an SQLite URI for reading only; immutable when nothing may write beside the file, as then
// SQLite cannot create the shared-memory file a write-ahead log needs.
std::string readOnlyUri(const std::string &path, bool immutable)
{
    std::string uri = path.rfind('/', 0) == 0 ? "file://" : "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + (immutable ? "?mode=ro&immutable=1" : "?mode=ro");
}

bool folderWritable(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return ::access(folder.c_str(), W_OK) == 0;
}

} // namespace

// A prepared statement that is finalized when it goes out of scope.
class SqliteArchive::Statement
{
  public:
    Statement(sqlite3 *db, const std::string &sql)
    {
        sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    sqlite3_stmt *get() const { return statement; }
    void text(int index, const std::string &value)
    {
        sqlite3_bind_text(statement, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
    }
    std::string column(int index) const
    {
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, index));
        return bytes ? std::string(bytes, size_t(sqlite3_column_bytes(statement, index))) : std::string();
    }

  private:
    sqlite3_stmt *statement = nullptr;
};

SqliteArchive::SqliteArchive(const std::string &path, ArchiveAccess access) : name(path)
{
    const bool write = access == ArchiveAccess::Write;
    if (!write) {
        // A reader without write rights to the folder cannot create the log's shared memory: then the
        // file is read as it stands.
        if (openAs(readOnlyUri(path, false), path, access) || folderWritable(path))
            return;
        const int code = sqlite3_errcode(db) & 0xff;
        if (code != SQLITE_CANTOPEN && code != SQLITE_READONLY)
            return;
        sqlite3_close(db);
        db = nullptr;
        // Read as it stands, the file would lack what its log holds: fewer records, and no word of it.
        struct stat log {
        };
        if (::stat((path + "-wal").c_str(), &log) == 0 && log.st_size > 0) {
            lastError = "cannot read archive " + path + ": its write-ahead log " + path +
                        "-wal cannot be read in a folder this user may not write; copy both files into a "
                        "folder that may be written, or open it once with write rights";
            openFault = ArchiveFault::CannotOpen;
            return;
        }
        lastError.clear();
        openFault = ArchiveFault::None;
        openAs(readOnlyUri(path, true), path, access);
        return;
    }
    // "file:..." would be taken for a URI (":memory:" among them): a path it is, as the reader's.
    if (!openAs(path.rfind("file:", 0) == 0 ? "./" + path : path, path, access))
        return;
    const char *record =
        "INSERT INTO record (analyzer, area, record_no, date_text, time_text, recorded_at, position)"
        " VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING";
    if (sqlite3_prepare_v2(db, record, -1, &insertRecord, nullptr) != SQLITE_OK)
        fail();
    const char *gap = "DELETE FROM missing_record WHERE analyzer = ? AND area = ? AND position = ?";
    if (tracksGaps && sqlite3_prepare_v2(db, gap, -1, &deleteGap, nullptr) != SQLITE_OK)
        fail();
}

bool SqliteArchive::openAs(const std::string &name, const std::string &path, ArchiveAccess access)
{
    const bool write = access == ArchiveAccess::Write;
    const int flags =
        (write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY | SQLITE_OPEN_URI) |
        SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        lastError = "cannot open archive " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory") +
                    (write ? ": check that its folder exists and may be written"
                           : ": check that the file exists and may be read");
        openFault = ArchiveFault::CannotOpen;
        return false;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // A killed process loses at most its open transaction; committed ones survive it in the log.
    if ((write && ((useWriteAheadLog(db) != SQLITE_OK && !fail()) || !exec("PRAGMA synchronous = NORMAL"))) ||
        !ensureSchema(*this, SqlDialect::Sqlite, "BEGIN IMMEDIATE", path, access, tracksGaps, keepsZones,
                      keepsDownloads)) {
        const int code = sqlite3_errcode(db) & 0xff;
        if (openFault == ArchiveFault::None && (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)) {
            lastError = notAnArchive(path, lastError);
            openFault = ArchiveFault::NotAnArchive;
        }
        lastError = lastError.rfind("archive ", 0) == 0 ? lastError : "archive " + path + ": " + lastError;
        return false;
    }
    return true;
}

SqliteArchive::~SqliteArchive()
{
    sqlite3_finalize(insertRecord);
    sqlite3_finalize(deleteGap);
    for (sqlite3_stmt *insert : sampleInserts)
        sqlite3_finalize(insert);
    sqlite3_close(db);
}

void SqliteArchive::interrupt()
{
    if (db)
        sqlite3_interrupt(db);
}

bool SqliteArchive::fail()
{
    lastError = sqlite3_errmsg(db);
    return false;
}

bool SqliteArchive::exec(const std::string &sql)
{
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK || fail();
}

bool SqliteArchive::queryNumber(const std::string &sql, long long &value)
{
    Statement query(db, sql);
    const int step = sqlite3_step(query.get());
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        return fail();
    const bool null = step == SQLITE_DONE || sqlite3_column_type(query.get(), 0) == SQLITE_NULL;
    value = null ? -1 : sqlite3_column_int64(query.get(), 0);
    return true;
}

bool SqliteArchive::saveAnalyzer(const AnalyzerIdentity &identity)
{
    const std::string zone = keepsZones ? ", zone" : "";
    const std::string downloaded = keepsDownloads ? ", downloaded_at" : "";
    Statement upsert(db,
                     "INSERT INTO analyzer (serial, vendor, model, version, ct_ratio, vt_ratio" + zone +
                         downloaded + ") VALUES (?, ?, ?, ?, ?, ?" + (keepsZones ? ", NULLIF(?, '')" : "") +
                         (keepsDownloads ? ", datetime('now')" : "") +
                         ") ON CONFLICT (serial) DO UPDATE SET vendor = excluded.vendor,"
                         " model = excluded.model, version = excluded.version, ct_ratio = excluded.ct_ratio,"
                         " vt_ratio = excluded.vt_ratio" +
                         (keepsZones ? ", zone = COALESCE(excluded.zone, analyzer.zone)" : "") +
                         (keepsDownloads ? ", downloaded_at = excluded.downloaded_at" : ""));
    upsert.text(1, identity.serial);
    upsert.text(2, identity.vendor);
    upsert.text(3, identity.model);
    upsert.text(4, identity.version);
    sqlite3_bind_double(upsert.get(), 5, identity.ctRatio);
    sqlite3_bind_double(upsert.get(), 6, identity.vtRatio);
    if (keepsZones)
        upsert.text(7, identity.zone);
    return sqlite3_step(upsert.get()) == SQLITE_DONE || fail();
}

std::optional<AnalyzerIdentity> SqliteArchive::analyzer(const std::string &serial)
{
    Statement query(db, std::string("SELECT vendor, model, version, ct_ratio, vt_ratio, ") +
                            (keepsZones ? "zone" : "NULL") + " FROM analyzer WHERE serial = ?");
    query.text(1, serial);
    if (sqlite3_step(query.get()) != SQLITE_ROW)
        return std::nullopt;
    return AnalyzerIdentity{serial,
                            query.column(0),
                            query.column(1),
                            query.column(2),
                            sqlite3_column_double(query.get(), 3),
                            sqlite3_column_double(query.get(), 4),
                            query.column(5)};
}

bool SqliteArchive::storeOne(const std::string &serial, const ArchiveRecord &record, StoreCounts &counts)
{
    sqlite3_reset(insertRecord);
    const std::string at = record.recordedAt();
    sqlite3_bind_text(insertRecord, 1, serial.data(), int(serial.size()), SQLITE_STATIC);
    sqlite3_bind_int(insertRecord, 2, record.area);
    sqlite3_bind_int(insertRecord, 3, record.recordNo);
    sqlite3_bind_text(insertRecord, 4, record.dateText.data(), int(record.dateText.size()), SQLITE_STATIC);
    sqlite3_bind_text(insertRecord, 5, record.timeText.data(), int(record.timeText.size()), SQLITE_STATIC);
    if (at.empty())
        sqlite3_bind_null(insertRecord, 6);
    else
        sqlite3_bind_text(insertRecord, 6, at.data(), int(at.size()), SQLITE_STATIC);
    sqlite3_bind_int(insertRecord, 7, record.position);
    if (sqlite3_step(insertRecord) != SQLITE_DONE)
        return fail();
    const int changes = sqlite3_changes(db);
    if (deleteGap) {
        sqlite3_reset(deleteGap);
        sqlite3_bind_text(deleteGap, 1, serial.data(), int(serial.size()), SQLITE_STATIC);
        sqlite3_bind_int(deleteGap, 2, record.area);
        sqlite3_bind_int(deleteGap, 3, record.position);
        if (sqlite3_step(deleteGap) != SQLITE_DONE)
            return fail();
    }
    if (changes == 0) {
        ++counts.present;
        return true;
    }
    ++counts.added;
    const sqlite3_int64 id = sqlite3_last_insert_rowid(db);
    int stored = 0;
    for (int slot = 0; slot < record.valueCount(); ++slot)
        stored += record.storesValue(slot);
    if (stored == 0)
        return true;
    sqlite3_stmt *insert = sampleInsert(stored);
    if (!insert)
        return fail();
    sqlite3_reset(insert);
    int parameter = 1;
    for (int slot = 0; slot < record.valueCount(); ++slot) {
        if (!record.storesValue(slot))
            continue;
        sqlite3_bind_int64(insert, parameter++, id);
        sqlite3_bind_int(insert, parameter++, slot);
        sqlite3_bind_int(insert, parameter++, record.quantity(slot));
        sqlite3_bind_double(insert, parameter++, record.values[size_t(slot)]);
    }
    return sqlite3_step(insert) == SQLITE_DONE || fail();
}

sqlite3_stmt *SqliteArchive::sampleInsert(int rows)
{
    // One statement for a record's values: a step per value would cost more than the values do.
    sqlite3_stmt *&insert = sampleInserts[size_t(rows)];
    if (!insert) {
        std::string sql = "INSERT INTO sample (record_id, slot, quantity, value) VALUES (?, ?, ?, ?)";
        for (int row = 1; row < rows; ++row)
            sql += ", (?, ?, ?, ?)";
        sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &insert, nullptr);
    }
    return insert;
}

bool SqliteArchive::store(const std::string &serial, std::span<const ArchiveRecord> batch,
                          StoreCounts &counts)
{
    StoreCounts these;
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    for (const ArchiveRecord &record : batch) {
        if (!storeOne(serial, record, these)) {
            const std::string reason = lastError;
            exec("ROLLBACK");
            lastError = reason;
            return false;
        }
    }
    if (!exec("COMMIT"))
        return false;
    counts.added += these.added;
    counts.present += these.present;
    return true;
}

std::optional<ArchiveRecord> SqliteArchive::lastRecord(const std::string &serial, int area, int below)
{
    return pickRecord(serial, area, below, false);
}

std::optional<ArchiveRecord> SqliteArchive::newestRecord(const std::string &serial, int area, int below)
{
    return pickRecord(serial, area, below, true);
}

std::optional<ArchiveRecord> SqliteArchive::pickRecord(const std::string &serial, int area, int below,
                                                       bool newest)
{
    Statement query(db, pickRecordSql(newest));
    query.text(1, serial);
    sqlite3_bind_int(query.get(), 2, area);
    sqlite3_bind_int(query.get(), 3, below);
    if (sqlite3_step(query.get()) != SQLITE_ROW)
        return std::nullopt;
    ArchiveRecord record;
    record.area = area;
    record.position = sqlite3_column_int(query.get(), 0);
    record.recordNo = sqlite3_column_int(query.get(), 1);
    record.setTime(query.column(2), query.column(3));
    return record;
}

std::optional<std::vector<int>> SqliteArchive::readGaps(const std::string &serial, int area)
{
    if (!tracksGaps) {
        lastError = noGapsText(name);
        return std::nullopt;
    }
    std::vector<int> positions;
    Statement query(db,
                    "SELECT position FROM missing_record WHERE analyzer = ? AND area = ? ORDER BY position");
    query.text(1, serial);
    sqlite3_bind_int(query.get(), 2, area);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(query.get())) == SQLITE_ROW)
        positions.push_back(sqlite3_column_int(query.get(), 0));
    if (rc != SQLITE_DONE) {
        fail();
        return std::nullopt;
    }
    return positions;
}

bool SqliteArchive::addGaps(const std::string &serial, int area, std::span<const int> positions)
{
    if (!tracksGaps || positions.empty())
        return true;
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    Statement insert(db, "INSERT INTO missing_record (analyzer, area, position) VALUES (?, ?, ?)"
                         " ON CONFLICT DO NOTHING");
    for (const int position : positions) {
        sqlite3_reset(insert.get());
        insert.text(1, serial);
        sqlite3_bind_int(insert.get(), 2, area);
        sqlite3_bind_int(insert.get(), 3, position);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) {
            fail();
            const std::string reason = lastError;
            exec("ROLLBACK");
            lastError = reason;
            return false;
        }
    }
    return exec("COMMIT");
}

bool SqliteArchive::forEach(const RecordFilter &filter,
                            const std::function<bool(const StoredRecord &)> &visit)
{
    Statement query(db, selectRecordsSql(SqlDialect::Sqlite));
    if (filter.analyzer)
        query.text(1, *filter.analyzer);
    sqlite3_bind_int(query.get(), 2, filter.area);
    if (!filter.from.empty())
        query.text(3, filter.from);
    if (!filter.to.empty())
        query.text(4, filter.to);

    RecordAssembler records(visit);
    sqlite3_stmt *row = query.get();
    int step;
    while ((step = sqlite3_step(row)) == SQLITE_ROW) {
        const bool go =
            records.row(sqlite3_column_int64(row, 0), sqlite3_column_int(row, 7), sqlite3_column_int(row, 8),
                        sqlite3_column_double(row, 9), [&](StoredRecord &stored) {
                            stored.analyzer = query.column(1);
                            stored.record.area = sqlite3_column_int(row, 2);
                            stored.record.position = sqlite3_column_int(row, 3);
                            stored.record.recordNo = sqlite3_column_int(row, 4);
                            stored.record.setTime(query.column(5), query.column(6));
                        });
        if (!go)
            return true;
    }
    if (step != SQLITE_DONE)
        return fail();
    records.finish();
    return true;
}

bool SqliteArchive::listAnalyzers(std::vector<ArchivedAnalyzer> &list)
{
    list.clear();
    Statement analyzers(db, selectAnalyzersSql(SqlDialect::Sqlite, keepsZones, keepsDownloads));
    sqlite3_stmt *row = analyzers.get();
    int step;
    while ((step = sqlite3_step(row)) == SQLITE_ROW) {
        ArchivedAnalyzer &a = list.emplace_back();
        a.identity = {analyzers.column(0), analyzers.column(1),           analyzers.column(2),
                      analyzers.column(3), sqlite3_column_double(row, 4), sqlite3_column_double(row, 5),
                      analyzers.column(6)};
        a.downloadedAt = analyzers.column(7);
    }
    if (step != SQLITE_DONE)
        return fail();
    Statement counts(db, countRecordsSql(SqlDialect::Sqlite));
    row = counts.get();
    while ((step = sqlite3_step(row)) == SQLITE_ROW)
        addRecordCount(list, counts.column(0), sqlite3_column_int(row, 1), sqlite3_column_int64(row, 2),
                       counts.column(3));
    return step == SQLITE_DONE || fail();
}
