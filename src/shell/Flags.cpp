#include "shell/Flags.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <functional>

namespace
{

QPolygonF star(QPointF centre, qreal outer, qreal angle)
{
    const qreal inner = outer * 0.382;
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const qreal a = qDegreesToRadians(angle + i * 36.0);
        const qreal r = i % 2 ? inner : outer;
        points << centre + QPointF(r * qCos(a), r * qSin(a));
    }
    return points;
}

// Painting in flag units: w x h units stretched over the pixmap.
QPixmap canvas(QSize size, qreal w, qreal h, const std::function<void(QPainter &)> &paint)
{
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / w, size.height() / h);
    paint(p);
    return pixmap;
}

} // namespace

// Proportions of the flag law, in units of the flag's height G = 1 (width 1.5).
QPixmap turkishFlag(QSize size)
{
    return canvas(size, 1.5, 1.0, [](QPainter &p) {
        const QColor red(0xE3, 0x0A, 0x17);
        p.fillRect(QRectF(0, 0, 1.5, 1), red);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(0.5, 0.5), 0.25, 0.25);
        p.setBrush(red);
        p.drawEllipse(QPointF(0.5625, 0.5), 0.2, 0.2);
        p.setBrush(Qt::white);
        p.drawPolygon(star(QPointF(0.5 + 0.333 + 0.125, 0.5), 0.125, 180.0));
    });
}

// Drawn on a 60 x 30 grid; the red diagonals are offset clockwise from the white ones.
QPixmap unionFlag(QSize size)
{
    return canvas(size, 60, 30, [](QPainter &p) {
        const QColor blue(0x01, 0x21, 0x69);
        const QColor red(0xC8, 0x10, 0x2E);
        p.fillRect(QRectF(0, 0, 60, 30), blue);
        p.setPen(QPen(Qt::white, 6));
        p.drawLine(QPointF(0, 0), QPointF(60, 30));
        p.drawLine(QPointF(0, 30), QPointF(60, 0));

        // Each quarter: its corner, and the side of the diagonal the red stripe keeps to.
        struct Quarter {
            QRectF area;
            QPointF corner;
            qreal offset;
        };
        const Quarter quarters[] = {
            {{0, 0, 30, 15}, {0, 0}, 1},
            {{30, 0, 30, 15}, {60, 0}, -1},
            {{30, 15, 30, 15}, {60, 30}, -1},
            {{0, 15, 30, 15}, {0, 30}, 1},
        };
        p.setPen(QPen(red, 2));
        for (const Quarter &q : quarters) {
            p.save();
            p.setClipRect(q.area);
            p.drawLine(q.corner + QPointF(0, q.offset), QPointF(30, 15 + q.offset));
            p.restore();
        }

        p.fillRect(QRectF(25, 0, 10, 30), Qt::white);
        p.fillRect(QRectF(0, 10, 60, 10), Qt::white);
        p.fillRect(QRectF(27, 0, 6, 30), red);
        p.fillRect(QRectF(0, 12, 60, 6), red);
    });
}
