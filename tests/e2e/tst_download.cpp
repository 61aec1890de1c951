// Log downloads through the main window against ktr58-sim: every row as the simulator predicts it, the
// status bar and lamps on the way, completion, pause and resume, the energy log.

#include "DownloadHarness.h"
#include "RawCountAnalyzer.h"

using namespace e2e;

namespace
{

const QString completed = QStringLiteral("Selected Log data read completed Succesfully...");

Settings fastEthernet()
{
    Settings s;
    s.mode = 0;
    s.pollDelay = 0;
    s.timeout = 1000;
    return s;
}

} // namespace

class TestDownload : public QObject, public WindowFixture
{
    Q_OBJECT

    bool startTcp(const std::vector<std::string> &args)
    {
        return openOnTcp(args, fastEthernet()) && form->BitBtn3->isEnabled();
    }

    bool startPty(std::vector<std::string> args)
    {
        simArgs = args;
        sim = std::make_unique<SimProcess>();
        if (!sim->startPty(args))
            return false;
        form = openWindow();
        if (!form)
            return false;
        connectRtu(*form, sim->ptyPath());
        return form->BitBtn3->isEnabled();
    }

    // Rows first..first+count-1 hold the records (area, index0...) as predicted, in the given columns.
    void verifyRows(int firstRow, int area, int firstIndex, int count, int columns)
    {
        for (int i = 0; i < count; ++i) {
            const QStringList expected =
                predictedRow(area, firstIndex + i, simArgs, form->worker->configuration().paramCodes)
                    .mid(0, columns);
            QCOMPARE(expected.size(), columns);
            QCOMPARE(gridRow(*form, firstRow + i, columns), expected);
        }
    }

