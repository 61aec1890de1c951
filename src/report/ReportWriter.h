#pragma once

#include "report/EnergyReport.h"

#include <QTimeZone>

#include <string>

enum class ReportFormat { Text, Csv, Json };

struct ReportContext {
    std::string analyzer;
    QTimeZone zone; // of the analyzer's clock, for the offsets of written times
    bool turkish = false;
};

// ISO 8601 with the zone's offset at that clock time: "2026-03-01T06:00:00+03:00".
std::string isoTime(ClockSeconds t, const QTimeZone &zone);

std::string writeReport(const EnergyReport &report, ReportFormat format, const ReportContext &context);
