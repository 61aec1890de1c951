#include "shell/Startup.h"
#include "ui/CsvExport.h"
#include "ui/GridModel.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

void TForm1::S1Click()
{
    if (!sDialog) {
        sDialog = new QFileDialog(this);
        sDialog->setObjectName(QStringLiteral("sDialog"));
    }
    sDialog->setAcceptMode(QFileDialog::AcceptSave);
    sDialog->setFileMode(QFileDialog::AnyFile);
    sDialog->setDefaultSuffix(QStringLiteral("csv"));
    sDialog->setNameFilter(QStringLiteral("*.csv"));
    sDialog->setDirectory(QDir(fileLocations().dataDirectory).absolutePath());
    sDialog->selectFile(QString());
    if (sDialog->exec() != QDialog::Accepted || sDialog->selectedFiles().isEmpty())
        return;

    const QString path = sDialog->selectedFiles().constFirst();
    const QByteArray bytes = gridToCsv(gridModel->rowCount(), gridModel->columnCount(),
                                       [this](int row, int column) { return gridModel->cell(row, column); });
    QString reason;
    if (!saveCsv(path, bytes, &reason))
        QMessageBox::critical(this, QApplication::applicationDisplayName(),
                              QDir::toNativeSeparators(path) + QStringLiteral("\n\n") + reason);
}
