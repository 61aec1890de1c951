// What the window downloads is kept in the archive: the records pullrec-cli keeps of the same analyzer,
// and a location that cannot be written leaves the download complete and says why.

#include "DownloadHarness.h"

#include "../support/ChildProcess.h"
#include "ui/ArchiveDialog.h"

#include <QLabel>
#include <QLineEdit>

using namespace e2e;

namespace
{

const std::string kCli = std::string(PULLREC_BIN_DIR) + "/pullrec-cli";

std::string exported(const QString &archive)
{
    const ProgramRun run =
        runProgram(kCli, {"export", "--archive", archive.toStdString(), "--format", "jsonl"}, 60000);
    return run.exitCode == 0 ? run.out : "exit " + std::to_string(run.exitCode) + ": " + run.err;
}

// The archive dialog from the connection panel's menu, filled in and confirmed; false if it stays open.
bool chooseArchive(TForm1 &form, const QString &location, bool keep)
{
    form.archiveAction->trigger();
    auto *dialog = form.findChild<ArchiveDialog *>();
    if (!dialog || !dialog->isVisible())
        return false;
    dialog->findChild<QCheckBox *>(QStringLiteral("keepBox"))->setChecked(keep);
    dialog->findChild<QLineEdit *>(QStringLiteral("locationEdit"))->setText(location);
    dialog->accept();
    const bool accepted = !dialog->isVisible();
    if (!accepted) {
        if (dialog->findChild<QLabel *>(QStringLiteral("problem"))->text().isEmpty())
            return true; // refused without saying why: fails the caller's check
        dialog->reject();
    }
    return QTest::qWaitFor([&] { return !form.findChild<ArchiveDialog *>(); }) && accepted;
}

QString here(const char *file)
{
    return QStringLiteral("sqlite:") + QDir::current().absoluteFilePath(QString::fromUtf8(file));
}

} // namespace

class TestKeep : public QObject, public WindowFixture
{
    Q_OBJECT

    const std::vector<std::string> args{"--records", recordsArg({{0, 12}, {3, 5}, {15, 7}})};

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void keptAsTheCommandLineKeepsThem()
    {
        QVERIFY(openOnTcp(args, tcpSettings(1)));
        QVERIFY(downloadAreas(*form, {0, 3}));
        QVERIFY(downloadAreas(*form, {kEnergyArea}));
        QVERIFY(downloadAreas(*form, {0, 3})); // again: each record kept once
        form.reset();                          // writes what the keeper holds
        const QString window = here("pullrec.db");

        SimProcess again;
        QVERIFY(again.startTcp(args));
        const QString cli = here("cli.db");
        for (const char *areas : {"--sectors=1,4", "--energy"}) {
            const ProgramRun run =
                runProgram(kCli,
                           {"download", "--tcp", "127.0.0.1:" + std::to_string(again.tcpPort()), areas,
                            "--archive", cli.toStdString(), "--quiet"},
                           60000);
            QCOMPARE(run.exitCode, 0);
        }
        const std::string kept = exported(window);
        QCOMPARE(std::count(kept.begin(), kept.end(), '\n'), 12 + 5 + 7);
        QCOMPARE(kept, exported(cli));
    }

    // Refused locations keep the dialog open; accepted ones take the next download, or none with keeping off.
    void dialogChoosesWhereDownloadsGo()
    {
        QVERIFY(openOnTcp(args, tcpSettings(1)));
        struct Row {
            QString location;
            bool keep;
            bool accepted;
        };
        const Row rows[] = {
            {QStringLiteral("sqlite:"), true, false},
            {QStringLiteral("sqlite::memory:"), true, false},
            {QStringLiteral("mysql://127.0.0.1/x"), true, false},
            {here("other.db"), true, true},
            {here("off.db"), false, true},
            {QString(), true, true},
        };
        for (const Row &row : rows) {
            QCOMPARE(chooseArchive(*form, row.location, row.keep), row.accepted);
            if (row.accepted)
                QVERIFY(downloadAreas(*form, {3}));
        }
        form.reset();
        QVERIFY(QFile::exists("other.db") && QFile::exists("pullrec.db"));
        QVERIFY(!QFile::exists("off.db"));
        QCOMPARE(exported(here("other.db")), exported(here("pullrec.db")));
    }

    // The download completes all the same; the status bar says why, also at the end of a second download.
    void brokenLocationLeavesTheDownloadComplete_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("why");
        QTest::newRow("a folder") << QString() << QStringLiteral("pullrec.db");
        QTest::newRow("no server") << QStringLiteral(
                                          "postgresql://pullrec@127.0.0.1:1/pullrec?connect_timeout=2")
                                   << QStringLiteral("127.0.0.1");
    }
    void brokenLocationLeavesTheDownloadComplete()
    {
        QFETCH(QString, location);
        QFETCH(QString, why);
        QVERIFY(QDir().mkdir(QStringLiteral("pullrec.db"))); // the default archive's place taken by a folder
        QVERIFY(openOnTcp(args, tcpSettings(1)));
        QVERIFY(chooseArchive(*form, location, true));
        for (int run = 0; run < 2; ++run) {
            QVERIFY(downloadAreas(*form, {0, 3}));
            QCOMPARE(form->gridModel->rowCount(), 12 + 5 + 2);
            QTRY_VERIFY(statusText(*form, 0).startsWith(QStringLiteral("Records not kept in the archive: ")));
            QVERIFY2(statusText(*form, 0).contains(why), qPrintable(statusText(*form, 0)));
        }
    }
};

QTEST_MAIN(TestKeep)
#include "tst_keep.moc"
