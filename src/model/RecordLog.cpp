#include "model/RecordLog.h"

#include <cstdio>

void LogRecord::setTime(std::string date, std::string time)
{
    dateText = std::move(date);
    timeText = std::move(time);
    RecordClock read;
    clock = parseRecordClock(dateText, timeText, read) ? std::optional(read) : std::nullopt;
}

int16_t LogRecord::quantity(int slot) const
{
    return energy() ? kEnergyValueCodes[size_t(slot)] : codes[size_t(slot)];
}

bool LogRecord::storesValue(int slot) const
{
    const int16_t code = quantity(slot);
    return code >= 0 && code < kParameterCount;
}

std::string LogRecord::recordedAt() const
{
    RecordClock c;
    if (clock)
        c = *clock;
    else if (!parseRecordClock(dateText, timeText, c))
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
    return text;
}

bool LogRecord::sameRecord(const LogRecord &other) const
{
    return recordNo == other.recordNo && dateText == other.dateText && timeText == other.timeText;
}

std::vector<std::string> RecordLog::Source::parameterLabels() const
{
    std::vector<std::string> labels(kParameterCount);
    BuildParameterList(table(), modelCode, labels);
    return labels;
}

size_t RecordLog::append(LogRecord record)
{
    records.push_back(std::move(record));
    return records.size() - 1;
}
