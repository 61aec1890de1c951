#include "text/CsvExport.h"

#include <QSaveFile>

bool saveCsv(const QString &path, const QByteArray &bytes, QString *errorText)
{
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!saved && errorText != nullptr) {
        *errorText = file.errorString();
    }
    return saved;
}
