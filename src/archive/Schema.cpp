#include "archive/Schema.h"

#include "archive/Archive.h"

#include <algorithm>
#include <vector>

namespace
{

// Columns of analyzer that came after version 1, probed and added alike.
const char *const kZoneColumn = "zone";
const char *const kDownloadColumn = "downloaded_at";

bool hasColumn(SchemaConnection &connection, const std::string &column)
{
    long long ignored = 0;
    return connection.queryNumber("SELECT count(*) FROM analyzer WHERE " + column + " IS NULL AND 1 = 0",
                                  ignored);
}

std::vector<std::string> createStatements(SqlDialect dialect)
{
    const bool sqlite = dialect == SqlDialect::Sqlite;
    const std::string id = sqlite ? "INTEGER PRIMARY KEY" : "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY";
    const std::string time = sqlite ? "TEXT" : "TIMESTAMP";
    // Key texts compare byte by byte (SQLite always does): a language's collation costs every index step.
    const std::string key = sqlite ? "TEXT" : "TEXT COLLATE \"C\"";
    return {
        "CREATE TABLE analyzer (serial " + key +
            " PRIMARY KEY, vendor TEXT NOT NULL, model TEXT NOT NULL,"
            " version TEXT NOT NULL, ct_ratio DOUBLE PRECISION NOT NULL, vt_ratio DOUBLE PRECISION NOT NULL, "
            "zone TEXT, downloaded_at " +
            time + ")",
        "CREATE TABLE quantity (code INTEGER PRIMARY KEY, name TEXT NOT NULL, unit TEXT NOT NULL)",
        "CREATE TABLE record (id " + id + ", analyzer " + key +
            " NOT NULL,"
            " area INTEGER NOT NULL, record_no INTEGER NOT NULL, date_text " +
            key + " NOT NULL, time_text " + key + " NOT NULL, recorded_at " + time +
            ", position INTEGER NOT NULL,"
            " UNIQUE (analyzer, area, record_no, date_text, time_text))",
        "CREATE INDEX record_time ON record (analyzer, recorded_at)",
        "CREATE INDEX record_order ON record (analyzer, area, id)",
        // record.analyzer is an analyzer's serial and sample.record_id a record's id, written together
        // in one transaction; checked references would cost a trigger per row.
        std::string("CREATE TABLE sample (record_id BIGINT NOT NULL,"
                    " slot INTEGER NOT NULL, quantity INTEGER NOT NULL, value DOUBLE PRECISION NOT NULL,"
                    " PRIMARY KEY (record_id, slot))") +
            (sqlite ? " WITHOUT ROWID" : ""),
    };
}

// Names and units of the parameter codes, so plain SQL can ask for a quantity by name.
std::string quantityRows()
{
    const DEVICE_REGISTER_TABLE table(1, 1); // names and units do not depend on the ratios
    std::string sql = "INSERT INTO quantity (code, name, unit) VALUES ";
    for (int code = 0; code < kParameterCount; ++code) {
        sql += (code ? ",(" : "(") + std::to_string(code) + ",'" + table.regTable.name[size_t(code)] + "','" +
               table.regTable.unit[size_t(code)] + "')";
    }
    return sql;
}

// Positions a download gave up on, so a later --new-only run fetches them again.
std::string createGapsSql(SqlDialect dialect)
{
    const bool sqlite = dialect == SqlDialect::Sqlite;
    return std::string("CREATE TABLE IF NOT EXISTS missing_record (analyzer ") +
           (sqlite ? "TEXT" : "TEXT COLLATE \"C\"") +
           " NOT NULL, area INTEGER NOT NULL, position INTEGER NOT NULL, PRIMARY KEY (analyzer, area, "
           "position))" +
           (sqlite ? " WITHOUT ROWID" : "");
}

// The zone and download columns came after version 1 too; SQLite cannot add a column only if it is
// missing.
bool addColumn(SchemaConnection &connection, SqlDialect dialect, const std::string &column,
               const std::string &type)
{
    if (dialect == SqlDialect::Postgres)
        return connection.exec("ALTER TABLE analyzer ADD COLUMN IF NOT EXISTS " + column + " " + type);
    return hasColumn(connection, column) ||
           connection.exec("ALTER TABLE analyzer ADD COLUMN " + column + " " + type);
}

} // namespace

