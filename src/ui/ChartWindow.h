#pragma once

#include "ui/ChartModel.h"
#include "ui/ChartViewport.h"

#include "text/Language.h"

#include <QWidget>

#include <array>
#include <vector>

class GridModel;
class QChart;
class QChartView;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTimer;
class QValueAxis;

// A trend chart of the records in the result grid: the quantities ticked in the check list over the
// records' time, one value axis per unit (two at most: quantities of a third unit cannot be ticked
// while two are shown), and below it the minimum, maximum and average of each over the visible time.
// The wheel zooms the time around the pointer, a dragged rectangle zooms into it, a right or middle
// drag pans, a double click shows everything again; hovering names the nearest record. It follows the
// grid while records arrive, a few times a second at most.
class ChartWindow : public QWidget
{
    Q_OBJECT

  public:
    ChartWindow(const GridModel &grid, const LANGUAGE &texts, QWidget *parent = nullptr);

    // Reads the grid again and redraws; the window also does it by itself when the grid changes.
    void refresh();
    // The visible time range, in milliseconds since the epoch; the value axes fit what it shows.
    void setTimeRange(double from, double to);
    double timeFrom() const { return viewport.from(); }
    double timeTo() const { return viewport.to(); }
    // One wheel step at time t: factor < 1 zooms in.
    void zoomAround(double t, double factor);
    // Zooms into a rectangle of the chart, in the chart's scene coordinates.
    void zoomInto(const QRectF &rect);
    // Moves the view by a mouse movement in pixels.
    void pan(QPointF delta);
    // Everything again, value axes fitted.
    void resetZoom();
    // Shows the record nearest to a point of the chart.
    void hoverAt(QPointF scenePos);
    // Time at a horizontal position of the chart's scene.
    double timeAt(double sceneX) const;
    bool exportPng(const QString &path);
    bool exportSvg(const QString &path);

    const ChartModel &data() const { return model; }
    QChart *chart() const { return chartBox; }
    // Series of a quantity of data(); null when it is not ticked.
    QLineSeries *seriesOf(int quantity) const;
    // The value axes in use, left one first.
    std::vector<QValueAxis *> valueAxes() const;

    QListWidget *quantityList;
    QTableWidget *statsTable; // a row per shown quantity: name, minimum, maximum, average
    QLabel *hoverLabel;
    QPushButton *pngButton;

  private:
    void buildChart();
    void buildPanels();
    void scheduleRefresh();
    void rebuildQuantityList();
    // Series and axes for the ticked quantities, a third unit unticked.
    void applyTicked();
    void tickedChanged();
    void redraw();
    ChartBox plotArea() const;
    void fitValueRanges(const std::vector<ChartModel::Stats> &stats);
    void fillStats(const std::vector<ChartModel::Stats> &stats);
    void dropSeries(size_t quantity);
    void savePictureClicked();

    const GridModel &grid;
    const LANGUAGE &texts;
    ChartModel model;
    QChart *chartBox;
    QChartView *view;
    QDateTimeAxis *timeAxis;
    std::array<QValueAxis *, ChartViewport::kAxes> axes;
    std::array<QString, ChartViewport::kAxes>
        axisUnits; // unit of each axis in use; empty and unused when not
    std::array<bool, ChartViewport::kAxes> axisUsed{};
    std::vector<QLineSeries *> series; // per quantity; null when not ticked
    QList<QPointF> scratch;            // reused for every series' points
    QTimer *refreshTimer;
    int drawnBuckets = 0; // thinning of the points shown
    ChartViewport viewport;
};
