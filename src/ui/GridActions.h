#pragma once

#include "model/RecordLog.h"
#include "text/Language.h"

#include <QPointer>
#include <QTimeZone>

#include <string>

class GridModel;
class QFileDialog;
class QTableView;
class QWidget;
class ReportWindow;

// What the main window and the archive window do alike with a grid of records. dialog is the window's
// save dialog, made at its first use and started in DATA.

// "Save to File...": the grid's CSV as the operator saves it. True when written; the operator is told
// why it was not.
bool saveGridToFile(QWidget *parent, QFileDialog *&dialog, const GridModel &grid);
// "Export...": the records for other programs with the columns of source's configuration, in the format
// picked in the dialog. True when written; the operator is told why it was not.
bool exportGrid(QWidget *parent, QFileDialog *&dialog, const GridModel &grid,
                const RecordLog::Source &source);
// The same for a grid of several header rows: the records under each with the configuration of its
// source, in order.
bool exportGrid(QWidget *parent, QFileDialog *&dialog, const GridModel &grid,
                const std::vector<RecordLog::Source> &sources);
// Whether a row of the grid was read from the energy log.
bool holdsEnergy(const GridModel &grid);
// "Report...": a new report window over the grid's energy records in place of window, shown; nothing
// when there are none.
void openReport(QPointer<ReportWindow> &window, const GridModel &grid, const std::string &analyzer,
                const QTimeZone &zone, const LANGUAGE &texts, bool turkish, QWidget *parent);
// The look of a grid of records: row 0 frozen as the header, a row per record, a context menu of its own.
void setUpRecordGrid(QTableView *grid);
// Brings a tool window up in front.
void showInFront(QWidget *window);
// How long a window works before it shows that it is busy: quicker work shows no box, bar or cursor.
inline constexpr int kBusyDelayMs = 300;
