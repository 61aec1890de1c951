// A year of 15-minute records of all 16 areas (560 640 records, eight quantities a sector record) in a
// SQLite archive. The archive window (offscreen) opens it, lists the analyzer and shows the last month
// of sector 1 in its grid, against pullrec-cli export --format csv of the same range, whole program
// runs, in alternating rounds. Meanwhile the window's event loop must never stall for the busy box's
// delay: the longest gap between its timer ticks is printed too.

#include "../YearArchive.h"
#include "archive/ArchiveWriter.h"
#include "ui/ArchiveWindow.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;
constexpr int kPerArea = kYearOfQuarterHours;
constexpr int kQuantities = 8;
constexpr double kLimit = 1.2;
constexpr qint64 kStallLimitMs = 250;
const char *const kSerial = "58322521";

bool fillArchive(const std::string &location)
{
    std::string error;
    auto archive = Archive::open(location, error);
    if (!archive || !archive->saveAnalyzer({kSerial, "V", "KTR-58-168", "1", 100, 1, ""})) {
        std::fprintf(stderr, "%s\n", archive ? archive->error().c_str() : error.c_str());
        return false;
    }
    ArchiveWriter writer(*archive, kSerial, 5000);
    for (int area = 0; area < kAreaCount; ++area) {
        for (int i = 0; i < kPerArea; ++i) {
            ArchiveRecord r = quarterHour(area, i);
            r.codes.fill(kEmptySlot);
            for (int k = 0; k < kQuantities; ++k) {
                r.codes[size_t(k)] = int16_t(k);
                r.values[size_t(k)] = 230 + 10 * std::sin((i + k) / 96.0);
            }
            writer.add(r);
        }
    }
    return writer.finish();
}

struct WindowRun {
    double seconds = -1;
    qint64 stallMs = 0;
    size_t records = 0;
    std::string from, to;
};

// Opening the window until the listing is there, then Show with its default range (the area's last month)
// until the grid holds the records; the longest gap between 10 ms ticks of the event loop meanwhile.
WindowRun windowRun(const std::string &archive, const LANGUAGE &texts)
{
    WindowRun run;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { run.stallMs = std::max(run.stallMs, sinceTick.restart()); });
    const auto start = Clock::now();
    sinceTick.start();
    tick.start();
    ArchiveWindow window(QString::fromStdString(archive), texts, false);
    window.show();
    if (!QTest::qWaitFor([&] { return !window.busy(); }, 5 * 60 * 1000) || window.analyzers().empty())
        return run;
    window.showRecords();
    if (!QTest::qWaitFor([&] { return !window.busy(); }, 5 * 60 * 1000))
        return run;
    QApplication::processEvents(); // the grid painted
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.records = window.records().size();
    run.from = window.fromEdit->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    run.to = window.toEdit->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("pullrec-archive-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string archive = "sqlite:" + (dir / "year.db").string();
    const auto filled = Clock::now();
    if (!fillArchive(archive))
        return 1;
    std::printf("%d records archived in %.1f s\n", kPerArea * kAreaCount,
                std::chrono::duration<double>(Clock::now() - filled).count());

    LANGUAGE texts;
    fillLanguageTexts(texts, TextLanguage::English);
    std::vector<double> windows, exports, ratios;
    qint64 stall = 0;
    size_t shown = 0;
    for (int round = 1; round <= kRounds; ++round) {
        const WindowRun w = windowRun(archive, texts);
        if (w.seconds < 0) {
            std::fprintf(stderr, "the archive window did not show the records\n");
            return 1;
        }
        const double e = cliSeconds({"export", "--archive", archive, "--analyzer", kSerial, "--area", "1",
                                     "--from", w.from, "--to", w.to, "--format", "csv", "-o", "/dev/null"});
        if (e < 0)
            return 1;
        windows.push_back(w.seconds);
        exports.push_back(e);
        ratios.push_back(w.seconds / e);
        stall = std::max(stall, w.stallMs);
        shown = w.records;
        std::printf(
            "round %d: window %.3f s (%zu records, longest stall %lld ms), export csv %.3f s (%.2f)\n", round,
            w.seconds, w.records, static_cast<long long>(w.stallMs), e, w.seconds / e);
    }
    std::filesystem::remove_all(dir);
    const double ratio = medianOf(ratios);
    std::printf("a month of sector 1 (%zu records) of %d, median: archive window %.3f s, export csv %.3f s; "
                "window / export %.2f (at most %.1f); longest stall %lld ms (at most %lld)\n",
                shown, kPerArea * kAreaCount, medianOf(windows), medianOf(exports), ratio, kLimit,
                static_cast<long long>(stall), static_cast<long long>(kStallLimitMs));
    return ratio <= kLimit && stall < kStallLimitMs ? 0 : 2;
}
