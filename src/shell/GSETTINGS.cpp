#include "shell/GSETTINGS.h"

#include "shell/Startup.h"

#include <QFileInfo>

namespace
{
const QString one = QStringLiteral("1");
const QString ipList = QStringLiteral("IPLIST");
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
    values.archive = iniFile.readString(QStringLiteral("ARCHIVE"), QStringLiteral("LOCATION"), QString());
    values.keepArchive = iniFile.readInteger(QStringLiteral("ARCHIVE"), QStringLiteral("KEEP"), 1) != 0;
}

void GSETTINGS::save()
{
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
        iniFile.writeString(QStringLiteral("ARCHIVE"), QStringLiteral("LOCATION"), values.archive);
        iniFile.writeInteger(QStringLiteral("ARCHIVE"), QStringLiteral("KEEP"), values.keepArchive ? 1 : 0);
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
