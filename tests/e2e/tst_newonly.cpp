// "New records only" in the window: a download reads what the archive lacks, checked by the newest
// archived record of each area and the one after it round the log, a cleared log is read whole, and
// each record is archived once.

#include "DownloadHarness.h"

#include "archive/Archive.h"
#include "modbus/MbusError.h"
#include "model/RecordPosition.h"

#include "PgServer.h"

#include <QElapsedTimer>
#include <QProgressDialog>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

using namespace e2e;

namespace
{

// PULLREC_ARCHIVE_TIMEOUT for one test.
struct TimeoutFor {
    explicit TimeoutFor(const char *seconds) { qputenv("PULLREC_ARCHIVE_TIMEOUT", seconds); }
    ~TimeoutFor() { qunsetenv("PULLREC_ARCHIVE_TIMEOUT"); }
};

const QString completedText = QStringLiteral("Selected Log data read completed Succesfully...");

// Record requests (function 20) the simulator logged, per area.
std::map<int, int> recordRequests(const std::string &log)
{
    static const std::string request = "request unit 1: 14 07 06 "; // the file number follows
    std::ifstream in(log);
    std::map<int, int> counts;
    for (std::string line; std::getline(in, line);)
        if (const size_t at = line.find(request); at != std::string::npos)
            ++counts[std::stoi(line.substr(at + request.size(), 2) + line.substr(at + request.size() + 3, 2),
                               nullptr, 16)];
    return counts;
}

// Positions of the records a download put on the grid, not of the rows its clearing repainted.
QStringList shownPositions(const RecordWatch &watch, TForm1 &form)
{
    QStringList shown;
    for (const RecordWatch::Shown &s : watch.shown)
        if (!form.gridModel->cell(s.row, 0).isEmpty())
            shown << s.position;
    return shown;
}

} // namespace

class TestNewOnly : public QObject, public WindowFixture
{
    Q_OBJECT

    std::string log() const { return QDir::current().absoluteFilePath("sim.log").toStdString(); }

    // The simulator started again with args (its log afresh) and the window connected to it.
    bool restartSim(const std::vector<std::string> &args)
    {
        std::vector<std::string> logged = args;
        logged.insert(logged.end(), {"--log", log()});
        std::remove(log().c_str());
        if (!form)
            return openOnTcp(logged, tcpSettings(1));
        sim = std::make_unique<SimProcess>();
        if (!sim->startTcp(logged))
            return false;
        connectTcp(*form, sim->tcpPort());
        return form->BitBtn3->isEnabled();
    }

    // Switches the download on, and off once count records are shown; true when it then waits paused.
    bool pauseAfter(RecordWatch &watch, size_t count)
    {
        clickSwitch(*form);
        if (!QTest::qWaitFor([&] { return watch.shown.size() >= count; }, 20000))
            return false;
        clickSwitch(*form);
        return form->worker->suspended() && !form->worker->completed();
    }

