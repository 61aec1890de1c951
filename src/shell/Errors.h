#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

// The error that abandons an operator's action: a bad number typed in a box, a settings write the
// system refused. It is thrown where the fault is found and shown in the standard error box by the
// one catching point of the handler that was running.
//
// Every window handler runs through runGuarded (or is connected with guarded()), so an error leaves the
// handler, the box appears over the window and the program goes on; this holds whichever QApplication
// class is running (a test's plain QApplication included). TApplication::notify (Application.h) is
// the last resort for anything thrown outside a guarded handler.
class EPullrecError : public std::exception
{
  public:
    explicit EPullrecError(const QString &message);
    const QString &message() const { return text; }
    const char *what() const noexcept override { return utf8.constData(); }

  private:
    QString text;
    QByteArray utf8;
};

// Abandons the running handler without a box: the operator cancelled, and knows it.
class EPullrecAbort : public std::exception
{
  public:
    const char *what() const noexcept override { return "Operation cancelled"; }
};

// Operator input as a number: decimal, or hexadecimal after "$", "0x" or "0X", with an optional sign
// and leading blanks. A text that does not convert, or a decimal out of range, throws
// "'<text>' is not a valid integer value". Hexadecimal takes up to 32 (64) bits and wraps.
int StrToInt(const QString &text);
qint64 StrToInt64(const QString &text);

// The same conversion without an error: def when text does not convert.
int StrToIntDef(const QString &text, int def);

// The standard error box: a critical message box over parent (or over the active window) titled with
// the application's display name. The only place that shows an EPullrecError.
void ShowException(QWidget *parent, const QString &message);

// Runs a handler; an EPullrecError (or other std::exception) it throws ends it and shows the standard
// error box over parent; an EPullrecAbort ends it quietly. Returns false when the handler was abandoned, e.g.
// to refuse a close.
bool runGuarded(QWidget *parent, const std::function<void()> &handler);

// A guarded slot for connect(): connect(button, &QPushButton::clicked, this, guarded(this, [this] {
// BitBtn1Click(); })). Signal arguments the handler needs are named as template arguments:
// guarded<QListWidgetItem *>(this, [this](QListWidgetItem *item) { ... }).
template <typename... Args, typename Handler> auto guarded(QWidget *parent, Handler handler)
{
    return [parent, handler](Args... args) { runGuarded(parent, [&] { handler(args...); }); };
}
