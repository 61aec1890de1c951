#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>

// Text in the single-byte Turkish code page 1254 the saved files use; a character that the code page
// lacks becomes "?".
QByteArray toCodePage1254(QStringView text);

// The grid as the CSV file holds it: every cell followed by ";", a line feed after each row, no quoting,
// code page 1254. cell(row, column) gives the text of a cell.
QByteArray gridToCsv(int rows, int columns, const std::function<QString(int, int)> &cell);

// Replaces the file at path with bytes. Nothing is left half written: on failure the old file, if any,
// stays as it was, false is returned and errorText (when given) tells why.
bool saveCsv(const QString &path, const QByteArray &bytes, QString *errorText);
