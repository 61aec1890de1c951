#pragma once

// Drives the main window the way an operator does, against ktr58-sim on 127.0.0.1 or a pseudo-terminal.
// Every test runs in a scratch working directory (the window creates "DATA" there) with the settings
// file beside the test executable, which each test writes and removes itself.

#include "../shell/ModalHelper.h"
#include "../shell/SettingsFile.h"
#include "LoopbackSocket.h"
#include "SimProcess.h"

#include "ui/GridModel.h"
#include "ui/TForm1.h"
#include "widgets/TLabeledEdit.h"
#include "widgets/TiLedRectangle.h"
#include "widgets/TiSwitchLed.h"
#include "worker/comThread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <memory>

namespace ui
{

// A fresh working directory for one test; the previous one comes back afterwards.
class ScratchDir
{
  public:
    ScratchDir() : previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~ScratchDir() { QDir::setCurrent(previous); }
    QString path() const { return dir.path(); }

  private:
    QTemporaryDir dir;
    QString previous;
};

struct Settings {
    int lang = 1;
    int mode = 1;
    QByteArray ip = "127.0.0.1";
    int com = 0;
    int modbusId = 1;
    int pollDelay = 0;
    int timeout = 1000;
    int tcpPort = 502;

    QByteArray bytes() const
    {
        auto n = [](int v) { return QByteArray::number(v); };
        return "[LANG]\n1=" + n(lang) + "\n[MODE]\n1=" + n(mode) + "\n[IP]\n1=" + ip +
               "\n[COM]\n1=" + n(com) + "\n[MODBUSID]\n1=" + n(modbusId) +
               "\n[POLLDELAY]\n1=" + n(pollDelay) + "\n[TIMEOUT]\n1=" + n(timeout) +
               "\n[PORT]\n1=" + n(tcpPort) + "\n";
    }
};

// The main window, shown, with the given settings file (none when bytes is null).
inline std::unique_ptr<TForm1> openWindow(const QByteArray &bytes)
{
    settingsfile::remove();
    if (!bytes.isNull())
        settingsfile::write(bytes);
    auto form = std::make_unique<TForm1>();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    return form;
}

inline std::unique_ptr<TForm1> openWindow(const Settings &settings = {})
{
    return openWindow(settings.bytes());
}

template <typename T> T *child(QWidget *form, const char *name)
{
    return form->findChild<T *>(QString::fromLatin1(name));
}

inline QString statusText(TForm1 &form, int panel)
{
    return child<QLabel>(&form, QStringLiteral("StatusBar1Panel%1").arg(panel).toLatin1())->text();
}

inline QStringList memoLines(TForm1 &form)
{
    const QString text = form.Memo1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// Ethernet mode, 127.0.0.1 and the port typed in, then Connect.
inline void connectTcp(TForm1 &form, int port, const QString &address = QStringLiteral("1"))
{
    form.RadioButton2->click();
    form.LabeledEdit1->setText(QStringLiteral("127.0.0.1"));
    form.LabeledEdit2->setText(QString::number(port));
    form.LabeledEdit3->setText(address);
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
}

// Serial mode, the pseudo-terminal's path typed into the port box, 9600 baud, then Connect.
inline void connectRtu(TForm1 &form, const std::string &path, const QString &address = QStringLiteral("1"))
{
    form.RadioButton1->click();
    form.Com_Combo->setEditText(QString::fromStdString(path));
    form.Baud_Combo->setCurrentText(QStringLiteral("9600"));
    form.Adres_edit->setText(address);
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
}

// The window under test and the simulator it talks to, for a test class that also derives from
// QObject and calls setUp() from init() and tearDown() from cleanup(). The window closes before the
// simulator stops, and both before the scratch directory goes.
struct WindowFixture {
    std::unique_ptr<ScratchDir> scratch;
    std::unique_ptr<SimProcess> sim;
    std::vector<std::string> simArgs;
    std::unique_ptr<TForm1> form;

    void setUp() { scratch = std::make_unique<ScratchDir>(); }
    void tearDown()
    {
        form.reset();
        sim.reset();
        scratch.reset();
        settingsfile::remove();
    }

    // The simulator started on 127.0.0.1 with args, then the window opened with settings and Connect
    // clicked in Ethernet mode; false when either did not start.
    bool openOnTcp(const std::vector<std::string> &args, const Settings &settings)
    {
        simArgs = args;
        sim = std::make_unique<SimProcess>();
        if (!sim->startTcp(args))
            return false;
        form = openWindow(settings);
        if (!form)
            return false;
        connectTcp(*form, sim->tcpPort());
        return true;
    }
};

// Answers a series of modal message boxes, one button per box in order, and notes their texts.
class BoxSeries : public QObject
{
  public:
    explicit BoxSeries(QList<QMessageBox::StandardButton> buttons) : buttons(std::move(buttons))
    {
        connect(&poll, &QTimer::timeout, this, &BoxSeries::look);
        poll.start(10);
    }
    bool wait(int ms = 10000)
    {
        return QTest::qWaitFor([this] { return seen.size() == buttons.size(); }, ms);
    }
    QStringList texts() const { return seen; }

  private:
    void look()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == last || seen.size() >= buttons.size())
            return;
        last = box;
        seen << box->text();
        ModalAnswer::answer(box, buttons[seen.size() - 1]);
    }

    QList<QMessageBox::StandardButton> buttons;
    QStringList seen;
    QPointer<QMessageBox> last;
    QTimer poll;
};

// A port on 127.0.0.1 that nothing listens on: bound for a moment to learn a free one, then closed.
inline int closedLoopbackPort()
{
    int port = 0;
    const int fd = listenLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// Saves a picture of the window as name in $PULLREC_SCREENSHOT_DIR; false when the variable is unset.
inline bool saveScreenshot(QWidget &window, const QString &name)
{
    const QString dir = qEnvironmentVariable("PULLREC_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return false;
    QDir().mkpath(dir);
    return window.grab().save(dir + QLatin1Char('/') + name);
}

inline QStringList headerRow(TForm1 &form)
{
    QStringList cells;
    for (int c = 0; c < form.gridModel->columnCount(); ++c)
        cells << form.gridModel->data(form.gridModel->index(0, c)).toString();
    return cells;
}

} // namespace ui
