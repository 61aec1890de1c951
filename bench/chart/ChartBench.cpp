// 15 000 sector-log records of 28 values, shown offscreen two ways in rounds: the grid filled with them
// row by row as a download fills it and painted once, against the trend chart of four quantities opened
// on that grid and painted once, then ten wheel steps into the middle, each painted. Prints the medians
// and the ratios to the grid: neither the chart's opening nor a zoom step should cost more.
//
//     chart_bench

#include "ui/ChartWindow.h"
#include "ui/GridModel.h"
#include "ui/GridViewModel.h"

#include <QApplication>
#include <QChartView>
#include <QHeaderView>
#include <QListWidget>
#include <QTableView>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 15000;
constexpr int kColumns = 31;
constexpr int kRounds = 5;
constexpr int kZoomSteps = 10;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The grid as a download leaves it: header, one row per record a minute apart, the empty last row.
void fill(GridModel &grid)
{
    QVector<QString> header{"Record #", "Date", "Time"};
    for (int q = 0; q < kColumns - 3; ++q)
        header << QStringLiteral("Q%1 : %2").arg(q).arg(q % 2 ? "A" : "V");
    grid.setCells(0, 0, header);
    static RecordLog log;
    log.clear();
    grid.setLog(&log);
    for (int r = 1; r <= kRecords; ++r) {
        grid.setRowCount(r + 2);
        const int minute = r - 1;
        LogRecord record;
        record.recordNo = r;
        record.setTime(
            QStringLiteral("%1/01/24").arg(1 + minute / 1440, 2, 10, QLatin1Char('0')).toStdString(),
            QStringLiteral("%1:%2:00")
                .arg(minute / 60 % 24, 2, 10, QLatin1Char('0'))
                .arg(minute % 60, 2, 10, QLatin1Char('0'))
                .toStdString());
        for (int q = 0; q < kColumns - 3; ++q)
            record.values[size_t(q)] = 230 + 10 * std::sin(r / 300.0 + double(q));
        grid.setRecord(r, log.append(record));
    }
}

// One frame, after what the widget queued for itself (layouts, the scene's updates).
void paint(QWidget &widget)
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    widget.grab();
}

double gridRound()
{
    const auto start = Clock::now();
    GridModel grid(2, kColumns);
    GridViewModel viewModel(&grid);
    QTableView table;
    table.resize(806, 229);
    table.setModel(&viewModel);
    table.verticalHeader()->hide();
    table.show();
    viewModel.setBatching(true);
    fill(grid);
    viewModel.setBatching(false);
    table.scrollToBottom();
    paint(table);
    return ms(Clock::now() - start);
}

struct ChartTimes {
    double open, zoom;
};

ChartTimes chartRound(const GridModel &grid, const LANGUAGE &texts)
{
    auto start = Clock::now();
    ChartWindow chart(grid, texts);
    chart.quantityList->item(3)->setCheckState(Qt::Checked); // four quantities
    chart.show();
    auto *view = chart.findChild<QChartView *>();
    paint(*view);
    const double open = ms(Clock::now() - start);

    start = Clock::now();
    const double middle = (chart.timeFrom() + chart.timeTo()) / 2;
    for (int i = 0; i < kZoomSteps; ++i) {
        chart.zoomAround(middle, 0.8);
        paint(*view);
    }
    return {open, ms(Clock::now() - start)};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LANGUAGE texts;
    fillLanguageTexts(texts, 1);
    GridModel grid(2, kColumns);
    fill(grid);

    std::vector<double> grids, opens, zooms;
    for (int round = 0; round < kRounds; ++round) {
        grids.push_back(gridRound());
        const ChartTimes c = chartRound(grid, texts);
        opens.push_back(c.open);
        zooms.push_back(c.zoom);
        std::printf(
            "round %d: grid fill and paint %.0f ms, chart open and paint %.0f ms, %d zoom steps %.0f ms\n",
            round + 1, grids.back(), opens.back(), kZoomSteps, zooms.back());
    }
    const double gridMs = median(grids), openMs = median(opens), zoomMs = median(zooms);
    std::printf("%d records x 4 quantities, offscreen, medians of %d rounds\n", kRecords, kRounds);
    std::printf(
        "grid: %.0f ms; chart: open %.0f ms (%.2f of the grid), %d zoom steps %.0f ms (%.1f ms each)\n",
        gridMs, openMs, openMs / gridMs, kZoomSteps, zoomMs, zoomMs / kZoomSteps);
    std::printf("chart open / grid: %.2f, one zoom step / grid: %.2f (each at most 1)\n", openMs / gridMs,
                zoomMs / kZoomSteps / gridMs);
    return openMs <= gridMs && zoomMs / kZoomSteps <= gridMs ? 0 : 2;
}
