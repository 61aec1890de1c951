// The grid format of pullrec-cli against the window: the same records from the same simulator, saved by
// the window's "Save to File..." writer, give the same bytes, over TCP and over a pseudo-terminal.

#include "../e2e/DownloadHarness.h"

#include "text/GridCsv.h"

using namespace e2e;

class TestGrid : public QObject, public WindowFixture
{
    Q_OBJECT

    // The file the window would save after downloading areas.
    QByteArray windowCsv(int lang, std::initializer_list<int> areas)
    {
        if (!openOnTcp(simArgs, tcpSettings(lang)) || !downloadAreas(*form, areas))
            return {};
        const GridModel &grid = *form->gridModel;
        return gridToCsv(grid.rowCount(), grid.columnCount(),
                         [&grid](int r, int c) { return grid.cell(r, c); });
    }

    static ProgramRun cli(const std::vector<std::string> &connection, const QStringList &args)
    {
        std::vector<std::string> all{"download", "--format", "grid", "--quiet"};
        for (const QString &a : args)
            all.push_back(a.toStdString());
        all.insert(all.end(), connection.begin(), connection.end());
        const std::string bin = SimProcess::binary();
        return runProgram(bin.substr(0, bin.rfind('/') + 1) + "pullrec-cli", all, 60000);
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void sameBytesAsTheWindow_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QList<int>>("areas");
        QTest::addColumn<QStringList>("cliArgs");
        QTest::newRow("one sector, English") << 1 << QList<int>{2} << QStringList{"--sectors", "3"};
        QTest::newRow("two sectors, Turkish")
            << 0 << QList<int>{0, 2} << QStringList{"--sectors", "1,3", "--lang", "tr"};
        QTest::newRow("energy log, English") << 1 << QList<int>{kEnergyArea} << QStringList{"--energy"};
        QTest::newRow("energy log, Turkish")
            << 0 << QList<int>{kEnergyArea} << QStringList{"--energy", "--lang", "tr"};
    }

    void sameBytesAsTheWindow()
    {
        QFETCH(int, lang);
        QFETCH(QList<int>, areas);
        QFETCH(QStringList, cliArgs);
        simArgs = {"--records", recordsArg({{0, 4}, {2, 7}, {15, 5}})};

        QByteArray expected;
        switch (areas.size()) {
        case 1:
            expected = windowCsv(lang, {areas[0]});
            break;
        case 2:
            expected = windowCsv(lang, {areas[0], areas[1]});
            break;
        }
        QVERIFY2(expected.count('\n') > 3, expected.constData());
        const std::string port = "127.0.0.1:" + std::to_string(sim->tcpPort());
        form.reset();

        const ProgramRun overTcp = cli({"--tcp", port}, cliArgs);
        QCOMPARE(overTcp.exitCode, 0);
        QCOMPARE(QByteArray::fromStdString(overTcp.out), expected);

        SimProcess pty;
        QVERIFY2(pty.startPty(simArgs), pty.error().c_str());
        const ProgramRun overRtu = cli({"--rtu", pty.ptyPath()}, cliArgs);
        QCOMPARE(overRtu.exitCode, 0);
        QCOMPARE(QByteArray::fromStdString(overRtu.out), expected);
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
