// The grid's views after downloads from ktr58-sim: the trend chart against the grid it is drawn from,
// and the main window enlarged.

#include "DownloadHarness.h"

#include "ui/ChartWindow.h"
#include "ui/GridViewModel.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QFileDialog>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineSeries>
#include <QTableWidget>
#include <QValueAxis>
#include <QWheelEvent>

#include <cmath>

using namespace e2e;

namespace
{

// Milliseconds since the epoch of a grid row's date and time, read independently of the chart.
double rowTime(TForm1 &form, int row)
{
    const QDateTime t =
        QDateTime::fromString(form.gridModel->cell(row, 1) + ' ' + form.gridModel->cell(row, 2),
                              QStringLiteral("dd/MM/yy HH:mm:ss"));
    return double(t.addYears(100).toMSecsSinceEpoch()); // "yy" reads as 19yy
}

QStringList statsRow(ChartWindow &chart, int row)
{
    QStringList cells;
    for (int c = 0; c < chart.statsTable->columnCount(); ++c)
        cells << chart.statsTable->item(row, c)->text();
    return cells;
}

// A dark desktop, as a dark theme gives it to the program.
QPalette darkPalette()
{
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230);
    for (auto role : {QPalette::Window, QPalette::Button})
        p.setColor(role, window);
    for (auto role : {QPalette::Base, QPalette::AlternateBase, QPalette::ToolTipBase})
        p.setColor(role, base);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        p.setColor(role, text);
    return p;
}

// A grid of records one second apart from 01/02/24 00:00:00, one quantity of a sine with a peak of 500 at
// record 777 and a dip to -20 at record 1500.
void fillSeconds(GridModel &grid, int records)
{
    static RecordLog log;
    log.clear();
    grid.setLog(&log);
    grid.setCells(0, 0, {"Record #", "Date", "Time", "VLN1 : V"});
    for (int r = 1; r <= records; ++r) {
        const int s = r - 1;
        LogRecord record;
        record.recordNo = r;
        record.setTime("01/02/24", QStringLiteral("%1:%2:%3")
                                       .arg(s / 3600, 2, 10, QChar('0'))
                                       .arg(s / 60 % 60, 2, 10, QChar('0'))
                                       .arg(s % 60, 2, 10, QChar('0'))
                                       .toStdString());
        record.values[0] = r == 777 ? 500 : r == 1500 ? -20 : 230 + std::sin(r / 50.0);
        grid.setRecord(r, log.append(record));
    }
}

bool readable(const QWidget *w)
{
    const QPalette &p = w->palette();
    return std::abs(p.color(QPalette::Text).lightness() - p.color(QPalette::Base).lightness()) > 100;
}

} // namespace

class TestView : public QObject, public WindowFixture
{
    Q_OBJECT

    bool download(std::initializer_list<int> areas, const std::vector<std::string> &args = {})
    {
        Settings s;
        s.mode = 0;
        if (!openOnTcp(args.empty() ? std::vector<std::string>{"--records", recordsArg({{0, 40}, {1, 25}})}
                                    : args,
                       s))
            return false;
        select(*form, areas);
        clickSwitch(*form);
        return waitCompleted(*form);
    }