    // "New records only" of area 0 with the busy box's Cancel clicked as soon as it shows: true when the
    // switch's handler ended within ms of the click.
    bool cancelledWithin(qint64 ms)
    {
        QElapsedTimer sinceCancel;
        QTimer cancel;
        QObject::connect(&cancel, &QTimer::timeout, [&] {
            auto *box = form->findChild<QProgressDialog *>(QStringLiteral("ProgressBox"));
            if (!box || !box->isVisible() || sinceCancel.isValid())
                return;
            sinceCancel.start();
            QTest::mouseClick(box->findChild<QPushButton *>(), Qt::LeftButton);
        });
        cancel.start(20);
        form->chkNewOnly->setChecked(true);
        select(*form, {0});
        clickSwitch(*form);
        const qint64 took = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
        qInfo() << "ended" << took << "ms after Cancel";
        return took >= 0 && took < ms;
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void downloadsReadOnlyWhatTheArchiveLacks()
    {
        const std::vector<std::string> sixAndFour = {"--records", recordsArg({{0, 6}, {3, 4}})};
        const std::vector<std::string> eightAndFour = {"--records", recordsArg({{0, 8}, {3, 4}})};
        std::vector<std::string> lastMissing = eightAndFour;
        lastMissing.insert(lastMissing.end(), {"--missing", "0:7"});
        std::vector<std::string> renumbered = eightAndFour;
        renumbered.insert(renumbered.end(), {"--numbering", "restart:2"}); // records 2.. differ now
        struct Step {
            const char *name;
            const std::vector<std::string> *sim; // null: the same simulator again
            std::map<int, int> requests;         // per area
            QStringList shown;
            QString status;
        };
        const QStringList whole = {"00-0000", "00-0001", "00-0002", "00-0003", "00-0004",
                                   "00-0005", "03-0000", "03-0001", "03-0002", "03-0003"};
        const Step steps[] = {
            {"no archive yet: all of it", &sixAndFour, {{0, 6}, {3, 4}}, whole, completedText},
            {"nothing new: two checks per area",
             nullptr,
             {{0, 6 + 2}, {3, 4 + 2}},
             {},
             "10 records already in the archive."},
            {"two more",
             &eightAndFour,
             {{0, 2 + 2}, {3, 2}},
             {"00-0006", "00-0007"},
             "10 records already in the archive."},
            // A check record that stays unreadable says nothing of its area: that is not read.
            {"check unreadable",
             &lastMissing,
             {{0, 2}, {3, 2}},
             {},
             "4 records already in the archive. Sector 1: its last archived record could not be read "
             "(Illegal Data Address exception response); not read."},
            // The restarted numbering costs the worker a second request at position 2.
            {"cleared",
             &renumbered,
             {{0, 1 + 8 + 1}, {3, 1 + 4 + 1}},
             {"00-0000", "00-0001", "00-0002", "00-0003", "00-0004", "00-0005", "00-0006", "00-0007",
              "03-0000", "03-0001", "03-0002", "03-0003"},
             "Sector 1: the log was cleared; read whole. Sector 4: the log was cleared; read whole."},
        };
        for (const Step &step : steps) {
            qInfo() << step.name;
            if (step.sim)
                QVERIFY(restartSim(*step.sim));
            form->chkNewOnly->setChecked(true);
            RecordWatch watch(*form);
            QVERIFY(downloadAreas(*form, {0, 3}));
            QCOMPARE(shownPositions(watch, *form), step.shown);
            QCOMPARE(statusText(*form, 0), step.status);
            QCOMPARE(recordRequests(log()), step.requests);
        }

        form.reset(); // writes what the window holds
        std::string error;
        const auto archive =
            Archive::open("sqlite:" + QDir::current().absoluteFilePath("pullrec.db").toStdString(), error);
        QVERIFY2(archive, error.c_str());
        int stored = 0;
        QVERIFY(archive->forEach({}, [&stored](const StoredRecord &) { return ++stored > 0; }));
        // 12 records, then the renumbered ones of the cleared log: positions 2.. of both areas.
        QCOMPARE(stored, 12 + 6 + 2);
    }

    // An analyzer that gives no serial is kept under its link, says so, and is no other analyzer.
    void analyzerWithoutSerialIsKeptByItsLink()
    {
        QVERIFY(restartSim({"--records", recordsArg({{0, 4}})})); // another analyzer, archived first
        QVERIFY(downloadAreas(*form, {0}));
        QVERIFY(restartSim({"--serial", "", "--records", recordsArg({{0, 3}}), "--seed", "2"}));
        const std::string key = "tcp 127.0.0.1:" + std::to_string(sim->tcpPort()) + " unit 1";
        const QString note =
            QStringLiteral("No serial number: kept in the archive as \"%1\".").arg(key.c_str());
        QVERIFY(downloadAreas(*form, {0}));
        QCOMPARE(statusText(*form, 0), note);
        form->chkNewOnly->setChecked(true);
        QVERIFY(downloadAreas(*form, {0}));
        QCOMPARE(statusText(*form, 0), note + QStringLiteral(" 3 records already in the archive."));

        form.reset(); // writes what the window holds
        std::string error;
        const auto archive =
            Archive::open("sqlite:" + QDir::current().absoluteFilePath("pullrec.db").toStdString(), error);
        QVERIFY2(archive, error.c_str());
        std::vector<ArchivedAnalyzer> analyzers;
        QVERIFY(archive->listAnalyzers(analyzers));
        QCOMPARE(analyzers.size(), size_t(2));
        QCOMPARE(analyzers[1].identity.serial, key);
        QCOMPARE(analyzers[1].records[0], int64_t(3));
    }

    // A record given up in a pass is kept as missing: after a pause and a new Connect, "New records only"
    // reads it, and only it, and counts it as not archived.
    void givenUpRecordIsReadNext()
    {
        const std::vector<std::string> ten = {"--records", recordsArg({{0, 10}})};
        std::vector<std::string> thirdMissing = ten;
        thirdMissing.insert(thirdMissing.end(), {"--missing", "0:3"});
        QVERIFY(restartSim(thirdMissing));
        select(*form, {0});
        RecordWatch first(*form);
        QVERIFY(pauseAfter(first, 9));

        QVERIFY(restartSim(ten));
        form->chkNewOnly->setChecked(true);
        RecordWatch watch(*form);
        QVERIFY(downloadAreas(*form, {0}));
        QCOMPARE(shownPositions(watch, *form), QStringList{"00-0003"});
        QCOMPARE(statusText(*form, 0), QStringLiteral("9 records already in the archive."));
        QCOMPARE(recordRequests(log()), (std::map<int, int>{{0, 2 + 1}})); // the checks, then 00-0003

        form.reset();
        std::string error;
        const auto archive =
            Archive::open("sqlite:" + QDir::current().absoluteFilePath("pullrec.db").toStdString(), error);
        QVERIFY2(archive, error.c_str());
        std::map<int, int> stored;
        QVERIFY(archive->forEach(
            {}, [&stored](const StoredRecord &r) { return ++stored[r.record.position] > 0; }));
        QCOMPARE(int(stored.size()), 10);
        QVERIFY(std::all_of(stored.begin(), stored.end(), [](auto p) { return p.second == 1; }));
        std::vector<ArchivedAnalyzer> analyzers;
        QVERIFY(archive->listAnalyzers(analyzers) && analyzers.size() == 1);
        QVERIFY(archive->gaps(analyzers[0].identity.serial, 0).empty());
    }

    // An archive that cannot be read leaves the download whole, and says why.
    void unreadableArchiveReadsEverything()
    {
        QVERIFY(QDir().mkdir(QStringLiteral("pullrec.db"))); // the archive's file a folder
        QVERIFY(restartSim({"--records", recordsArg({{0, 6}})}));
        form->chkNewOnly->setChecked(true);
        RecordWatch watch(*form);
        QVERIFY(downloadAreas(*form, {0}));
        QCOMPARE(shownPositions(watch, *form).size(), 6);
        QCOMPARE(recordRequests(log())[0], 6);
        QVERIFY2(statusText(*form, 0).startsWith(QStringLiteral("The archive could not be read (")),
                 qPrintable(statusText(*form, 0)));
    }

    // A file that holds no archive is named and said in the window's language; the download reads all.
    void archiveRefusalInTheWindowsLanguage()
    {
        const QString junk = QDir::current().absoluteFilePath(QStringLiteral("junk.db"));
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) == 4096);
        file.close();
        struct Row {
            int lang;
            QString says;
        };
        for (const Row &row :
             {Row{0, QStringLiteral("bir arşiv değil")}, Row{1, QStringLiteral("holds no archive")}}) {
            form.reset();
            QVERIFY(openOnTcp({"--records", recordsArg({{0, 6}})}, tcpSettings(row.lang)));
            form->gsettings->values.archive = QStringLiteral("sqlite:") + junk;
            form->chkNewOnly->setChecked(true);
            QVERIFY(downloadAreas(*form, {0}));
            const QString status = statusText(*form, 0);
            QVERIFY2(status.contains(row.says) && status.contains(junk), qPrintable(status));
        }
    }

    // Paused and resumed, a narrowed download goes on with its own records and completes.
    void pausedDownloadResumesNarrowed()
    {
        QVERIFY(restartSim({"--records", recordsArg({{1, 10}})}));
        QVERIFY(downloadAreas(*form, {1}));
        QVERIFY(restartSim({"--records", recordsArg({{1, 40}}), "--delay", "15"}));
        form->chkNewOnly->setChecked(true);
        select(*form, {1});
        RecordWatch watch(*form);
        QVERIFY(pauseAfter(watch, 5));
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        QStringList expected;
        for (int index = 10; index < 40; ++index)
            expected << QString::fromStdString(recordPosition(1, index));
        QCOMPARE(shownPositions(watch, *form), expected);
        QCOMPARE(recordRequests(log())[1], 2 + 30);
        QCOMPARE(statusText(*form, 0), QStringLiteral("10 records already in the archive."));
    }

    // The busy box's Cancel ends the check of an archive whose server does not answer at once, and the
    // link stays open for the next download.
    void cancelEndsTheCheckOfAFrozenArchive()
    {
        PgServer pg;
        if (!pg.start())
            QSKIP(qPrintable(QString::fromStdString("no PostgreSQL: " + pg.error())));
        QVERIFY(pg.createDatabase("newonly"));
        QVERIFY(restartSim({"--records", recordsArg({{0, 6}})}));
        form->gsettings->values.archive = QString::fromStdString(pg.connection("newonly"));
        pg.freeze();
        struct Thaw {
            PgServer &pg;
            ~Thaw() { pg.thaw(); }
        } thaw{pg};

        QVERIFY(cancelledWithin(1000));
        QCOMPARE(statusText(*form, 0), QString::fromLatin1(errorText(Cancelled)));
        QVERIFY(!form->iSwitchLed1->isActive());

        form->chkNewOnly->setChecked(false);
        RecordWatch watch(*form);
        QVERIFY(downloadAreas(*form, {0})); // on the same link, not connected again
        QCOMPARE(shownPositions(watch, *form).size(), 6);
    }
    // Cancel also ends the wait for the keeper's writes to a server that stopped answering (its time-out
    // shortened so a fault costs seconds, not minutes); the link stays open.
    void cancelEndsTheWaitForTheKeeper()
    {
        const TimeoutFor timeout("6");
        PgServer pg;
        if (!pg.start())
            QSKIP(qPrintable(QString::fromStdString("no PostgreSQL: " + pg.error())));
        QVERIFY(pg.createDatabase("newonly"));
        QVERIFY(restartSim({"--records", recordsArg({{0, 6}})}));
        QVERIFY(chooseArchive(*form, QString::fromStdString(pg.connection("newonly")), true));
        QVERIFY(downloadAreas(*form, {0}));
        pg.freeze();
        struct Thaw {
            PgServer &pg;
            ~Thaw() { pg.thaw(); }
        } thaw{pg};
        QVERIFY(downloadAreas(*form, {0})); // its records wait in the keeper
        QVERIFY(cancelledWithin(1000));
        QCOMPARE(statusText(*form, 0), QString::fromLatin1(errorText(Cancelled)));
        QVERIFY(form->worker->isConnected());
    }

    // Cancel cuts short a check request to an analyzer that does not answer (the link it closes is said
    // so), and the pause before a check request is tried again.
    void cancelEndsTheCheckOfTheAnalyzer()
    {
        const QString archive = QStringLiteral("sqlite:") + QDir::current().absoluteFilePath("probe.db");
        struct Row {
            const char *name;
            std::vector<std::string> sim;
            qint64 withinMs;
            bool linkClosed;
        };
        const Row rows[] = {
            {"no answer", {"--records", recordsArg({{0, 8}}), "--delay", "5000"}, 1000, true},
            // The box shows at 300 ms, in the second's pause after a refused request.
            {"pause between tries", {"--records", recordsArg({{0, 6}}), "--missing", "0:5"}, 300, false},
        };
        for (const Row &row : rows) {
            QFile::remove(archive.mid(7));
            QVERIFY(restartSim({"--records", recordsArg({{0, 6}})}));
            QVERIFY(chooseArchive(*form, archive, true));
            QVERIFY(downloadAreas(*form, {0}));
            QVERIFY(restartSim(row.sim));
            QVERIFY2(cancelledWithin(row.withinMs), row.name);
            QCOMPARE(statusText(*form, 0), QString::fromLatin1(errorText(Cancelled)));
            if (row.linkClosed) {
                QVERIFY(!form->worker->isConnected());
                QVERIFY(!form->BitBtn3->isEnabled()); // the window knows the link is closed
            }
            form->chkNewOnly->setChecked(false);
        }
    }
};

QTEST_MAIN(TestNewOnly)
#include "tst_newonly.moc"
