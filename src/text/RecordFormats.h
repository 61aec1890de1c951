#pragma once

#include "model/RecordClock.h"
#include "model/RegisterTable.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Records as text for other programs: "csv" (UTF-8, comma separated, one header line), "jsonl" (one JSON
// object a line) and "influx" (line protocol). Numbers always with "." and at most 15 significant
// digits, trailing zeros dropped (what a scaled register really holds); times ISO 8601 with the offset.

// A measured quantity of a record and where its value sits in the decoded values.
struct Quantity {
    QString name;
    QString unit;
    int value = 0;
    bool operator==(const Quantity &) const = default;
};

// The quantities of a normal log record: one per slot whose code is a parameter of the model. An energy
// counter's high-word slot after its low word is left out, its value being in the low word's slot.
std::vector<Quantity> logQuantities(const DEVICE_REGISTER_TABLE &table, int modelCode,
                                    std::span<const int16_t, kLogSlots> paramCodes);
// The quantities of an energy log record: the four counters, then energy words 8 to 23.
std::vector<Quantity> energyQuantities(const DEVICE_REGISTER_TABLE &table);

// The zone an analyzer's clock keeps: an IANA name such as "Europe/Berlin", empty for the host's zone.
// Invalid for a name the system does not know.
QTimeZone clockZone(const std::string &name);
// chosen's zone when given, else the one stored for the analyzer when known here, else the host's.
QTimeZone clockZone(const std::string &chosen, const std::string &stored);

// The zone's UTC offset in seconds at the clock's reading, by localOffset's rule.
int clockOffset(const RecordClock &clock, const QTimeZone &zone);
// Now as the zone's wall clock reads it, in clockSeconds' count.
int64_t clockSecondsNow(const QTimeZone &zone);

// The record's date ("31/12/09") and time ("08:00:30") texts as the clock read them, with the zone's
// offset at that reading (see localOffset: a skipped reading keeps the offset before the change, a
// repeated one is taken the first time). Invalid when the texts are no date or time (an analyzer whose
// clock was never set).
QDateTime recordTime(std::string_view dateText, std::string_view timeText,
                     const QTimeZone &zone = QTimeZone::systemTimeZone());

// The clock's reading with the zone's offset at it, by the same rule; invalid without a reading.
QDateTime clockTime(const RecordClock &clock, const QTimeZone &zone);
QDateTime clockTime(const std::optional<RecordClock> &clock, const QTimeZone &zone);

struct ExportRecord {
    QString analyzer; // the analyzer's serial number
    int area = 0;     // 0..14 sectors 1..15, 15 the energy log; written as 1..16
    int number = 0;   // the record number the analyzer gave
    QDateTime time;   // invalid: no valid time stamp
    bool energy = false;
    std::span<const double> values; // decoded values, indexed by Quantity::value
};

// A double with at most 15 significant digits and no trailing zeros, "." whatever the locale; the
// exponent form ("1e+20") only where a fixed one would need more digits.
void appendNumber(QByteArray &out, double value);
// text as a JSON string, quotes included.
QByteArray jsonString(const QString &text);

enum class RecordFormat { Csv, Jsonl, Influx };

// Writes records of sector and energy logs in one format, as one table: the columns are the union of
// the quantities of every layout (the sector and energy quantities of one analyzer's configuration) added,
// a quantity of the same name and unit in several layouts one csv column, one JSON key, one field.
class RecordWriter
{
  public:
    explicit RecordWriter(RecordFormat format);
    // With one layout, number 0.
    RecordWriter(RecordFormat format, const std::vector<Quantity> &logColumns,
                 const std::vector<Quantity> &energyColumns);

    // The number of the layout of these quantities, its missing columns added after the others. The same
    // quantities give the same number.
    int addLayout(const std::vector<Quantity> &logColumns, const std::vector<Quantity> &energyColumns);

    // The csv header line of the columns so far; empty for the other formats.
    QByteArray header() const;
    // One record's line, line feed included, its values placed by the layout it was decoded with; empty
    // cells where it has no value. An influx line needs a time: a record without one gives nothing.
    void append(const ExportRecord &record, QByteArray &out, int layout = 0) const;

    // The columns so far, "name [unit]", and a record's value in one of them (none: NaN).
    size_t columnCount() const { return columns.size(); }
    const QString &columnLabel(size_t column) const { return columns[column].label; }
    double value(const ExportRecord &record, int layout, size_t column) const;

  private:
    struct Column {
        QString label; // "name [unit]", or the name alone
        QByteArray csvHeader;
        QByteArray jsonKey;
        QByteArray fieldKey;
    };
    struct Layout {
        std::array<std::vector<Quantity>, 2> quantities; // per kind (log, energy)
        std::vector<std::array<int, 2>> values;          // per column and kind; -1 or past the end: none
    };

    // Where the record's value of column sits in its values; -1: it has none.
    int valueIndex(const ExportRecord &record, int layout, size_t column) const;
    void appendCsv(const ExportRecord &record, int layout, QByteArray &out) const;
    void appendJson(const ExportRecord &record, int layout, QByteArray &out) const;
    void appendInflux(const ExportRecord &record, int layout, QByteArray &out) const;
    // "key<separator>value" of each value the record has, comma separated; false when it has none.
    bool appendValues(const ExportRecord &record, int layout, QByteArray Column::*key, char separator,
                      QByteArray &out) const;

    RecordFormat format;
    std::vector<Column> columns;
    std::vector<Layout> layouts;
};

// Records as a spreadsheet (xlsx): one sheet, the analyzer, area, record and time (a typed date, the
// clock's reading, its UTC offset in a column beside it) and the values as numbers, under a frozen
// header. The columns come from a RecordWriter's layouts, as in csv.
class RecordWorkbook
{
  public:
    RecordWorkbook();
    ~RecordWorkbook();
    RecordWorkbook(const RecordWorkbook &) = delete;
    RecordWorkbook &operator=(const RecordWorkbook &) = delete;

    RecordWriter &writer() { return columns; }
    void append(const ExportRecord &record, int layout = 0);
    // The file's bytes; empty with the reason in error when it could not be made.
    QByteArray finish(std::string &error);

  private:
    struct Book;
    RecordWriter columns{RecordFormat::Csv};
    std::unique_ptr<Book> book;
    int row = 1;
};
