#pragma once

// The settings file of the running test executable: read, written and removed by the test itself.

#include "shell/GSETTINGS.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace settingsfile
{

inline QString path()
{
    return GSETTINGS::settingsPath();
}

inline void remove()
{
    if (QFileInfo(path()).isDir())
        QDir(path()).removeRecursively();
    else
        QFile::remove(path());
}

inline QByteArray read()
{
    QFile file(path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool write(const QByteArray &bytes)
{
    QFile file(path());
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A directory where the file should be: no write can succeed, even for root.
inline bool block()
{
    remove();
    return QDir().mkpath(path());
}

// What a first run's "OK" writes for the language lang.
inline QByteArray firstRun(int lang)
{
    return "[LANG]\n1=" + QByteArray::number(lang) +
           "\n[MODE]\n1=1\n[IP]\n1=\n[COM]\n1=0\n[MODBUSID]\n1=1\n[POLLDELAY]\n1=100\n[TIMEOUT]\n1=1000\n"
           "[PORT]\n1=502\n";
}

} // namespace settingsfile