std::string selectRecordsSql(SqlDialect dialect)
{
    const std::string from = dialect == SqlDialect::Sqlite ? "$3" : "CAST($3 AS TIMESTAMP)";
    const std::string to = dialect == SqlDialect::Sqlite ? "$4" : "CAST($4 AS TIMESTAMP)";
    return "SELECT r.id, r.analyzer, r.area, r.position, r.record_no, r.date_text, r.time_text,"
           // A record of empty slots alone has no values but is a record all the same.
           " COALESCE(s.slot, -1), COALESCE(s.quantity, 0), COALESCE(s.value, 0)"
           " FROM record r LEFT JOIN sample s ON s.record_id = r.id"
           " WHERE (CAST($1 AS TEXT) IS NULL OR r.analyzer = $1) AND (CAST($2 AS INTEGER) < 0 OR r.area = "
           "CAST($2 AS INTEGER))"
           " AND (" +
           from + " IS NULL OR r.recorded_at >= " + from + ") AND (" + to +
           " IS NULL OR r.recorded_at <= " + to + ") ORDER BY r.analyzer, r.area, r.id, s.slot";
}

std::string pickRecordSql(bool newest)
{
    return std::string("SELECT position, record_no, date_text, time_text FROM record WHERE analyzer = $1"
                       " AND area = CAST($2 AS INTEGER) AND position < CAST($3 AS INTEGER)") +
           (newest ? " AND recorded_at IS NOT NULL ORDER BY recorded_at DESC, position DESC, id DESC"
                   : " ORDER BY position DESC, id DESC") +
           " LIMIT 1";
}

namespace
{

// A time column as "YYYY-MM-DD HH:MM:SS": SQLite keeps that text, PostgreSQL prints by its DateStyle.
std::string timeText(SqlDialect dialect, const std::string &column)
{
    return dialect == SqlDialect::Sqlite ? column : "to_char(" + column + ", 'YYYY-MM-DD HH24:MI:SS')";
}

} // namespace

std::string selectAnalyzersSql(SqlDialect dialect, bool keepsZones, bool keepsDownloads)
{
    return "SELECT serial, vendor, model, version, ct_ratio, vt_ratio, " +
           std::string(keepsZones ? "zone" : "NULL") + ", " +
           (keepsDownloads ? timeText(dialect, "downloaded_at") : "NULL") + " FROM analyzer ORDER BY serial";
}

std::string countRecordsSql(SqlDialect dialect)
{
    // Counted in the index alone. The newest by time, not the record archived last (a newest-first or
    // wrapped log is archived out of time order): found from the analyzer's newest time backwards, where
    // the areas of one analyzer lie close together.
    return "SELECT g.analyzer, g.area, g.records, " +
           timeText(dialect, "(SELECT r.recorded_at FROM record r WHERE r.analyzer = g.analyzer AND r.area = "
                             "g.area AND r.recorded_at IS NOT NULL ORDER BY r.recorded_at DESC LIMIT 1)") +
           " FROM (SELECT analyzer, area, count(*) AS records FROM record GROUP BY analyzer, area) g";
}

void addRecordCount(std::vector<ArchivedAnalyzer> &list, const std::string &serial, int area, int64_t count,
                    std::string newest)
{
    if (area < 0 || area >= kAreaCount)
        return;
    auto at = std::lower_bound(
        list.begin(), list.end(), serial,
        [](const ArchivedAnalyzer &a, const std::string &s) { return a.identity.serial < s; });
    if (at == list.end() || at->identity.serial != serial) {
        at = list.insert(at, ArchivedAnalyzer());
        at->identity.serial = serial;
    }
    at->records[size_t(area)] = count;
    at->newest[size_t(area)] = std::move(newest);
}

