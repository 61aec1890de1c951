#include "archive/PgArchive.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>

namespace
{

constexpr int kStoreAttempts = 5;           // a deadlock between collectors is retried
constexpr long long kSchemaLockKey = 58001; // advisory lock held while the schema is created
constexpr int kStoreLockKey = 58002;        // with the serial's hash: one analyzer's store
constexpr int kFetchRows = 8192;            // values of a few hundred records per answer

bool transient(const char *sqlState)
{
    const std::string state = sqlState ? sqlState : "";
    return state == "40P01" || state == "40001"; // deadlock detected, serialization failure
}

// PostgreSQL array literals: {"a","b"} with " and \ escaped.
class ArrayText
{
  public:
    void add(const std::string &text)
    {
        separate();
        body += '"';
        for (const char c : text) {
            if (c == '"' || c == '\\')
                body += '\\';
            body += c;
        }
        body += '"';
    }
    void addNull()
    {
        separate();
        body += "NULL";
    }
    void add(long long number)
    {
        separate();
        body += std::to_string(number);
    }
    void add(double number)
    {
        separate();
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, number); // shortest exact form
        body.append(buffer, result.ptr);
    }
    const char *text()
    {
        closed = body + "}";
        return closed.c_str();
    }

  private:
    void separate() { body += body.size() > 1 ? "," : ""; }
    std::string body = "{";
    std::string closed;
};

// Rows of sample in COPY's binary format: a header, per row the field count and each field's length and
// big-endian bytes, a trailer.
class CopyRows
{
  public:
    CopyRows() { bytes.assign("PGCOPY\n\377\r\n\0\0\0\0\0\0\0\0\0", 19); }
    void add(long long recordId, int slot, int quantity, double value)
    {
        put(uint16_t(4), 2);
        put(8u, 4);
        put(uint64_t(recordId), 8);
        put(4u, 4);
        put(uint32_t(slot), 4);
        put(4u, 4);
        put(uint32_t(quantity), 4);
        put(8u, 4);
        put(std::bit_cast<uint64_t>(value), 8);
        ++count;
    }
    bool empty() const { return count == 0; }
    const std::string &finish()
    {
        put(uint16_t(0xFFFF), 2);
        return bytes;
    }

  private:
    void put(uint64_t value, int size)
    {
        for (int k = size - 1; k >= 0; --k)
            bytes.push_back(char(value >> (8 * k) & 0xFF));
    }
    std::string bytes;
    size_t count = 0;
};

// Seconds to wait for the server, a lock or a statement: PULLREC_ARCHIVE_TIMEOUT, else two minutes.
int waitSeconds()
{
    const char *text = std::getenv("PULLREC_ARCHIVE_TIMEOUT");
    int seconds = 0;
    if (!text || std::from_chars(text, text + std::strlen(text), seconds).ec != std::errc() || seconds < 1)
        return 120;
    return seconds;
}

// A statement may run twice as long as a lock may be waited for.
int statementSeconds()
{
    return 2 * waitSeconds();
}

// The longest wait for any answer of the server: past the statement time-out, so that the server's own
// time-out, which says what it was waiting for, normally ends a slow statement first.
int answerSeconds()
{
    return statementSeconds() + 2;
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

double toDouble(const char *text)
{
    double value = 0;
    std::from_chars(text, text + std::char_traits<char>::length(text), value);
    return value;
}

} // namespace

// Owns a PGresult.
class PgArchive::Result
{
  public:
    explicit Result(PGresult *result = nullptr) : result(result) {}
    Result(Result &&other) noexcept : result(std::exchange(other.result, nullptr)) {}
    ~Result() { PQclear(result); }
    Result &operator=(Result &&other) noexcept
    {
        std::swap(result, other.result);
        return *this;
    }

    bool ok() const
    {
        const ExecStatusType status = PQresultStatus(result);
        return result &&
               (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE);
    }
    PGresult *get() const { return result; }
    int rows() const { return result ? PQntuples(result) : 0; }
    bool null(int row, int column) const { return PQgetisnull(result, row, column); }
    const char *text(int row, int column) const { return PQgetvalue(result, row, column); }
    long long number(int row, int column) const { return std::atoll(text(row, column)); }
    const char *sqlState() const { return result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr; }

  private:
    PGresult *result;
};