    void verifyUnlocked()
    {
        QVERIFY(!form->iSwitchLed1->isActive());
        QCOMPARE(statusText(*form, 0), completed);
        for (QCheckBox *box : form->chkSector)
            QVERIFY(box->isEnabled());
        QVERIFY(form->chkEnergy->isEnabled());
        QVERIFY(form->BitBtn1->isEnabled() && form->BitBtn3->isEnabled());
        QVERIFY(form->RadioButton1->isEnabled() && form->RadioButton2->isEnabled());
        QVERIFY(form->list2->isEnabled());
        QVERIFY(form->S1->isEnabled());
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void oneSectorOverTcp()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 3}, {1, 9}})}));
        select(*form, {0});
        RecordWatch watch(*form);
        clickSwitch(*form);
        QVERIFY(form->iSwitchLed1->isActive());
        QVERIFY(!form->BitBtn1->isEnabled() && !form->chkSector[0]->isEnabled());
        QVERIFY(!form->RadioButton1->isEnabled());
        QVERIFY(waitCompleted(*form));

        QCOMPARE(watch.shown.size(), size_t(3));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(watch.shown[size_t(i)].row, i + 1);
            QCOMPARE(watch.shown[size_t(i)].counter, QStringLiteral("Rec.Count: %1").arg(i + 1));
            QCOMPARE(watch.shown[size_t(i)].position, QStringLiteral("00-000%1").arg(i));
            QCOMPARE(watch.shown[size_t(i)].error, QString());
        }
        QCOMPARE(form->gridModel->rowCount(), 5);
        QCOMPARE(headerRow(*form).mid(0, 4), (QStringList{"Record #", "Date", "Time", "VLN1 : V"}));
        verifyRows(1, 0, 0, 3, 31);
        QVERIFY(gridRow(*form, 4, 31).join(QString()).isEmpty());
        // Three records: RX, TX, RX.
        QVERIFY(form->iLedRectangle1->isActive() && !form->iLedRectangle2->isActive());
        verifyUnlocked();
        // What the view shows: the same grid, the header row hidden from the rows and put above them.
        QAbstractItemModel *shown = form->grid->model();
        QCOMPARE(shown->rowCount(), 5);
        QCOMPARE(shown->columnCount(), 31);
        QCOMPARE(shown->data(shown->index(2, 1)).toString(), form->gridModel->cell(2, 1));
        QCOMPARE(shown->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Record #"));
        QVERIFY(form->grid->isRowHidden(0));
        QCOMPARE(form->grid->currentIndex().row(), 3);
    }

    void threeSectorsOverPty()
    {
        QVERIFY(startPty({"--records", recordsArg({{0, 2}, {1, 3}, {2, 2}, {15, 4}})}));
        form->d1->trigger(); // all fifteen sectors; those without records add nothing
        QVERIFY(!form->chkEnergy->isChecked());
        RecordWatch watch(*form);
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));

        const QStringList positions{"00-0000", "00-0001", "01-0000", "01-0001",
                                    "01-0002", "02-0000", "02-0001"};
        QCOMPARE(int(watch.shown.size()), positions.size());
        for (int i = 0; i < positions.size(); ++i) {
            QCOMPARE(watch.shown[size_t(i)].position, positions[i]);
            QCOMPARE(watch.shown[size_t(i)].counter, QStringLiteral("Rec.Count: %1").arg(i + 1));
        }
        QCOMPARE(form->gridModel->rowCount(), 9);
        verifyRows(1, 0, 0, 2, 31);
        verifyRows(3, 1, 0, 3, 31);
        verifyRows(6, 2, 0, 2, 31);
        verifyUnlocked();
    }

    // Energy, then a sector, then energy again: each download under its own header row.
    void energyAndSectorsTakeTurns()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 2}, {15, 2}})}));
        const QStringList energyHeader{"Record #",    "Date",        "Time",      "kW/h.",   "kW/h.Ex.",
                                       "kVAr/h. (L)", "kVAr/h. (C)", "V1 HI",     "V2 HI",   "V3 HI",
                                       "I1 HI",       "I2 HI",       "I3 HI",     "TI HI.",  "TI LO.",
                                       "TI DEM.",     "TW DEM.",     "TVAr DEM.", "TVA DEM."};
        for (int round = 0; round < 2; ++round) {
            form->chkEnergy->setChecked(true);
            QVERIFY(!form->chkSector[0]->isChecked());
            clickSwitch(*form);
            QVERIFY(waitCompleted(*form));
            QCOMPARE(form->gridModel->columnCount(), 19);
            QCOMPARE(headerRow(*form), energyHeader);
            QCOMPARE(form->gridModel->rowCount(), 4);
            verifyRows(1, kEnergyArea, 0, 2, 19);
            verifyUnlocked();

            form->chkSector[0]->setChecked(true);
            QVERIFY(!form->chkEnergy->isChecked());
            clickSwitch(*form);
            QVERIFY(waitCompleted(*form));
            QCOMPARE(form->gridModel->columnCount(), 31);
            const QStringList header = headerRow(*form);
            QCOMPARE(header.mid(0, 5), (QStringList{"Record #", "Date", "Time", "VLN1 : V", "VLN2 : V"}));
            QVERIFY(header.mid(21).join(QString()).isEmpty());
            verifyRows(1, 0, 0, 2, 31);
        }
    }

    // Paused in the middle, the grid keeps its rows; resumed, nothing is lost or shown twice.
    void pauseAndResume()
    {
        QVERIFY(startTcp({"--records", recordsArg({{1, 40}}), "--delay", "15"}));
        select(*form, {1});
        RecordWatch watch(*form);
        clickSwitch(*form);
        QTRY_VERIFY_WITH_TIMEOUT(form->gridModel->rowCount() >= 12, 20000);
        clickSwitch(*form);
        QVERIFY(!form->iSwitchLed1->isActive());
        QVERIFY(form->worker->suspended());
        // At most the record in flight still arrives; then nothing moves.
        QTest::qWait(300);
        const int rowsAtPause = form->gridModel->rowCount();
        QCOMPARE(watch.shown.size(), size_t(rowsAtPause - 2));
        QTest::qWait(200);
        QCOMPARE(form->gridModel->rowCount(), rowsAtPause);
        QVERIFY(!form->worker->completed());
        // Paused, the way out is open (the selection, Connect, Apply); the mode stays.
        QVERIFY(form->chkSector[0]->isEnabled() && form->BitBtn1->isEnabled() && form->BitBtn3->isEnabled());
        QVERIFY(!form->RadioButton2->isEnabled());
        QCOMPARE(statusText(*form, 0), pausedText);
        QCOMPARE(statusText(*form, 1), QStringLiteral("Rec.Count: %1").arg(rowsAtPause - 2));
        QCOMPARE(form->grid->model()->rowCount(), rowsAtPause);
        QCOMPARE(form->grid->currentIndex().row(), rowsAtPause - 2);

        clickSwitch(*form);
        QVERIFY(!form->gridModel->cell(1, 0).isEmpty());
        QVERIFY(waitCompleted(*form));
        QCOMPARE(watch.shown.size(), size_t(40));
        for (int i = 0; i < 40; ++i)
            QCOMPARE(watch.shown[size_t(i)].row, i + 1);
        QCOMPARE(form->gridModel->rowCount(), 42);
        verifyRows(1, 1, 0, 40, 31);
        verifyUnlocked();
    }

    // "Unselect All" during a download leaves nothing selected; switching off must still pause it.
    void pauseAfterUnselectAll()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 200}}), "--delay", "15"}));
        select(*form, {0});
        clickSwitch(*form);
        QTRY_VERIFY_WITH_TIMEOUT(form->gridModel->rowCount() > 5, 20000);
        form->d2->trigger();
        QVERIFY(!form->chkSector[0]->isChecked());
        clickSwitch(*form);
        QVERIFY(!form->iSwitchLed1->isActive());
        QVERIFY(form->worker->suspended());
        QTest::qWait(300);
        const int rows = form->gridModel->rowCount();
        QTest::qWait(200);
        QCOMPARE(form->gridModel->rowCount(), rows);
        QCOMPARE(form->grid->model()->rowCount(), rows); // the view is live again
        // A pause like any other: the way out is open, and the same selection again resumes it.
        QCOMPARE(statusText(*form, 0), pausedText);
        QVERIFY(form->chkSector[1]->isEnabled() && form->BitBtn1->isEnabled() && form->BitBtn3->isEnabled());
        select(*form, {0});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        QCOMPARE(form->gridModel->rowCount(), 202);
        verifyUnlocked();
    }

    void newDownloadEmptiesTheGrid()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 3}})}));
        select(*form, {0});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        form->gridModel->setCell(2, 5, QStringLiteral("marker"));
        form->gridModel->setCell(0, 30, QStringLiteral("old header"));
        clickSwitch(*form);
        QVERIFY(form->gridModel->cell(2, 5) != QStringLiteral("marker"));
        QVERIFY(form->gridModel->cell(0, 30).isEmpty());
        QCOMPARE(form->gridModel->cell(0, 0), QStringLiteral("Record #"));
        QVERIFY(waitCompleted(*form));
        verifyRows(1, 0, 0, 3, 31);
    }

    // Pictures of a finished download for the documentation, when PULLREC_SCREENSHOT_DIR names a folder.
    // A count over 32767 arrives negative: the status bar names the area that is not read, when the
    // switch springs back and at the end of a download of other areas with it.
    void negativeCountIsSaid()
    {
        RawCountAnalyzer analyzer({3, 33536, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        form = openWindow(fastEthernet());
        QVERIFY(form);
        connectTcp(*form, analyzer.port());
        QVERIFY(form->BitBtn3->isEnabled());
        const QString note = QStringLiteral("Sector 2: the analyzer reports -32000 records; nothing read.");
        select(*form, {1});
        clickSwitch(*form);
        QVERIFY(!form->iSwitchLed1->isActive());
        QCOMPARE(statusText(*form, 0), note);
        select(*form, {0, 1});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        QCOMPARE(form->gridModel->rowCount(), 3 + 2);
        QCOMPARE(statusText(*form, 0), note);
        form.reset(); // before its analyzer goes
    }

    void finishedDownloadPicture_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("file");
        QTest::newRow("English") << 1 << "screenshot-download-en.png";
        QTest::newRow("Turkish") << 0 << "screenshot-download-tr.png";
    }

    void finishedDownloadPicture()
    {
        QFETCH(int, lang);
        QFETCH(QString, file);
        if (qEnvironmentVariableIsEmpty("PULLREC_SCREENSHOT_DIR"))
            QSKIP("PULLREC_SCREENSHOT_DIR is not set");
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->startTcp({"--records", recordsArg({{0, 120}, {1, 1000}, {2, 37}, {15, 40}})}));
        Settings s = fastEthernet();
        s.lang = lang;
        form = openWindow(s);
        QVERIFY(form);
        connectTcp(*form, sim->tcpPort());
        select(*form, {2});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        QVERIFY(saveScreenshot(*form, file));
    }

    // In every state of the window a language switch leaves each control as enabled as it was.
    void languageKeepsTheControlsOfEachState()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 200}}), "--delay", "15"}));
        const auto enabled = [this] {
            QList<bool> states;
            for (QWidget *w :
                 {static_cast<QWidget *>(form->BitBtn1), static_cast<QWidget *>(form->BitBtn3),
                  static_cast<QWidget *>(form->RadioButton1), static_cast<QWidget *>(form->RadioButton2),
                  static_cast<QWidget *>(form->chkEnergy), static_cast<QWidget *>(form->list2)})
                states << w->isEnabled();
            for (QCheckBox *box : form->chkSector)
                states << box->isEnabled();
            for (QAction *action : {form->d1, form->d2, form->S1, form->Export1, form->Chart1})
                states << action->isEnabled();
            return states;
        };
        const auto switchLanguageAndCompare = [&](TForm1::WindowState state) {
            QCOMPARE(form->windowState(), state);
            const QList<bool> before = enabled();
            form->ApplyLanguage(0);
            QCOMPARE(enabled(), before);
            form->ApplyLanguage(1);
            QCOMPARE(enabled(), before);
        };
        switchLanguageAndCompare(TForm1::WindowState::Connected);
        QVERIFY(form->d1->isEnabled() && !form->S1->isEnabled());

        select(*form, {0});
        clickSwitch(*form);
        QTRY_VERIFY_WITH_TIMEOUT(form->gridModel->rowCount() > 5, 20000);
        switchLanguageAndCompare(TForm1::WindowState::Downloading);
        QVERIFY(!form->BitBtn1->isEnabled() && form->S1->isEnabled() && form->Chart1->isEnabled());

        clickSwitch(*form);
        switchLanguageAndCompare(TForm1::WindowState::Paused);
        QVERIFY(form->BitBtn1->isEnabled() && !form->RadioButton1->isEnabled());

        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        switchLanguageAndCompare(TForm1::WindowState::Completed);
        verifyUnlocked();
    }

    // Nothing selected, or only empty logs: the switch springs back and nothing starts.
    void nothingToRead()
    {
        QVERIFY(startTcp({"--records", recordsArg({{0, 3}})}));
        select(*form, {});
        clickSwitch(*form);
        QVERIFY(!form->iSwitchLed1->isActive());
        select(*form, {1});
        clickSwitch(*form);
        QVERIFY(!form->iSwitchLed1->isActive());
        QVERIFY(form->chkSector[0]->isEnabled() && form->BitBtn1->isEnabled() &&
                form->RadioButton1->isEnabled());
        QTest::qWait(100);
        QCOMPARE(form->gridModel->rowCount(), 2);
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
