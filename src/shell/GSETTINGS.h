#pragma once

#include "model/AnalyzerMap.h"
#include "shell/IniFile.h"
#include "worker/WorkerTypes.h"

#include <QString>
#include <QtGlobal>

// The operator's settings kept between runs in the file beside the program (settingsPath()): one
// section per setting, each with the key "1", and the host history in section IPLIST, keys "0".."9".
// Constructing neither reads nor creates the file.
class GSETTINGS
{
  public:
    static constexpr char defaultHost[] = "192.168.1.100"; // a private address, for IP sections missing

    struct fields {
        qint32 lang = TextLanguage::English; // a TextLanguage
        qint32 mode = LinkMode::Rtu;         // a LinkMode
        qint16 modbusId = 1;
        qint16 com = 0; // index in the serial port list
        qint32 pollDelay = 100;
        qint32 timeout = 1000;
        QString ip;           // empty until loaded; load() gives defaultHost when the file has none
        qint32 tcpPort = 502; // kept with the host
        QString archive;      // where downloads are kept; empty for archiveLocation()
        bool keepArchive = true;
    };

    fields values;
    TIniFile iniFile;

    GSETTINGS();

    // Reads LANG, MODE, IP, COM, MODBUSID, POLLDELAY, TIMEOUT, PORT and ARCHIVE (keys LOCATION,
    // LOCATION_UTF8, KEEP); missing or bad values give the defaults.
    void load();
    // Writes them in the same order; a refused write throws EPullrecError and skips the rest. A location
    // holding a password leaves the file readable by its owner only; one the code page cannot hold
    // is also kept whole in LOCATION_UTF8.
    void save();
    // list[0..n-1] from / to IPLIST keys 0..n-1 (missing keys read empty); nothing for n <= 0.
    void loadIpList(QString *list, int n);
    void saveIpList(const QString *list, int n);

    // The program file's path with its extension (from the last dot of the file name on) replaced by
    // "_gsett.ini"; a file name without a dot gets the suffix appended. An installed program keeps
    // the file of that name in the user's configuration directory instead (fileLocations()).
    // Whether save() can write the location so that load() gives it back.
    static bool canKeepLocation(const QString &location);

    static QString settingsPath();
    static QString settingsPathFor(const QString &programFile);
};
