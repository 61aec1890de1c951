#include "shell/Startup.h"

#include "shell/GSETTINGS.h"
#include "shell/TForm2.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString applicationTitle()
{
    return QStringLiteral("KTR-58 serisi analizör Log Okuma Programı");
}

void configureApplication()
{
    // Qt appends " — <display name>" to every window title on X11 and Wayland, and puts the
    // program's file name into an empty one. An empty display name does neither, so each window
    // shows exactly the title it sets.
    QApplication::setApplicationDisplayName(QStringLiteral(""));
    // Hidden windows must neither keep the program alive nor end it: the windows quit it themselves.
    QApplication::setQuitOnLastWindowClosed(false);
}

int runApplication(const std::function<std::unique_ptr<QWidget>()> &makeMainWindow)
{
    configureApplication();

    // An installed program's first run finds no configuration directory to write its settings into.
    QDir().mkpath(QFileInfo(GSETTINGS::settingsPath()).path());
    const bool firstRun = !QFileInfo::exists(GSETTINGS::settingsPath());
    std::unique_ptr<TForm2> languageDialog;
    if (firstRun)
        languageDialog = std::make_unique<TForm2>();
    const std::unique_ptr<QWidget> mainWindow = makeMainWindow();
    if (languageDialog) {
        languageDialog->setMainWindow(mainWindow.get());
        languageDialog->show();
    } else {
        mainWindow->show();
    }
    return QApplication::exec();
}

FileLocations fileLocationsFor(const QString &programFile)
{
    const QFileInfo program(programFile);
    const QString besideProgram = GSETTINGS::settingsPathFor(programFile);
    if (QFileInfo::exists(program.dir().filePath(QStringLiteral("../CMakeCache.txt"))))
        return {besideProgram, QStringLiteral("DATA")};
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return {QDir(config).filePath(QFileInfo(besideProgram).fileName()),
            QDir(documents).filePath(QStringLiteral("Pullrec"))};
}

FileLocations fileLocations()
{
    return fileLocationsFor(QCoreApplication::applicationFilePath());
}

QString dataFolder()
{
    return QDir(fileLocations().dataDirectory).absolutePath();
}

QString archiveLocationIn(const QString &chosen, const QString &folder)
{
    static const QString scheme = QStringLiteral("sqlite:");
    if (chosen.isEmpty())
        return scheme + QDir(folder).absoluteFilePath(QStringLiteral("pullrec.db"));
    // An older version kept a relative file as typed: it goes where the default archive lives, not
    // wherever the program happens to be started.
    const QString path = chosen.mid(scheme.size());
    if (chosen.startsWith(scheme) && !path.isEmpty() && path != QStringLiteral(":memory:") &&
        QDir::isRelativePath(path))
        return scheme + QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    return chosen;
}

QString archiveLocation(const QString &chosen)
{
    const QString data = fileLocations().dataDirectory;
    return archiveLocationIn(chosen, QDir::isRelativePath(data) ? QDir::currentPath() : data);
}
