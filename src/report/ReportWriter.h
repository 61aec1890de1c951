#pragma once

#include "report/EnergyReport.h"

#include <QColor>
#include <QGuiApplication>
#include <QTimeZone>

#include <cstddef>
#include <memory>

#include <string>
#include <vector>

enum class ReportFormat { Text, Csv, Json, Xlsx, Pdf };

struct ReportContext {
    std::string analyzer;
    QTimeZone zone; // of the analyzer's clock, for the offsets of written times
    bool turkish = false;
};

// ISO 8601 with the zone's offset at that clock time: "2026-03-01T06:00:00+03:00".
std::string isoTime(ClockSeconds t, const QTimeZone &zone);

// Text, csv and json as text; xlsx and pdf as the file's bytes (empty with error set when it failed).
std::string writeReport(const EnergyReport &report, ReportFormat format, const ReportContext &context,
                        std::string *error = nullptr);

// The words of the text, spreadsheet and PDF reports in one language.
struct ReportTexts {
    const char *title, *period, *zone, *limits, *inductive, *capacitive, *date, *total, *importKwh,
        *exportKwh, *inductiveKvarh, *capacitiveKvarh, *inductiveRatio, *capacitiveRatio, *maxDemand,
        *averagePf, *within, *exceeded, *limit, *projection, *left, *over, *gaps, *resets, *withoutTime,
        *days, *hours, *hour, *maxDemandTime, *maxDemandVa, *analyzer, *ratio;
};
const ReportTexts &reportTexts(bool turkish);

std::string fixed(double value, int decimals);
std::string percent(std::optional<double> ratio); // "18.4", "-" without a ratio
std::string dateText(ClockSeconds t);             // "2026-03-01"
// The report table's heads (the date, import, one per band, export, reactive, ratios, demand, PF) and a
// row's cells after its date, as every written form and the window show them.
std::vector<std::string> tableHeads(const ReportTexts &t, const std::vector<TariffBand> &bands);
std::vector<std::string> tableCells(const Figures &f);
// The chart's colours, alike in the PDF and the window: a tariff band's (repeating after six), a limit
// line's, and a verdict's (the inductive red when over).
QColor bandColour(std::size_t band);
QColor limitColour(bool inductive);
QColor verdictColour(bool over);
// "inductive: 30.0 % (limit 20.0 %): LIMIT EXCEEDED"
std::string verdictText(const ReportTexts &t, bool inductive, const EnergyReport &report);

// The report in a file of its own kind, written at path; false with the reason in error.
bool writeReportXlsx(const EnergyReport &report, const ReportContext &context, const std::string &path,
                     std::string &error);
// Needs a QGuiApplication (fonts); A4, the table and the chart.
bool writeReportPdf(const EnergyReport &report, const ReportContext &context, const std::string &path,
                    std::string &error);
// The GUI application writeReportPdf needs when none runs yet (null when one does): no display, the
// offscreen platform unless QT_QPA_PLATFORM names another. name is the program's, as in argv[0].
std::unique_ptr<QGuiApplication> pdfFontsApplication(const char *name);