PgArchive::PgArchive(const std::string &connection, ArchiveAccess access)
    : name(redactLocation(connection)), wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    // A server that is gone or a lock that is never let go ends a run instead of hanging it; the
    // location's own connect_timeout, after this one, wins.
    const std::string timeout = std::to_string(waitSeconds());
    const char *keys[] = {"connect_timeout", "dbname", "client_encoding", nullptr};
    const char *values[] = {timeout.c_str(), connection.c_str(), "UTF8", nullptr};
    db = PQconnectdbParams(keys, values, 1);
    if (PQstatus(db) != CONNECTION_OK) {
        // libpq quotes a location it cannot parse, password and all.
        lastError = "cannot connect to archive " + name + ": " + redactLocation(trimmed(PQerrorMessage(db)));
        return;
    }
    // Never blocks, so a server that stops answering is waited for only until answerSeconds.
    PQsetnonblocking(db, 1);
    PQsetNoticeProcessor(
        db, [](void *, const char *) {}, nullptr); // "already exists, skipping" and the like
    if (!exec("SET extra_float_digits = 3") || !exec("SET lock_timeout = '" + timeout + "s'") ||
        !exec("SET statement_timeout = '" + std::to_string(statementSeconds()) +
              "s'") || // a lock wait is named so
        !ensureSchema(*this, SqlDialect::Postgres,
                      "BEGIN; SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")", name,
                      access, tracksGaps, keepsZones, keepsDownloads))
        lastError = explained(lastError);
}

std::string PgArchive::explained(const std::string &reason) const
{
    std::string text = trimmed(reason);
    if (text.rfind("archive ", 0) != 0)
        text = "archive " + name + ": " + text;
    if (lastState == "55P03" || lastState == "57014") { // lock or statement time-out
        const int seconds = lastState == "55P03" ? waitSeconds() : statementSeconds();
        text += " (no answer within " + std::to_string(seconds) + " s, PULLREC_ARCHIVE_TIMEOUT)";
    }
    return text;
}

PgArchive::~PgArchive()
{
    PQfinish(db);
    if (wake >= 0)
        ::close(wake);
}

void PgArchive::interrupt()
{
    interrupted = true;
    const uint64_t one = 1;
    if (wake >= 0 && ::write(wake, &one, sizeof one) < 0) {
        // Full or closed: the flag alone ends the next wait.
    }
}

bool PgArchive::awaitResult()
{
    if (db) {
        const int seconds = answerSeconds();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!interrupted) {
            const int unsent = PQflush(db);
            if (unsent < 0 || (unsent == 0 && !PQisBusy(db)))
                return true; // a broken connection is PQgetResult's to tell, at once
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd sockets[] = {{PQsocket(db), short(POLLIN | (unsent ? POLLOUT : 0)), 0}, {wake, POLLIN, 0}};
            const int ready = left.count() > 0 ? ::poll(sockets, wake >= 0 ? 2 : 1, int(left.count())) : 0;
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            if ((sockets[0].revents & ~POLLOUT) && !PQconsumeInput(db))
                return true;
        }
        // Not cancelled: PQcancel itself would wait on the server that does not answer. Closing ends our
        // part; the server's statement time-out ends its part.
        PQfinish(db);
        db = nullptr;
        lost = interrupted ? "archive " + name + ": the read was stopped"
                           : "archive " + name + ": the server did not answer within " +
                                 std::to_string(seconds) + " s (PULLREC_ARCHIVE_TIMEOUT)";
    }
    lastError = lost;
    lastState.clear();
    return false;
}

PgArchive::Result PgArchive::answer()
{
    Result last;
    while (awaitResult()) {
        PGresult *next = PQgetResult(db);
        if (!next)
            break;
        last = Result(next);
        const ExecStatusType status = PQresultStatus(next);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || PQstatus(db) == CONNECTION_BAD)
            break;
    }
    if (!db)
        return Result();
    if (!last.ok() && PQresultStatus(last.get()) != PGRES_COPY_IN) {
        lastError = trimmed(PQerrorMessage(db));
        lastState = last.sqlState() ? last.sqlState() : "";
    }
    return last;
}

