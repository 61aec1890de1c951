// The archive window over what pullrec-cli kept of ktr58-sim's records: an area it shows, saved with
// "Save to File...", is the main window's own file of the same download byte for byte; the main grid's
// "Archive..." opens it on what the window kept.

#include "DownloadHarness.h"

#include "archive/Archive.h"

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

    // Per log: the range the window offers covers every record (newest first and wrapped logs too), and
    // "Save to File..." of them is the main window's file of the same download.
    void savesTheMainWindowsFile_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<int>("area");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<bool>("unclocked");
        QTest::newRow("sector 1, English") << 1 << 0 << 4 << QStringList() << false;
        QTest::newRow("sector 3, Turkish") << 0 << 2 << 7 << QStringList() << false;
        QTest::newRow("energy log, English") << 1 << int(kEnergyArea) << 5 << QStringList() << false;
        QTest::newRow("newest first") << 1 << 0 << 300 << QStringList{"--numbering", "descending"} << false;
        QTest::newRow("wrapped") << 1 << 0 << 300 << QStringList{"--numbering", "circular:100"} << false;
        QTest::newRow("without a clock")
            << 1 << 1 << 8 << QStringList{"--no-clock", "1:2", "--no-clock", "1:5"} << true;
    }

    void savesTheMainWindowsFile()
    {
        QFETCH(int, lang);
        QFETCH(int, area);
        QFETCH(int, count);
        QFETCH(QStringList, simArgs);
        QFETCH(bool, unclocked);
        std::vector<std::string> args{"--records", recordsArg({{area, count}})};
        for (const QString &arg : simArgs)
            args.push_back(arg.toStdString());
        QVERIFY(openOnTcp(args, tcpSettings(lang)));
        QVERIFY(downloadAreas(*form, {area}));
        const QByteArray expected = saveThrough(form->S1, QStringLiteral("window.csv"));
        QCOMPARE(expected.count('\n'), count + 2);

        const std::string archive = "sqlite:" + (scratch->path() + "/kept.db").toStdString();
        const std::string port = "127.0.0.1:" + std::to_string(sim->tcpPort());
        const std::string chosen =
            area == kEnergyArea ? std::string("--energy") : "--sectors=" + std::to_string(area + 1);
        const ProgramRun kept = cli({"download", "--tcp", port, chosen, "--archive", archive, "--quiet"});
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
        window.unclockedBox->setChecked(unclocked);
        QTest::mouseClick(window.showButton, Qt::LeftButton); // over the range offered
        QVERIFY(waitIdle(window));
        QCOMPARE(window.records().size(), size_t(count));
        QCOMPARE(saveThrough(window.saveAction, QStringLiteral("archive.csv")), expected);
    }

    // Records of two configurations: "Save to File..." is the command line's grid of them.
    void savesTheGridOfEachConfiguration()
    {
        const std::string archive = "sqlite:" + (scratch->path() + "/changed.db").toStdString();
        std::string error;
        auto writer = Archive::open(archive, error);
        QVERIFY2(writer, error.c_str());
        QVERIFY(writer->saveAnalyzer({"S3", "V", "KTR-58-168", "2", 1, 1, ""}));
        std::vector<ArchiveRecord> records;
        for (int k = 0; k < 6; ++k) {
            ArchiveRecord &r = records.emplace_back();
            r.area = 1;
            r.position = k;
            r.recordNo = k + 1;
            r.setTime("01/01/25", QStringLiteral("00:%1:00").arg(k, 2, 10, QLatin1Char('0')).toStdString());
            r.codes.fill(kEmptySlot);
            r.codes[0] = k < 3 ? 0 : 28; // VLN1, then TWATT
            r.codes[1] = 3;
            r.values[0] = k < 3 ? 230 : 1500.5;
            r.values[1] = 5;
        }
        StoreCounts counts;
        QVERIFY(writer->store("S3", records, counts));
        writer.reset();

        const ProgramRun exported =
            cli({"export", "--archive", archive, "--area", "2", "--format", "grid", "--lang", "en"});
        QVERIFY2(exported.exitCode == 0, exported.err.c_str());
        const LANGUAGE texts = textsOf(TextLanguage::English);
        ArchiveWindow window(QString::fromStdString(archive), texts, false);
        window.show();
        QVERIFY(waitIdle(window));
        window.areaCombo->setCurrentIndex(window.areaCombo->findData(1));
        QTest::mouseClick(window.showButton, Qt::LeftButton);
        QVERIFY(waitIdle(window));
        QVERIFY(QDir().mkpath(QStringLiteral("DATA"))); // made by the main window, which is not open here
        const QByteArray saved = saveThrough(window.saveAction, QStringLiteral("changed.csv"));
        QCOMPARE(saved.count("Record #"), 2);
        QCOMPARE(saved, QByteArray::fromStdString(exported.out));
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

        // Another location: a window on it at once, in place of the old one.
        form->gsettings->values.archive =
            QStringLiteral("sqlite:") + scratch->path() + QStringLiteral("/other.db");
        form->Archive1->trigger();
        QVERIFY(window->isHidden());
        ArchiveWindow *moved = nullptr;
        for (ArchiveWindow *w : form->findChildren<ArchiveWindow *>())
            if (w->isVisible())
                moved = w;
        QVERIFY(moved);
        QCOMPARE(moved->archive(), form->gsettings->values.archive);
    }
};

QTEST_MAIN(TestArchive)
#include "tst_archive.moc"
