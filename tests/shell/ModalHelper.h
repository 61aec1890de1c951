#pragma once

// Answers the modal box that a test provokes. Arm a ModalAnswer before the action that opens the box
// (a click whose handler runs the box's own event loop); a timer finds QApplication::activeModalWidget()
// within the bound, notes its texts and answers it.
//
//     ModalAnswer answer;                        // presses OK
//     QTest::mouseClick(button, Qt::LeftButton);
//     QVERIFY(answer.wait());
//     QCOMPARE(answer.text(), "...");
//
// A message box gets the button given (closed when it has no such button); another modal dialog is
// rejected, or handed to a handler of the test's own.

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

class ModalAnswer : public QObject
{
  public:
    using Handler = std::function<void(QWidget *modal)>;

    explicit ModalAnswer(QMessageBox::StandardButton button = QMessageBox::Ok, int boundMs = 5000)
        : ModalAnswer([button](QWidget *modal) { answer(modal, button); }, boundMs)
    {
    }

    explicit ModalAnswer(Handler handler, int boundMs = 5000) : respond(std::move(handler)), deadline(boundMs)
    {
        connect(&poll, &QTimer::timeout, this, &ModalAnswer::look);
        poll.start(10);
    }

    // Waits, within the bound, until a box has been answered.
    bool wait()
    {
        return QTest::qWaitFor([this] { return found; }, int(deadline.remainingTime()) + 1);
    }

    bool seen() const { return found; }
    QString text() const { return boxText; }
    QString title() const { return boxTitle; }
    QMessageBox::Icon icon() const { return boxIcon; }
    // The window the box belonged to.
    QWidget *owner() const { return boxOwner; }

    static void answer(QWidget *modal, QMessageBox::StandardButton button)
    {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (QAbstractButton *b = box->button(button))
                b->click();
            else
                box->close();
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }

  private:
    void look()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            if (deadline.hasExpired())
                poll.stop();
            return;
        }
        poll.stop();
        boxTitle = modal->windowTitle();
        boxOwner = modal->parentWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxText = box->text();
            boxIcon = box->icon();
        }
        found = true;
        respond(modal);
    }

    Handler respond;
    QDeadlineTimer deadline;
    QTimer poll;
    bool found = false;
    QString boxText;
    QString boxTitle;
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    QPointer<QWidget> boxOwner;
};