    ChartWindow *openChart()
    {
        if (!form->Chart1->isEnabled())
            return nullptr;
        form->Chart1->trigger();
        auto *chart = form->findChild<ChartWindow *>();
        return chart && QTest::qWaitForWindowExposed(chart) ? chart : nullptr;
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // Series, points, axes and figures equal what the grid holds; a record edited out of time order is
    // drawn in time order.
    void chartOfSectorLog()
    {
        QVERIFY(download({0, 1}));
        const int records = form->gridModel->rowCount() - 2;
        QCOMPARE(records, 65);
        // Record 1 moved to the end of the log by the operator.
        form->gridModel->setCell(1, 1, QStringLiteral("31/12/99"));
        ChartWindow *chart = openChart();
        QVERIFY(chart);
        const ChartModel &data = chart->data();
        QCOMPARE(data.recordCount(), records);
        QCOMPARE(data.row(records - 1), 1);
        QCOMPARE(data.quantities().size(), size_t(18)); // the simulator's default configuration
        QCOMPARE(data.quantities()[3].name, QStringLiteral("ILN1 : A"));
        QCOMPARE(data.quantities()[3].unit, QStringLiteral("A"));

        // The first three ticked: VLN1..3, on one axis in volts.
        QCOMPARE(chart->chart()->series().size(), 3);
        QCOMPARE(chart->valueAxes().size(), size_t(1));
        QCOMPARE(chart->valueAxes()[0]->titleText(), QStringLiteral("V"));
        for (int q = 0; q < 3; ++q) {
            const QList<QPointF> points = chart->seriesOf(q)->points();
            QCOMPARE(points.size(), records);
            for (int i = 0; i < records; ++i) {
                const int row = data.row(i);
                QCOMPARE(points[i].x(), rowTime(*form, row));
                QCOMPARE(points[i].y(), form->gridModel->number(row, 3 + q));
                QVERIFY(i == 0 || points[i].x() >= points[i - 1].x());
            }
        }

        // Amperes take the second axis; a third unit cannot be ticked.
        chart->quantityList->item(3)->setCheckState(Qt::Checked);
        QCOMPARE(chart->valueAxes().size(), size_t(2));
        QCOMPARE(chart->valueAxes()[1]->titleText(), QStringLiteral("A"));
        QCOMPARE(chart->seriesOf(3)->attachedAxes().contains(chart->valueAxes()[1]), true);
        QListWidgetItem *powerFactor = chart->quantityList->item(6);
        QVERIFY(!(powerFactor->flags() & Qt::ItemIsEnabled));
        powerFactor->setCheckState(Qt::Checked);
        QCOMPARE(powerFactor->checkState(), Qt::Unchecked);
        QCOMPARE(chart->chart()->series().size(), 4);

        // Zoomed to records 10..30 of the time order: the figures of exactly those records.
        const double from = data.time(10), to = data.time(30);
        chart->setTimeRange(from, to);
        double min = INFINITY, max = -INFINITY, sum = 0;
        int count = 0;
        for (int row = 1; row <= records; ++row) {
            const double t = rowTime(*form, row);
            if (t < from || t > to)
                continue;
            const double v = form->gridModel->cell(row, 6).toDouble();
            min = std::min(min, v);
            max = std::max(max, v);
            sum += v;
            ++count;
        }
        QVERIFY(count >= 21);
        QCOMPARE(chart->statsTable->rowCount(), 4);
        const QStringList stats = statsRow(*chart, 3);
        QCOMPARE(stats[0], QStringLiteral("ILN1 : A"));
        QCOMPARE(stats[1].toDouble(), min);
        QCOMPARE(stats[2].toDouble(), max);
        QVERIFY(std::abs(stats[3].toDouble() - sum / count) < 1e-4);
        // The axes fit the zoomed values; a double click shows the whole log again.
        QVERIFY(chart->valueAxes()[1]->min() <= min && chart->valueAxes()[1]->max() >= max);
        QVERIFY(chart->valueAxes()[1]->max() - chart->valueAxes()[1]->min() < (max - min) * 1.2);
        QTest::mouseDClick(chart->findChild<QChartView *>(QStringLiteral("chartView"))->viewport(),
                           Qt::LeftButton, {}, QPoint(200, 150));
        QCOMPARE(chart->timeFrom(), data.time(0));
        QCOMPARE(chart->timeTo(), data.time(records - 1));

        const QString png = QDir::current().absoluteFilePath(QStringLiteral("chart.png"));
        QVERIFY(chart->exportPng(png));
        const QImage image(png);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 480 && image.height() >= 300);
        QVERIFY(chart->exportSvg(QStringLiteral("chart.svg")));
        QFile svg(QStringLiteral("chart.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray vector = svg.readAll();
        QVERIFY(vector.contains("<svg") && vector.contains("</svg>"));
        QVERIFY(vector.contains(">ILN1 : A<")); // the legend, as text
        saveScreenshot(*chart, QStringLiteral("chart.png"));
    }

    // The chart follows a download that runs while it is open, and an energy log's units come from the
    // energy table.
    void chartFollowsDownload()
    {
        QVERIFY(download({kEnergyArea}, {"--records", recordsArg({{0, 96}, {kEnergyArea, 12}})}));
        ChartWindow *chart = openChart();
        QVERIFY(chart);
        QCOMPARE(chart->data().recordCount(), 12);
        QCOMPARE(chart->data().quantities()[0].unit, QStringLiteral("kWh"));
        QCOMPARE(chart->data().quantities()[4].unit, QStringLiteral("V"));
        QCOMPARE(chart->valueAxes()[0]->titleText(), QStringLiteral("kWh"));

        select(*form, {0});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form));
        QTRY_COMPARE(chart->data().recordCount(), 96);
        QCOMPARE(chart->data().quantities()[0].name, QStringLiteral("VLN1 : V"));
        QCOMPARE(chart->seriesOf(0)->count(), 96);
        chart->quantityList->item(3)->setCheckState(Qt::Checked);
        // Hovering the middle of the day names the record of midday with its four values.
        const QPointF middle = chart->chart()->plotArea().center();
        chart->hoverAt(middle);
        const int record = chart->data().nearest(chart->timeAt(middle.x()));
        QVERIFY(record > 30 && record < 66);
        const int row = chart->data().row(record);
        QCOMPARE(chart->hoverLabel->text().split(QStringLiteral("   ")),
                 QStringList({form->gridModel->cell(row, 1) + ' ' + form->gridModel->cell(row, 2),
                              "VLN1 = " + form->gridModel->cell(row, 3) + " V",
                              "VLN2 = " + form->gridModel->cell(row, 4) + " V",
                              "VLN3 = " + form->gridModel->cell(row, 5) + " V",
                              "ILN1 = " + form->gridModel->cell(row, 6) + " A"}));
        QVERIFY(chart->exportPng(QStringLiteral("day.png")));
        saveScreenshot(*chart, QStringLiteral("screenshot-chart.png"));
    }

