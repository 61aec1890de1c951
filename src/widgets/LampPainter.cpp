#include "widgets/LampPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace
{

QPainterPath roundedPath(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    radius = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2);
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void paintHalo(QPainter &painter, const QRectF &rect, qreal cornerRadius, const QColor &colour, qreal width)
{
    // Rings fading outwards give a soft glow without a blur pass.
    const int rings = std::max(1, static_cast<int>(width * 2));
    painter.setBrush(Qt::NoBrush);
    for (int i = rings; i >= 1; --i) {
        const qreal grow = width * i / rings;
        QColor ring = colour;
        ring.setAlphaF(0.35f * (1.0f - static_cast<float>(i) / (rings + 1)));
        painter.setPen(QPen(ring, width / rings + 0.5));
        painter.drawPath(roundedPath(rect.adjusted(-grow, -grow, grow, grow), cornerRadius + grow));
    }
}

// The hot core of a lit lens: the colour washed towards white, whatever its saturation.
QColor towardsWhite(const QColor &colour, float amount)
{
    const auto mix = [amount](float c) { return c + (1.0f - c) * amount; };
    return QColor::fromRgbF(mix(colour.redF()), mix(colour.greenF()), mix(colour.blueF()));
}

} // namespace

void paintLamp(QPainter &painter, const QRectF &rect, qreal cornerRadius, const QColor &colour, bool lit,
               qreal haloWidth)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    if (lit && haloWidth > 0) {
        paintHalo(painter, rect, cornerRadius, colour, haloWidth);
    }

    // Bezel: a metal rim, light at the top and dark at the bottom.
    const qreal bezel = std::max(1.5, std::min(rect.width(), rect.height()) * 0.09);
    QLinearGradient rim(rect.topLeft(), rect.bottomLeft());
    rim.setColorAt(0, QColor(0x9a, 0x9a, 0x9a));
    rim.setColorAt(1, QColor(0x2a, 0x2a, 0x2a));
    painter.setPen(QPen(QColor(0x1a, 0x1a, 0x1a), 0.8));
    painter.setBrush(rim);
    painter.drawPath(roundedPath(rect, cornerRadius));

    // Lens: a radial gradient stretched over the lens, bright in the middle when lit.
    const QRectF lens = rect.adjusted(bezel, bezel, -bezel, -bezel);
    QRadialGradient glow(0.5, 0.5, 0.75);
    glow.setCoordinateMode(QGradient::ObjectMode);
    if (lit) {
        glow.setColorAt(0.0, towardsWhite(colour, 0.6f));
        glow.setColorAt(0.5, colour);
        glow.setColorAt(1.0, colour.darker(160));
    } else {
        glow.setColorAt(0.0, colour.darker(280));
        glow.setColorAt(1.0, colour.darker(520));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    const qreal lensRadius = cornerRadius - bezel;
    painter.drawPath(roundedPath(lens, lensRadius));

    // Specular highlight across the upper part of the lens.
    const QRectF shine(lens.left() + lens.width() * 0.12, lens.top() + lens.height() * 0.06,
                       lens.width() * 0.76, lens.height() * 0.38);
    QLinearGradient reflection(shine.topLeft(), shine.bottomLeft());
    reflection.setColorAt(0, QColor(255, 255, 255, lit ? 130 : 60));
    reflection.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setBrush(reflection);
    painter.drawPath(roundedPath(shine, lensRadius * 0.8));

    painter.restore();
}

QColor lampTextColour(const QColor &colour, bool lit)
{
    if (!lit) {
        return QColor(0xc8, 0xc8, 0xc8, 190);
    }
    return qGray(colour.lighter(130).rgb()) > 140 ? QColor(0x10, 0x10, 0x10) : QColor(Qt::white);
}
