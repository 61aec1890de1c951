#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The grid as the CSV file holds it: every cell followed by ";", a line feed after each row, no quoting,
// in code page 1254 with "?" for characters the code page lacks. cell(row, column) gives a cell's text.
// Rows written one call at a time concatenate to the bytes of one call over all of them.
QByteArray gridToCsv(int rows, int columns, const std::function<QString(int, int)> &cell);
