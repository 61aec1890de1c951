// Transactions against analyzers that do not answer: the window keeps painting, holds input off,
// shows the step with Cancel, and a cancel ends the attempt quickly and quietly.

#include "UiHarness.h"

#include <QElapsedTimer>
#include <QProgressDialog>

#include <csignal>

using namespace ui;

namespace
{

// The longest pause between ticks of a 20 ms timer while it runs: the event loop's responsiveness.
class Ticker : public QObject
{
  public:
    Ticker()
    {
        connect(&timer, &QTimer::timeout, this, [this] { longest = std::max(longest, since.restart()); });
        since.start();
        timer.start(20);
    }
    qint64 longest = 0;

  private:
    QTimer timer;
    QElapsedTimer since;
};

QProgressDialog *progressBox(TForm1 &form)
{
    return form.findChild<QProgressDialog *>(QStringLiteral("ProgressBox"));
}

} // namespace

class TestBusy : public QObject, public WindowFixture
{
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // Connect to a listener that accepts and never answers, or to an analyzer at another address.
    void cancelConnect_data()
    {
        QTest::addColumn<bool>("silentListener");
        QTest::newRow("silent listener") << true;
        QTest::newRow("wrong unit") << false;
    }
    void cancelConnect()
    {
        QFETCH(bool, silentListener);
        int port = 0;
        int listener = -1;
        if (silentListener) {
            listener = listenLoopback(port);
            QVERIFY(listener >= 0);
        } else {
            sim = std::make_unique<SimProcess>();
            QVERIFY2(sim->startTcp({"--wrong-unit", "1"}), sim->error().c_str());
            port = sim->tcpPort();
        }
        Settings s;
        s.mode = 0;
        form = openWindow(s);
        QVERIFY(form);

        QElapsedTimer sinceCancel;
        bool modeKept = false;
        QStringList boxes;
        QTimer watch; // cancels once the box shows; notes any message box, which a cancel must not bring
        connect(&watch, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->close();
            }
            QProgressDialog *progress = progressBox(*form);
            if (!sinceCancel.isValid() && progress && progress->isVisible()) {
                QCOMPARE(progress->labelText(), QStringLiteral("Reading device information..."));
                // Input is held off while the transaction runs.
                QTest::mouseClick(form->RadioButton1, Qt::LeftButton);
                modeKept = form->RadioButton2->isChecked();
                sinceCancel.start();
                QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
            }
        });
        watch.start(20);
        Ticker ticker;
        connectTcp(*form, port);
        const qint64 cancelToEnd = sinceCancel.elapsed();
        watch.stop();
        if (listener >= 0)
            ::close(listener);

        QVERIFY(sinceCancel.isValid());
        QVERIFY2(ticker.longest < 250, qPrintable(QString::number(ticker.longest)));
        QVERIFY2(cancelToEnd < 1000 + 500, qPrintable(QString::number(cancelToEnd)));
        QVERIFY(modeKept);
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('|')));
        QVERIFY(!progressBox(*form) || !progressBox(*form)->isVisible());
        // As after a failed Connect: no link, nothing unlocked, and Connect works again.
        QVERIFY(!form->worker->isConnected());
        QVERIFY(form->chkSector[0]->isHidden() && !form->BitBtn3->isEnabled());
        QCOMPARE(statusText(*form, 0), QStringLiteral("Operation cancelled"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // Apply to an analyzer that stopped answering: responsive, the Part's error, nothing changed.
    void applyToSilentAnalyzer()
    {
        Settings s;
        s.mode = 0;
        s.timeout = 300;
        QVERIFY(openOnTcp({}, s));
        QVERIFY(form->BitBtn3->isEnabled());
        const auto before = form->worker->configuration();
        const QStringList headers = headerRow(*form);
        for (int i = 0; i < form->list1->count(); ++i)
            form->list1->item(i)->setCheckState(i < 3 ? Qt::Checked : Qt::Unchecked);
        QCOMPARE(::kill(sim->pid(), SIGSTOP), 0);

        BoxSeries boxes({QMessageBox::Ok, QMessageBox::Ok});
        Ticker ticker;
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(boxes.wait(20000));
        ::kill(sim->pid(), SIGCONT);
        QVERIFY2(ticker.longest < 250, qPrintable(QString::number(ticker.longest)));
        QCOMPARE(boxes.texts().value(1), QStringLiteral("Error occured while Write"));
        QCOMPARE(statusText(*form, 0), QStringLiteral("Error occured while Write"));
        QCOMPARE(form->worker->configuration().paramCodes, before.paramCodes);
        QCOMPARE(headerRow(*form), headers);
    }
};

QTEST_MAIN(TestBusy)
#include "tst_busy.moc"
