#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The grid as the CSV file holds it: every cell followed by ";", a line feed after each row, no quoting,
// in code page 1254 with "?" for characters the code page lacks. cell(row, column) gives a cell's text.
QByteArray gridToCsv(int rows, int columns, const std::function<QString(int, int)> &cell);

// Replaces the file at path with bytes. Nothing is left half written: on failure the old file, if any,
// stays as it was, false is returned and errorText (when given) tells why.
bool saveCsv(const QString &path, const QByteArray &bytes, QString *errorText);
