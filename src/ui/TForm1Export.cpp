#include "text/CsvExport.h"
#include "ui/GridModel.h"
#include "ui/GridRecords.h"
#include "ui/TForm1.h"

#include "shell/Startup.h"
#include "text/DeviceText.h"
#include "worker/comThread.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace
{

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

void TForm1::S1Click()
{
    const QString path = askSavePath(this, sDialog, {QStringLiteral("*.csv")}, QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    if (save(this, path,
             gridToCsv(gridModel->rowCount(), gridModel->columnCount(),
                       [this](int row, int column) { return gridModel->cell(row, column); })))
        recordsUnsaved = false;
}

void TForm1::Export1Click()
{
    const QString path = askSavePath(this, sDialog, kExportFilters, kExportSuffixes[0]);
    if (path.isEmpty())
        return;
    const qsizetype chosen = kExportFilters.indexOf(sDialog->selectedNameFilter());
    // Names and units do not depend on the transformer ratios: any table names them.
    const DEVICE_REGISTER_TABLE fallback(1.0, 1.0);
    const DEVICE_REGISTER_TABLE &table = worker->registerTable() ? *worker->registerTable() : fallback;
    const std::vector<Quantity> logColumns =
        logQuantities(table, modelCode, worker->configuration().paramCodes);
    const QString analyzer = fromDevice(worker->identity().serial);
    std::string error;
    const QByteArray bytes =
        chosen == 2 ? gridWorkbook(*gridModel, logColumns, energyQuantities(table), analyzer, error)
                    : gridRecords(*gridModel, chosen == 1 ? RecordFormat::Jsonl : RecordFormat::Csv,
                                  logColumns, energyQuantities(table), analyzer);
    if (!error.empty()) {
        showMessage(QString::fromStdString(error));
        return;
    }
    if (save(this, path, bytes))
        recordsUnsaved = false;
}
