// The archive window over what pullrec-cli kept of ktr58-sim's records: an area it shows, saved with
// "Save to File...", is the main window's own file of the same download byte for byte; the main grid's
// "Archive..." opens it on what the window kept.

#include "DownloadHarness.h"

#include "shell/Startup.h"
#include "ui/ArchiveWindow.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QTableWidget>

using namespace e2e;

namespace
{

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

LANGUAGE textsOf(int lang)
{
    LANGUAGE texts;
    fillLanguageTexts(texts, lang);
    return texts;
}

// "Save to File..." of a window, the dialog answered with fileName; the bytes written in DATA.
QByteArray saveThrough(QAction *save, const QString &fileName)
{
    ModalAnswer dialog([fileName](QWidget *modal) {
        auto *d = qobject_cast<QFileDialog *>(modal);
        QVERIFY(d);
        QCOMPARE(d->nameFilters(), QStringList{"*.csv"});
        d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
        QMetaObject::invokeMethod(d, "accept");
    });
    save->trigger();
    return dialog.seen() ? readFile(QStringLiteral("DATA/") + fileName) : QByteArray();
}

bool waitIdle(ArchiveWindow &window)
{
    return QTest::qWaitFor([&window] { return !window.busy(); }, 60000);
}

} // namespace

class TestArchive : public QObject, public WindowFixture
{
    Q_OBJECT

    static ProgramRun cli(const std::vector<std::string> &args)
    {
        const std::string bin = SimProcess::binary();
        return runProgram(bin.substr(0, bin.rfind('/') + 1) + "pullrec-cli", args, 60000);
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void savesTheMainWindowsFile_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<int>("area");
        QTest::addColumn<QString>("cliArea");
        QTest::newRow("sector 1, English") << 1 << 0 << QStringLiteral("--sectors=1");
        QTest::newRow("sector 3, Turkish") << 0 << 2 << QStringLiteral("--sectors=3");
        QTest::newRow("energy log, English") << 1 << int(kEnergyArea) << QStringLiteral("--energy");
    }

    void savesTheMainWindowsFile()
    {
        QFETCH(int, lang);
        QFETCH(int, area);
        QFETCH(QString, cliArea);
        const int count = area == kEnergyArea ? 5 : area == 0 ? 4 : 7;
        QVERIFY(openOnTcp({"--records", recordsArg({{0, 4}, {2, 7}, {15, 5}})}, tcpSettings(lang)));
        QVERIFY(downloadAreas(*form, {area}));
        const QByteArray expected = saveThrough(form->S1, QStringLiteral("window.csv"));
        QCOMPARE(expected.count('\n'), count + 2);

        const std::string archive = "sqlite:" + (scratch->path() + "/kept.db").toStdString();
        const std::string port = "127.0.0.1:" + std::to_string(sim->tcpPort());
        const ProgramRun kept =
            cli({"download", "--tcp", port, cliArea.toStdString(), "--archive", archive, "--quiet"});
        QVERIFY2(kept.exitCode == 0, kept.err.c_str());
        form.reset();

        const LANGUAGE texts = textsOf(lang);
        ArchiveWindow window(QString::fromStdString(archive), texts, lang == TextLanguage::Turkish);
        window.show();
        QVERIFY(waitIdle(window));
        QCOMPARE(window.analyzerTable->rowCount(), 1);
        QCOMPARE(window.analyzerTable->item(0, 3 + area)->text(), QString::number(count));
        QVERIFY(!window.analyzerTable->item(0, 2)->text().isEmpty()); // the last download
        window.areaCombo->setCurrentIndex(window.areaCombo->findData(area));
        // The simulator's clock is not the host's: every record of the area.
        window.fromEdit->setDateTime(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));
        window.toEdit->setDateTime(QDateTime(QDate(2099, 12, 31), QTime(23, 59), Qt::UTC));
        QTest::mouseClick(window.showButton, Qt::LeftButton);
        QVERIFY(waitIdle(window));
        QCOMPARE(window.records().size(), size_t(count));
        QCOMPARE(saveThrough(window.saveAction, QStringLiteral("archive.csv")), expected);
    }

    // The main grid's "Archive..." opens the window on the archive the window keeps its downloads in, and
    // lists what it kept; a second click brings the same window up with what was kept since.
    void openedFromTheGridOnTheKeptArchive()
    {
        QVERIFY(openOnTcp({"--records", recordsArg({{0, 4}, {15, 5}})}, tcpSettings(TextLanguage::English)));
        QVERIFY(downloadAreas(*form, {0}));
        QCOMPARE(form->Archive1->text(), QStringLiteral("Archive..."));
        form->Archive1->trigger();
        auto *window = form->findChild<ArchiveWindow *>();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->archive(), archiveLocation());
        // The keeper writes on a thread of its own: what it kept is listed once it is there.
        const auto kept = [window](int area, int count) {
            return QTest::qWaitFor(
                [&] {
                    if (window->busy())
                        return false;
                    const QTableWidgetItem *item = window->analyzerTable->item(0, 3 + area);
                    if (item && item->text() == QString::number(count))
                        return true;
                    window->reload();
                    return false;
                },
                30000);
        };
        QVERIFY(kept(0, 4));
        QVERIFY(downloadAreas(*form, {kEnergyArea}));
        form->Archive1->trigger();
        QCOMPARE(form->findChildren<ArchiveWindow *>().size(), 1);
        QVERIFY(kept(kEnergyArea, 5));
    }
};

QTEST_MAIN(TestArchive)
#include "tst_archive.moc"
