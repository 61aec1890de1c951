#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

// "KTR-58 serisi analizör Log Okuma Programı", the same in both languages: the title of the
// program's message boxes.
QString applicationTitle();

// The application object set up as the program runs it (no title suffix on any window, hidden
// windows keep nothing alive); runApplication does it first.
void configureApplication();

// The program's start, once the application object exists: the application title, the language
// dialog first when the settings file does not exist yet, then the main window (made by
// makeMainWindow, which also makes the timings dialog), then the message loop. The main window is
// shown at once on a normal run and by the dialog's "OK" on a first run. The program ends when the
// main window's close quits the application, or when the dialog is closed with its close box.
// Returns the loop's exit code.
int runApplication(const std::function<std::unique_ptr<QWidget>()> &makeMainWindow);

// Where the program keeps its files. Run from its build tree (the directory above the program's holds
// the build's CMakeCache.txt) it keeps them as it always did: the settings file beside the program
// and "DATA" in the working directory. Installed, where the program's directory is not the user's
// to write, the settings file goes to the user's configuration directory and the data folder to
// "Pullrec" in the user's documents.
struct FileLocations {
    QString settingsFile;
    QString dataDirectory; // relative to the working directory in the build tree
};
FileLocations fileLocationsFor(const QString &programFile);
// For the running program.
FileLocations fileLocations();
// The folder every save dialog starts in: the data folder, absolute.
QString dataFolder();
// Where the window keeps its downloads: chosen, or when that is empty "sqlite:" and pullrec.db in the
// data folder of an installed program, beside the data folder in the build tree. A relative SQLite file
// (as older versions kept it) lies in that same folder.
QString archiveLocation(const QString &chosen = {});
// The same with the folder given: chosen made absolute against folder, or pullrec.db in it.
QString archiveLocationIn(const QString &chosen, const QString &folder);
