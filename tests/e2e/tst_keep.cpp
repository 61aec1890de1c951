// What the window downloads is kept in the archive: the records pullrec-cli keeps of the same analyzer,
// and a location that cannot be written leaves the download complete and says why.

#include "DownloadHarness.h"

#include "../support/ChildProcess.h"
#include "PgServer.h"
#include "archive/Archive.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>
#include <map>

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
        QTest::newRow("a folder") << QString() << QStringLiteral("pullrec.db: ");
        QTest::newRow("no server") << QStringLiteral(
                                          "postgresql://pullrec@127.0.0.1:1/pullrec?connect_timeout=2")
                                   << QStringLiteral("127.0.0.1:1/pullrec?connect_timeout=2: ");
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
            // Said once the writer gave up, after a few more tries.
            QTRY_VERIFY_WITH_TIMEOUT(
                statusText(*form, 0).startsWith(QStringLiteral("17 records not kept in the archive ")),
                20000);
            QVERIFY2(statusText(*form, 0).contains(why), qPrintable(statusText(*form, 0)));
        }
    }

    // A PostgreSQL restarted in the middle of a download and between two downloads: every record reaches
    // it through a new connection, each once, and the status bar claims no loss.
    void restartedPostgresqlLosesNothing()
    {
        PgServer pg;
        QVERIFY2(pg.start(), pg.error().c_str());
        QVERIFY2(pg.createDatabase("keep"), pg.error().c_str());
        const std::string location = pg.connection("keep");
        QVERIFY(openOnTcp({"--records", recordsArg({{0, 2000}, {3, 5}}), "--delay", "1"}, tcpSettings(1)));
        QVERIFY(chooseArchive(*form, QString::fromStdString(location), true));
        select(*form, {0});
        RecordWatch watch(*form);
        clickSwitch(*form);
        QTRY_VERIFY_WITH_TIMEOUT(watch.shown.size() >= 300, 30000);
        QVERIFY2(pg.restart(), pg.error().c_str());
        QVERIFY(!form->worker->completed());
        QVERIFY(waitCompleted(*form, 60000));
        QVERIFY2(pg.restart(), pg.error().c_str());
        QVERIFY(downloadAreas(*form, {3}));
        const QString status = statusText(*form, 0);
        form.reset(); // writes what the keeper holds
        QVERIFY2(!status.contains(QStringLiteral("not kept")), qPrintable(status));

        std::string error;
        const auto archive = Archive::open(location, error);
        QVERIFY2(archive, error.c_str());
        std::map<std::pair<int, int>, int> stored;
        QVERIFY(archive->forEach({}, [&stored](const StoredRecord &r) {
            return ++stored[{r.record.area, r.record.position}] > 0;
        }));
        QCOMPARE(int(stored.size()), 2000 + 5);
        QVERIFY(std::all_of(stored.begin(), stored.end(), [](const auto &p) { return p.second == 1; }));
    }

    // Closing on a server that stopped answering waits the keeper's two seconds, not the server's
    // time-out; what was not written lies above what was stored, where "New records only" reads.
    void frozenPostgresqlDoesNotHoldTheClose()
    {
        PgServer pg;
        QVERIFY2(pg.start(), pg.error().c_str());
        QVERIFY2(pg.createDatabase("frozen"), pg.error().c_str());
        const std::string location = pg.connection("frozen");
        QVERIFY(openOnTcp({"--records", recordsArg({{0, 40}, {3, 20}})}, tcpSettings(1)));
        QVERIFY(chooseArchive(*form, QString::fromStdString(location), true));
        QVERIFY(downloadAreas(*form, {0}));
        auto kept = [&location] {
            std::string ignored;
            const auto archive = Archive::open(location, ignored);
            int count = 0;
            return archive && archive->forEach({}, [&count](const StoredRecord &) { return ++count > 0; })
                       ? count
                       : -1;
        };
        QTRY_COMPARE_WITH_TIMEOUT(kept(), 40, 20000);
        pg.freeze();
        QVERIFY(downloadAreas(*form, {3}));
        QElapsedTimer closing;
        closing.start();
        form.reset();
        QVERIFY2(closing.elapsed() < 3500, QByteArray::number(closing.elapsed()));
        pg.thaw();

        std::string error;
        const auto archive = Archive::open(location, error);
        QVERIFY2(archive, error.c_str());
        std::vector<ArchivedAnalyzer> analyzers;
        QVERIFY(archive->listAnalyzers(analyzers) && analyzers.size() == 1);
        const std::string &serial = analyzers[0].identity.serial;
        QCOMPARE(archive->lastRecord(serial, 0, 1000)->position, 39);
        QVERIFY(!archive->lastRecord(serial, 3, 1000));
        QVERIFY(archive->gaps(serial, 0).empty());
    }
    // Another archive chosen in the middle of a download holds the rest, and the positions read before
    // as missing: its "New records only" reads them rather than counting them archived.
    void locationChangedMidDownloadMarksTheEarlierRecordsMissing()
    {
        QVERIFY(openOnTcp({"--records", recordsArg({{0, 10}}), "--delay", "20"}, tcpSettings(1)));
        select(*form, {0});
        RecordWatch watch(*form);
        clickSwitch(*form);
        QVERIFY(QTest::qWaitFor([&] { return watch.shown.size() >= 3; }, 20000));
        clickSwitch(*form);
        QVERIFY(form->worker->suspended());
        QVERIFY(chooseArchive(*form, here("other.db"), true));
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        form.reset();
        std::string error;
        const auto archive = Archive::open(here("other.db").toStdString(), error);
        QVERIFY2(archive, error.c_str());
        std::vector<ArchivedAnalyzer> analyzers;
        QVERIFY(archive->listAnalyzers(analyzers) && analyzers.size() == 1);
        const std::string &serial = analyzers[0].identity.serial;
        std::vector<int> positions = archive->gaps(serial, 0);
        QVERIFY(!positions.empty());
        QVERIFY(archive->forEach({}, [&](const StoredRecord &r) {
            positions.push_back(r.record.position);
            return true;
        }));
        std::sort(positions.begin(), positions.end());
        QCOMPARE(positions, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9})); // each once, stored or missing
    }

    // A server that stopped answering between two downloads holds the keeper's next connection in its
    // opening, past the keeper's two seconds: the close still ends then, whatever the server's time-out.
    void closeWhileTheKeeperConnectsToAFrozenServer()
    {
        qputenv("PULLREC_ARCHIVE_TIMEOUT", "6");
        const auto restore = qScopeGuard([] { qunsetenv("PULLREC_ARCHIVE_TIMEOUT"); });
        PgServer pg;
        QVERIFY2(pg.start(), pg.error().c_str());
        QVERIFY2(pg.createDatabase("frozen"), pg.error().c_str());
        QVERIFY(openOnTcp({"--records", recordsArg({{0, 6}})}, tcpSettings(1)));
        QVERIFY(chooseArchive(*form, QString::fromStdString(pg.connection("frozen")), true));
        QVERIFY(downloadAreas(*form, {0}));
        pg.freeze();
        const auto thaw = qScopeGuard([&pg] { pg.thaw(); });
        QVERIFY(downloadAreas(*form, {0}));
        QElapsedTimer closing;
        closing.start();
        form.reset();
        qInfo() << "closing took" << closing.elapsed() << "ms";
        QVERIFY2(closing.elapsed() < 3000, QByteArray::number(closing.elapsed()));
    }
};

QTEST_MAIN(TestKeep)
#include "tst_keep.moc"
