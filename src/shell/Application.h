#pragma once

#include <QApplication>

// The program's application object. An error that escapes an event handler (one not run through
// runGuarded) is caught here and shown in the standard error box instead of ending the program.
class TApplication : public QApplication
{
    Q_OBJECT

  public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
