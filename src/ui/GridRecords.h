#pragma once

#include "text/RecordFormats.h"

#include <QByteArray>
#include <QString>

class GridModel;

// The grid's records as another program reads them, in format: the header, then each row that holds a
// record (a record number and the area it was read from) in grid order, with the values as the grid
// holds them, operator's edits included. Only the quantities of the kinds of log present are columns.
// logColumns holds the log's quantities under each header row of the grid, in order.
QByteArray gridRecords(const GridModel &grid, RecordFormat format,
                       const std::vector<std::vector<Quantity>> &logColumns,
                       const std::vector<Quantity> &energyColumns, const QString &analyzer);
// The same as a spreadsheet (xlsx): the file's bytes, empty with the reason in error.
QByteArray gridWorkbook(const GridModel &grid, const std::vector<std::vector<Quantity>> &logColumns,
                        const std::vector<Quantity> &energyColumns, const QString &analyzer,
                        std::string &error);