PgArchive::Result PgArchive::run(const std::string &sql, const std::vector<const char *> *parameters)
{
    const bool sent = db && (parameters ? PQsendQueryParams(db, sql.c_str(), int(parameters->size()), nullptr,
                                                            parameters->data(), nullptr, nullptr, 0)
                                        : PQsendQuery(db, sql.c_str()));
    if (!sent && db) {
        lastError = trimmed(PQerrorMessage(db));
        lastState.clear();
        return Result();
    }
    return answer(); // or, on a closed connection, why it was closed
}

bool PgArchive::copy(const std::string &sql, const std::string &rows)
{
    const Result start = run(sql, nullptr);
    bool ok = PQresultStatus(start.get()) == PGRES_COPY_IN;
    copyState = ok ? "" : lastState;
    if (!ok)
        return false;
    // Queued whole on the non-blocking connection; answer() sends it.
    ok = PQputCopyData(db, rows.data(), int(rows.size())) == 1;
    ok = PQputCopyEnd(db, ok ? nullptr : "not sent") == 1 && ok;
    const Result end = answer();
    copyState = end.ok() ? "" : lastState;
    return ok && end.ok();
}

PgArchive::Result PgArchive::query(const std::string &sql, const std::vector<const char *> &parameters)
{
    return run(sql, &parameters);
}

bool PgArchive::exec(const std::string &sql)
{
    return run(sql, nullptr).ok();
}

bool PgArchive::queryNumber(const std::string &sql, long long &value)
{
    const Result result = query(sql, {});
    if (!result.ok())
        return false;
    value = result.rows() == 0 || result.null(0, 0) ? -1 : result.number(0, 0);
    return true;
}

bool PgArchive::saveAnalyzer(const AnalyzerIdentity &identity)
{
    const std::string ct = std::to_string(identity.ctRatio);
    const std::string vt = std::to_string(identity.vtRatio);
    std::vector<const char *> parameters = {identity.serial.c_str(),
                                            identity.vendor.c_str(),
                                            identity.model.c_str(),
                                            identity.version.c_str(),
                                            ct.c_str(),
                                            vt.c_str()};
    if (keepsZones)
        parameters.push_back(identity.zone.c_str());
    const std::string zone = keepsZones ? ", zone" : "";
    const std::string downloaded = keepsDownloads ? ", downloaded_at" : "";
    // The server's clock in UTC, as SQLite's datetime('now').
    const std::string now = keepsDownloads ? ", date_trunc('second', now() AT TIME ZONE 'UTC')" : "";
    return query("INSERT INTO analyzer (serial, vendor, model, version, ct_ratio, vt_ratio" + zone +
                     downloaded + ") VALUES ($1, $2, $3, $4, $5, $6" +
                     (keepsZones ? ", NULLIF($7, '')" : "") + now +
                     ") ON CONFLICT (serial) DO UPDATE SET vendor = excluded.vendor,"
                     " model = excluded.model, version = excluded.version, ct_ratio = excluded.ct_ratio,"
                     " vt_ratio = excluded.vt_ratio" +
                     (keepsZones ? ", zone = COALESCE(excluded.zone, analyzer.zone)" : "") +
                     (keepsDownloads ? ", downloaded_at = excluded.downloaded_at" : ""),
                 parameters)
        .ok();
}

std::optional<AnalyzerIdentity> PgArchive::analyzer(const std::string &serial)
{
    const Result result = query(std::string("SELECT vendor, model, version, ct_ratio, vt_ratio, ") +
                                    (keepsZones ? "zone" : "NULL") + " FROM analyzer WHERE serial = $1",
                                {serial.c_str()});
    if (result.rows() != 1)
        return std::nullopt;
    return AnalyzerIdentity{serial,
                            result.text(0, 0),
                            result.text(0, 1),
                            result.text(0, 2),
                            toDouble(result.text(0, 3)),
                            toDouble(result.text(0, 4)),
                            result.text(0, 5)};
}

bool PgArchive::store(const std::string &serial, std::span<const ArchiveRecord> batch, StoreCounts &counts)
{
    bool retry = true;
    for (int attempt = 0; attempt < kStoreAttempts && retry; ++attempt) {
        if (storeOnce(serial, batch, counts, retry))
            return true;
    }
    return false;
}

