#include "shell/GSETTINGS.h"

#include "archive/Archive.h"
#include "shell/Startup.h"
#include "text/CodePage1254.h"

#include <QFileInfo>

namespace
{
const QString one = QStringLiteral("1");
const QString ipList = QStringLiteral("IPLIST");
const QString archiveSection = QStringLiteral("ARCHIVE");
const QString location = QStringLiteral("LOCATION");
// The location as percent-encoded UTF-8, for one the code page cannot hold; LOCATION keeps its
// code-page form for older versions.
const QString locationUtf8 = QStringLiteral("LOCATION_UTF8");

QString asCodePage(const QString &text)
{
    return decode1254(encode1254(text));
}

QString readLocation(const TIniFile &ini)
{
    const QString inCodePage = ini.readString(archiveSection, location, QString());
    const QString encoded = ini.readString(archiveSection, locationUtf8, QString());
    const QString full = QString::fromUtf8(QByteArray::fromPercentEncoding(encoded.toLatin1()));
    // A version that knows only LOCATION may have changed it since: then LOCATION counts.
    return !encoded.isEmpty() && asCodePage(full) == inCodePage ? full : inCodePage;
}

void writeLocation(TIniFile &ini, const QString &value)
{
    ini.writeString(archiveSection, location, value);
    const bool keyThere = !ini.readString(archiveSection, locationUtf8, QString()).isEmpty();
    if (keyThere || asCodePage(value) != value)
        ini.writeString(archiveSection, locationUtf8,
                        QString::fromLatin1(value.toUtf8().toPercentEncoding()));
}
} // namespace

GSETTINGS::GSETTINGS() : iniFile(settingsPath())
{
}

void GSETTINGS::load()
{
    const fields defaults;
    values.lang = iniFile.readInteger(QStringLiteral("LANG"), one, defaults.lang);
    values.mode = iniFile.readInteger(QStringLiteral("MODE"), one, defaults.mode);
    values.ip = iniFile.readString(QStringLiteral("IP"), one, QString::fromLatin1(defaultHost));
    // The 16-bit members keep the low half of what was read.
    values.com = qint16(iniFile.readInteger(QStringLiteral("COM"), one, defaults.com));
    values.modbusId = qint16(iniFile.readInteger(QStringLiteral("MODBUSID"), one, defaults.modbusId));
    values.pollDelay = iniFile.readInteger(QStringLiteral("POLLDELAY"), one, defaults.pollDelay);
    values.timeout = iniFile.readInteger(QStringLiteral("TIMEOUT"), one, defaults.timeout);
    values.tcpPort = iniFile.readInteger(QStringLiteral("PORT"), one, defaults.tcpPort);
    values.archive = readLocation(iniFile);
    values.keepArchive = iniFile.readInteger(archiveSection, QStringLiteral("KEEP"), 1) != 0;
}

void GSETTINGS::save()
{
    // A password in the location makes the file the owner's alone, from its first line written on.
    const std::string chosen = values.archive.toStdString();
    iniFile.setPrivate(redactLocation(chosen) != chosen);
    iniFile.writeInteger(QStringLiteral("LANG"), one, values.lang);
    iniFile.writeInteger(QStringLiteral("MODE"), one, values.mode);
    iniFile.writeString(QStringLiteral("IP"), one, values.ip);
    iniFile.writeInteger(QStringLiteral("COM"), one, values.com);
    iniFile.writeInteger(QStringLiteral("MODBUSID"), one, values.modbusId);
    iniFile.writeInteger(QStringLiteral("POLLDELAY"), one, values.pollDelay);
    iniFile.writeInteger(QStringLiteral("TIMEOUT"), one, values.timeout);
    iniFile.writeInteger(QStringLiteral("PORT"), one, values.tcpPort);
    // Only once the operator chose: files of older versions and of those who never did stay as they were.
    if (!values.archive.isEmpty() || !values.keepArchive) {
        writeLocation(iniFile, values.archive);
        iniFile.writeInteger(archiveSection, QStringLiteral("KEEP"), values.keepArchive ? 1 : 0);
    }
}

void GSETTINGS::loadIpList(QString *list, int n)
{
    for (int i = 0; i < n; ++i)
        list[i] = iniFile.readString(ipList, QString::number(i), QString());
}

void GSETTINGS::saveIpList(const QString *list, int n)
{
    for (int i = 0; i < n; ++i)
        iniFile.writeString(ipList, QString::number(i), list[i]);
}

bool GSETTINGS::canKeepLocation(const QString &location)
{
    return location.size() <= TIniFile::maxText &&
           (asCodePage(location) == location ||
            location.toUtf8().toPercentEncoding().size() <= TIniFile::maxText);
}

QString GSETTINGS::settingsPath()
{
    return fileLocations().settingsFile;
}

QString GSETTINGS::settingsPathFor(const QString &programFile)
{
    const QFileInfo info(programFile);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot < 0 ? name : name.left(dot);
    const QString dir = programFile.left(programFile.size() - name.size());
    return dir + stem + QStringLiteral("_gsett.ini");
}
