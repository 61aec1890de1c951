#include "ModalHelper.h"
#include "SettingsFile.h"

#include "shell/TForm2.h"
#include "shell/TForm3.h"
#include "widgets/TLabeledEdit.h"
#include "worker/comThread.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The language and timings dialogs, driven as the operator does, under a plain QApplication.
class DialogsTest : public QObject
{
    Q_OBJECT

  private slots:
    void init() { settingsfile::remove(); }
    void cleanup() { settingsfile::remove(); }

    void hoveringAFlagChooses();
    void okWritesTheChosenLanguage_data();
    void okWritesTheChosenLanguage();
    void refusedWriteKeepsTheDialog();
    void timingsShowTheWorkerValues();
    void timingsStoreInOrder();
    void timingsCloseBoxStoresNothing();
};

namespace
{

void showAndWait(QWidget &w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

void type(TLabeledEdit *edit, const QString &text)
{
    edit->edit()->selectAll();
    QTest::keyClicks(edit->edit(), text);
}

} // namespace

void DialogsTest::hoveringAFlagChooses()
{
    TForm2 form;
    showAndWait(form);
    QVERIFY(!form.RadioButton1->isChecked() && !form.RadioButton2->isChecked());
    QTest::mouseMove(form.Image1, QPoint(60, 40));
    QTRY_VERIFY(form.RadioButton1->isChecked());
    QTest::mouseMove(form.Image2, QPoint(60, 40));
    QTRY_VERIFY(form.RadioButton2->isChecked());
    QVERIFY(!form.RadioButton1->isChecked());
    QTest::mouseClick(form.RadioButton1, Qt::LeftButton);
    QVERIFY(form.RadioButton1->isChecked() && !form.RadioButton2->isChecked());
}

void DialogsTest::okWritesTheChosenLanguage_data()
{
    QTest::addColumn<int>("choice"); // 0 none, 1 TUR, 2 ENG
    QTest::addColumn<int>("lang");
    QTest::newRow("no choice") << 0 << 1;
    QTest::newRow("TUR") << 1 << 0;
    QTest::newRow("ENG") << 2 << 1;
}

void DialogsTest::okWritesTheChosenLanguage()
{
    QFETCH(int, choice);
    QFETCH(int, lang);
    QWidget mainWindow;
    TForm2 form;
    form.setMainWindow(&mainWindow);
    showAndWait(form);
    if (choice)
        QTest::mouseClick(choice == 1 ? form.RadioButton1 : form.RadioButton2, Qt::LeftButton);
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    QCOMPARE(settingsfile::read(), settingsfile::firstRun(lang));
    QVERIFY(mainWindow.isVisible());
    QVERIFY(form.isHidden());
}

void DialogsTest::refusedWriteKeepsTheDialog()
{
    QVERIFY(settingsfile::block());
    QWidget mainWindow;
    TForm2 form;
    form.setMainWindow(&mainWindow);
    showAndWait(form);
    ModalAnswer answer;
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    QVERIFY(answer.wait());
    QCOMPARE(answer.text(), "Unable to write to " + settingsfile::path());
    ModalAnswer noSecondBox(QMessageBox::Ok, 200);
    QVERIFY(!noSecondBox.wait());
    QVERIFY(form.isVisible());
    QVERIFY(!mainWindow.isVisible());
}

void DialogsTest::timingsShowTheWorkerValues()
{
    comThread worker;
    worker.setTimeout(1000);
    worker.setPollDelay(100);
    TForm3 form(worker);
    QCOMPARE(form.findChild<QLineEdit *>("LabeledEdit1"), form.LabeledEdit1->edit());

    showAndWait(form);
    QCOMPARE(form.LabeledEdit1->text(), QString("1000"));
    QCOMPARE(form.LabeledEdit2->text(), QString("100"));

    // Each showing reads the worker's values again.
    form.hide();
    worker.setTimeout(0);
    worker.setPollDelay(-5);
    showAndWait(form);
    QCOMPARE(form.LabeledEdit1->text(), QString("0"));
    QCOMPARE(form.LabeledEdit2->text(), QString("-5"));
}

void DialogsTest::timingsStoreInOrder()
{
    comThread worker;
    TForm3 form(worker);
    showAndWait(form);
    type(form.LabeledEdit1, "2000");
    type(form.LabeledEdit2, "50");
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    QCOMPARE(worker.settings().timeout, 2000);
    QCOMPARE(worker.settings().pollDelay, 50);
    QVERIFY(form.isHidden());

    // Only the low 32 bits of a larger number are kept.
    showAndWait(form);
    type(form.LabeledEdit2, "4294967297");
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    QCOMPARE(worker.settings().pollDelay, 1);

    // A bad time-out: the poll delay is already stored, the dialog stays open.
    showAndWait(form);
    type(form.LabeledEdit2, "75");
    type(form.LabeledEdit1, "abc");
    ModalAnswer answer;
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    QVERIFY(answer.wait());
    QCOMPARE(answer.text(), QString("'abc' is not a valid integer value"));
    QCOMPARE(worker.settings().pollDelay, 75);
    QCOMPARE(worker.settings().timeout, 2000);
    QVERIFY(form.isVisible());

    // A bad poll delay stores nothing.
    type(form.LabeledEdit1, "300");
    type(form.LabeledEdit2, "1,5");
    ModalAnswer second;
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    QVERIFY(second.wait());
    QCOMPARE(second.text(), QString("'1,5' is not a valid integer value"));
    QCOMPARE(worker.settings().timeout, 2000);
    QCOMPARE(worker.settings().pollDelay, 75);
}

void DialogsTest::timingsCloseBoxStoresNothing()
{
    comThread worker;
    worker.setTimeout(1000);
    TForm3 form(worker);
    showAndWait(form);
    type(form.LabeledEdit1, "5");
    QVERIFY(form.close());
    QCOMPARE(worker.settings().timeout, 1000);
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