std::string notAnArchive(const std::string &name, const std::string &why)
{
    return "archive " + name + " is not an archive or is damaged (" + why +
           "): give another or restore a copy";
}

std::string noGapsText(const std::string &name)
{
    return "archive " + name +
           " keeps no list of records given up (made by an older version, and this user may not add it): "
           "open it once with the rights to create tables";
}

bool ensureSchema(SchemaConnection &connection, SqlDialect dialect, const std::string &beginExclusive,
                  const std::string &name, ArchiveAccess access, bool &tracksGaps, bool &keepsZones,
                  bool &keepsDownloads)
{
    auto tooNew = [&](long long version) {
        connection.errorText() = "archive " + name + " has schema version " + std::to_string(version) +
                                 "; this program knows version " + std::to_string(kArchiveSchemaVersion) +
                                 " and older: open it with a newer version of Pullrec";
        connection.fault() = ArchiveFault::NewerSchema;
        return false;
    };
    long long ignored = 0;
    // Read first, outside any transaction: a role or file without write rights reads all the same.
    long long version = -1;
    const bool found =
        connection.queryNumber("SELECT max(version) FROM pullrec_schema", version) && version > 0;
    if (found && version > kArchiveSchemaVersion)
        return tooNew(version);
    tracksGaps = found && connection.queryNumber("SELECT count(*) FROM missing_record WHERE 1 = 0", ignored);
    keepsZones = found && hasColumn(connection, kZoneColumn);
    keepsDownloads = found && hasColumn(connection, kDownloadColumn);
    if (access == ArchiveAccess::Read) {
        if (!found) {
            connection.errorText() = notAnArchive(
                name, connection.errorText().empty() ? "no schema version" : connection.errorText());
            connection.fault() = ArchiveFault::NotAnArchive;
        } else
            connection.errorText().clear();
        return found;
    }
    if (found && tracksGaps && keepsZones && keepsDownloads) {
        connection.errorText().clear();
        return true;
    }

    // Created once even when several writers start at once: they take turns in beginExclusive.
    bool ok = connection.exec(beginExclusive) &&
              connection.exec("CREATE TABLE IF NOT EXISTS pullrec_schema (version INTEGER NOT NULL)") &&
              connection.queryNumber("SELECT max(version) FROM pullrec_schema", version);
    if (ok && version < 0) {
        for (const std::string &sql : createStatements(dialect))
            ok = ok && connection.exec(sql);
        ok = ok && connection.exec(quantityRows()) &&
             connection.exec("INSERT INTO pullrec_schema (version) VALUES (" +
                             std::to_string(kArchiveSchemaVersion) + ")");
    } else if (ok && version > kArchiveSchemaVersion) {
        ok = tooNew(version);
    }
    // Gaps came after version 1 and need no new version: a program without them ignores the table.
    // A writer without the rights to add it to an older archive writes without it.
    const bool addedOk =
        ok && connection.exec(createGapsSql(dialect)) &&
        addColumn(connection, dialect, kZoneColumn, "TEXT") &&
        addColumn(connection, dialect, kDownloadColumn, dialect == SqlDialect::Sqlite ? "TEXT" : "TIMESTAMP");
    if (!addedOk && found) {
        connection.exec("ROLLBACK");
        connection.errorText().clear();
        return true;
    }
    ok = addedOk && connection.exec("COMMIT");
    tracksGaps = ok;
    keepsZones = ok;
    keepsDownloads = ok;
    if (ok) {
        connection.errorText().clear();
        return true;
    }
    const std::string reason = connection.errorText();
    connection.exec("ROLLBACK");
    connection.errorText() = reason;
    return false;
}
