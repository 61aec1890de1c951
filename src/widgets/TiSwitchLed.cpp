#include "widgets/TiSwitchLed.h"

#include "widgets/LampPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>

namespace
{

constexpr int margin = 3;  // room for the focus frame and the lamp's glow
constexpr int spacing = 6; // between lamp, toggle and caption
constexpr qreal trackAspect = 1.8;

int controlHeight(const QFontMetrics &metrics)
{
    return std::max(metrics.height() + 6, 20);
}

} // namespace

TiSwitchLed::TiSwitchLed(QWidget *parent) : TiSwitchLed(QString(), parent)
{
}

TiSwitchLed::TiSwitchLed(const QString &caption, QWidget *parent)
    : QAbstractButton(parent), m_onColor(0x30, 0xe0, 0x30)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    setCaption(caption);
    connect(this, &QAbstractButton::toggled, this, &TiSwitchLed::changed);
}

void TiSwitchLed::setCaption(const QString &caption)
{
    setText(caption); // also the accessible name
    updateGeometry();
}

void TiSwitchLed::setOnColor(const QColor &colour)
{
    m_onColor = colour;
    update();
}

QSize TiSwitchLed::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int height = controlHeight(metrics);
    int width = 2 * margin + height * 3 / 4 + spacing + static_cast<int>(height * trackAspect);
    if (!text().isEmpty()) {
        width += spacing + metrics.horizontalAdvance(text());
    }
    return {width, height + 2 * margin};
}

QSize TiSwitchLed::minimumSizeHint() const
{
    return sizeHint();
}

TiSwitchLed::Layout TiSwitchLed::layout() const
{
    const QRectF area = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    const qreal h = std::min<qreal>(area.height(), controlHeight(fontMetrics()));
    const qreal top = area.center().y() - h / 2;
    const qreal lampSize = h * 3 / 4;

    Layout l;
    l.lamp = QRectF(area.left(), area.center().y() - lampSize / 2, lampSize, lampSize);
    l.track = QRectF(l.lamp.right() + spacing, top, h * trackAspect, h);
    l.caption = QRectF(l.track.right() + spacing, area.top(), area.right() - l.track.right() - spacing,
                       area.height());
    return l;
}

void TiSwitchLed::paintTrack(QPainter &painter, const QRectF &track) const
{
    const qreal radius = track.height() / 2;

    // Slot: sunk into the panel, tinted with the lamp colour while on.
    QLinearGradient slot(track.topLeft(), track.bottomLeft());
    const QColor base = isChecked() ? m_onColor.darker(170) : QColor(0x70, 0x70, 0x70);
    slot.setColorAt(0, base.darker(150));
    slot.setColorAt(1, base.lighter(120));
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    painter.setBrush(slot);
    painter.drawRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    // Knob: a domed metal cap at the right end when on, at the left when off.
    const qreal inset = std::max(2.0, track.height() * 0.1);
    const qreal knobSize = track.height() - 2 * inset;
    const qreal knobLeft = isChecked() ? track.right() - inset - knobSize : track.left() + inset;
    const QRectF knob(knobLeft, track.top() + inset, knobSize, knobSize);
    QRadialGradient cap(knob.center() - QPointF(0, knobSize * 0.2), knobSize * 0.7);
    QColor metal = underMouse() && isEnabled() ? QColor(0xff, 0xff, 0xff) : QColor(0xf0, 0xf0, 0xf0);
    if (isDown()) {
        metal = metal.darker(115);
    }
    cap.setColorAt(0, metal);
    cap.setColorAt(1, metal.darker(140));
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 0.8));
    painter.setBrush(cap);
    painter.drawEllipse(knob);

    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        const QRectF frame = track.adjusted(-2, -2, 2, 2);
        painter.drawRoundedRect(frame, frame.height() / 2, frame.height() / 2);
    }
}

void TiSwitchLed::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) {
        painter.setOpacity(0.45);
    }
    const Layout l = layout();
    paintLamp(painter, l.lamp, l.lamp.width() / 2, m_onColor, isChecked(), margin);
    paintTrack(painter, l.track);

    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(l.caption, Qt::AlignLeft | Qt::AlignVCenter, text());
}
