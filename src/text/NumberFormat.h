#pragma once

#include <QString>

// Text of a decoded value as the grid shows and saves it: at most 15 significant digits, no trailing
// zeros, no grouping, scientific ("1E-6", "1.5E20") only below 0.00001 in magnitude or from 1E15 on.
// Only the decimal separator comes from the locale; the digits never do.
QString formatGeneral(double value, const QString &decimalPoint);

// Same, with the decimal separator of the default QLocale.
QString formatGeneral(double value);
