#include "ui/ChartWindow.h"

#include "shell/Startup.h"
#include "text/NumberFormat.h"
#include "ui/ChartView.h"
#include "ui/GridModel.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace
{

constexpr int kDefaultTicked = 3;
constexpr int kRefreshMs = 500; // at most two redraws a second while records arrive
const QString kTimeFormat = QStringLiteral("dd/MM/yy HH:mm:ss"); // two-digit years, as the grid shows

// The average shows four decimals at most: the grid's full precision would only be noise.
QString averageText(double value)
{
    return formatGeneral(std::round(value * 1e4) / 1e4);
}

} // namespace

ChartWindow::ChartWindow(const GridModel &grid, const LANGUAGE &texts, QWidget *parent)
    : QWidget(parent, Qt::Window), grid(grid), texts(texts)
{
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(texts.captions[Captions::ChartTitle]);
    buildChart();
    buildPanels();
    resize(900, 620);

    refreshTimer = new QTimer(this);
    refreshTimer->setSingleShot(true);
    refreshTimer->setInterval(kRefreshMs);
    connect(refreshTimer, &QTimer::timeout, this, &ChartWindow::refresh);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved,
                        &QAbstractItemModel::columnsInserted, &QAbstractItemModel::columnsRemoved})
        connect(&grid, signal, this, &ChartWindow::scheduleRefresh);
    connect(&grid, &QAbstractItemModel::dataChanged, this, &ChartWindow::scheduleRefresh);
    connect(&grid, &QAbstractItemModel::headerDataChanged, this, &ChartWindow::scheduleRefresh);
    connect(quantityList, &QListWidget::itemChanged, this, &ChartWindow::tickedChanged);
    connect(pngButton, &QPushButton::clicked, this, &ChartWindow::savePictureClicked);
    // A wider plot needs finer thinning; after the chart's layout pass, not inside it.
    connect(
        chartBox, &QChart::plotAreaChanged, this,
        [this] {
            if (ChartViewport::bucketCount(plotArea().width()) != drawnBuckets)
                redraw();
        },
        Qt::QueuedConnection);

    refresh();
}

void ChartWindow::buildChart()
{
    chartBox = new QChart;
    // The theme follows the desktop's palette: a light chart on a dark desktop would glare.
    chartBox->setTheme(palette().color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                                           : QChart::ChartThemeLight);
    chartBox->legend()->setAlignment(Qt::AlignBottom);
    timeAxis = new QDateTimeAxis(chartBox);
    timeAxis->setFormat(kTimeFormat);
    timeAxis->setTickCount(5);
    chartBox->addAxis(timeAxis, Qt::AlignBottom);
    for (size_t a = 0; a < axes.size(); ++a) {
        axes[a] = new QValueAxis(chartBox);
        chartBox->addAxis(axes[a], a == 0 ? Qt::AlignLeft : Qt::AlignRight);
        axes[a]->hide();
    }
    view = new ChartView(chartBox, this);
    view->setObjectName(QStringLiteral("chartView"));
    view->setMinimumSize(480, 300);
}

