// Apply of the logging configuration against ktr58-sim, read back from the simulator by a new Connect.

#include "UiHarness.h"

#include <QListWidget>

using namespace ui;

namespace
{

const QString confirmation =
    QStringLiteral("This action will effect Device's data saving layout, are you sure ?");

void checkOnly(QListWidget *list, const QList<int> &items)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(items.contains(i) ? Qt::Checked : Qt::Unchecked);
}

std::array<int16_t, 28> codeSlots(std::initializer_list<int16_t> codes)
{
    std::array<int16_t, 28> s;
    s.fill(255);
    std::copy(codes.begin(), codes.end(), s.begin());
    return s;
}

} // namespace

class TestApply : public QObject, public WindowFixture
{
    Q_OBJECT

    bool connectTo(const std::vector<std::string> &args)
    {
        Settings s;
        s.mode = 0;
        return openOnTcp(args, s) && form->BitBtn3->isEnabled();
    }

    // Connect again on the open link: the configuration as the simulator now holds it.
    std::array<int16_t, 28> readBack()
    {
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        return form->worker->configuration().paramCodes;
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void cancelChangesNothing()
    {
        QVERIFY(connectTo({}));
        const auto before = form->worker->configuration();
        form->LabeledEdit4->setText(QStringLiteral("5"));
        checkOnly(form->list1, {1});
        BoxSeries boxes({QMessageBox::Cancel});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(boxes.wait());
        QCOMPARE(boxes.texts(), QStringList{confirmation});
        QCOMPARE(form->worker->configuration().logPeriod, before.logPeriod);
        QCOMPARE(form->worker->configuration().paramCodes, before.paramCodes);
        QCOMPARE(readBack(), before.paramCodes);
    }

    // 29 checked: the list turns red and Apply refuses after the confirmation; 28 are written.
    void limitOf28()
    {
        QVERIFY(connectTo({}));
        const auto before = form->worker->configuration().paramCodes;
        QList<int> items;
        for (int i = 0; i < 29; ++i)
            items << i * 2;
        checkOnly(form->list1, items);
        QCOMPARE(form->checkedCount, 29);
        QCOMPARE(form->list1->palette().color(QPalette::Base), QColor(255, 0, 0));
        BoxSeries refused({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(refused.wait());
        QCOMPARE(refused.texts(), (QStringList{confirmation, "Please select maximum 28 Parameters ..."}));
        // What later downloads decode with is untouched, not only what the analyzer holds.
        QCOMPARE(form->worker->configuration().paramCodes, before);
        QCOMPARE(readBack(), before);

        items.removeLast();
        checkOnly(form->list1, items);
        QCOMPARE(form->list1->palette().color(QPalette::Base), QColor(255, 255, 255));
        BoxSeries written({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(written.wait());
        const auto codes = readBack();
        for (int i = 0; i < 28; ++i)
            QCOMPARE(codes[size_t(i)], int16_t(i * 2));
    }

    void chosenCodesInAscendingOrder()
    {
        QVERIFY(connectTo({}));
        form->LabeledEdit4->setText(QStringLiteral("60"));
        form->CheckBox1->setChecked(false);
        checkOnly(form->list1, {77, 5, 0});
        BoxSeries boxes({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(boxes.wait());
        QCOMPARE(
            boxes.texts()[1],
            QStringLiteral("Successfully saved. Please restart this Application, Before reading new Data."));
        QCOMPARE(statusText(*form, 0), QStringLiteral("Successfully Written"));

        QCOMPARE(readBack(), codeSlots({0, 5, 77}));
        QCOMPARE(form->worker->configuration().logPeriod, 60);
        QCOMPARE(form->worker->configuration().eventLogging, 0);
        QVERIFY(!form->CheckBox1->isChecked());
        QCOMPARE(headerRow(*form).mid(3, 3), (QStringList{"VLN1 : V", "ILN3 : A", "Total PF : "}));
    }

    void nothingChecked()
    {
        QVERIFY(connectTo({}));
        checkOnly(form->list1, {});
        BoxSeries boxes({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(boxes.wait());
        QCOMPARE(readBack(), codeSlots({}));
    }

    // The model with 39 parameters: writes stay within the 28 slots, empty ones carry 255.
    void model167()
    {
        QVERIFY(connectTo({"--model", "KTR-58-167"}));
        QCOMPARE(form->list1->count(), 39);
        checkOnly(form->list1, {38, 2});
        BoxSeries boxes({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(boxes.wait());
        QCOMPARE(readBack(), codeSlots({2, 38}));
    }

    // Only 1 to 32767 survive the one register word and its read back; others are refused unwritten.
    void badPeriodWritesNothing_data()
    {
        QTest::addColumn<QString>("period");
        QTest::addColumn<QString>("message");
        const QString range = QStringLiteral("Please enter a Log Period of 1 to 32767 seconds ...");
        QTest::newRow("text") << "1 min"
                              << "'1 min' is not a valid integer value";
        QTest::newRow("0") << "0" << range;
        QTest::newRow("-1") << "-1" << range;
        QTest::newRow("70000") << "70000" << range;
        QTest::newRow("32768") << "32768" << range;
    }
    void badPeriodWritesNothing()
    {
        QFETCH(QString, period);
        QFETCH(QString, message);
        QVERIFY(connectTo({}));
        const auto before = form->worker->configuration();
        form->LabeledEdit4->setText(period);
        checkOnly(form->list1, {3});
        BoxSeries boxes({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(boxes.wait());
        QCOMPARE(boxes.texts()[1], message);
        QCOMPARE(form->worker->configuration().logPeriod, before.logPeriod);
        QCOMPARE(readBack(), before.paramCodes);
        QCOMPARE(form->worker->configuration().logPeriod, before.logPeriod);
    }

    void longestPeriodIsWritten()
    {
        QVERIFY(connectTo({}));
        form->LabeledEdit4->setText(QStringLiteral("32767"));
        BoxSeries boxes({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(boxes.wait());
        readBack();
        QCOMPARE(form->worker->configuration().logPeriod, 32767);
    }

    // The analyzer still logs what it logged: the worker, the list and the headers keep it.
    void failedWrite()
    {
        QVERIFY(connectTo({}));
        const auto before = form->worker->configuration();
        const QStringList headers = headerRow(*form);
        checkOnly(form->list1, {1, 2});
        form->LabeledEdit4->setText(QStringLiteral("5"));
        sim->kill();
        BoxSeries boxes({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(boxes.wait(20000));
        QCOMPARE(boxes.texts()[1], QStringLiteral("Error occured while Write"));
        QCOMPARE(statusText(*form, 0), QStringLiteral("Error occured while Write"));
        QCOMPARE(form->worker->configuration().paramCodes, before.paramCodes);
        QCOMPARE(form->worker->configuration().logPeriod, before.logPeriod);
        QCOMPARE(headerRow(*form), headers);

        // Its own box and panel 0 said it; records read after a new Connect show no error beside them.
        QVERIFY2(sim->restart(), sim->error().c_str());
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->windowState(), TForm1::WindowState::Connected);
        form->chkSector[0]->setChecked(true);
        QTest::mouseClick(form->iSwitchLed1, Qt::LeftButton);
        QVERIFY(
            QTest::qWaitFor([&] { return form->windowState() == TForm1::WindowState::Completed; }, 10000));
        QCOMPARE(statusText(*form, 3), QString());
    }
};

QTEST_MAIN(TestApply)
#include "tst_apply.moc"
