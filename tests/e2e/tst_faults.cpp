// Downloads over faulty links: lost and corrupted replies, a record the analyzer never delivers, a TCP
// connection that the analyzer keeps closing. Whatever completes holds every record exactly once.

#include "DownloadHarness.h"

#include <QElapsedTimer>

using namespace e2e;

class TestFaults : public QObject, public WindowFixture
{
    Q_OBJECT

    // Ethernet with a short reply time-out, so lost replies cost little.
    bool startTcp(const std::vector<std::string> &args)
    {
        Settings s;
        s.mode = 0;
        s.pollDelay = 0;
        s.timeout = 150;
        return openOnTcp(args, s) && form->BitBtn3->isEnabled();
    }

    // The final grid: rows 1..count are records 0..count-1 of area, each once, then one empty row.
    void verifyComplete(int area, int count)
    {
        QCOMPARE(form->gridModel->rowCount(), count + 2);
        for (int i = 0; i < count; ++i)
            QCOMPARE(gridRow(*form, i + 1, 31),
                     predictedRow(area, i, simArgs, form->worker->configuration().paramCodes).mid(0, 31));
        QVERIFY(gridRow(*form, count + 1, 31).join(QString()).isEmpty());
        QCOMPARE(statusText(*form, 1), QStringLiteral("Rec.Count: %1").arg(count));
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void droppedReplies()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 30}}), "--drop", "0.15", "--seed", "7"}));
        select(*form, {0});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form, 90000));
        verifyComplete(0, 30);
    }

    void corruptedFramesOnTheSerialLine()
    {
        simArgs = {"--records", recordsArg({{2, 20}}), "--corrupt", "0.15", "--seed", "3"};
        sim = std::make_unique<SimProcess>();
        QVERIFY2(sim->startPty(simArgs), sim->error().c_str());
        form = openWindow();
        QVERIFY(form);
        connectRtu(*form, sim->ptyPath());
        QVERIFY(form->chkSector[2]->isVisible()); // the master's retries get the connection through
        select(*form, {2});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form, 90000));
        verifyComplete(2, 20);
    }

    // A record that never comes keeps the download running, pass after pass, its error in panel 3, until
    // the operator pauses it; paused, another selection is a new download that completes.
    void missingRecord()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 4}, {1, 3}}), "--missing", "0:2"}));
        select(*form, {0});
        RecordWatch watch(*form);
        clickSwitch(*form);
        QTRY_VERIFY_WITH_TIMEOUT(watch.shown.size() >= 6, 30000); // two passes of three records
        QCOMPARE(statusText(*form, 3), QStringLiteral("Illegal Data Address exception response"));
        for (const RecordWatch::Shown &shown : watch.shown)
            QVERIFY(shown.position != QStringLiteral("00-0002"));
        QCOMPARE(watch.shown[3].row, 1); // the second pass starts again at row 1
        QCOMPARE(watch.shown[3].position, QStringLiteral("00-0000"));
        QVERIFY(form->iSwitchLed1->isActive());
        QVERIFY(!form->worker->completed());
        QVERIFY(!form->BitBtn1->isEnabled());
        QVERIFY(statusText(*form, 0) != QStringLiteral("Selected Log data read completed Succesfully..."));

        clickSwitch(*form);
        QVERIFY(!form->iSwitchLed1->isActive());
        QVERIFY(form->worker->suspended());
        QVERIFY(!form->worker->completed());
        QVERIFY(form->chkSector[0]->isEnabled() && form->BitBtn1->isEnabled());
        QCOMPARE(statusText(*form, 0), pausedText);

        select(*form, {1});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        verifyComplete(1, 3);
    }

    // Switched on without a link, the reason shows at once; paused, Connect to a working analyzer and
    // switching on again completes the download.
    void downloadWithoutALink()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 3}})}));
        ModalAnswer refused;
        connectTcp(*form, closedLoopbackPort());
        QVERIFY(refused.wait());
        QVERIFY(!form->worker->isConnected());
        select(*form, {0});
        QElapsedTimer sinceOn;
        sinceOn.start();
        clickSwitch(*form);
        QTRY_VERIFY_WITH_TIMEOUT(!statusText(*form, 0).isEmpty() &&
                                     statusText(*form, 0) != QStringLiteral("Successfully Read"),
                                 150 + 1000);
        QVERIFY2(sinceOn.elapsed() < 150 + 1000, qPrintable(QString::number(sinceOn.elapsed())));
        QVERIFY(form->gridModel->cell(1, 0).isEmpty());

        clickSwitch(*form);
        QVERIFY(form->BitBtn1->isEnabled() && form->chkSector[0]->isEnabled());
        connectTcp(*form, sim->tcpPort());
        QVERIFY(form->worker->isConnected());
        select(*form, {0});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        verifyComplete(0, 3);
    }

    // The analyzer closes the connection every few replies: the download goes on over a new one.
    void connectionClosedEveryFewReplies()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 25}}), "--close-every", "7"}));
        select(*form, {0});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form, 90000));
        verifyComplete(0, 25);
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
