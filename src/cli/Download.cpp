#include "cli/Download.h"

#include "cli/AnalyzerLink.h"

#include <algorithm>
#include <map>
#include <thread>

namespace
{

// An analyzer that just dropped a request may need a moment before the next pass.
constexpr auto kPassPause = std::chrono::seconds(1);

struct Position {
    int area;
    int index;
};

} // namespace

AreaRanges wholeAreas(const AnalyzerLink &analyzer, const std::array<bool, kLogAreas> &areas)
{
    AreaRanges ranges{};
    for (int area = 0; area < kLogAreas; ++area)
        if (areas[size_t(area)])
            ranges[size_t(area)].last = std::max<int>(analyzer.recordCount(area), 0);
    return ranges;
}

std::vector<std::string> negativeCounts(const AnalyzerLink &analyzer,
                                        const std::array<bool, kLogAreas> &areas)
{
    std::vector<std::string> texts;
    for (int area = 0; area < kLogAreas; ++area)
        if (areas[size_t(area)] && analyzer.recordCount(area) < 0)
            texts.push_back(areaName(area) + ": the analyzer reports " +
                            std::to_string(analyzer.recordCount(area)) + " records; nothing read");
    return texts;
}

bool readRetrying(AnalyzerLink &analyzer, int area, int index, int passes)
{
    for (int pass = 1; pass <= std::max(passes, 1); ++pass) {
        if (pass > 1)
            std::this_thread::sleep_for(kPassPause);
        if (analyzer.readRecord(area, index))
            return true;
    }
    return false;
}

DownloadResult download(AnalyzerLink &analyzer, const AreaRanges &ranges, int passes,
                        const std::vector<RecordSink *> &sinks,
                        const std::function<void(const DownloadProgress &)> &progress)
{
    std::vector<Position> positions;
    std::array<bool, kLogAreas> areas{};
    for (int area = 0; area < kLogAreas; ++area) {
        const AreaRange &r = ranges[size_t(area)];
        areas[size_t(area)] = r.last > r.first || !r.before.empty();
        for (const int index : r.before)
            positions.push_back({area, index});
        for (int index = std::max(r.first, 0); index < r.last; ++index)
            positions.push_back({area, index});
    }
    DownloadResult result;
    result.total = int64_t(positions.size());
    std::vector<RecordSink *> ordered, asRead;
    for (RecordSink *sink : sinks) {
        sink->begin(analyzer.source(), areas);
        (sink->ordered() ? ordered : asRead).push_back(sink);
    }
    auto working = [&] {
        return std::any_of(sinks.begin(), sinks.end(), [](const RecordSink *s) { return s->working(); });
    };

    // Records read ahead of one that failed wait here, for the ordered sinks only, until it is read or
    // given up.
    std::map<size_t, LogRecord> waiting;
    std::vector<bool> read(positions.size(), false);
    std::map<size_t, std::string> errors;
    size_t next = 0; // the next position the ordered sinks get
    auto deliver = [&](const std::vector<RecordSink *> &to, const LogRecord &record) {
        for (RecordSink *sink : to)
            sink->record(record);
    };
    auto flush = [&](bool giveUp) {
        for (; next < positions.size() && (read[next] || giveUp); ++next) {
            auto held = waiting.find(next);
            if (held == waiting.end())
                continue;
            deliver(ordered, held->second);
            waiting.erase(held);
        }
    };

    const auto start = std::chrono::steady_clock::now();
    int64_t done = 0;
    for (int pass = 1; pass <= std::max(passes, 1) && done < result.total && !result.stopped; ++pass) {
        if (pass > 1)
            std::this_thread::sleep_for(kPassPause);
        for (size_t i = 0; i < positions.size(); ++i) {
            if (read[i])
                continue;
            if (!working()) {
                result.stopped = true;
                break;
            }
            if (!analyzer.readRecord(positions[i].area, positions[i].index)) {
                if (!errors.count(i))
                    for (RecordSink *sink : sinks)
                        sink->missing(positions[i].area, positions[i].index);
                errors[i] = analyzer.worker.lastError();
                if (!analyzer.linkUp())
                    break; // the link is gone: the next pass opens it again
                continue;
            }
            read[i] = true;
            ++done;
            ++result.delivered;
            const LogRecord &record = analyzer.worker.record();
            deliver(asRead, record);
            if (i == next) {
                deliver(ordered, record);
                ++next;
                flush(false);
            } else if (!ordered.empty()) {
                waiting.emplace(i, record);
            }
            if (progress)
                progress({positions[i].area, done, result.total, std::chrono::steady_clock::now() - start});
        }
    }
    flush(true);
    if (!result.stopped) {
        for (size_t i = 0; i < positions.size(); ++i)
            if (!read[i])
                result.failed.push_back({positions[i].area, positions[i].index,
                                         errors.count(i) ? errors[i] : std::string("not read")});
    }
    for (RecordSink *sink : sinks)
        result.stored = sink->end() && result.stored;
    return result;
}

std::string areaName(int area)
{
    return area == kEnergyArea ? "energy log" : "sector " + std::to_string(area + 1);
}
