#pragma once

#include <QPixmap>
#include <QSize>

// The two flags of the language dialog, drawn at the given size.
QPixmap turkishFlag(QSize size);
QPixmap unionFlag(QSize size);