    // Thousands of records are thinned to what the pixels can show, keeping every slice's extremes.
    void thinnedSeriesKeepExtremes()
    {
        GridModel grid(2002, 4);
        fillSeconds(grid, 2000);
        ChartModel data;
        data.load(grid);
        QCOMPARE(data.recordCount(), 2000);
        QList<QPointF> points;
        data.points(0, data.time(0), data.time(1999), 100, points);
        QVERIFY(points.size() <= 202);
        QVERIFY(points.size() >= 100);
        auto has = [&points](double y) {
            return std::any_of(points.begin(), points.end(), [y](QPointF p) { return p.y() == y; });
        };
        QVERIFY(has(500) && has(-20));
        QVERIFY(
            std::is_sorted(points.begin(), points.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); }));
        QCOMPARE(data.nearest(data.time(776) + 400), 776);
        const ChartModel::Stats all = data.stats(0, data.time(0), data.time(1999));
        QCOMPARE(all.count, 2000);
        QCOMPARE(all.max, 500.0);
        QCOMPARE(all.min, -20.0);
    }

    // The mouse: the wheel zooms around the pointer, a dragged rectangle zooms into its time, a right drag
    // pans, a double click shows everything.
    void mouseZoomsAndPans()
    {
        GridModel grid(2002, 4);
        fillSeconds(grid, 2000);
        LANGUAGE texts;
        fillLanguageTexts(texts, 1);
        ChartWindow chart(grid, texts);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QWidget *viewport = chart.findChild<QChartView *>(QStringLiteral("chartView"))->viewport();
        const QRectF plot = chart.chart()->plotArea();
        const double all = chart.timeTo() - chart.timeFrom();
        QCOMPARE(all, 1999000.0);
        const double pixel = all / plot.width();

        const QPointF at(plot.left() + plot.width() / 4, plot.center().y());
        const double under = chart.timeAt(at.x());
        QWheelEvent wheel(at, viewport->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(viewport, &wheel);
        QVERIFY(std::abs(chart.timeTo() - chart.timeFrom() - 0.8 * all) < 1);
        QVERIFY(std::abs(chart.timeAt(at.x()) - under) < pixel); // the time under the pointer stays there

        QTest::mouseDClick(viewport, Qt::LeftButton, {}, plot.center().toPoint());
        QCOMPARE(chart.timeTo() - chart.timeFrom(), all);
        const QPoint left(int(plot.left() + plot.width() * 0.25), int(plot.top() + 20));
        const QPoint right(int(plot.left() + plot.width() * 0.75), int(plot.bottom() - 20));
        const double from = chart.timeAt(left.x()), to = chart.timeAt(right.x());
        QTest::mousePress(viewport, Qt::LeftButton, {}, left);
        QTest::mouseMove(viewport, right);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, right);
        QVERIFY2(std::abs(chart.timeFrom() - from) <= 2 * pixel && std::abs(chart.timeTo() - to) <= 2 * pixel,
                 qPrintable(QStringLiteral("%1..%2 for %3..%4")
                                .arg(chart.timeFrom())
                                .arg(chart.timeTo())
                                .arg(from)
                                .arg(to)));
        // Only the records of the rectangle's time count, and the value axis is the rectangle's.
        const ChartModel::Stats inside = chart.data().stats(0, chart.timeFrom(), chart.timeTo());
        QCOMPARE(chart.statsTable->item(0, 2)->text(), QStringLiteral("500"));
        QCOMPARE(inside.max, 500.0);
        QVERIFY(chart.valueAxes()[0]->max() < 500);

        const double shown = chart.timeTo() - chart.timeFrom(), before = chart.timeFrom();
        QTest::mousePress(viewport, Qt::RightButton, {}, plot.center().toPoint());
        QTest::mouseMove(viewport, plot.center().toPoint() + QPoint(100, 0));
        QTest::mouseRelease(viewport, Qt::RightButton, {}, plot.center().toPoint() + QPoint(100, 0));
        QVERIFY(std::abs(chart.timeFrom() - (before - 100 * shown / plot.width())) < 1);
        QCOMPARE(chart.timeTo() - chart.timeFrom(), shown);
    }

    // Enlarged, the grid and the parameter list grow and status panel 0 widens; never below the design
    // size. Numbers stand right in their cells, texts stay as they are; status panels show their text as a
    // tooltip.
    void windowGrows()
    {
        QVERIFY(download({0}));
        QCOMPARE(form->size(), QSize(820, 598));
        QCOMPARE(form->minimumSize(), QSize(820, 598));
        const QSize grid = form->grid->size(), list = form->list1->size();
        const int panel0 = form->statusPanel[0]->width();
        form->resize(1220, 898);
        QTRY_VERIFY(form->grid->height() > grid.height() + 150);
        QVERIFY(form->grid->width() >= grid.width() + 400);
        QVERIFY(form->list1->height() > list.height() + 50);
        QCOMPARE(form->statusPanel[0]->width(), panel0 + 400);
        form->resize(600, 400);
        QTRY_COMPARE(form->size(), QSize(820, 598));
        QTRY_COMPARE(form->grid->size(), grid);

        const QModelIndex value = form->gridView->index(1, 3), date = form->gridView->index(1, 1);
        QCOMPARE(value.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
        QCOMPARE(date.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, 0);
        for (int p = 0; p < 4; ++p)
            QCOMPARE(form->statusPanel[size_t(p)]->toolTip(), statusText(*form, p));
        QVERIFY(!statusText(*form, 0).isEmpty());
    }

    // Export... writes the records for other programs: comma separated with the area of each record, ISO
    // 8601 times and "." decimals, or JSON lines, whatever the window's locale, or a spreadsheet.
    void exportForOtherPrograms()
    {
        QVERIFY(download({0, 1}));
        QVERIFY(form->Export1->isEnabled());
        auto exportAs = [this](const QString &filter, const QString &name) {
            ModalAnswer dialog([&](QWidget *modal) {
                auto *d = qobject_cast<QFileDialog *>(modal);
                QVERIFY(d);
                QCOMPARE(d->nameFilters(),
                         QStringList({"CSV (*.csv)", "JSON lines (*.jsonl)", "Excel (*.xlsx)"}));
                d->selectNameFilter(filter);
                d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
                QMetaObject::invokeMethod(d, "accept");
            });
            form->Export1->trigger();
            QVERIFY(dialog.seen());
        };
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::Turkish)); // "," decimals in the grid
        exportAs(QStringLiteral("CSV (*.csv)"), QStringLiteral("records.csv"));
        exportAs(QStringLiteral("JSON lines (*.jsonl)"), QStringLiteral("records.jsonl"));
        exportAs(QStringLiteral("Excel (*.xlsx)"), QStringLiteral("records.xlsx"));
        QLocale::setDefault(previous);
        QFile book(QStringLiteral("DATA/records.xlsx"));
        QVERIFY(book.open(QIODevice::ReadOnly));
        QCOMPARE(book.read(4), QByteArray("PK\x03\x04", 4));

        QFile csv(QStringLiteral("DATA/records.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray csvBytes = csv.readAll();
        const QList<QByteArray> lines = csvBytes.split('\n');
        QCOMPARE(lines.size(), 1 + 65 + 1); // header, records, nothing after the last line feed
        const QList<QByteArray> header = lines[0].split(',');
        QCOMPARE(header.mid(0, 4), QList<QByteArray>({"analyzer", "area", "record", "time"}));
        QCOMPARE(header[4], QByteArray("VLN1 [V]"));
        for (int row = 1; row <= 65; ++row) {
            const QList<QByteArray> f = lines[row].split(',');
            QCOMPARE(f.size(), header.size());
            QCOMPARE(f[1], QByteArray(row <= 40 ? "1" : "2"));
            QCOMPARE(f[2], form->gridModel->cell(row, 0).toLatin1());
            QCOMPARE(QDateTime::fromString(QString::fromLatin1(f[3]), Qt::ISODate).toMSecsSinceEpoch(),
                     qint64(rowTime(*form, row)));
            QCOMPARE(f[4].toDouble(), form->gridModel->number(row, 3));
            QCOMPARE(f[4 + 6].toDouble(), form->gridModel->number(row, 3 + 6)); // a power factor
        }

        QFile jsonl(QStringLiteral("DATA/records.jsonl"));
        QVERIFY(jsonl.open(QIODevice::ReadOnly));
        const QList<QByteArray> objects = jsonl.readAll().trimmed().split('\n');
        QCOMPARE(objects.size(), 65);
        const QJsonObject last = QJsonDocument::fromJson(objects.last()).object();
        QCOMPARE(last.value("area").toInt(), 2);
        QCOMPARE(last.value("record").toInt(), form->gridModel->cell(65, 0).toInt());
        QCOMPARE(last.value("values").toObject().size(), header.size() - 4);
        QCOMPARE(last.value("values").toObject().value("VLN1 [V]").toDouble(),
                 form->gridModel->number(65, 3));

        // The records keep the columns they were read with when another configuration is applied.
        for (int i = 0; i < form->list1->count(); ++i)
            form->list1->item(i)->setCheckState(i == 5 ? Qt::Checked : Qt::Unchecked);
        BoxSeries applied({QMessageBox::Ok, QMessageBox::Ok});
        QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
        QVERIFY(applied.wait());
        QCOMPARE(form->worker->configuration().paramCodes[0], int16_t(5));
        exportAs(QStringLiteral("CSV (*.csv)"), QStringLiteral("after.csv"));
        QFile after(QStringLiteral("DATA/after.csv"));
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), csvBytes);
    }

    // On a dark desktop the window and the chart keep their texts readable: only lamps and flags have
    // colours of their own.
    void darkDesktop()
    {
        struct Restore {
            QPalette light = QApplication::palette();
            ~Restore() { QApplication::setPalette(light); }
        } restore;
        QApplication::setPalette(darkPalette());
        QVERIFY(download({0, 1}));
        for (QWidget *w : std::initializer_list<QWidget *>{form->Memo1, form->list1, form->grid})
            QVERIFY2(readable(w), qPrintable(w->objectName()));
        QVERIFY(form->list1->palette().color(QPalette::Base).lightness() < 128);
        saveScreenshot(*form, QStringLiteral("screenshot-dark.png"));
        ChartWindow *chart = openChart();
        QVERIFY(chart);
        QVERIFY(chart->chart()->backgroundBrush().color().lightness() < 128);
        chart->quantityList->item(3)->setCheckState(Qt::Checked);
        QVERIFY(chart->exportPng(QStringLiteral("dark.png")));
        saveScreenshot(*chart, QStringLiteral("dark-chart.png"));
    }
};

QTEST_MAIN(TestView)
#include "tst_view.moc"
