#include "text/RecordFormats.h"

#include "model/RecordClock.h"

#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace
{

constexpr const char *kCounterNames[] = {"kWh.Imp.", "kWh.Ex.", "kVArh(ind)", "kVArh(Cap)"};
constexpr int kCounterCodes[] = {60, 62, 64, 66}; // their low words in the parameter table
constexpr int kFirstEnergyWord = 8;
constexpr int kLastEnergyWord = 23;
constexpr int kFirstEnergyWordValue = 4;

bool isCounterHigh(int code)
{
    return code >= 61 && code <= 67 && code % 2 == 1;
}

QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

// Line protocol escapes; a line feed cannot be escaped at all, so it becomes a blank.
QByteArray influxEscaped(const QString &text, bool tagOrKey)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\n' || c == '\r') {
            out += tagOrKey ? "\\ " : " ";
            continue;
        }
        if (c == ',' || c == ' ' || (tagOrKey && c == '=') || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

// "2024-02-27T00:15:00+03:00": the offset always as digits, also for UTC.
QByteArray timeText(const QDateTime &time)
{
    if (!time.isValid())
        return {};
    const int offset = time.offsetFromUtc() / 60;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60,
                  std::abs(offset) % 60);
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + zone;
}

} // namespace

void appendNumber(QByteArray &out, double value)
{
    // A scaled register (2342 x 0.1) is no exact double: 15 digits drop the noise, as the grid does.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    out.append(buffer, result.ptr - buffer);
}

QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::vector<Quantity> logQuantities(const DEVICE_REGISTER_TABLE &table, int modelCode,
                                    std::span<const int16_t, kLogSlots> paramCodes)
{
    const int limit = offeredParameterCount(modelCode);
    std::vector<Quantity> quantities;
    for (int slot = 0; slot < kLogSlots; ++slot) {
        const int code = paramCodes[slot];
        if (code < 0 || code >= limit)
            continue;
        if (isCounterHigh(code) && slot > 0 && paramCodes[slot - 1] == code - 1)
            continue;
        quantities.push_back({QString::fromStdString(table.regTable.name[code]),
                              QString::fromStdString(table.regTable.unit[code]), slot});
    }
    return quantities;
}

std::vector<Quantity> energyQuantities(const DEVICE_REGISTER_TABLE &table)
{
    std::vector<Quantity> quantities;
    for (int k = 0; k < 4; ++k)
        quantities.push_back({QString::fromLatin1(kCounterNames[k]),
                              QString::fromStdString(table.regTable.unit[kCounterCodes[k]]), k});
    for (int word = kFirstEnergyWord; word <= kLastEnergyWord; ++word)
        quantities.push_back({QString::fromStdString(table.energyTable.name[word]),
                              QString::fromStdString(table.energyTable.unit[word]),
                              kFirstEnergyWordValue + word - kFirstEnergyWord});
    return quantities;
}

QTimeZone clockZone(const std::string &name)
{
    if (name.empty())
        return QTimeZone::systemTimeZone();
    // Qt takes any other text for a POSIX rule ("Foo" is UTC): only names of the zone database count.
    const QByteArray id = QByteArray::fromStdString(name);
    const bool known = QTimeZone::isTimeZoneIdAvailable(id) ||
                       (!id.startsWith('/') && !id.contains("..") &&
                        QFileInfo(QStringLiteral("/usr/share/zoneinfo/") + QString::fromUtf8(id)).isFile());
    return known ? QTimeZone(id) : QTimeZone();
}

QTimeZone clockZone(const std::string &chosen, const std::string &stored)
{
    const QTimeZone zone = clockZone(chosen.empty() ? stored : chosen);
    return zone.isValid() ? zone : QTimeZone::systemTimeZone();
}

int clockOffset(const RecordClock &clock, const QTimeZone &zone)
{
    return localOffset(clock, [&zone](int64_t utc) {
        return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
    });
}

int64_t clockSecondsNow(const QTimeZone &zone)
{
    const QDateTime now = QDateTime::currentDateTime().toTimeZone(zone);
    return clockSeconds({now.date().year(), now.date().month(), now.date().day(), now.time().hour(),
                         now.time().minute(), now.time().second()});
}

QDateTime recordTime(std::string_view dateText, std::string_view timeText, const QTimeZone &zone)
{
    RecordClock c;
    if (!parseRecordClock(dateText, timeText, c))
        return {};
    return clockTime(c, zone);
}

QDateTime clockTime(const RecordClock &c, const QTimeZone &zone)
{
    // A fixed offset: Qt's own local time has no answer for a reading in a skipped hour.
    return QDateTime(QDate(c.year, c.month, c.day), QTime(c.hour, c.minute, c.second), Qt::OffsetFromUTC,
                     clockOffset(c, zone));
}

QDateTime clockTime(const std::optional<RecordClock> &clock, const QTimeZone &zone)
{
    return clock ? clockTime(*clock, zone) : QDateTime();
}

RecordWriter::RecordWriter(RecordFormat format) : format(format)
{
}

RecordWriter::RecordWriter(RecordFormat format, const std::vector<Quantity> &logColumns,
                           const std::vector<Quantity> &energyColumns)
    : format(format)
{
    addLayout(logColumns, energyColumns);
}

