#include "widgets/TiLedRectangle.h"

#include "widgets/LampPainter.h"

#include <QPainter>

#include <algorithm>

namespace
{

constexpr qreal halo = 3; // room kept around the lamp for its glow

} // namespace

TiLedRectangle::TiLedRectangle(QWidget *parent) : TiLedRectangle(QString(), parent)
{
}

TiLedRectangle::TiLedRectangle(const QString &caption, QWidget *parent)
    : QWidget(parent), m_onColor(0x30, 0xe0, 0x30)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCaption(caption);
}

void TiLedRectangle::setCaption(const QString &caption)
{
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    setAccessibleName(caption);
    updateGeometry();
    update();
}

void TiLedRectangle::setActive(bool active)
{
    if (active == m_active) {
        return;
    }
    m_active = active;
    update();
}

void TiLedRectangle::setOnColor(const QColor &colour)
{
    m_onColor = colour;
    update();
}

QFont TiLedRectangle::captionFont() const
{
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

QSize TiLedRectangle::sizeHint() const
{
    const QFontMetrics metrics(captionFont());
    const int height = metrics.height() + 8 + 2 * static_cast<int>(halo);
    return {std::max(metrics.horizontalAdvance(m_caption) + 18, height * 3 / 2) + 2 * static_cast<int>(halo),
            height};
}

QSize TiLedRectangle::minimumSizeHint() const
{
    const QFontMetrics metrics(captionFont());
    return {metrics.horizontalAdvance(m_caption) + 8, metrics.height() + 2};
}

void TiLedRectangle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!isEnabled()) {
        painter.setOpacity(0.45);
    }
    // Small sizes give up the halo before the lamp shrinks.
    const qreal margin = std::min(halo, std::min(width(), height()) / 8.0);
    const QRectF lamp = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    paintLamp(painter, lamp, std::min(lamp.width(), lamp.height()) * 0.18, m_onColor, m_active, margin);

    painter.setFont(captionFont());
    painter.setPen(lampTextColour(m_onColor, m_active));
    painter.drawText(lamp, Qt::AlignCenter, m_caption);
}
