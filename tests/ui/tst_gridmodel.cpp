// The result grid and what its view shows of it, under QAbstractItemModelTester: every change the
// window makes must keep both models consistent, live and while a download batches the view.

#include "ui/GridModel.h"
#include "ui/GridViewModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

namespace
{

constexpr int kSectorColumns = 31; // record number, date, time and 28 values
constexpr int kEnergyColumns = 19;

using Step = std::function<void(GridModel &)>;

// A record row as a download shows it: its number, date and time, then all its values from column 3,
// also past the energy grid's 19 columns.
Step record(int row, double first)
{
    return [row, first](GridModel &grid) {
        static RecordLog log;
        grid.setLog(&log);
        if (grid.rowCount() <= row)
            grid.setRowCount(row + 1);
        LogRecord r;
        r.area = row % 16;
        r.recordNo = row;
        r.setTime("31/12/09", "08:00:00");
        r.values = {first, first + 0.5, -first};
        r.values[27] = 28;
        grid.setRecord(row, log.append(r));
    };
}

// The energy headers as the worker writes them: past the sector grid's 31 columns, then narrowed.
void energyHeaders(GridModel &grid)
{
    grid.setCells(0, 0, {QStringLiteral("No"), QStringLiteral("Date"), QStringLiteral("Time")});
    for (int column = 3; column < 7 + kSectorColumns; ++column)
        grid.setCell(0, column, QStringLiteral("E%1").arg(column));
    grid.setColumnCount(kEnergyColumns);
}

// A new configuration: the grid narrowed to nothing and widened to the sector grid again.
void sectorHeaders(GridModel &grid)
{
    grid.setColumnCount(1);
    grid.setColumnCount(kSectorColumns);
    for (int slot = 0; slot < 28; ++slot)
        grid.setCell(0, 3 + slot, slot % 5 == 4 ? QString() : QStringLiteral("P%1").arg(slot));
}

using Cells = QList<std::tuple<int, int, QString>>; // row, column, text

class GridModelTest : public QObject
{
    Q_OBJECT

  private slots:
    void windowOperationsKeepBothModelsConsistent_data();
    void windowOperationsKeepBothModelsConsistent();
    void editsLieOverTheRecord_data();
    void editsLieOverTheRecord();
};

void GridModelTest::windowOperationsKeepBothModelsConsistent_data()
{
    QTest::addColumn<std::vector<Step>>("steps");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<Cells>("expected");

    const Step clear = [](GridModel &grid) { grid.clearCells(); };
    const auto rowsTo = [](int rows) { return Step([rows](GridModel &grid) { grid.setRowCount(rows); }); };

    QTest::newRow("sector headers") << std::vector<Step>{sectorHeaders} << 2 << kSectorColumns
                                    << Cells{{0, 3, "P0"}, {0, 7, ""}, {0, 30, "P27"}};
    QTest::newRow("records grow the grid")
        << std::vector<Step>{sectorHeaders, record(1, 1.5), record(2, 2), record(40, 7)} << 41
        << kSectorColumns << Cells{{1, 0, "1"}, {1, 3, "1.5"}, {1, 5, "-1.5"}, {20, 3, ""}, {40, 4, "7.5"}};
    QTest::newRow("energy headers past the columns, then narrowed")
        << std::vector<Step>{sectorHeaders, record(1, 3), energyHeaders} << 2 << kEnergyColumns
        << Cells{{0, 0, "No"}, {0, 3, "E3"}, {0, 18, "E18"}, {0, 19, "E19"}, {1, 3, "3"}};
    QTest::newRow("records in the energy grid")
        << std::vector<Step>{energyHeaders, record(1, 5), record(2, 6)} << 3 << kEnergyColumns
        << Cells{{1, 3, "5"}, {2, 5, "-6"}, {2, 6, "0"}, {2, 30, "28"}};
    QTest::newRow("narrowed and widened again keeps the texts")
        << std::vector<Step>{record(1, 4), energyHeaders, sectorHeaders} << 2 << kSectorColumns
        << Cells{{0, 1, "Date"}, {0, 20, "P17"}, {0, 33, "E33"}, {1, 3, "4"}, {1, 20, "0"}};
    QTest::newRow("clear keeps the counts")
        << std::vector<Step>{sectorHeaders, record(1, 1), record(5, 2), clear} << 6 << kSectorColumns
        << Cells{{0, 3, ""}, {1, 0, ""}, {5, 3, ""}};
    QTest::newRow("rows dropped and added again come back empty")
        << std::vector<Step>{record(1, 1), record(9, 9), rowsTo(2), rowsTo(12)} << 12 << kSectorColumns
        << Cells{{1, 3, "1"}, {9, 3, ""}, {9, 0, ""}};
    QTest::newRow("rows dropped") << std::vector<Step>{record(9, 9), rowsTo(3)} << 3 << kSectorColumns
                                  << Cells{{2, 3, ""}};
    QTest::newRow("records after clearing and shrinking")
        << std::vector<Step>{record(30, 1), clear, rowsTo(0), record(3, 6), energyHeaders} << 4
        << kEnergyColumns << Cells{{3, 3, "6"}, {2, 3, ""}, {0, 5, "E5"}};
    const auto edit = [](int row, int column, const char *text) {
        return Step([=](GridModel &grid) { grid.setCell(row, column, QString::fromLatin1(text)); });
    };
    QTest::newRow("an edit lies over the record, a new record over the edit")
        << std::vector<Step>{record(1, 2), edit(1, 3, "x"), edit(1, 40, "past"), record(1, 5)} << 2
        << kSectorColumns << Cells{{1, 3, "5"}, {1, 40, "past"}};
    QTest::newRow("a row past its log shows nothing") << std::vector<Step>{record(1, 2),
                                                                           [](GridModel &grid) {
                                                                               static const RecordLog empty;
                                                                               grid.setLog(&empty);
                                                                           }}
                                                      << 2 << kSectorColumns << Cells{{1, 0, ""}, {1, 3, ""}};
    QTest::newRow("no columns at all")
        << std::vector<Step>{[](GridModel &grid) { grid.setColumnCount(0); }, record(1, 1), clear,
                             [](GridModel &grid) { grid.setColumnCount(4); }}
        << 2 << 4 << Cells{{1, 3, ""}};
}

// What a row gives the chart, the report and the export: the record's value and clock, or what the
// operator typed over them.
void GridModelTest::editsLieOverTheRecord_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");   // column 3
    QTest::addColumn<qint64>("seconds"); // clockSeconds; -1 for no clock

