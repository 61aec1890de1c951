#include "shell/Startup.h"

#include "shell/GSETTINGS.h"
#include "shell/TForm2.h"

#include <QApplication>
#include <QFileInfo>

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
