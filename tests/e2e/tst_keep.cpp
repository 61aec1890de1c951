// What the window downloads is kept in the archive: the records pullrec-cli keeps of the same analyzer,
// and a location that cannot be written leaves the download complete and says why.

#include "DownloadHarness.h"

#include "../support/ChildProcess.h"

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
        QVERIFY(downloadAreas(*form, {0, 3, 15}));
        QVERIFY(downloadAreas(*form, {0, 3, 15})); // again: each record kept once
        form.reset();                              // writes what the keeper holds
        const QString window = QStringLiteral("sqlite:") + QDir::current().absoluteFilePath("pullrec.db");

        SimProcess again;
        QVERIFY(again.startTcp(args));
        const QString cli = QStringLiteral("sqlite:") + QDir::current().absoluteFilePath("cli.db");
        const ProgramRun run = runProgram(kCli,
                                          {"download", "--tcp", "127.0.0.1:" + std::to_string(again.tcpPort()),
                                           "--sectors", "1,4", "--energy", "--archive", cli.toStdString(),
                                           "--quiet"},
                                          60000);
        QCOMPARE(run.exitCode, 0);
        const std::string kept = exported(window);
        QCOMPARE(std::count(kept.begin(), kept.end(), '\n'), 12 + 5 + 7);
        QCOMPARE(kept, exported(cli));
    }

    void unwritableLocationLeavesTheDownloadComplete()
    {
        QVERIFY(QDir().mkdir(QStringLiteral("pullrec.db"))); // the archive's place taken by a folder
        QVERIFY(openOnTcp(args, tcpSettings(1)));
        QVERIFY(downloadAreas(*form, {0, 15}));
        QCOMPARE(form->gridModel->rowCount(), 12 + 7 + 2);
        QTRY_VERIFY(statusText(*form, 0).startsWith(QStringLiteral("Records not kept in the archive: ")));
        QVERIFY(statusText(*form, 0).contains(QStringLiteral("pullrec.db")));
    }
};

QTEST_MAIN(TestKeep)
#include "tst_keep.moc"
