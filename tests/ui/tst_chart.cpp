// The trend chart's window, where its arithmetic alone cannot tell.

#include "../shell/ModalHelper.h"

#include "shell/Startup.h"
#include "text/Language.h"
#include "ui/ChartWindow.h"
#include "ui/GridModel.h"

#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestChart : public QObject
{
    Q_OBJECT

  private slots:
    // "Save Picture..." starts in the data folder, as "Save to File..." and "Export..." do. The test runs
    // outside the build tree's program folder, so the folder is the installed one, not "DATA" here.
    void savePictureStartsInTheDataFolder()
    {
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());
        const QString data = QDir(fileLocations().dataDirectory).absolutePath();
        QVERIFY(data != QDir(QStringLiteral("DATA")).absolutePath());
        QVERIFY(QDir().mkpath(data)); // as the main window does at its start

        GridModel grid(2, 4);
        LANGUAGE texts;
        fillLanguageTexts(texts, 1);
        ChartWindow chart(grid, texts);
        chart.show();
        QString start;
        ModalAnswer dialog([&start](QWidget *modal) {
            if (auto *d = qobject_cast<QFileDialog *>(modal))
                start = d->directory().absolutePath();
            ModalAnswer::answer(modal, QMessageBox::Cancel);
        });
        chart.pngButton->click();
        QVERIFY(dialog.wait());
        QDir::setCurrent(previous);
        QCOMPARE(start, data);
    }
};

int main(int argc, char **argv)
{
    // The installed data folder is in the documents of a home of the test's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    QApplication app(argc, argv);
    TestChart test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_chart.moc"