bool PgArchive::storeOnce(const std::string &serial, std::span<const ArchiveRecord> batch,
                          StoreCounts &counts, bool &retry)
{
    retry = false;
    ArrayText areas, numbers, dates, times, stamps, positions;
    for (const ArchiveRecord &record : batch) {
        areas.add(static_cast<long long>(record.area));
        numbers.add(static_cast<long long>(record.recordNo));
        dates.add(record.dateText);
        times.add(record.timeText);
        const std::string at = record.recordedAt();
        if (at.empty())
            stamps.addNull();
        else
            stamps.add(at);
        positions.add(static_cast<long long>(record.position));
    }
    // Collectors storing the same analyzer take turns, batch by batch, so they never wait on each
    // other's rows in different orders (a deadlock); records the other committed are skipped here.
    if (!exec("BEGIN") || !query("SELECT pg_advisory_xact_lock($1::int, hashtext($2))",
                                 {std::to_string(kStoreLockKey).c_str(), serial.c_str()})
                               .ok()) {
        retry = transient(lastState.c_str());
        const std::string reason = lastError;
        exec("ROLLBACK");
        lastError = explained(reason);
        return false;
    }
    const Result inserted = query(
        "INSERT INTO record (analyzer, area, record_no, date_text, time_text, recorded_at, position)"
        " SELECT $1, * FROM unnest($2::int[], $3::int[], $4::text[], $5::text[], $6::timestamp[], $7::int[])"
        " ON CONFLICT DO NOTHING RETURNING id, area, record_no, date_text, time_text",
        {serial.c_str(), areas.text(), numbers.text(), dates.text(), times.text(), stamps.text(),
         positions.text()});
    bool ok = inserted.ok();
    retry = !ok && transient(inserted.sqlState());

    // The key of each new row leads back to its record of the batch.
    using Key = std::tuple<int, int, std::string, std::string>;
    std::map<Key, const ArchiveRecord *> byKey;
    for (const ArchiveRecord &record : batch)
        byKey.emplace(Key(record.area, record.recordNo, record.dateText, record.timeText), &record);
    // The values of new records only, so no key can clash: binary COPY, the server's fastest way in,
    // which also takes each double as its bits.
    CopyRows rows;
    for (int row = 0; ok && row < inserted.rows(); ++row) {
        const ArchiveRecord &record =
            *byKey.at(Key(int(inserted.number(row, 1)), int(inserted.number(row, 2)), inserted.text(row, 3),
                          inserted.text(row, 4)));
        const long long id = inserted.number(row, 0);
        for (int slot = 0; slot < record.valueCount(); ++slot) {
            if (record.storesValue(slot))
                rows.add(id, slot, record.quantity(slot), record.values[size_t(slot)]);
        }
    }
    if (ok && !rows.empty()) {
        ok = copy("COPY sample (record_id, slot, quantity, value) FROM STDIN (FORMAT binary)", rows.finish());
        retry = !ok && transient(copyState.c_str());
    }
    if (ok && tracksGaps) {
        ok = query("DELETE FROM missing_record WHERE analyzer = $1 AND (area, position) IN"
                   " (SELECT * FROM unnest($2::int[], $3::int[]))",
                   {serial.c_str(), areas.text(), positions.text()})
                 .ok();
        retry = !ok && transient(lastState.c_str());
    }
    if (ok && exec("COMMIT")) {
        counts.added += inserted.rows();
        counts.present += static_cast<int64_t>(batch.size()) - inserted.rows();
        return true;
    }
    const std::string reason = lastError;
    exec("ROLLBACK");
    lastError = explained(reason);
    return false;
}

std::optional<ArchiveRecord> PgArchive::lastRecord(const std::string &serial, int area, int below)
{
    return pickRecord(serial, area, below, false);
}

std::optional<ArchiveRecord> PgArchive::newestRecord(const std::string &serial, int area, int below)
{
    return pickRecord(serial, area, below, true);
}

std::optional<ArchiveRecord> PgArchive::pickRecord(const std::string &serial, int area, int below,
                                                   bool newest)
{
    const std::string areaText = std::to_string(area);
    const std::string belowText = std::to_string(below);
    const Result result = query(pickRecordSql(newest), {serial.c_str(), areaText.c_str(), belowText.c_str()});
    if (result.rows() != 1)
        return std::nullopt;
    ArchiveRecord record;
    record.area = area;
    record.position = int(result.number(0, 0));
    record.recordNo = int(result.number(0, 1));
    record.setTime(result.text(0, 2), result.text(0, 3));
    return record;
}