    constexpr qint64 recorded = 1262246400; // 31/12/09 08:00:00
    QTest::newRow("as read") << -1 << QString() << 2.0 << recorded;
    QTest::newRow("value typed") << 3 << QStringLiteral("7.25") << 7.25 << recorded;
    QTest::newRow("value emptied") << 3 << QString() << double(NAN) << recorded;
    QTest::newRow("another value typed") << 4 << QStringLiteral("1") << 2.0 << recorded;
    QTest::newRow("date typed") << 1 << QStringLiteral("01/01/10") << 2.0 << recorded + 86400;
    QTest::newRow("time typed") << 2 << QStringLiteral("09:30:00") << 2.0 << recorded + 5400;
    QTest::newRow("date made no date") << 1 << QStringLiteral("--") << 2.0 << qint64(-1);
}

void GridModelTest::editsLieOverTheRecord()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(qint64, seconds);

    GridModel grid(3, kSectorColumns);
    record(1, 2)(grid);
    if (column >= 0)
        grid.setCell(1, column, text);
    QCOMPARE(grid.rowArea(1), 1);
    QCOMPARE(grid.rowArea(2), -1);
    if (std::isnan(value))
        QVERIFY(std::isnan(grid.number(1, 3)));
    else
        QCOMPARE(grid.number(1, 3), value);
    const std::optional<RecordClock> clock = grid.clock(1);
    QCOMPARE(clock ? clockSeconds(*clock) : -1, seconds);
}

void GridModelTest::windowOperationsKeepBothModelsConsistent()
{
    QFETCH(std::vector<Step>, steps);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(Cells, expected);

    for (const bool batching : {false, true}) {
        GridModel grid(2, kSectorColumns);
        GridViewModel view(&grid);
        QAbstractItemModelTester gridTester(&grid, QAbstractItemModelTester::FailureReportingMode::Fatal);
        QAbstractItemModelTester viewTester(&view, QAbstractItemModelTester::FailureReportingMode::Fatal);
        view.setBatching(batching);
        for (const Step &step : steps)
            step(grid);
        view.setBatching(false); // flushes what the batching view held back

        QCOMPARE(grid.rowCount(), rows);
        QCOMPARE(grid.columnCount(), columns);
        for (const auto &[row, column, text] : expected)
            QCOMPARE(grid.cell(row, column), text);

        QCOMPARE(view.rowCount(), rows);
        QCOMPARE(view.columnCount(), columns);
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column)
                QCOMPARE(view.index(row, column).data(), grid.index(row, column).data());
        }
        for (int column = 0; column < columns; ++column)
            QCOMPARE(view.headerData(column, Qt::Horizontal), QVariant(grid.cell(0, column)));
    }
}

} // namespace

QTEST_GUILESS_MAIN(GridModelTest)
#include "tst_gridmodel.moc"
