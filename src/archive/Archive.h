#pragma once

#include "model/RecordLog.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The record archive: the downloaded records of any number of analyzers in one SQLite file or one
// PostgreSQL database, both with the same schema (README, "The archive"). Texts are UTF-8.
//
// A record is keyed by analyzer serial, area, record number and the date and time texts, so storing
// it again changes nothing, also when several processes store the same records at once. An Archive
// object is one connection: use it from one thread at a time; open one per thread.

inline constexpr int kArchiveSchemaVersion = 1;
inline constexpr int kArchiveEnergyArea = kEnergyArea;

struct AnalyzerIdentity {
    std::string serial;
    std::string vendor;
    std::string model;
    std::string version;
    double ctRatio = 0;
    double vtRatio = 0;
    // The zone the analyzer's clock keeps, such as "Europe/Berlin"; empty when not known. Saving it
    // empty keeps the zone stored.
    std::string zone = {};
};

// One record as downloaded: the texts the grid shows and the decoded values exactly.
using ArchiveRecord = LogRecord;

struct StoreCounts {
    int64_t added = 0;
    int64_t present = 0; // archived before
};

// Empty fields match everything; times as "YYYY-MM-DD HH:MM:SS", both ends included. An analyzer kept
// under an empty serial (by an older version) is one analyzer too: no analyzer given means every one.
struct RecordFilter {
    std::optional<std::string> analyzer;
    int area = -1;
    std::string from;
    std::string to;
};

// An analyzer the archive holds, as a listing shows it.
struct ArchivedAnalyzer {
    AnalyzerIdentity identity;
    std::string downloadedAt; // the last saveAnalyzer, UTC "YYYY-MM-DD HH:MM:SS"; empty when not known
    std::array<int64_t, kAreaCount> records{}; // by area
    // The time of each area's newest record, as RecordFilter's; empty for none or no valid time.
    std::array<std::string, kAreaCount> newest{};
};

// What an opened archive is used for: reading needs no write or schema rights.
enum class ArchiveAccess { Read, Write };

// Why open() refused, for a message that says what to do.
enum class ArchiveFault {
    None,
    Location,     // names no archive (checkLocation)
    CannotOpen,   // missing, unreadable, no server
    NotAnArchive, // a file or database without the schema, or a damaged one
    NewerSchema,  // written by a newer version
};

struct StoredRecord {
    std::string analyzer;
    ArchiveRecord record;
};

class Archive
{
  public:
    virtual ~Archive() = default;

    // "sqlite:PATH", "postgresql://..." (or "postgres://...") or a libpq "key=value" string. For
    // writing, creates the schema on first use; reading only checks its version. Refuses an archive of
    // a newer schema. nullptr and error (with any password masked) on failure.
    static std::unique_ptr<Archive> open(const std::string &location, std::string &error,
                                         ArchiveAccess access = ArchiveAccess::Write,
                                         ArchiveFault *fault = nullptr);
    // Why open() would refuse the location without trying it, or empty when it names an archive.
    static std::string checkLocation(const std::string &location);

    // Inserts or updates the analyzer's identity; its last download is now.
    virtual bool saveAnalyzer(const AnalyzerIdentity &identity) = 0;
    virtual std::optional<AnalyzerIdentity> analyzer(const std::string &serial) = 0;

    // One transaction: the whole batch or nothing. Adds to counts only when it commits. The positions
    // stored are no longer gaps.
    virtual bool store(const std::string &serial, std::span<const ArchiveRecord> batch,
                       StoreCounts &counts) = 0;

    // The record at the highest position of the area below `below` (of several there, the one archived
    // last), if any.
    virtual std::optional<ArchiveRecord> lastRecord(const std::string &serial, int area, int below) = 0;
    // The record of the latest time at positions of the area below `below` (of several then, the one at
    // the highest position, archived last); none when no record there has a valid time.
    virtual std::optional<ArchiveRecord> newestRecord(const std::string &serial, int area, int below) = 0;

    // Gaps: positions whose record a download gave up on and no later one stored, ascending. An
    // archive whose gap table could not be added (no rights to) keeps none.
    std::vector<int> gaps(const std::string &serial, int area)
    {
        return readGaps(serial, area).value_or(std::vector<int>{});
    }
    // The same, or nullopt when they could not be read (error() says why): then none can be ruled out.
    virtual std::optional<std::vector<int>> readGaps(const std::string &serial, int area) = 0;
    virtual bool addGaps(const std::string &serial, int area, std::span<const int> positions) = 0;

    // The matching records by analyzer, area and archiving order; visit returns false to stop.
    virtual bool forEach(const RecordFilter &filter,
                         const std::function<bool(const StoredRecord &)> &visit) = 0;

    // Every archived analyzer by serial, with its record counts; false on failure.
    virtual bool listAnalyzers(std::vector<ArchivedAnalyzer> &list) = 0;

    // Any thread, while another uses the archive: the call in progress fails at once, without waiting on
    // the server, and so may every later one. The object must outlive this call.
    virtual void interrupt() {}

    // Text of the last failure.
    const std::string &error() const { return lastError; }

  protected:
    std::string lastError;
    ArchiveFault openFault = ArchiveFault::None; // set by a backend whose opening failed
};

// A "sqlite:" location with a relative path made absolute against the current folder, so that it names
// the same file whatever folder the program is started from later; any other location as given.
std::string absoluteLocation(const std::string &location);

// The location for messages: the password of a URL or a libpq string replaced by "***".
std::string redactLocation(const std::string &location);

// "2026-03-01T12:00" or "2026-03-01 12:00:05" or "2026-03-01" into the form of RecordFilter; empty when
// it is none of them. A date alone is its first second, or with endOfDay its last.
std::string normalizeTime(const std::string &text, bool endOfDay);
