#include "shell/Application.h"

#include "shell/Errors.h"

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = true;
    runGuarded(nullptr, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
