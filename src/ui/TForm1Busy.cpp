#include "ui/GridActions.h"
#include "ui/TForm1.h"

#include "modbus/MbusMasterFunctions.h"
#include "shell/Errors.h"
#include "shell/Startup.h"
#include "worker/comThread.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QWindow>

#include <thread>

namespace
{

// Holds off the operator's input to every window but the progress box while a transaction runs,
// as a modal box would, so no second transaction can start and no setting changes under it.
class InputHold : public QObject
{
  public:
    explicit InputHold(QWidget *allowed) : allowed(allowed) { qApp->installEventFilter(this); }
    ~InputHold() override { qApp->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::Close:
            break;
        default:
            return false;
        }
        if (auto *window = qobject_cast<QWindow *>(watched))
            return window != allowed->windowHandle();
        auto *widget = qobject_cast<QWidget *>(watched);
        return !widget || (widget != allowed && !allowed->isAncestorOf(widget));
    }

  private:
    QWidget *allowed;
};

} // namespace

bool TForm1::transact(Captions::Id step, const std::function<bool()> &transaction,
                      const std::function<void()> &giveUp)
{
    QProgressDialog box(texts.captions[step], texts.captions[Captions::Cancel], 0, 0, this);
    box.setObjectName(QStringLiteral("ProgressBox"));
    box.setWindowTitle(applicationTitle());
    box.setMinimumDuration(kBusyDelayMs);
    box.setAutoClose(false);
    box.setAutoReset(false);
    const InputHold hold(&box);

    bool cancelled = false;
    connect(&box, &QProgressDialog::canceled, &box, [this, &cancelled, &giveUp] {
        cancelled = true;
        if (giveUp)
            giveUp();
        else
            worker->cancel();
    });
    bool busyCursor = false;
    QTimer busy;
    busy.setSingleShot(true);
    connect(&busy, &QTimer::timeout, &box, [&box, &busyCursor] {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        busyCursor = true;
        box.show();
    });
    busy.start(kBusyDelayMs);

    QEventLoop loop;
    bool result = false;
    std::thread thread([&] {
        result = transaction();
        // By name: a queued functor would be built here and read on the UI thread behind Qt's locks.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    thread.join();
    if (busyCursor)
        QApplication::restoreOverrideCursor();
    if (cancelled) {
        // A cancel that came too late to cut the transaction still leaves the link closed.
        if (result && !giveUp)
            worker->closeLink(worker->settings().mode);
        leaveClosedLink(); // a giveUp may have cut a request short too
        setStatus(StatusPanel::Message, QString::fromLatin1(errorText(Cancelled)));
        throw EPullrecAbort();
    }
    return result;
}
