#include "archive/Archive.h"

#include "archive/PgArchive.h"
#include "archive/SqliteArchive.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace
{

// Parameter codes of the energy record's values: the four counters, then energy words 8..23.
constexpr std::array<int16_t, kEnergyValues> kEnergyQuantities = {60, 62, 64, 66, 39, 40, 41, 45, 46, 47,
                                                                  54, 55, 56, 57, 58, 59, 27, 77, 74, 75};

// "31/12/09" into {31, 12, 9}; false unless three decimal numbers joined by separator.
bool splitThree(const std::string &text, char separator, int (&parts)[3])
{
    const char *at = text.data();
    const char *end = at + text.size();
    for (int k = 0; k < 3; ++k) {
        const auto [next, ec] = std::from_chars(at, end, parts[k]);
        if (ec != std::errc() || (k < 2 && (next == end || *next != separator)) || (k == 2 && next != end))
            return false;
        at = next + 1;
    }
    return true;
}

bool startsWith(const std::string &text, const char *prefix)
{
    return text.rfind(prefix, 0) == 0;
}

} // namespace

bool ArchiveRecord::energy() const
{
    return area == kArchiveEnergyArea;
}

int16_t ArchiveRecord::quantity(int slot) const
{
    return energy() ? kEnergyQuantities[size_t(slot)] : codes[size_t(slot)];
}

bool ArchiveRecord::storesValue(int slot) const
{
    const int16_t code = quantity(slot);
    return code >= 0 && code < kParameterCount;
}

std::string ArchiveRecord::recordedAt() const
{
    int date[3];
    int time[3];
    if (!splitThree(dateText, '/', date) || !splitThree(timeText, ':', time))
        return {};
    // The analyzer keeps day, month and the year within its century.
    const std::chrono::year_month_day day{std::chrono::year(2000 + date[2]),
                                          std::chrono::month(unsigned(date[1])),
                                          std::chrono::day(unsigned(date[0]))};
    if (date[2] < 0 || date[2] > 99 || date[0] < 1 || date[1] < 1 || !day.ok() || time[0] < 0 ||
        time[0] > 23 || time[1] < 0 || time[1] > 59 || time[2] < 0 || time[2] > 59)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", 2000 + date[2], date[1], date[0],
                  time[0], time[1], time[2]);
    return text;
}

bool ArchiveRecord::sameRecord(const ArchiveRecord &other) const
{
    return recordNo == other.recordNo && dateText == other.dateText && timeText == other.timeText;
}

std::unique_ptr<Archive> Archive::open(const std::string &location, std::string &error)
{
    std::unique_ptr<Archive> archive;
    if (startsWith(location, "sqlite:"))
        archive = std::make_unique<SqliteArchive>(location.substr(7));
    else if (startsWith(location, "postgresql://") || startsWith(location, "postgres://") ||
             location.find('=') != std::string::npos)
        archive = std::make_unique<PgArchive>(location);
    else {
        error = "unknown archive '" + location +
                "': give sqlite:PATH, postgresql://... or a PostgreSQL connection string";
        return nullptr;
    }
    if (!archive->error().empty()) {
        error = archive->error();
        return nullptr;
    }
    return archive;
}

std::string normalizeTime(const std::string &text, bool endOfDay)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char separator = 0;
    const int fields =
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &y, &mo, &d, &separator, &h, &mi, &s);
    const bool dateOnly = fields == 3;
    if (fields != 3 && fields != 6 && fields != 7)
        return {};
    if (!dateOnly && separator != 'T' && separator != ' ')
        return {};
    if (dateOnly && endOfDay) {
        h = 23;
        mi = 59;
        s = 59;
    }
    const std::chrono::year_month_day day{std::chrono::year(y), std::chrono::month(unsigned(mo)),
                                          std::chrono::day(unsigned(d))};
    if (!day.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return {};
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return out;
}
