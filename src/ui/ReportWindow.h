#pragma once

#include "report/ReportWriter.h"
#include "text/Language.h"

#include <QTimeZone>
#include <QWidget>

#include <vector>

class GridModel;
class QBarSet;
class QChart;
class QChartView;
class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QTableWidget;

// The energy log records of the grid (rows read from the energy log), oldest first as the grid holds them.
std::vector<EnergyReading> energyReadingsOf(const GridModel &grid);

// The energy log of the grid for the bill: a period's consumption per day and tariff band, the reactive
// ratios against their limits and the peak demand, as a table and a chart (import per day stacked by
// band; the ratios and their limits on a second axis). "Save..." writes it as PDF or XLSX.
class ReportWindow : public QWidget
{
    Q_OBJECT

  public:
    enum class PeriodKind { Day, Week, Month, Billing, Range };

    ReportWindow(std::vector<EnergyReading> readings, const std::string &analyzer, const QTimeZone &zone,
                 const LANGUAGE &texts, bool turkish, QWidget *parent = nullptr);

    const EnergyReport &report() const { return current; }
    // By the file's suffix: .xlsx, else PDF. False with the reason in error.
    bool save(const QString &path, QString &error) const;

    QComboBox *periodKind;
    QDateEdit *fromDate; // the day, the week's first day, the month or billing period, the range's start
    QDateEdit *toDate;   // the range's last day
    QSpinBox *billingDay;
    QDoubleSpinBox *inductiveLimit; // per cent
    QDoubleSpinBox *capacitiveLimit;
    QLineEdit *bands;
    QLabel *verdict;
    QTableWidget *table; // a row per day and the total: import, bands, export, reactive, ratios, demand
    QChartView *chartView;
    QPushButton *saveButton;

    // The chart's series: import per band, then the two ratio lines in per cent.
    const std::vector<QBarSet *> &bandSets() const { return sets; }
    QLineSeries *ratioLine(bool inductive) const { return inductive ? inductiveLine : capacitiveLine; }

  private:
    void buildControls(const LANGUAGE &texts);
    void recompute();
    void fillTable();
    void fillChart();
    void saveClicked();

    std::vector<EnergyReading> readings;
    ReportContext context;
    EnergyReport current;
    QChart *chart;
    std::vector<QBarSet *> sets;
    QLineSeries *inductiveLine = nullptr;
    QLineSeries *capacitiveLine = nullptr;
};
