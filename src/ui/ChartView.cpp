#include "ui/ChartView.h"

#include "ui/ChartWindow.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kWheelStep = 0.8; // time shown after one notch in
constexpr int kMinimumBand = 4;    // pixels; a smaller drag is a click
} // namespace

ChartView::ChartView(QChart *chart, ChartWindow *window) : QChartView(chart), window(window)
{
    setMouseTracking(true);
    setRubberBand(QChartView::NoRubberBand);
}

void ChartView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) {
        const QRectF plot = chart()->plotArea();
        const double x = std::clamp(mapToScene(event->position().toPoint()).x(), plot.left(), plot.right());
        window->zoomAround(window->timeAt(x), std::pow(kWheelStep, steps));
    }
    event->accept();
}

void ChartView::mousePressEvent(QMouseEvent *event)
{
    last = event->pos();
    if (event->button() == Qt::LeftButton) {
        mode = Mode::Band;
        band.setGeometry(QRect(last, QSize()));
        band.show();
    } else if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        mode = Mode::Pan;
        viewport()->setCursor(Qt::ClosedHandCursor);
    }
    event->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (mode == Mode::Band) {
        band.setGeometry(QRect(last, event->pos()).normalized());
    } else if (mode == Mode::Pan) {
        window->pan(mapToScene(event->pos()) - mapToScene(last));
        last = event->pos();
    } else {
        window->hoverAt(mapToScene(event->pos()));
    }
    event->accept();
}

void ChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (mode == Mode::Band) {
        band.hide();
        const QRect r = band.geometry();
        if (r.width() >= kMinimumBand && r.height() >= kMinimumBand)
            window->zoomInto(QRectF(mapToScene(r.topLeft()), mapToScene(r.bottomRight())));
    }
    mode = Mode::None;
    viewport()->unsetCursor();
    event->accept();
}

void ChartView::mouseDoubleClickEvent(QMouseEvent *event)
{
    band.hide();
    mode = Mode::None;
    window->resetZoom();
    event->accept();
}
