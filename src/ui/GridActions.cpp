#include "ui/GridActions.h"

#include "ui/GridModel.h"
#include "ui/GridRecords.h"
#include "ui/ReportWindow.h"

#include "shell/Startup.h"
#include "text/CsvExport.h"
#include "text/DeviceText.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QTableView>

namespace
{

constexpr int kColumnWidth = 58;
constexpr int kRowHeight = 20;

const QStringList kExportFilters{QStringLiteral("CSV (*.csv)"), QStringLiteral("JSON lines (*.jsonl)"),
                                 QStringLiteral("Excel (*.xlsx)")};
const QStringList kExportSuffixes{QStringLiteral("csv"), QStringLiteral("jsonl"), QStringLiteral("xlsx")};

// The save dialog, made at its first use, set up for filters and started in DATA; the chosen path, or
// empty when the operator cancels.
QString askSavePath(QWidget *parent, QFileDialog *&dialog, const QStringList &filters, const QString &suffix)
{
    if (!dialog) {
        dialog = new QFileDialog(parent);
        dialog->setObjectName(QStringLiteral("sDialog"));
        // The suffix follows the format chosen.
        QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString &filter) {
            const qsizetype format = kExportFilters.indexOf(filter);
            if (format >= 0)
                dialog->setDefaultSuffix(kExportSuffixes[format]);
        });
    }
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(suffix);
    dialog->setDirectory(dataFolder());
    dialog->selectFile(QString());
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

// True when the file was written; else the operator is told why.
bool save(QWidget *parent, const QString &path, const QByteArray &bytes)
{
    QString reason;
    if (saveCsv(path, bytes, &reason))
        return true;
    QMessageBox::critical(parent, applicationTitle(),
                          QDir::toNativeSeparators(path) + QStringLiteral("\n\n") + reason);
    return false;
}

} // namespace

bool saveGridToFile(QWidget *parent, QFileDialog *&dialog, const GridModel &grid)
{
    const QString path = askSavePath(parent, dialog, {QStringLiteral("*.csv")}, QStringLiteral("csv"));
    return !path.isEmpty() &&
           save(parent, path, gridToCsv(grid.rowCount(), grid.columnCount(), [&grid](int row, int column) {
                    return grid.cell(row, column);
                }));
}

bool exportGrid(QWidget *parent, QFileDialog *&dialog, const GridModel &grid, const RecordLog::Source &source)
{
    return exportGrid(parent, dialog, grid, std::vector<RecordLog::Source>{source});
}

bool exportGrid(QWidget *parent, QFileDialog *&dialog, const GridModel &grid,
                const std::vector<RecordLog::Source> &sources)
{
    const QString path = askSavePath(parent, dialog, kExportFilters, kExportSuffixes[0]);
    if (path.isEmpty() || sources.empty())
        return false;
    const qsizetype chosen = kExportFilters.indexOf(dialog->selectedNameFilter());
    const RecordLog::Source &source = sources.front();
    const DEVICE_REGISTER_TABLE table = source.table();
    std::vector<std::vector<Quantity>> logColumns;
    for (const RecordLog::Source &s : sources)
        logColumns.push_back(logQuantities(s.table(), s.modelCode, s.configuration.paramCodes));
    const QString analyzer = fromDevice(source.identity.serial);
    std::string error;
    const QByteArray bytes = chosen == 2
                                 ? gridWorkbook(grid, logColumns, energyQuantities(table), analyzer, error)
                                 : gridRecords(grid, chosen == 1 ? RecordFormat::Jsonl : RecordFormat::Csv,
                                               logColumns, energyQuantities(table), analyzer);
    if (!error.empty()) {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), QString::fromStdString(error),
                        QMessageBox::Ok, parent);
        box.exec();
        return false;
    }
    return save(parent, path, bytes);
}

bool holdsEnergy(const GridModel &grid)
{
    for (int row = 1; row < grid.rowCount(); ++row) {
        if (grid.rowArea(row) == kEnergyArea)
            return true;
    }
    return false;
}

void openReport(QPointer<ReportWindow> &window, const GridModel &grid, const std::string &analyzer,
                const QTimeZone &zone, const LANGUAGE &texts, bool turkish, QWidget *parent)
{
    std::vector<EnergyReading> readings = energyReadingsOf(grid);
    if (readings.empty())
        return;
    if (window)
        window->close();
    window = new ReportWindow(std::move(readings), analyzer, zone, texts, turkish, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    showInFront(window);
}

void showInFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void setUpRecordGrid(QTableView *grid)
{
    // Row 0 is the header row: the horizontal header shows it, frozen above the records.
    grid->setRowHidden(0, true);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setWordWrap(false);
    // A point smaller than the panels: a date or a value fits the default column width.
    QFont gridFont = grid->font();
    gridFont.setPointSizeF(gridFont.pointSizeF() - 1);
    grid->setFont(gridFont);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
}
