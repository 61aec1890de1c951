// The download switch against an analyzer held still (SIGSTOP) while a record is on the wire: what a
// pause, Connect or Apply made meanwhile does to that record.

#include "UiHarness.h"

#include <csignal>

using namespace ui;

namespace
{

const QString completedText = QStringLiteral("Selected Log data read completed Succesfully...");

} // namespace

class TestPause : public QObject, public WindowFixture
{
    Q_OBJECT

    // Connected to the simulator with these counts; the download of sector 1 switched on while the
    // simulator is stopped, then switched off with its first record request in flight.
    bool pauseWithRecordInFlight(const char *records)
    {
        Settings s;
        s.mode = 0;
        s.timeout = 20000; // no retry: the one request is still waiting when the simulator goes on
        if (!openOnTcp({"--records", records}, s) || form->windowState() != TForm1::WindowState::Connected)
            return false;
        form->chkSector[0]->setChecked(true);
        if (::kill(sim->pid(), SIGSTOP) != 0)
            return false;
        stopped = true;
        QTest::mouseClick(form->iSwitchLed1, Qt::LeftButton);
        if (!QTest::qWaitFor([this] { return form->worker->requestInFlight(); }, 10000))
            return false;
        QTest::mouseClick(form->iSwitchLed1, Qt::LeftButton);
        return form->windowState() == TForm1::WindowState::Paused;
    }

    bool completed()
    {
        return QTest::qWaitFor([this] { return form->windowState() == TForm1::WindowState::Completed; },
                               10000);
    }

    void resumeSim()
    {
        if (stopped)
            ::kill(sim->pid(), SIGCONT);
        stopped = false;
    }

    bool stopped = false;

  private slots:
    void init() { setUp(); }
    void cleanup()
    {
        resumeSim();
        tearDown();
    }

    // The last record arrives after the switch went off: the download has completed all the same.
    void lastRecordAfterPauseCompletes()
    {
        QVERIFY(pauseWithRecordInFlight("1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"));
        resumeSim();
        QVERIFY(completed());
        QCOMPARE(statusText(*form, 0), completedText);
        QVERIFY(form->worker->completed());
        QCOMPARE(form->gridModel->cell(1, 0), QStringLiteral("1"));

        // Switched on again: a new download of the same selection, as after any completed one.
        QTest::mouseClick(form->iSwitchLed1, Qt::LeftButton);
        QVERIFY(completed());
        QCOMPARE(statusText(*form, 0), completedText);
        QCOMPARE(form->gridModel->rowCount(), 1 + 2);
    }

    // Connect or Apply ends the paused download; the record in flight arrives inside their step and
    // must leave the emptied grid and the status alone.
    void endPausedDownload_data()
    {
        QTest::addColumn<bool>("apply");
        QTest::newRow("connect") << false;
        QTest::newRow("apply") << true;
    }
    void endPausedDownload()
    {
        QFETCH(bool, apply);
        QVERIFY(pauseWithRecordInFlight("2,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"));
        const auto config = form->worker->configuration();
        QTimer::singleShot(200, this, [this] { resumeSim(); });
        if (apply) {
            BoxSeries boxes({QMessageBox::Ok, QMessageBox::Ok});
            QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
            QVERIFY(boxes.wait(20000));
            QCOMPARE(form->worker->configuration().paramCodes, config.paramCodes);
        } else {
            QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
            QCOMPARE(statusText(*form, 0), QStringLiteral("Successfully Read"));
        }
        QVERIFY(!form->worker->requestInFlight());
        QVERIFY(form->windowState() != TForm1::WindowState::Paused);
        QCoreApplication::processEvents();
        QVERIFY(statusText(*form, 0) != completedText);
        QCOMPARE(form->gridModel->cell(1, 0), QString());
        QCOMPARE(form->gridModel->cell(1, 1), QString());

        // The next download starts afresh and completes once.
        QTest::mouseClick(form->iSwitchLed1, Qt::LeftButton);
        QVERIFY(completed());
        QCOMPARE(form->gridModel->rowCount(), 2 + 2);
        QCOMPARE(form->gridModel->cell(1, 0), QStringLiteral("1"));
        QCOMPARE(form->gridModel->cell(2, 0), QStringLiteral("2"));
    }
};

QTEST_MAIN(TestPause)
#include "tst_pause.moc"
