#pragma once

#include "text/GridCsv.h"

#include <QByteArray>
#include <QString>

// Replaces the file at path with bytes. Nothing is left half written: on failure the old file, if any,
// stays as it was, false is returned and errorText (when given) tells why.
bool saveCsv(const QString &path, const QByteArray &bytes, QString *errorText);
