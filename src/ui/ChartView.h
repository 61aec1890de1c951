#pragma once

#include <QChartView>
#include <QRubberBand>

class ChartWindow;

// The chart's mouse: the wheel zooms the time around the pointer, a rectangle dragged with the left
// button zooms into it, a right or middle drag pans, a double click shows everything, and the pointer
// alone asks for the nearest record. The window does the work.
class ChartView : public QChartView
{
  public:
    ChartView(QChart *chart, ChartWindow *window);

  protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

  private:
    enum class Mode { None, Band, Pan };
    ChartWindow *window;
    QRubberBand band{QRubberBand::Rectangle, viewport()};
    QPoint last;
    Mode mode = Mode::None;
};
