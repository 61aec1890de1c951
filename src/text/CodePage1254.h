#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The single-byte Turkish code page 1254 of the settings file. Every byte decodes to one character
// (the five bytes the code page leaves undefined to the control characters of the same value), so
// decoding and encoding again gives back the same bytes. A character the code page lacks is written
// as "?".
QString decode1254(QByteArrayView bytes);
QByteArray encode1254(QStringView text);
