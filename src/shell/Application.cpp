#include "shell/Application.h"

#include "shell/Errors.h"

#include <malloc.h>

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // One malloc arena: threads' own kept the keeper's and writers' freed batches, a third more peak memory.
    mallopt(M_ARENA_MAX, 1);
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = true;
    runGuarded(nullptr, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
