#include "shell/Startup.h"

#include "shell/GSETTINGS.h"
#include "shell/TForm2.h"

#include <QApplication>
#include <QFileInfo>

int runApplication(const std::function<std::unique_ptr<QWidget>()> &makeMainWindow)
{
    QApplication::setApplicationDisplayName(QStringLiteral("KTR-58 serisi analizör Log Okuma Programı"));
    // Hidden windows must neither keep the program alive nor end it: the windows quit it themselves.
    QApplication::setQuitOnLastWindowClosed(false);

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
