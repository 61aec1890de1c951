#pragma once

#include "text/CodePage1254.h"

#include <QString>

#include <string>

// The worker and the analyzer speak single-byte code page 1254 texts, the window Unicode.
inline QString fromDevice(const std::string &bytes)
{
    return decode1254(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

inline std::string toDevice(const QString &text)
{
    return encode1254(text).toStdString();
}
