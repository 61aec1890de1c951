#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// Paints a lamp with a dark bezel into rect: lit, its lens glows in colour with a bright core and a soft
// halo up to haloWidth outside rect; dark, the lens shows a deep shade of the same colour.
// cornerRadius rounds the lamp; half the smaller side makes it round.
void paintLamp(QPainter &painter, const QRectF &rect, qreal cornerRadius, const QColor &colour, bool lit,
               qreal haloWidth);

// A text colour that reads well on the lens of such a lamp.
QColor lampTextColour(const QColor &colour, bool lit);