void ChartWindow::buildPanels()
{
    quantityList = new QListWidget;
    quantityList->setObjectName(QStringLiteral("quantityList"));
    quantityList->setMaximumWidth(180);
    statsTable = new QTableWidget(0, 4);
    statsTable->setObjectName(QStringLiteral("statsTable"));
    statsTable->setHorizontalHeaderLabels(
        {texts.captions[Captions::Parameter], texts.captions[Captions::Minimum],
         texts.captions[Captions::Maximum], texts.captions[Captions::Average]});
    statsTable->verticalHeader()->hide();
    statsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    statsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Four quantities show without scrolling.
    const int rowHeight = statsTable->fontMetrics().height() + 6;
    statsTable->verticalHeader()->setDefaultSectionSize(rowHeight);
    statsTable->setFixedHeight(statsTable->horizontalHeader()->sizeHint().height() + 4 * rowHeight +
                               2 * statsTable->frameWidth());
    hoverLabel = new QLabel;
    hoverLabel->setObjectName(QStringLiteral("hoverLabel"));
    hoverLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    hoverLabel->setText(texts.captions[Captions::ChartHint]); // until the pointer is over the chart
    pngButton = new QPushButton(texts.captions[Captions::SavePicture]);
    pngButton->setObjectName(QStringLiteral("pngButton"));

    auto *right = new QVBoxLayout;
    right->addWidget(view, 1);
    right->addWidget(hoverLabel);
    right->addWidget(statsTable);
    auto *top = new QHBoxLayout;
    top->addWidget(quantityList);
    top->addLayout(right, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pngButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
}

void ChartWindow::scheduleRefresh()
{
    if (!refreshTimer->isActive())
        refreshTimer->start();
}

void ChartWindow::refresh()
{
    refreshTimer->stop();
    const std::vector<ChartModel::Quantity> before = model.quantities();
    model.load(grid);
    const auto &now = model.quantities();
    const bool sameQuantities = before.size() == now.size() &&
                                std::equal(before.begin(), before.end(), now.begin(), [](auto &a, auto &b) {
                                    return a.column == b.column && a.name == b.name;
                                });
    if (!sameQuantities)
        rebuildQuantityList(); // shows the ticked ones and redraws
    else if (viewport.zoomed())
        redraw();
    else
        resetZoom();
}

void ChartWindow::rebuildQuantityList()
{
    QStringList ticked;
    for (int i = 0; i < quantityList->count(); ++i)
        if (quantityList->item(i)->checkState() == Qt::Checked)
            ticked << quantityList->item(i)->text();
    const auto &quantities = model.quantities();
    const bool keep = std::any_of(quantities.begin(), quantities.end(),
                                  [&ticked](const auto &q) { return ticked.contains(q.name); });

    const QSignalBlocker quiet(quantityList);
    quantityList->clear();
    for (size_t q = 0; q < quantities.size(); ++q) {
        auto *item = new QListWidgetItem(quantities[q].name, quantityList);
        const bool on = keep ? ticked.contains(quantities[q].name) : q < size_t(kDefaultTicked);
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    for (size_t q = 0; q < series.size(); ++q)
        dropSeries(q);
    series.assign(quantities.size(), nullptr);
    applyTicked();
    resetZoom();
}

void ChartWindow::tickedChanged()
{
    applyTicked();
    viewport.releaseValues();
    if (viewport.zoomed())
        redraw();
    else
        resetZoom();
}

void ChartWindow::applyTicked()
{
    const auto &quantities = model.quantities();
    const QSignalBlocker quiet(quantityList);
    std::vector<QString> units;
    for (int i = 0; i < quantityList->count() && size_t(i) < quantities.size(); ++i) {
        QListWidgetItem *item = quantityList->item(i);
        const QString &unit = quantities[size_t(i)].unit;
        if (item->checkState() != Qt::Checked || std::find(units.begin(), units.end(), unit) != units.end())
            continue;
        if (units.size() < axes.size())
            units.push_back(unit);
        else
            item->setCheckState(Qt::Unchecked); // a third unit would need a third axis
    }
    for (int i = 0; i < quantityList->count() && size_t(i) < quantities.size(); ++i) {
        QListWidgetItem *item = quantityList->item(i);
        const bool fits = units.size() < axes.size() ||
                          std::find(units.begin(), units.end(), quantities[size_t(i)].unit) != units.end();
        item->setFlags(fits ? item->flags() | Qt::ItemIsEnabled : item->flags() & ~Qt::ItemIsEnabled);
    }

    for (size_t a = 0; a < axes.size(); ++a) {
        axisUsed[a] = a < units.size();
        axisUnits[a] = axisUsed[a] ? units[a] : QString();
        axes[a]->setVisible(axisUsed[a]);
    }
    for (size_t q = 0; q < quantities.size(); ++q) {
        const bool on = quantityList->item(int(q))->checkState() == Qt::Checked;
        QLineSeries *&s = series[q];
        if (!on) {
            dropSeries(q);
        } else if (on && !s) {
            s = new QLineSeries;
            s->setName(quantities[q].name);
            chartBox->addSeries(s);
            s->attachAxis(timeAxis);
        }
        if (s) {
            const size_t a =
                size_t(std::find(units.begin(), units.end(), quantities[q].unit) - units.begin());
            for (QAbstractAxis *old : s->attachedAxes())
                if (old != timeAxis && old != axes[a])
                    s->detachAxis(old);
            if (!s->attachedAxes().contains(axes[a]))
                s->attachAxis(axes[a]);
        }
    }
    // An axis without a unit is named by its quantities.
    for (size_t a = 0; a < axes.size(); ++a) {
        QStringList names;
        if (axisUsed[a] && axisUnits[a].isEmpty())
            for (size_t q = 0; q < quantities.size(); ++q)
                if (series[q] && quantities[q].unit.isEmpty())
                    names << quantities[q].label;
        axes[a]->setTitleText(axisUnits[a].isEmpty() ? names.join(QStringLiteral(", ")) : axisUnits[a]);
    }
}

void ChartWindow::dropSeries(size_t quantity)
{
    if (QLineSeries *s = series[quantity]) {
        chartBox->removeSeries(s);
        delete s;
        series[quantity] = nullptr;
    }
}

QLineSeries *ChartWindow::seriesOf(int quantity) const
{
    return quantity >= 0 && size_t(quantity) < series.size() ? series[size_t(quantity)] : nullptr;
}

std::vector<QValueAxis *> ChartWindow::valueAxes() const
{
    std::vector<QValueAxis *> used;
    for (size_t a = 0; a < axes.size(); ++a)
        if (axisUsed[a])
            used.push_back(axes[a]);
    return used;
}

void ChartWindow::setTimeRange(double newFrom, double newTo)
{
    if (viewport.setTimeRange(newFrom, newTo))
        redraw();
}

void ChartWindow::zoomAround(double t, double factor)
{
    if (viewport.zoomAround(t, factor))
        redraw();
}

ChartBox ChartWindow::plotArea() const
{
    const QRectF plot = chartBox->plotArea();
    return {plot.left(), plot.top(), plot.right(), plot.bottom()};
}

double ChartWindow::timeAt(double sceneX) const
{
    return viewport.timeAt(sceneX, plotArea());
}

void ChartWindow::zoomInto(const QRectF &rect)
{
    if (viewport.zoomInto({rect.left(), rect.top(), rect.right(), rect.bottom()}, plotArea()))
        redraw();
}

void ChartWindow::pan(QPointF delta)
{
    if (viewport.pan(delta.x(), delta.y(), plotArea()))
        redraw();
}

void ChartWindow::resetZoom()
{
    viewport.showAll(model.recordTimes(), double(QDateTime::currentMSecsSinceEpoch()));
    redraw();
}

void ChartWindow::redraw()
{
    std::vector<ChartModel::Stats> stats(series.size());
    for (size_t q = 0; q < series.size(); ++q)
        if (series[q])
            stats[q] = model.stats(int(q), viewport.from(), viewport.to());
    fitValueRanges(stats);

    // Every range change lays out every series again: done while they are empty, it costs nothing.
    for (QLineSeries *s : series)
        if (s)
            s->replace(QList<QPointF>());
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(viewport.from())),
                       QDateTime::fromMSecsSinceEpoch(qint64(viewport.to())));
    for (size_t a = 0; a < axes.size(); ++a)
        if (axisUsed[a])
            axes[a]->setRange(viewport.values(a).lo, viewport.values(a).hi);
    const int buckets = ChartViewport::bucketCount(plotArea().width());
    drawnBuckets = buckets;
    for (size_t q = 0; q < series.size(); ++q) {
        if (!series[q])
            continue;
        model.points(int(q), viewport.from(), viewport.to(), buckets, scratch);
        series[q]->replace(scratch);
    }
    fillStats(stats);
}