int RecordWriter::addLayout(const std::vector<Quantity> &logColumns,
                            const std::vector<Quantity> &energyColumns)
{
    for (size_t k = 0; k < layouts.size(); ++k)
        if (layouts[k].quantities[0] == logColumns && layouts[k].quantities[1] == energyColumns)
            return int(k);
    Layout layout{{logColumns, energyColumns}, {}};
    for (int kind = 0; kind < 2; ++kind) {
        std::vector<QString> ofKind;
        for (const Quantity &q : layout.quantities[kind]) {
            auto labelOf = [&q](const QString &name) {
                return q.unit.isEmpty() ? name : name + QStringLiteral(" [") + q.unit + ']';
            };
            QString name = q.name;
            // The same quantity twice in one record keeps both, the second under its slot's number.
            if (std::find(ofKind.begin(), ofKind.end(), labelOf(name)) != ofKind.end())
                name += QStringLiteral(" #") + QString::number(q.value + 1);
            const QString label = labelOf(name);
            ofKind.push_back(label);
            auto found = std::find_if(columns.begin(), columns.end(),
                                      [&](const Column &c) { return c.label == label; });
            if (found == columns.end()) {
                columns.push_back({label, csvField(label), jsonString(label), influxEscaped(name, true)});
                found = columns.end() - 1;
            }
            const size_t column = size_t(found - columns.begin());
            if (layout.values.size() <= column)
                layout.values.resize(column + 1, {-1, -1});
            layout.values[column][size_t(kind)] = q.value;
        }
    }
    layouts.push_back(std::move(layout));
    return int(layouts.size() - 1);
}

int RecordWriter::valueIndex(const ExportRecord &record, int layout, size_t column) const
{
    if (layout < 0)
        return -1;
    const std::vector<std::array<int, 2>> &values = layouts[size_t(layout)].values;
    const int value = column < values.size() ? values[column][record.energy] : -1;
    return value >= 0 && size_t(value) < record.values.size() ? value : -1;
}

double RecordWriter::value(const ExportRecord &record, int layout, size_t column) const
{
    const int index =
        layout >= 0 && size_t(layout) < layouts.size() ? valueIndex(record, layout, column) : -1;
    return index >= 0 ? record.values[size_t(index)] : std::nan("");
}

QByteArray RecordWriter::header() const
{
    if (format != RecordFormat::Csv)
        return {};
    QByteArray line = "analyzer,area,record,time";
    for (const Column &c : columns)
        line += ',' + c.csvHeader;
    return line + '\n';
}

void RecordWriter::append(const ExportRecord &record, QByteArray &out, int layout) const
{
    if (layout < 0 || size_t(layout) >= layouts.size())
        layout = -1; // no quantities known: the record's own fields alone
    switch (format) {
    case RecordFormat::Csv:
        appendCsv(record, layout, out);
        break;
    case RecordFormat::Jsonl:
        appendJson(record, layout, out);
        break;
    case RecordFormat::Influx:
        appendInflux(record, layout, out);
        break;
    }
}

void RecordWriter::appendCsv(const ExportRecord &record, int layout, QByteArray &out) const
{
    out += csvField(record.analyzer);
    out += ',' + QByteArray::number(record.area + 1) + ',' + QByteArray::number(record.number) + ',';
    out += timeText(record.time);
    for (size_t c = 0; c < columns.size(); ++c) {
        out += ',';
        if (const int value = valueIndex(record, layout, c); value >= 0)
            appendNumber(out, record.values[size_t(value)]);
    }
    out += '\n';
}

bool RecordWriter::appendValues(const ExportRecord &record, int layout, QByteArray Column::*key,
                                char separator, QByteArray &out) const
{
    bool any = false;
    for (size_t c = 0; c < columns.size(); ++c) {
        const int value = valueIndex(record, layout, c);
        if (value < 0 || !std::isfinite(record.values[size_t(value)]))
            continue;
        if (any)
            out += ',';
        any = true;
        out += columns[c].*key + separator;
        appendNumber(out, record.values[size_t(value)]);
    }
    return any;
}

void RecordWriter::appendJson(const ExportRecord &record, int layout, QByteArray &out) const
{
    out += "{\"analyzer\":" + jsonString(record.analyzer);
    out += ",\"area\":" + QByteArray::number(record.area + 1);
    out += ",\"record\":" + QByteArray::number(record.number);
    out += ",\"time\":";
    out += record.time.isValid() ? '"' + timeText(record.time) + '"' : QByteArray("null");
    out += ",\"values\":{";
    appendValues(record, layout, &Column::jsonKey, ':', out);
    out += "}}\n";
}

void RecordWriter::appendInflux(const ExportRecord &record, int layout, QByteArray &out) const
{
    if (!record.time.isValid())
        return;
    const qsizetype start = out.size();
    out += "pullrec";
    if (!record.analyzer.isEmpty())
        out += ",analyzer=" + influxEscaped(record.analyzer, true);
    // Influx keeps one point per series and time: records of equal time (a clock set back, two events in
    // a second) stay apart by their place in the log.
    out +=
        ",area=" + QByteArray::number(record.area + 1) + ",record=" + QByteArray::number(record.number) + ' ';
    if (!appendValues(record, layout, &Column::fieldKey, '=', out)) {
        out.truncate(start); // a point needs at least one field
        return;
    }
    out += ' ' + QByteArray::number(record.time.toMSecsSinceEpoch() * 1000000) + '\n';
}
