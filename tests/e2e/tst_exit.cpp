// The program ends in the middle of a download: the settings are saved, the worker stops at once and
// nothing is left waiting for the window that has gone.

#include "DownloadHarness.h"

#include <QElapsedTimer>

#include <csignal>

using namespace e2e;

class TestExit : public QObject
{
    Q_OBJECT

    // Starts a slow download of 200 records and waits for the first few.
    std::unique_ptr<TForm1> downloading(SimProcess &sim, int timeout = 1000)
    {
        if (!sim.startTcp({"--records", recordsArg({{0, 200}}), "--delay", "10"}))
            return nullptr;
        Settings s;
        s.mode = 0;
        s.pollDelay = 0;
        s.timeout = timeout;
        auto form = openWindow(s);
        if (!form)
            return nullptr;
        connectTcp(*form, sim.tcpPort());
        select(*form, {0});
        clickSwitch(*form);
        if (!QTest::qWaitFor([&form] { return form->gridModel->rowCount() > 5; }, 20000))
            return nullptr;
        return form;
    }

    void closeAndDestroy(std::unique_ptr<TForm1> form)
    {
        ModalAnswer question(QMessageBox::Yes);
        QVERIFY(form->close());
        QCOMPARE(question.text(), QStringLiteral("Records not saved. Close anyway?"));
        QVERIFY(settingsfile::read().contains("[IPLIST]\n0=127.0.0.1\n"));
        QElapsedTimer timer;
        timer.start();
        form.reset();
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        // Record jobs still queued for the window must not run against it.
        QTest::qWait(50);
    }

  private slots:
    void cleanup() { settingsfile::remove(); }

    void exitWhileDownloading()
    {
        ScratchDir scratch;
        SimProcess sim;
        auto form = downloading(sim);
        QVERIFY(form);
        QVERIFY(form->iSwitchLed1->isActive());
        closeAndDestroy(std::move(form));
    }

    // A request in flight with a 20 000 ms time-out and 5 retries does not hold up the exit.
    void exitDuringALongExchange()
    {
        ScratchDir scratch;
        SimProcess sim;
        auto form = downloading(sim, 20000);
        QVERIFY(form);
        QCOMPARE(::kill(sim.pid(), SIGSTOP), 0); // takes requests, answers none
        QTest::qWait(300);                       // the next record request is on the wire
        closeAndDestroy(std::move(form));
        ::kill(sim.pid(), SIGCONT);
    }

    void exitWhilePaused()
    {
        ScratchDir scratch;
        SimProcess sim;
        auto form = downloading(sim);
        QVERIFY(form);
        clickSwitch(*form);
        QVERIFY(form->worker->suspended());
        closeAndDestroy(std::move(form));
    }
};

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