void ChartWindow::fitValueRanges(const std::vector<ChartModel::Stats> &stats)
{
    const auto &quantities = model.quantities();
    for (size_t a = 0; a < axes.size(); ++a) {
        if (!axisUsed[a])
            continue;
        ChartStats shown;
        for (size_t q = 0; q < series.size(); ++q)
            if (series[q] && quantities[q].unit == axisUnits[a])
                shown.merge(stats[q]);
        viewport.fitValues(a, shown);
    }
}

void ChartWindow::fillStats(const std::vector<ChartModel::Stats> &stats)
{
    const auto &quantities = model.quantities();
    int row = 0;
    for (size_t q = 0; q < series.size(); ++q)
        row += series[q] ? 1 : 0;
    statsTable->setRowCount(row);
    row = 0;
    for (size_t q = 0; q < series.size(); ++q) {
        if (!series[q])
            continue;
        const ChartModel::Stats &s = stats[q];
        const QString cells[4] = {quantities[q].name, s.count ? formatGeneral(s.min) : QString(),
                                  s.count ? formatGeneral(s.max) : QString(),
                                  s.count ? averageText(s.average) : QString()};
        for (int c = 0; c < 4; ++c) {
            QTableWidgetItem *item = statsTable->item(row, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                              : Qt::AlignRight | Qt::AlignVCenter);
                statsTable->setItem(row, c, item);
            }
            item->setText(cells[c]);
        }
        ++row;
    }
}

