// The archive window over archives written here: what it lists, the range it offers, the grid it shows
// and its menu; an archive it cannot read; closing it while it reads.

#include "UiHarness.h"

#include "archive/Archive.h"
#include "ui/ArchiveWindow.h"
#include "ui/ChartModel.h"
#include "ui/ChartWindow.h"
#include "ui/GridModel.h"
#include "ui/ReportWindow.h"

#include "PgServer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <cmath>
#include <memory>

namespace
{

constexpr int kPerDay = 96; // a record every 15 minutes

// count records of area from 2025-01-01 00:00 on, one every 15 minutes, two quantities each.
std::vector<ArchiveRecord> quarterHours(int area, int count)
{
    std::vector<ArchiveRecord> records;
    for (int i = 0; i < count; ++i) {
        const QDateTime at = QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC).addSecs(i * 900LL);
        ArchiveRecord r;
        r.area = area;
        r.position = i;
        r.recordNo = i + 1;
        r.setTime(at.toString(QStringLiteral("dd/MM/yy")).toStdString(),
                  at.toString(QStringLiteral("HH:mm:ss")).toStdString());
        r.codes.fill(kEmptySlot);
        r.codes[0] = 0;
        r.codes[1] = 3;
        r.values[0] = 230 + i % 7;
        r.values[1] = 5;
        records.push_back(r);
    }
    return records;
}

bool waitIdle(ArchiveWindow &window)
{
    return QTest::qWaitFor([&window] { return !window.busy(); }, 30000);
}

// Shows every record of area of the first analyzer listed.
bool showWholeArea(ArchiveWindow &window, int area)
{
    if (!waitIdle(window) || window.analyzerTable->rowCount() == 0)
        return false;
    window.areaCombo->setCurrentIndex(window.areaCombo->findData(area));
    window.fromEdit->setDateTime(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));
    window.toEdit->setDateTime(QDateTime(QDate(2099, 12, 31), QTime(23, 59), Qt::UTC));
    window.showRecords();
    return waitIdle(window);
}

} // namespace

class TestArchiveWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    LANGUAGE texts;
    QString location;

  private slots:
    void initTestCase()
    {
        fillLanguageTexts(texts, TextLanguage::English);
        location = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("kept.db"));
        std::string error;
        auto archive = Archive::open(location.toStdString(), error);
        QVERIFY2(archive, error.c_str());
        QVERIFY(archive->saveAnalyzer({"S2", "V", "KTR-58-144", "1", 100, 1, "Europe/Istanbul"}));
        QVERIFY(archive->saveAnalyzer({"S1", "V", "KTR-58-168", "2", 100, 1, ""}));
        const struct {
            const char *serial;
            int area;
            int count;
        } stores[] = {{"S1", 0, 40 * kPerDay}, {"S1", kEnergyArea, 3 * kPerDay}, {"S2", 6, 10}};
        for (const auto &s : stores) {
            StoreCounts counts;
            QVERIFY(archive->store(s.serial, quarterHours(s.area, s.count), counts));
        }
    }

    // Per analyzer and area: the range offered (the last month of the area's records), the records it
    // shows, the grid's form and whether the menu offers the energy report.
    void showsTheLastMonthOfAnArea_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("area");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("records");
        QTest::addColumn<QStringList>("header");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("report");
        const QStringList sector{"Record #", "Date", "Time", "VLN1 : V", "ILN1 : A", ""};
        // 2025-01-09 23:45 to 2025-02-09 23:45: the first record of the range on the hour past the start.
        QTest::newRow("S1 sector 1") << 0 << 0 << "2025-01-09 23:45:00"
                                     << "2025-02-09 23:45:00" << 31 * kPerDay + 1 << sector << 31 << false;
        QTest::newRow("S1 energy log") << 0 << int(kEnergyArea) << "2024-12-03 23:45:00"
                                       << "2025-01-03 23:45:00" << 3 * kPerDay
                                       << QStringList{"Record #", "Date", "Time", "kW/h."} << 19 << true;
        QTest::newRow("S2 sector 7") << 1 << 6 << "2024-12-01 02:15:00"
                                     << "2025-01-01 02:15:00" << 10 << sector << 31 << false;
    }

    void showsTheLastMonthOfAnArea()
    {
        QFETCH(int, row);
        QFETCH(int, area);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, records);
        QFETCH(QStringList, header);
        QFETCH(int, columns);
        QFETCH(bool, report);

        ArchiveWindow window(location, texts, false);
        window.show();
        QVERIFY(waitIdle(window));
        QCOMPARE(window.analyzerTable->rowCount(), 2);
        QCOMPARE(window.analyzerTable->item(0, 0)->text(), QStringLiteral("S1"));
        QCOMPARE(window.analyzerTable->item(1, 1)->text(), QStringLiteral("KTR-58-144"));
        QCOMPARE(window.analyzerTable->item(0, 3)->text(), QString::number(40 * kPerDay));
        QCOMPARE(window.analyzerTable->item(1, 3)->text(), QStringLiteral("0"));

        window.analyzerTable->selectRow(row);
        window.areaCombo->setCurrentIndex(window.areaCombo->findData(area));
        const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(window.fromEdit->dateTime().toString(format), from);
        QCOMPARE(window.toEdit->dateTime().toString(format), to);
        QTest::mouseClick(window.showButton, Qt::LeftButton);
        QVERIFY(waitIdle(window));
        QCOMPARE(window.records().size(), size_t(records));
        QCOMPARE(window.gridModel->rowCount(), records + 2);
        QCOMPARE(window.gridModel->columnCount(), columns);
        for (int column = 0; column < header.size(); ++column)
            QCOMPARE(window.gridModel->cell(0, column).trimmed(), header[column]);
        QCOMPARE(window.gridModel->rowArea(records), area);
        QVERIFY(window.statusLabel->text().startsWith(QString::number(records) + QStringLiteral(" records")));
        emit window.gridMenu->aboutToShow();
        QCOMPARE(window.reportAction->isVisible(), report);
        QVERIFY(window.saveAction->isEnabled());
        window.chartAction->trigger();
        auto *chart = window.findChild<ChartWindow *>();
        QVERIFY(chart && chart->isVisible());
        QCOMPARE(chart->data().recordCount(), records);
        if (report) {
            window.reportAction->trigger();
            auto *opened = window.findChild<ReportWindow *>();
            QVERIFY(opened && opened->isVisible());
        }
        if (row == 0 && area == 0)
            ui::saveScreenshot(window, QStringLiteral("screenshot-archive.png"));
    }

    // Whatever is wrong with the location, the window says why and offers nothing to show.
    void unreadableArchiveIsSaidSo_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("says"); // the start, or with the archive's name what it is
        const QString cannot = QStringLiteral("The archive cannot be read: ");
        QTest::newRow("missing file") << QStringLiteral("sqlite:{dir}/none/pullrec.db") << cannot;
        QTest::newRow("a directory") << QStringLiteral("sqlite:{dir}") << cannot;
        QTest::newRow("no archive") << QStringLiteral("sqlite:{dir}/text.db")
                                    << QStringLiteral("{dir}/text.db holds no archive or is damaged.");
        QTest::newRow("no server") << QStringLiteral("postgresql://127.0.0.1:1/pullrec?connect_timeout=5")
                                   << cannot;
    }

    void unreadableArchiveIsSaidSo()
    {
        QFETCH(QString, location);
        QFETCH(QString, says);
        QFile text(dir.filePath(QStringLiteral("text.db")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not an archive\n");
        text.close();

        ArchiveWindow window(location.replace(QStringLiteral("{dir}"), dir.path()), texts, false);
        window.show();
        QVERIFY(waitIdle(window));
        QVERIFY2(window.statusLabel->text().contains(says.replace(QStringLiteral("{dir}"), dir.path())),
                 qPrintable(window.statusLabel->text()));
        QCOMPARE(window.analyzerTable->rowCount(), 0);
        QVERIFY(!window.showButton->isEnabled());
        QVERIFY(!window.saveAction->isEnabled());
        window.showRecords(); // nothing picked: nothing read
        QVERIFY(!window.busy());
        QVERIFY(window.busyBar->isHidden());
    }

    // Records of another configuration stand under a header of their own, after an empty row, as the
    // command line's grid has them; the chart takes each value under the quantity it was logged as.
    void aConfigurationChangeStartsAHeaderOfItsOwn()
    {
        const QString changed = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("changed.db"));
        std::string error;
        auto archive = Archive::open(changed.toStdString(), error);
        QVERIFY2(archive, error.c_str());
        QVERIFY(archive->saveAnalyzer({"S3", "V", "KTR-58-168", "2", 1, 1, ""}));
        std::vector<ArchiveRecord> records = quarterHours(1, 10);
        for (size_t k = 5; k < records.size(); ++k) {
            records[k].codes[0] = 28; // TWATT where VLN1 was
            records[k].values[0] = 1000 + double(k);
        }
        StoreCounts counts;
        QVERIFY(archive->store("S3", records, counts));

        ArchiveWindow window(changed, texts, false);
        window.show();
        QVERIFY(showWholeArea(window, 1));
        const GridModel &grid = *window.gridModel;
        QCOMPARE(grid.rowCount(), 10 + 4);
        const struct {
            int row;
            QString first;
            QString third;
        } rows[] = {{0, "Record #", "VLN1 : V"},  {1, "1", "230"},  {5, "5", "234"},    {6, "", ""},
                    {7, "Record #", "TWATT : W"}, {8, "6", "1005"}, {12, "10", "1009"}, {13, "", ""}};
        for (const auto &r : rows) {
            QCOMPARE(grid.cell(r.row, 0).trimmed(), r.first);
            QCOMPARE(grid.cell(r.row, 3).trimmed(), r.third);
            QCOMPARE(grid.isHeader(r.row), r.first == QStringLiteral("Record #"));
        }

        window.chartAction->trigger();
        auto *chart = window.findChild<ChartWindow *>();
        QVERIFY(chart);
        const ChartModel &data = chart->data();
        QCOMPARE(data.recordCount(), 10);
        QStringList names;
        for (const ChartModel::Quantity &q : data.quantities())
            names << q.name.trimmed();
        QCOMPARE(names, (QStringList{"VLN1 : V", "ILN1 : A", "TWATT : W"}));
        for (int record = 0; record < 10; ++record) {
            const bool before = record < 5;
            QCOMPARE(std::isnan(data.value(0, record)), !before);
            QCOMPARE(data.value(1, record), 5.0);
            QCOMPARE(std::isnan(data.value(2, record)), before);
            if (!before)
                QCOMPARE(data.value(2, record), 1000.0 + record);
        }
    }

    // Records without a clock are left out of a range unless asked for; then they stand where the log
    // had them.
    void recordsWithoutAClockOnRequest()
    {
        const QString unclocked = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("unclocked.db"));
        std::string error;
        auto archive = Archive::open(unclocked.toStdString(), error);
        QVERIFY2(archive, error.c_str());
        std::vector<ArchiveRecord> records = quarterHours(0, 8);
        for (const size_t k : {size_t(2), size_t(5)})
            records[k].setTime("00/00/00", "00:00:00");
        StoreCounts counts;
        QVERIFY(archive->store("S4", records, counts));

        ArchiveWindow window(unclocked, texts, false);
        window.show();
        for (const bool asked : {false, true}) {
            window.unclockedBox->setChecked(asked);
            QVERIFY(showWholeArea(window, 0));
            QStringList numbers;
            for (size_t k = 0; k < window.records().size(); ++k)
                numbers << QString::number(window.records()[k].recordNo);
            QCOMPARE(numbers.join(','), QString(asked ? "1,2,3,4,5,6,7,8" : "1,2,4,5,7,8"));
        }
    }

    // Giving a read up returns at once while the server does not answer: "Stop", closing the window,
    // and a window closed while it lists.
    void givingUpAFrozenServersReadReturnsAtOnce()
    {
        PgServer pg;
        if (!pg.start())
            QSKIP(qPrintable(QString::fromStdString("no PostgreSQL: " + pg.error())));
        QVERIFY(pg.createDatabase("frozen"));
        const QString frozen = QString::fromStdString(pg.connection("frozen"));
        std::string error;
        auto archive = Archive::open(frozen.toStdString(), error);
        QVERIFY2(archive, error.c_str());
        StoreCounts counts;
        QVERIFY(archive->store("S1", quarterHours(0, 2000), counts));
        archive.reset();
        auto window = std::make_unique<ArchiveWindow>(frozen, texts, false);
        QVERIFY(showWholeArea(*window, 0));
        QCOMPARE(window->records().size(), size_t(2000));

        constexpr qint64 kAtOnceMs = 1000; // the server's time-out is two minutes
        pg.freeze();
        QElapsedTimer clock;
        window->showRecords();
        QVERIFY(window->busy());
        QCOMPARE(window->showButton->text(), QStringLiteral("Stop"));
        clock.start();
        QTest::mouseClick(window->showButton, Qt::LeftButton);
        QVERIFY2(clock.elapsed() < kAtOnceMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!window->busy());
        QCOMPARE(window->statusLabel->text(), QStringLiteral("Reading stopped."));
        QCOMPARE(window->showButton->text(), QStringLiteral("Show"));

        window->showRecords();
        QVERIFY(window->busy());
        clock.restart();
        window->close();
        window.reset();
        QVERIFY2(clock.elapsed() < kAtOnceMs, qPrintable(QString::number(clock.elapsed())));

        window = std::make_unique<ArchiveWindow>(frozen, texts, false);
        QVERIFY(window->busy());
        clock.restart();
        window.reset();
        QVERIFY2(clock.elapsed() < kAtOnceMs, qPrintable(QString::number(clock.elapsed())));
        pg.thaw();
    }

    // A read in progress ends with the window: the listing's, a month's.
    void closingWhileReading()
    {
        for (const bool listed : {false, true}) {
            auto window = std::make_unique<ArchiveWindow>(location, texts, false);
            QVERIFY(window->busy());
            if (listed) {
                QVERIFY(waitIdle(*window));
                window->fromEdit->setDateTime(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));
                window->showRecords();
                QVERIFY(window->busy());
            }
            window.reset();
        }
    }
};

QTEST_MAIN(TestArchiveWindow)
#include "tst_archive.moc"
