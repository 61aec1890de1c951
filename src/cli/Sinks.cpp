#include "cli/Sinks.h"

#include "cli/AnalyzerLink.h"
#include "cli/Download.h"
#include "model/EnergyColumns.h"
#include "text/DeviceText.h"
#include "text/GridCsv.h"
#include "text/GridHeader.h"
#include "text/NumberFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{

constexpr int kLogColumns = 31;
constexpr int kEnergyColumns = 19;
constexpr int kFirstValueColumn = 3;
constexpr int kNamedLeftOut = 20;

} // namespace

Output::Output(const std::string &path) : path(path)
{
    if (path == "-") {
        stream = stdout;
        // A reader at the far end of a pipe (a collector) gets each record as it comes.
        if (!::isatty(STDOUT_FILENO))
            std::setvbuf(stdout, nullptr, _IOLBF, 0);
        return;
    }
    stream = std::fopen(path.c_str(), "wb");
    if (!stream)
        lastError = "cannot create " + path + ": " + std::strerror(errno);
}

Output::~Output()
{
    finish();
}

void Output::write(const QByteArray &bytes)
{
    if (stream && !failed &&
        std::fwrite(bytes.data(), 1, size_t(bytes.size()), stream) != size_t(bytes.size())) {
        failed = true;
        lastError = "cannot write " + path + ": " + std::strerror(errno);
    }
}

bool Output::finish()
{
    if (!stream)
        return !failed && lastError.empty();
    const bool flushed = std::fflush(stream) == 0;
    const int savedErrno = errno;
    const bool closed = stream == stdout || std::fclose(stream) == 0;
    stream = nullptr;
    if ((!flushed || !closed) && !failed) {
        failed = true;
        lastError = "cannot write " + path + ": " + std::strerror(flushed ? errno : savedErrno);
    }
    return !failed;
}

GridSink::GridSink(Output &out, std::array<QString, 3> recordHeaders)
    : out(out), recordHeaders(std::move(recordHeaders))
{
}

void GridSink::begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas)
{
    if (started) { // another analyzer or configuration: a grid of its own
        writeRow({});
        started = false;
    }
    onlyEnergy = std::none_of(areas.begin(), areas.begin() + kEnergyArea, [](bool chosen) { return chosen; });
    logHeader = gridHeader(analyzer, recordHeaders, false);
    energyHeader = gridHeader(analyzer, recordHeaders, true);
}

void GridSink::writeRow(const std::vector<QString> &cells)
{
    out.write(gridToCsv(1, columns, [&cells](int, int column) {
        return size_t(column) < cells.size() ? cells[size_t(column)] : QString();
    }));
}

void GridSink::startGrid(bool energy)
{
    if (started)
        writeRow({}); // the grid's empty last row
    started = true;
    energyGrid = energy;
    columns = energy ? kEnergyColumns : kLogColumns;
    writeRow(energy ? energyHeader : logHeader);
}

void GridSink::record(const LogRecord &record)
{
    const bool energy = record.energy();
    if (!started || energy != energyGrid)
        startGrid(energy);
    row.assign({QString::number(record.recordNo), fromDevice(record.dateText), fromDevice(record.timeText)});
    for (int k = 0; k + kFirstValueColumn < columns; ++k)
        row.push_back(formatGeneral(record.values[size_t(k)]));
    writeRow(row);
}

bool GridSink::end()
{
    if (!started)
        startGrid(onlyEnergy); // no records: the headers alone, as the window would save them
    writeRow({});
    return out.finish();
}

FormatSink::FormatSink(Output &out, RecordFormat format, QTimeZone zone)
    : out(out), format(format), zone(std::move(zone))
{
}

FormatSink::FormatSink(Output &out, QTimeZone zone, std::unique_ptr<RecordWorkbook> book)
    : out(out), format(RecordFormat::Csv), zone(std::move(zone)), book(std::move(book))
{
}

int FormatSink::layoutOf(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas)
{
    const bool sectors =
        std::any_of(areas.begin(), areas.begin() + kEnergyArea, [](bool chosen) { return chosen; });
    const std::vector<Quantity> none;
    if (!writer && !book)
        writer = std::make_unique<RecordWriter>(format);
    const DEVICE_REGISTER_TABLE table = analyzer.table();
    return (book ? book->writer() : *writer)
        .addLayout(sectors ? logQuantities(table, analyzer.modelCode, analyzer.configuration.paramCodes)
                           : none,
                   areas[kEnergyArea] ? energyQuantities(table) : none);
}

void FormatSink::declare(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas)
{
    layoutOf(analyzer, areas);
}

void FormatSink::begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas)
{
    layout = layoutOf(analyzer, areas);
    serial = fromDevice(analyzer.identity.serial);
    // Columns not declared beforehand need a header of their own.
    if (!book && writer->header() != header) {
        header = writer->header();
        out.write(header);
    }
}

void FormatSink::record(const LogRecord &record)
{
    ExportRecord r;
    r.analyzer = serial;
    r.area = record.area;
    r.number = record.recordNo;
    r.time = clockTime(record.clock, zone);
    r.energy = record.energy();
    r.values = record.values;
    if (book) {
        book->append(r, layout);
        return;
    }
    line.clear();
    writer->append(r, line, layout);
    // Only influx writes no line, for a point it cannot have.
    if (line.isEmpty() && leftOut++ < kNamedLeftOut)
        leftOutNames += (leftOutNames.empty() ? "" : ", ") + recordPosition(record.area, record.position);
    out.write(line);
}

bool FormatSink::end()
{
    if (book) {
        std::string error;
        const QByteArray bytes = book->finish(error);
        if (!error.empty())
            std::fprintf(stderr, "pullrec-cli: %s\n", error.c_str());
        out.write(bytes);
        return out.finish() && error.empty();
    }
    if (!writer) { // nothing at all: the csv header of no quantities
        writer = std::make_unique<RecordWriter>(format);
        out.write(writer->header());
    }
    // A point without a time would be stored at the time of writing, one without a field not at all:
    // such records are left out, and the output is then incomplete.
    if (leftOut > 0)
        std::fprintf(stderr,
                     "pullrec-cli: %d records without a valid date and time, or without a value, left out "
                     "of the influx lines: %s%s\n",
                     leftOut, leftOutNames.c_str(), leftOut > kNamedLeftOut ? ", ..." : "");
    return out.finish() && leftOut == 0;
}

void SinkChain::begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas)
{
    for (RecordSink *sink : sinks)
        sink->begin(analyzer, areas);
}

void SinkChain::record(const LogRecord &record)
{
    for (RecordSink *sink : sinks)
        sink->record(record);
}

bool SinkChain::end()
{
    bool stored = true;
    for (RecordSink *sink : sinks)
        stored = sink->end() && stored;
    return stored;
}