std::optional<std::vector<int>> PgArchive::readGaps(const std::string &serial, int area)
{
    if (!tracksGaps) {
        lastError = noGapsText(name);
        return std::nullopt;
    }
    std::vector<int> positions;
    const std::string areaText = std::to_string(area);
    const Result result = query("SELECT position FROM missing_record WHERE analyzer = $1 AND area = $2::int"
                                " ORDER BY position",
                                {serial.c_str(), areaText.c_str()});
    if (!result.ok())
        return std::nullopt;
    for (int row = 0; row < result.rows(); ++row)
        positions.push_back(int(result.number(row, 0)));
    return positions;
}

bool PgArchive::addGaps(const std::string &serial, int area, std::span<const int> positions)
{
    if (!tracksGaps || positions.empty())
        return true;
    ArrayText list;
    for (const int position : positions)
        list.add(static_cast<long long>(position));
    const std::string areaText = std::to_string(area);
    const bool ok = query("INSERT INTO missing_record (analyzer, area, position)"
                          " SELECT $1, $2::int, unnest($3::int[]) ON CONFLICT DO NOTHING",
                          {serial.c_str(), areaText.c_str(), list.text()})
                        .ok();
    if (!ok)
        lastError = explained(lastError);
    return ok;
}

bool PgArchive::forEach(const RecordFilter &filter, const std::function<bool(const StoredRecord &)> &visit)
{
    const std::string area = std::to_string(filter.area);
    // An export streams as long as its rows take; locks still time out.
    if (!exec("SET statement_timeout = 0"))
        return false;
    // Through a cursor, a chunk at a time: an export of millions of values does not sit in memory, and a
    // visit that stops leaves the rest on the server.
    if (!exec("BEGIN"))
        return false;
    bool ok = query("DECLARE pullrec_read NO SCROLL CURSOR FOR " + selectRecordsSql(SqlDialect::Postgres),
                    {filter.analyzer ? filter.analyzer->c_str() : nullptr, area.c_str(),
                     filter.from.empty() ? nullptr : filter.from.c_str(),
                     filter.to.empty() ? nullptr : filter.to.c_str()})
                  .ok();
    RecordAssembler records(visit);
    bool go = true;
    while (ok && go) {
        const Result chunk = query("FETCH " + std::to_string(kFetchRows) + " FROM pullrec_read", {});
        ok = chunk.ok();
        if (ok && chunk.rows() == 0)
            break;
        for (int r = 0; go && ok && r < chunk.rows(); ++r) {
            go = records.row(chunk.number(r, 0), int(chunk.number(r, 7)), int(chunk.number(r, 8)),
                             toDouble(chunk.text(r, 9)), [&](StoredRecord &stored) {
                                 stored.analyzer = chunk.text(r, 1);
                                 stored.record.area = int(chunk.number(r, 2));
                                 stored.record.position = int(chunk.number(r, 3));
                                 stored.record.recordNo = int(chunk.number(r, 4));
                                 stored.record.setTime(chunk.text(r, 5), chunk.text(r, 6));
                             });
        }
    }
    if (!ok) {
        const std::string reason = lastError; // not the rollback's
        exec("ROLLBACK");
        lastError = reason;
    }
    ok = ok && exec("COMMIT");
    if (ok && go)
        records.finish();
    return ok;
}

bool PgArchive::listAnalyzers(std::vector<ArchivedAnalyzer> &list)
{
    list.clear();
    const Result analyzers = query(selectAnalyzersSql(SqlDialect::Postgres, keepsZones, keepsDownloads), {});
    if (!analyzers.ok())
        return false;
    for (int row = 0; row < analyzers.rows(); ++row) {
        ArchivedAnalyzer &a = list.emplace_back();
        a.identity = {
            analyzers.text(row, 0), analyzers.text(row, 1),           analyzers.text(row, 2),
            analyzers.text(row, 3), toDouble(analyzers.text(row, 4)), toDouble(analyzers.text(row, 5)),
            analyzers.text(row, 6)};
        a.downloadedAt = analyzers.text(row, 7);
    }
    const Result counts = query(countRecordsSql(SqlDialect::Postgres), {});
    for (int row = 0; row < counts.rows(); ++row)
        addRecordCount(list, counts.text(row, 0), int(counts.number(row, 1)), counts.number(row, 2),
                       counts.text(row, 3));
    return counts.ok();
}
