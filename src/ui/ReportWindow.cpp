#include "ui/ReportWindow.h"

#include "model/RecordDecoding.h"
#include "shell/Startup.h"
#include "text/RecordFormats.h"
#include "ui/GridModel.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace
{

ClockSeconds dayStart(const QDate &d)
{
    return clockSeconds({d.year(), d.month(), d.day(), 0, 0, 0});
}

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

std::vector<QString> rowCells(const QString &label, const Figures &f)
{
    std::vector<QString> cells{label};
    for (const std::string &cell : tableCells(f))
        cells.push_back(q(cell));
    return cells;
}

} // namespace

std::vector<EnergyReading> energyReadingsOf(const GridModel &grid)
{
    constexpr int kFirstValue = 3; // after the record number, the date and the time
    std::vector<EnergyReading> readings;
    std::array<double, kEnergyValues> values{};
    for (int row = 1; row < grid.rowCount(); ++row) {
        if (grid.rowArea(row) != kEnergyArea)
            continue;
        // The operator's edits count, as in what is saved.
        for (int k = 0; k < kEnergyValues; ++k)
            values[size_t(k)] = grid.number(row, kFirstValue + k);
        readings.push_back(energyReading(grid.clock(row), values));
    }
    return readings;
}

ReportWindow::ReportWindow(std::vector<EnergyReading> readings, const std::string &analyzer,
                           const QTimeZone &zone, const LANGUAGE &texts, bool turkish, QWidget *parent)
    : QWidget(parent, Qt::Window), readings(std::move(readings)), context{analyzer, zone, turkish}
{
    setObjectName(QStringLiteral("ReportWindow"));
    setWindowTitle(texts.captions[Captions::ReportTitle] + QStringLiteral(": ") + q(analyzer));
    buildControls(texts);
    recompute();
    resize(980, 700);
}

