#pragma once

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
