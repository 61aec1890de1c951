#include "ui/CsvExport.h"

#include "shell/CodePage1254.h"

#include <QSaveFile>

QByteArray gridToCsv(int rows, int columns, const std::function<QString(int, int)> &cell)
{
    QString text;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            text += cell(row, column);
            text += QLatin1Char(';');
        }
        text += QLatin1Char('\n');
    }
    return encode1254(text);
}

bool saveCsv(const QString &path, const QByteArray &bytes, QString *errorText)
{
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!saved && errorText != nullptr) {
        *errorText = file.errorString();
    }
    return saved;
}