void ChartWindow::hoverAt(QPointF scenePos)
{
    if (!chartBox->plotArea().contains(scenePos))
        return;
    const int record = model.nearest(timeAt(scenePos.x()));
    if (record < 0)
        return;
    QStringList parts{QDateTime::fromMSecsSinceEpoch(qint64(model.time(record))).toString(kTimeFormat)};
    for (size_t q = 0; q < series.size(); ++q) {
        if (!series[q])
            continue;
        const double v = model.value(int(q), record);
        parts << model.quantities()[q].label + QStringLiteral(" = ") +
                     (std::isnan(v) ? QString()
                                    : formatGeneral(v) + QLatin1Char(' ') + model.quantities()[q].unit);
    }
    hoverLabel->setText(parts.join(QStringLiteral("   ")));
    if (view->underMouse())
        QToolTip::showText(QCursor::pos(), parts.join(QLatin1Char('\n')), view);
}

bool ChartWindow::exportPng(const QString &path)
{
    // The chart lays out axes and legend on queued events: a picture taken before them shows old ones.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return view->grab().save(path, "PNG");
}

bool ChartWindow::exportSvg(const QString &path)
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(view->viewport()->size());
    svg.setViewBox(QRect(QPoint(), view->viewport()->size()));
    svg.setTitle(windowTitle());
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    view->scene()->render(&painter, QRectF(), view->sceneRect());
    return painter.end() && QFileInfo(path).size() > 0;
}

void ChartWindow::savePictureClicked()
{
    const QStringList filters{QStringLiteral("PNG (*.png)"), QStringLiteral("SVG (*.svg)")};
    QString filter;
    QString path = QFileDialog::getSaveFileName(this, texts.captions[Captions::SavePicture], dataFolder(),
                                                filters.join(QStringLiteral(";;")), &filter);
    if (path.isEmpty())
        return;
    const bool svg = path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) ||
                     (filter == filters[1] && !path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive));
    const QString suffix = svg ? QStringLiteral(".svg") : QStringLiteral(".png");
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    if (!(svg ? exportSvg(path) : exportPng(path)))
        QMessageBox::critical(this, windowTitle(), QDir::toNativeSeparators(path));
}