void ReportWindow::buildControls(const LANGUAGE &texts)
{
    const auto caption = [&](Captions::Id id) { return texts.captions[id]; };
    periodKind = new QComboBox(this);
    periodKind->setObjectName(QStringLiteral("reportPeriod"));
    for (const Captions::Id id : {Captions::ReportDay, Captions::ReportWeek, Captions::ReportMonth,
                                  Captions::ReportBilling, Captions::ReportRange})
        periodKind->addItem(caption(id));
    periodKind->setCurrentIndex(int(PeriodKind::Month));

    // The period opens on the last reading's day: the log's newest month is the bill in question.
    QDate last = QDate::currentDate();
    for (auto r = readings.rbegin(); r != readings.rend(); ++r)
        if (r->clock) {
            last = QDate(r->clock->year, r->clock->month, r->clock->day);
            break;
        }
    fromDate = new QDateEdit(last, this);
    fromDate->setObjectName(QStringLiteral("reportFrom"));
    fromDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    fromDate->setCalendarPopup(true);
    toDate = new QDateEdit(last, this);
    toDate->setObjectName(QStringLiteral("reportTo"));
    toDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    toDate->setCalendarPopup(true);
    billingDay = new QSpinBox(this);
    billingDay->setObjectName(QStringLiteral("reportBillingDay"));
    billingDay->setRange(1, 28);
    billingDay->setPrefix(caption(Captions::ReportBillingDay) + QStringLiteral(" "));
    inductiveLimit = new QDoubleSpinBox(this);
    inductiveLimit->setObjectName(QStringLiteral("reportInductiveLimit"));
    capacitiveLimit = new QDoubleSpinBox(this);
    capacitiveLimit->setObjectName(QStringLiteral("reportCapacitiveLimit"));
    for (QDoubleSpinBox *limit : {inductiveLimit, capacitiveLimit}) {
        limit->setRange(0.1, 100);
        limit->setDecimals(1);
        limit->setSuffix(QStringLiteral(" %"));
    }
    inductiveLimit->setValue(20);
    capacitiveLimit->setValue(15);
    bands = new QLineEdit(QStringLiteral("06:00-17:00,17:00-22:00,22:00-06:00"), this);
    bands->setObjectName(QStringLiteral("reportBands"));
    saveButton = new QPushButton(caption(Captions::ReportSave), this);
    saveButton->setObjectName(QStringLiteral("reportSave"));
    verdict = new QLabel(this);
    verdict->setObjectName(QStringLiteral("reportVerdict"));
    verdict->setTextFormat(Qt::RichText);
    table = new QTableWidget(this);
    table->setObjectName(QStringLiteral("reportTable"));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    chart = new QChart;
    chartView = new QChartView(chart, this);
    chartView->setObjectName(QStringLiteral("reportChart"));
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumHeight(260);

    auto *choices = new QHBoxLayout;
    choices->addWidget(periodKind);
    choices->addWidget(fromDate);
    choices->addWidget(toDate);
    choices->addWidget(billingDay);
    choices->addWidget(new QLabel(caption(Captions::ReportLimits), this));
    choices->addWidget(inductiveLimit);
    choices->addWidget(capacitiveLimit);
    choices->addWidget(new QLabel(caption(Captions::ReportBands), this));
    choices->addWidget(bands, 1);
    choices->addWidget(saveButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(verdict);
    layout->addWidget(chartView, 3);
    layout->addWidget(table, 2);

    connect(periodKind, &QComboBox::currentIndexChanged, this, &ReportWindow::recompute);
    connect(fromDate, &QDateEdit::dateChanged, this, &ReportWindow::recompute);
    connect(toDate, &QDateEdit::dateChanged, this, &ReportWindow::recompute);
    connect(billingDay, &QSpinBox::valueChanged, this, &ReportWindow::recompute);
    connect(inductiveLimit, &QDoubleSpinBox::valueChanged, this, &ReportWindow::recompute);
    connect(capacitiveLimit, &QDoubleSpinBox::valueChanged, this, &ReportWindow::recompute);
    connect(bands, &QLineEdit::editingFinished, this, &ReportWindow::recompute);
    connect(saveButton, &QPushButton::clicked, this, &ReportWindow::saveClicked);
}

void ReportWindow::recompute()
{
    const auto kind = PeriodKind(periodKind->currentIndex());
    toDate->setVisible(kind == PeriodKind::Range);
    billingDay->setVisible(kind == PeriodKind::Billing);
    const QDate d = fromDate->date();
    ReportOptions options;
    switch (kind) {
    case PeriodKind::Day:
        options.period = dayPeriod(d.year(), d.month(), d.day());
        break;
    case PeriodKind::Week:
        options.period = weekPeriod(d.year(), d.month(), d.day());
        break;
    case PeriodKind::Month:
        options.period = monthPeriod(d.year(), d.month());
        break;
    case PeriodKind::Billing:
        options.period = billingPeriod(d.year(), d.month(), billingDay->value());
        break;
    case PeriodKind::Range:
        options.period = {dayStart(d), dayStart(std::max(d, toDate->date()).addDays(1))};
        break;
    }
    options.inductiveLimit = inductiveLimit->value() / 100;
    options.capacitiveLimit = capacitiveLimit->value() / 100;
    // Bands that do not read keep the last good ones; the field says so in red.
    const auto parsed = parseBands(bands->text().toStdString());
    bands->setStyleSheet(parsed ? QString() : QStringLiteral("color: red"));
    options.bands =
        parsed ? *parsed : (current.options.bands.empty() ? defaultBands() : current.options.bands);
    options.now = clockSecondsNow(context.zone);
    current = makeEnergyReport(readings, options);

    // The verdict in words as well as colour.
    const ReportTexts &t = reportTexts(context.turkish);
    QString words;
    for (const bool inductive : {true, false}) {
        const bool over = inductive ? current.inductiveExceeded() : current.capacitiveExceeded();
        words += QStringLiteral("<b style=\"color:%1\">%2</b><br>")
                     .arg(verdictColour(over).name(), q(verdictText(t, inductive, current)).toHtmlEscaped());
    }
    if (!current.gaps.empty())
        words += QString::fromUtf8(t.gaps) + QStringLiteral(": %1  ").arg(current.gaps.size());
    if (!current.resets.empty())
        words += QString::fromUtf8(t.resets) + QStringLiteral(": %1  ").arg(current.resets.size());
    if (current.withoutTime)
        words += QString::fromUtf8(t.withoutTime) + QStringLiteral(": %1").arg(current.withoutTime);
    verdict->setText(words);
    fillTable();
    fillChart();
}

void ReportWindow::fillTable()
{
    const ReportTexts &t = reportTexts(context.turkish);
    QStringList heads;
    for (const std::string &head : tableHeads(t, current.options.bands))
        heads << q(head);
    table->clear();
    table->setColumnCount(int(heads.size()));
    table->setHorizontalHeaderLabels(heads);
    table->setRowCount(int(current.days.size()) + 1);
    const auto fill = [&](int row, const std::vector<QString> &cells) {
        for (size_t c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(c ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
            table->setItem(row, int(c), item);
        }
    };
    for (size_t d = 0; d < current.days.size(); ++d)
        fill(int(d), rowCells(q(dateText(current.days[d].day)), current.days[d].figures));
    fill(int(current.days.size()), rowCells(QString::fromUtf8(t.total), current.total));
    table->resizeColumnsToContents();
}

void ReportWindow::fillChart()
{
    const ReportTexts &t = reportTexts(context.turkish);
    // A chart of its own for every report: series and axes of the last one leave nothing behind.
    QChart *old = chart;
    chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chartView->setChart(chart);
    delete old;
    sets.clear();

    auto *bars = new QStackedBarSeries;
    QStringList days;
    double maxRatio = std::max(current.options.inductiveLimit, current.options.capacitiveLimit);
    for (size_t b = 0; b < current.options.bands.size(); ++b) {
        auto *set = new QBarSet(q(current.options.bands[b].name));
        set->setColor(bandColour(b));
        for (const DayFigures &day : current.days)
            set->append(day.figures.bandsKwh[b]);
        bars->append(set);
        sets.push_back(set);
    }
    inductiveLine = new QLineSeries;
    capacitiveLine = new QLineSeries;
    inductiveLine->setName(QString::fromUtf8(t.inductive) + QStringLiteral(" %"));
    capacitiveLine->setName(QString::fromUtf8(t.capacitive) + QStringLiteral(" %"));
    inductiveLine->setColor(limitColour(true));
    capacitiveLine->setColor(limitColour(false));
    for (size_t d = 0; d < current.days.size(); ++d) {
        const Figures &f = current.days[d].figures;
        days << q(dateText(current.days[d].day).substr(5));
        if (f.inductiveRatio())
            inductiveLine->append(double(d), *f.inductiveRatio() * 100);
        if (f.capacitiveRatio())
            capacitiveLine->append(double(d), *f.capacitiveRatio() * 100);
        maxRatio = std::max({maxRatio, f.inductiveRatio().value_or(0), f.capacitiveRatio().value_or(0)});
    }
    chart->addSeries(bars);
    chart->addSeries(inductiveLine);
    chart->addSeries(capacitiveLine);

    auto *dayAxis = new QBarCategoryAxis;
    dayAxis->append(days);
    auto *kwhAxis = new QValueAxis;
    kwhAxis->setTitleText(QStringLiteral("kWh"));
    kwhAxis->setLabelFormat(QStringLiteral("%.0f"));
    auto *ratioAxis = new QValueAxis;
    ratioAxis->setTitleText(QString::fromUtf8(t.ratio));
    ratioAxis->setRange(0, maxRatio * 120);
    ratioAxis->applyNiceNumbers();
    ratioAxis->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(dayAxis, Qt::AlignBottom);
    chart->addAxis(kwhAxis, Qt::AlignLeft);
    chart->addAxis(ratioAxis, Qt::AlignRight);
    bars->attachAxis(dayAxis);
    bars->attachAxis(kwhAxis);
    kwhAxis->applyNiceNumbers();
    for (QLineSeries *line : {inductiveLine, capacitiveLine}) {
        line->attachAxis(dayAxis);
        line->attachAxis(ratioAxis);
    }
    // The limits as dashed lines over the whole width, named in the legend.
    const double last = std::max<double>(double(current.days.size()) - 0.5, 0.5);
    for (const bool inductive : {true, false}) {
        auto *limit = new QLineSeries;
        const double value =
            (inductive ? current.options.inductiveLimit : current.options.capacitiveLimit) * 100;
        limit->setName(QString::fromUtf8(t.limit) + QStringLiteral(" ") +
                       QString::fromUtf8(inductive ? t.inductive : t.capacitive));
        limit->append(-0.5, value);
        limit->append(last, value);
        QPen pen(limitColour(inductive));
        pen.setStyle(Qt::DashLine);
        limit->setPen(pen);
        chart->addSeries(limit);
        limit->attachAxis(dayAxis);
        limit->attachAxis(ratioAxis);
    }
}

bool ReportWindow::save(const QString &path, QString &error) const
{
    std::string reason;
    const bool xlsx = path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
    const bool saved = xlsx ? writeReportXlsx(current, context, path.toStdString(), reason)
                            : writeReportPdf(current, context, path.toStdString(), reason);
    error = q(reason);
    return saved;
}

void ReportWindow::saveClicked()
{
    QString filter;
    const QString path = QFileDialog::getSaveFileName(this, saveButton->text(), dataFolder(),
                                                      QStringLiteral("PDF (*.pdf);;Excel (*.xlsx)"), &filter);
    if (path.isEmpty())
        return;
    QString chosen = path;
    const bool xlsx = filter.contains(QStringLiteral("xlsx"));
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".pdf");
    QString error;
    if (!save(chosen, error))
        QMessageBox::warning(this, windowTitle(), error);
}
