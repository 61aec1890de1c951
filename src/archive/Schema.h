#pragma once

#include "archive/Archive.h"

#include <functional>
#include <string>
#include <vector>

// The schema both archives share, version kArchiveSchemaVersion. The differences are the identity
// column, the time type and SQLite's table without row ids.
enum class SqlDialect { Sqlite, Postgres };

// What creating or checking the schema needs of a connection. Each backend implements it.
class SchemaConnection
{
  public:
    virtual ~SchemaConnection() = default;
    virtual bool exec(const std::string &sql) = 0;
    // The first column of the first row as a number; -1 for no row or NULL, false on failure.
    virtual bool queryNumber(const std::string &sql, long long &value) = 0;
    virtual std::string &errorText() = 0;
    virtual ArchiveFault &fault() = 0;
};

// The message for a file or database that holds no archive, or a damaged one.
std::string notAnArchive(const std::string &name, const std::string &why);
// The message for an older archive without the table of records given up, which this user may not add.
std::string noGapsText(const std::string &name);

// The joined record and sample rows of RecordFilter's records, one row per value: record id,
// analyzer, area, position, record number, date text, time text, slot, quantity, value (slot -1: a
// record without values). Parameters:
// $1 analyzer (NULL for all), $2 area (-1 for all), $3 and $4 the first and last time (NULL for open).
std::string selectRecordsSql(SqlDialect dialect);

// One record of an area at positions below a bound: the highest position (of several there, the one
// archived last), or with newest the latest valid time. Columns: position, record number, date text,
// time text. Parameters: $1 analyzer, $2 area, $3 the bound.
std::string pickRecordSql(bool newest);

// Turns the rows of selectRecordsSql into records for visit.
class RecordAssembler
{
  public:
    explicit RecordAssembler(const std::function<bool(const StoredRecord &)> &visit) : visit(visit) {}

    // One row; readHeader fills analyzer, area, position, number, date and time when a record starts.
    // False once visit asked to stop.
    template <typename ReadHeader>
    bool row(long long id, int slot, int quantity, double value, ReadHeader readHeader)
    {
        if (!started || id != currentId) {
            if (!finish())
                return false;
            current = StoredRecord();
            current.record.codes.fill(kEmptySlot); // slots not stored
            readHeader(current);
            currentId = id;
            started = true;
        }
        if (slot >= 0 && slot < kLogSlots)
            current.record.codes[size_t(slot)] = int16_t(quantity);
        if (slot >= 0 && slot < kDecodedValues)
            current.record.values[size_t(slot)] = value;
        return true;
    }
    // Hands over the last record; false when visit asked to stop.
    bool finish()
    {
        const bool go = !started || visit(current);
        started = false;
        return go;
    }

  private:
    const std::function<bool(const StoredRecord &)> &visit;
    StoredRecord current;
    long long currentId = 0;
    bool started = false;
};

// For reading, only checks that the schema is there and not newer. For writing, also creates it on
// first use, and the gap table when an older archive lacks it, inside the transaction that
// beginExclusive opens (the dialect's statement that keeps other creators out), so concurrent first
// users create it once; the same for the analyzer's zone and download columns. tracksGaps says whether
// the gap table is there, keepsZones and keepsDownloads whether the columns are.
bool ensureSchema(SchemaConnection &connection, SqlDialect dialect, const std::string &beginExclusive,
                  const std::string &name, ArchiveAccess access, bool &tracksGaps, bool &keepsZones,
                  bool &keepsDownloads);

// The listing's rows: serial, vendor, model, version, ct, vt, zone, the last download as
// "YYYY-MM-DD HH:MM:SS" (NULL when not known); keepsZones and keepsDownloads as ensureSchema found them.
std::string selectAnalyzersSql(SqlDialect dialect, bool keepsZones, bool keepsDownloads);
// Rows of analyzer, area, record count and the time of the area's newest record
// ("YYYY-MM-DD HH:MM:SS" or NULL).
std::string countRecordsSql(SqlDialect dialect);
// Adds a row of countRecordsSql to the analyzer of list (sorted by serial), or to a new one for records
// of an analyzer without identity.
void addRecordCount(std::vector<ArchivedAnalyzer> &list, const std::string &serial, int area, int64_t count,
                    std::string newest);
