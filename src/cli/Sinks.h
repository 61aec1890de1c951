#pragma once

#include "cli/RecordSink.h"
#include "text/RecordFormats.h"

#include <QString>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// An output stream for records: standard output, or a file created for the download.
class Output
{
  public:
    // "-" is standard output.
    explicit Output(const std::string &path);
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    bool isOpen() const { return stream != nullptr; }
    void write(const QByteArray &bytes);
    // Flushes and closes; false (reason in error()) when any write failed.
    bool finish();
    const std::string &error() const { return lastError; }

  private:
    std::string path;
    std::FILE *stream = nullptr;
    bool failed = false;
    std::string lastError;
};

// The window's CSV file of the same records, byte for byte: a header row, the record rows and the empty
// last row, ";" after every cell, code page 1254. Sector and energy records have different columns, so
// a download of both writes the sector grid and then the energy grid.
class GridSink : public RecordSink
{
  public:
    // recordHeaders: "Record #", "Date", "Time" in the chosen language.
    GridSink(Output &out, std::array<QString, 3> recordHeaders);

    void begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas) override;
    void record(const LogRecord &record) override;
    bool end() override;

  private:
    void writeRow(const std::vector<QString> &cells);
    void startGrid(bool energy);

    Output &out;
    std::array<QString, 3> recordHeaders;
    std::vector<QString> logHeader, energyHeader;
    int columns = 0;
    bool started = false;
    bool energyGrid = false;
    bool onlyEnergy = false;
    std::vector<QString> row;
};

// csv, jsonl or influx lines. Influx cannot take a record without a valid time or without a value: it is
// left out, named on stderr, and end() fails.
class FormatSink : public RecordSink
{
  public:
    // zone: the one the analyzers' clocks keep.
    FormatSink(Output &out, RecordFormat format, QTimeZone zone);
    // The records as a spreadsheet, written whole at the end; the columns as in csv.
    FormatSink(Output &out, QTimeZone zone, std::unique_ptr<RecordWorkbook> book);

    // Before any begin(): a configuration whose records will come, so that the columns are the union of
    // them all and the csv has one header. Without it each begin() adds its columns as it comes.
    void declare(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas);
    // For the records from now on: an archive's analyzers may each keep another zone.
    void setZone(const QTimeZone &next) { zone = next; }
    void begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas) override;
    void record(const LogRecord &record) override;
    bool end() override;

  private:
    int layoutOf(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas);

    Output &out;
    RecordFormat format;
    QTimeZone zone;
    std::unique_ptr<RecordWriter> writer;
    std::unique_ptr<RecordWorkbook> book; // xlsx: its writer holds the columns
    int layout = 0;
    QString serial;
    QByteArray header;
    QByteArray line;
    int leftOut = 0; // influx records without a time or a value
    std::string leftOutNames;
};

// Sends every record to each sink in turn.
class SinkChain : public RecordSink
{
  public:
    explicit SinkChain(std::vector<RecordSink *> sinks) : sinks(std::move(sinks)) {}

    void begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas) override;
    void record(const LogRecord &record) override;
    bool end() override;

  private:
    std::vector<RecordSink *> sinks;
};
