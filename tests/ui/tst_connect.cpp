// Connect in both modes against ktr58-sim: input checks, refused links, the device information, the
// configuration and sector panels it fills, switching modes, and the timings dialog.

#include "UiHarness.h"

#include "shell/TForm3.h"

#include <QGroupBox>
#include <QListWidget>
#include <QProgressDialog>
#include <QRegularExpression>

#include <csignal>

using namespace ui;

namespace
{

Settings ethernet()
{
    Settings s;
    s.mode = 0;
    return s;
}

QStringList checkedItems(QListWidget *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            items << list->item(i)->text();
    return items;
}

} // namespace

class TestConnect : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup() { settingsfile::remove(); }

    // Connected, then the link closes under the window: a change of mode, a failed Connect to another
    // analyzer, a cancelled Connect step. Nothing is left to download from, so the window is not
    // connected any more (before, a download started there retried its first record forever).
    void closedLinkLeavesNotConnected_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("mode change") << "mode";
        QTest::newRow("failed connect elsewhere") << "port";
        QTest::newRow("cancelled connect step") << "cancel";
    }
    void closedLinkLeavesNotConnected()
    {
        QFETCH(QString, how);
        ScratchDir scratch;
        SimProcess sim;
        QVERIFY2(sim.startTcp({}), sim.error().c_str());
        auto form = openWindow(ethernet());
        QVERIFY(form);
        connectTcp(*form, sim.tcpPort());
        QCOMPARE(form->windowState(), TForm1::WindowState::Connected);
        if (how == "mode") {
            form->RadioButton1->click();
        } else if (how == "port") {
            ModalAnswer failed;
            connectTcp(*form, closedLoopbackPort());
            QVERIFY(failed.wait());
        } else {
            QCOMPARE(::kill(sim.pid(), SIGSTOP), 0);
            QTimer watch;
            connect(&watch, &QTimer::timeout, [&] {
                auto *progress = form->findChild<QProgressDialog *>(QStringLiteral("ProgressBox"));
                if (progress && progress->isVisible()) {
                    watch.stop();
                    QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
                }
            });
            watch.start(20);
            QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
            ::kill(sim.pid(), SIGCONT);
        }
        QVERIFY(!form->worker->isConnected());
        QCOMPARE(form->windowState(), TForm1::WindowState::NotConnected);
        QVERIFY(form->chkSector[0]->isHidden() && !form->BitBtn3->isEnabled());
    }

    void emptyInputIsRefused()
    {
        ScratchDir scratch;
        auto form = openWindow();
        QVERIFY(form);
        form->gridModel->setCell(1, 4, QStringLiteral("old"));
        form->Com_Combo->setEditText(QString());
        ModalAnswer serialBox;
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(serialBox.wait());
        QCOMPARE(serialBox.text(),
                 QStringLiteral("Not Enough Input... Please check communication parameters"));
        QVERIFY(form->gridModel->cell(1, 4).isEmpty());

        form->Com_Combo->setEditText(QStringLiteral("/dev/pts/0"));
        form->Adres_edit->setText(QString());
        ModalAnswer addressBox;
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(addressBox.wait());
        QCOMPARE(addressBox.text(),
                 QStringLiteral("Not Enough Input... Please check communication parameters"));

        form->RadioButton2->click();
        form->LabeledEdit1->setText(QStringLiteral("127.0.0.1"));
        form->LabeledEdit3->setText(QString());
        ModalAnswer ethernetBox;
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(ethernetBox.wait());
        QCOMPARE(ethernetBox.text(),
                 QStringLiteral("Not Enough Input... Please check communication parameters"));
        QVERIFY(!form->worker->isConnected());
    }

    // Started in Ethernet mode and switched to serial: no port is chosen for the operator (the first
    // entry may be the console), so Connect asks for input and opens nothing.
    void noPortChosenForTheOperator()
    {
        ScratchDir scratch;
        auto form = openWindow(ethernet());
        QVERIFY(form);
        form->RadioButton1->click();
        QCOMPARE(form->Com_Combo->currentIndex(), -1);
        QVERIFY(form->Com_Combo->currentText().isEmpty()); // checked before any Connect could open it
        form->Baud_Combo->setCurrentText(QStringLiteral("9600"));
        ModalAnswer box;
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(box.wait());
        QCOMPARE(box.text(), QStringLiteral("Not Enough Input... Please check communication parameters"));
        QVERIFY(form->worker->settings().comPort.empty());
        QVERIFY(!form->worker->isConnected());
    }

    // Connect with another port or serial device talks to that analyzer; unchanged settings reuse the link.
    void changedSettingsOpenANewLink()
    {
        ScratchDir scratch;
        const auto records = [](int first) {
            return std::vector<std::string>{"--records",
                                            std::to_string(first) + ",0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"};
        };
        SimProcess first, second, serial;
        QVERIFY2(first.startTcp(records(3)), first.error().c_str());
        QVERIFY2(second.startTcp(records(7)), second.error().c_str());
        QVERIFY2(serial.startPty(records(11)), serial.error().c_str());
        auto form = openWindow(ethernet());
        QVERIFY(form);
        connectTcp(*form, first.tcpPort());
        QCOMPARE(form->worker->recordCount(0), int16_t(3));
        connectTcp(*form, second.tcpPort());
        QCOMPARE(form->worker->recordCount(0), int16_t(7));
        QVERIFY(form->chkSector[0]->text().endsWith(QStringLiteral("->7")));
        connectTcp(*form, second.tcpPort());
        QCOMPARE(form->worker->recordCount(0), int16_t(7));

        connectRtu(*form, serial.ptyPath());
        QCOMPARE(form->worker->recordCount(0), int16_t(11));
        SimProcess otherSerial;
        QVERIFY2(otherSerial.startPty(records(5)), otherSerial.error().c_str());
        connectRtu(*form, otherSerial.ptyPath());
        QCOMPARE(form->worker->recordCount(0), int16_t(5));
    }

    void badNumbersOpenNothing()
    {
        ScratchDir scratch;
        SimProcess sim;
        QVERIFY2(sim.startPty(), sim.error().c_str());
        auto form = openWindow();
        QVERIFY(form);
        form->Com_Combo->setEditText(QString::fromStdString(sim.ptyPath()));
        ModalAnswer baudBox;
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(baudBox.wait());
        QCOMPARE(baudBox.text(), QStringLiteral("'' is not a valid integer value"));
        QVERIFY(!form->worker->isConnected());

        form->RadioButton2->click();
        form->LabeledEdit1->setText(QStringLiteral("127.0.0.1"));
        form->LabeledEdit2->setText(QStringLiteral("50x"));
        ModalAnswer portBox;
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(portBox.wait());
        QCOMPARE(portBox.text(), QStringLiteral("'50x' is not a valid integer value"));
        QVERIFY(!form->worker->isConnected());
        QVERIFY(memoLines(*form).isEmpty());
    }

    // Two refused attempts leave two "!!!" lines; a good identity read then leaves its four lines only,
    // and a download after it no stale error.
    void refusedThenConnected()
    {
        ScratchDir scratch;
        auto form = openWindow(ethernet());
        QVERIFY(form);
        const int closedPort = closedLoopbackPort();
        for (int attempt = 1; attempt <= 2; ++attempt) {
            ModalAnswer box;
            connectTcp(*form, closedPort);
            QVERIFY(box.wait());
            QCOMPARE(box.text(), QStringLiteral("CONNECTION FAILED. Please check Connection(s)!"));
            QCOMPARE(memoLines(*form), QStringList(attempt, QStringLiteral("!!!")));
            QCOMPARE(statusText(*form, 0), QStringLiteral("TCP/IP connection error"));
            QCOMPARE(statusText(*form, 3), QString());
        }
        QVERIFY(!form->worker->isConnected());
        QVERIFY(form->chkSector[0]->isHidden());

        SimProcess sim;
        QVERIFY2(sim.startTcp(), sim.error().c_str());
        connectTcp(*form, sim.tcpPort());
        const QStringList lines = memoLines(*form);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral(" KTR Elektronik"));
        QVERIFY2(QRegularExpression(QStringLiteral("^ \\d{8}$")).match(lines[1]).hasMatch(),
                 qPrintable(lines[1]));
        QCOMPARE(lines[2], QStringLiteral(" KTR-58-168"));
        QCOMPARE(lines[3], QStringLiteral(" V3.07"));

        // The refused opens were no record's: a clean download leaves the Error panel empty.
        form->chkSector[0]->setChecked(true);
        QTest::mouseClick(form->iSwitchLed1, Qt::LeftButton);
        QVERIFY(
            QTest::qWaitFor([&] { return form->windowState() == TForm1::WindowState::Completed; }, 10000));
        QCOMPARE(statusText(*form, 3), QString());
    }

    void tcpConnectFillsTheWindow()
    {
        ScratchDir scratch;
        SimProcess sim;
        QVERIFY2(sim.startTcp({"--records", "120,1000,37,0,0,0,0,0,0,0,0,0,0,0,5,40"}), sim.error().c_str());
        auto form = openWindow(ethernet());
        QVERIFY(form);
        connectTcp(*form, sim.tcpPort());
        QVERIFY(form->worker->isConnected());
        QCOMPARE(form->worker->settings().tcpPort, sim.tcpPort());
        QCOMPARE(form->modelCode, qint16(168));
        QCOMPARE(statusText(*form, 0), QStringLiteral("Successfully Read"));

        // The analyzer's configuration: period, event flag, 79 items, the 18 logged ones ticked.
        QCOMPARE(form->LabeledEdit4->text(), QStringLiteral("900"));
        QVERIFY(form->CheckBox1->isChecked());
        QCOMPARE(form->list1->count(), 79);
        QCOMPARE(form->list1->item(0)->text(), QStringLiteral("VLN1 : V"));
        QCOMPARE(form->list1->item(78)->text(), QStringLiteral("In : A"));
        QCOMPARE(form->checkedCount, 18);
        const QStringList checked = checkedItems(form->list1);
        QCOMPARE(checked.size(), 18);
        QCOMPARE(checked.first(), QStringLiteral("VLN1 : V"));
        QCOMPARE(checked.mid(16), (QStringList{"kWh.Imp. : kWh", "-- : -"}));
        const QStringList header = headerRow(*form);
        QCOMPARE(header.mid(0, 4), (QStringList{"Record #", "Date", "Time", "VLN1 : V"}));
        QCOMPARE(header.mid(3, 18), checked);
        QVERIFY(header.mid(21).join(QString()).isEmpty());
        QCOMPARE(form->gridModel->columnCount(), 31);

        // The sector panel with its record counts, unlocked.
        QCOMPARE(form->chkSector[0]->text(), QStringLiteral("Sector:1  ->120"));
        QCOMPARE(form->chkSector[2]->text(), QStringLiteral("Sector:3  ->37"));
        QCOMPARE(form->chkSector[14]->text(), QStringLiteral("Sector:15  ->5"));
        QCOMPARE(form->chkEnergy->text(), QStringLiteral("Energy :16  ->40"));
        QCOMPARE(form->list2->count(), 16);
        QCOMPARE(form->list2->item(2)->text(), QStringLiteral("Sector :3  ->37"));
        QCOMPARE(form->list2->item(9)->text(), QStringLiteral("Sector:10  ->0"));
        QCOMPARE(form->list2->item(15)->text(), QStringLiteral("Energy :16  ->40"));
        for (QCheckBox *box : form->chkSector)
            QVERIFY(box->isVisible());
        QVERIFY(form->chkEnergy->isVisible());
        QVERIFY(form->d1->isEnabled() && form->d2->isEnabled());
        QVERIFY(form->BitBtn3->isEnabled());
        QVERIFY(form->list2->isHidden());

        if (saveScreenshot(*form, QStringLiteral("screenshot-connected.png")))
            qInfo("screenshot saved");

        // The host is remembered once and saved with the settings.
        QCOMPARE(form->ipList[0], QStringLiteral("127.0.0.1"));
        connectTcp(*form, sim.tcpPort());
        QVERIFY(form->ipList[1].isEmpty());
        QVERIFY(form->close());
        QVERIFY(settingsfile::read().contains("[IPLIST]\n0=127.0.0.1\n1=\n"));
    }

    void rtuConnectModel167()
    {
        ScratchDir scratch;
        SimProcess sim;
        QVERIFY2(sim.startPty({"--model", "KTR-58-167", "--id-length", "134"}), sim.error().c_str());
        auto form = openWindow();
        QVERIFY(form);
        connectRtu(*form, sim.ptyPath());
        QVERIFY(form->worker->isConnected());
        QCOMPARE(form->worker->settings().comPort, sim.ptyPath());
        QCOMPARE(form->worker->settings().baudRate, 9600);
        QCOMPARE(form->modelCode, qint16(167));
        QCOMPARE(memoLines(*form).value(2), QStringLiteral(" KTR-58-167"));
        QCOMPARE(memoLines(*form).value(3), QStringLiteral(" V3.12"));
        QCOMPARE(form->list1->count(), 39);
        QCOMPARE(form->list1->item(38)->text(), QStringLiteral("THDI3P : %"));
        QCOMPARE(form->checkedCount, 18);
        QCOMPARE(statusText(*form, 0), QStringLiteral("Successfully Read"));
        QCOMPARE(form->chkSector[1]->text(), QStringLiteral("Sector:2  ->1000"));
        // A serial connection records no host.
        QVERIFY(form->ipList[0].isEmpty());
    }

    // Selecting the other mode closes the open link; Connect then opens the new one.
    void switchingModeClosesTheLink()
    {
        ScratchDir scratch;
        SimProcess tcp;
        QVERIFY2(tcp.startTcp(), tcp.error().c_str());
        SimProcess rtu;
        QVERIFY2(rtu.startPty(), rtu.error().c_str());
        auto form = openWindow();
        QVERIFY(form);

        connectRtu(*form, rtu.ptyPath());
        QVERIFY(form->worker->isConnected() && form->worker->settings().mode == LinkMode::Rtu);
        form->RadioButton2->click();
        QVERIFY(!form->worker->isConnected());
        QCOMPARE(form->commMode, qint16(0));

        connectTcp(*form, tcp.tcpPort());
        QVERIFY(form->worker->isConnected() && form->worker->settings().mode == LinkMode::Tcp);
        form->RadioButton1->click();
        QVERIFY(!form->worker->isConnected());
        QCOMPARE(form->commMode, qint16(1));
    }

    // Closing in serial mode keeps the Ethernet values loaded at start, not those of a connection.
    void serialCloseKeepsLoadedEthernetValues()
    {
        ScratchDir scratch;
        SimProcess sim;
        QVERIFY2(sim.startTcp(), sim.error().c_str());
        Settings s;
        s.ip = "127.0.0.3";
        s.pollDelay = 20;
        s.timeout = 700;
        auto form = openWindow(s);
        QVERIFY(form);
        connectTcp(*form, sim.tcpPort());
        QVERIFY(form->worker->isConnected());
        form->RadioButton1->click();
        QVERIFY(form->close());
        const QByteArray saved = settingsfile::read();
        QVERIFY(saved.contains("[MODE]\n1=1\n[IP]\n1=127.0.0.3\n"));
        QVERIFY(saved.contains("[POLLDELAY]\n1=20\n[TIMEOUT]\n1=700\n"));
    }

    void timingsDialog()
    {
        ScratchDir scratch;
        Settings s = ethernet();
        s.pollDelay = 100;
        s.timeout = 1000;
        auto form = openWindow(s);
        QVERIFY(form);
        form->N1->trigger();
        QTRY_VERIFY(form->Form3->isVisible());
        QVERIFY(form->isEnabled()); // not modal
        QCOMPARE(form->Form3->LabeledEdit1->text(), QStringLiteral("1000"));
        QCOMPARE(form->Form3->LabeledEdit2->text(), QStringLiteral("100"));

        form->Form3->LabeledEdit2->setText(QStringLiteral("abc"));
        ModalAnswer box;
        QTest::mouseClick(form->Form3->BitBtn1, Qt::LeftButton);
        QVERIFY(box.wait());
        QCOMPARE(box.text(), QStringLiteral("'abc' is not a valid integer value"));
        QVERIFY(form->Form3->isVisible());
        QCOMPARE(form->worker->settings().pollDelay, 100);

        form->Form3->LabeledEdit1->setText(QStringLiteral("4294967297"));
        form->Form3->LabeledEdit2->setText(QStringLiteral("50"));
        QTest::mouseClick(form->Form3->BitBtn1, Qt::LeftButton);
        QVERIFY(!form->Form3->isVisible());
        QCOMPARE(form->worker->settings().timeout, 1);
        QCOMPARE(form->worker->settings().pollDelay, 50);

        form->N1->trigger();
        QTRY_VERIFY(form->Form3->isVisible());
        form->Form3->LabeledEdit1->setText(QStringLiteral("2000"));
        QTest::mouseClick(form->Form3->BitBtn1, Qt::LeftButton);
        QVERIFY(form->close());
        const QByteArray saved = settingsfile::read();
        QVERIFY(saved.contains("[POLLDELAY]\n1=50\n[TIMEOUT]\n1=2000\n"));
    }
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
