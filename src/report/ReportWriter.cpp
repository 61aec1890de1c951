#include "report/ReportWriter.h"
#include "text/RecordFormats.h"

#include <QFile>
#include <QTemporaryDir>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace
{

const ReportTexts kEnglish = {"Energy report",
                              "Period",
                              "zone",
                              "Limits",
                              "inductive",
                              "capacitive",
                              "Date",
                              "Total",
                              "Import kWh",
                              "Export kWh",
                              "Ind. kVArh",
                              "Cap. kVArh",
                              "Ind. %",
                              "Cap. %",
                              "Max W",
                              "Avg PF",
                              "within the limit",
                              "LIMIT EXCEEDED",
                              "limit",
                              "Projected to the period's end",
                              "kVArh %s left before the limit",
                              "kVArh %s over the limit",
                              "Gaps",
                              "Counters that went down (reset or wrap)",
                              "Records without a valid time (left out)",
                              "Days",
                              "Hours",
                              "Hour",
                              "Max W time",
                              "Max VA",
                              "Analyzer",
                              "Ratio %"};
const ReportTexts kTurkish = {"Enerji raporu",
                              "Dönem",
                              "saat dilimi",
                              "Sınırlar",
                              "endüktif",
                              "kapasitif",
                              "Tarih",
                              "Toplam",
                              "Çekilen kWh",
                              "Verilen kWh",
                              "End. kVArh",
                              "Kap. kVArh",
                              "End. %",
                              "Kap. %",
                              "Azami W",
                              "Ort. GF",
                              "sınır içinde",
                              "SINIR AŞILDI",
                              "sınır",
                              "Dönem sonu tahmini",
                              "sınıra kadar %s kVArh kaldı",
                              "sınır %s kVArh aşıldı",
                              "Boşluklar",
                              "Düşen sayaçlar (sıfırlama ya da taşma)",
                              "Geçerli zamanı olmayan kayıtlar (dışarıda bırakıldı)",
                              "Günler",
                              "Saatler",
                              "Saat",
                              "Azami W zamanı",
                              "Azami VA",
                              "Cihaz",
                              "Oran %"};

void append(std::string &out, double value)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

std::string minuteText(int minutes)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", minutes / 60, minutes % 60);
    return buffer;
}

std::string jsonString(const std::string &text)
{
    return ::jsonString(QString::fromStdString(text)).toStdString();
}

void appendOptional(std::string &out, std::optional<double> value)
{
    if (value)
        append(out, *value);
    else
        out += "null";
}

void appendFigures(std::string &out, const Figures &f, const QTimeZone &zone)
{
    for (int c = 0; c < kCounters; ++c) {
        out += '"';
        out += counterKey(c);
        out += "\":";
        append(out, f.energy[size_t(c)]);
        out += ',';
    }
    out += "\"inductive_ratio\":";
    appendOptional(out, f.inductiveRatio());
    out += ",\"capacitive_ratio\":";
    appendOptional(out, f.capacitiveRatio());
    out += ",\"bands_kwh\":[";
    for (size_t b = 0; b < f.bandsKwh.size(); ++b) {
        if (b)
            out += ',';
        append(out, f.bandsKwh[b]);
    }
    out += "],\"max_demand_w\":";
    appendOptional(out, f.pfCount ? std::optional(f.maxDemandW) : std::nullopt);
    out += ",\"max_demand_time\":";
    out += f.maxDemandTime ? jsonString(isoTime(*f.maxDemandTime, zone)) : "null";
    out += ",\"max_demand_va\":";
    appendOptional(out, f.pfCount ? std::optional(f.maxDemandVa) : std::nullopt);
    out += ",\"average_pf\":";
    appendOptional(out, f.averagePf());
}

std::string json(const EnergyReport &r, const ReportContext &context)
{
    const QTimeZone &zone = context.zone;
    std::string out = "{\"analyzer\":" + jsonString(context.analyzer);
    out += ",\"from\":" + jsonString(isoTime(r.options.period.from, zone));
    out += ",\"to\":" + jsonString(isoTime(r.options.period.to, zone));
    out += ",\"zone\":" + jsonString(zone.id().toStdString());
    out += ",\"limits\":{\"inductive\":";
    append(out, r.options.inductiveLimit);
    out += ",\"capacitive\":";
    append(out, r.options.capacitiveLimit);
    out += "},\"bands\":[";
    for (size_t b = 0; b < r.options.bands.size(); ++b) {
        const TariffBand &band = r.options.bands[b];
        out += b ? "," : "";
        out += "{\"name\":" + jsonString(band.name) + ",\"from\":\"" + minuteText(band.from) +
               "\",\"to\":\"" + minuteText(band.to) + "\"}";
    }
    out += "],\"total\":{";
    appendFigures(out, r.total, zone);
    out += "},\"days\":[";
    for (size_t d = 0; d < r.days.size(); ++d) {
        out += d ? ",{" : "{";
        out += "\"date\":\"" + dateText(r.days[d].day) + "\",";
        appendFigures(out, r.days[d].figures, zone);
        out += '}';
    }
    out += "],\"gaps\":[";
    for (size_t g = 0; g < r.gaps.size(); ++g) {
        out += g ? "," : "";
        out += "{\"from\":" + jsonString(isoTime(r.gaps[g].from, zone)) +
               ",\"to\":" + jsonString(isoTime(r.gaps[g].to, zone)) + "}";
    }
    out += "],\"resets\":[";
    for (size_t i = 0; i < r.resets.size(); ++i) {
        out += i ? "," : "";
        out += "{\"time\":" + jsonString(isoTime(r.resets[i].time, zone)) + ",\"counter\":\"" +
               counterKey(r.resets[i].counter) + "\"}";
    }
    return out + "]}\n";
}

void csvRow(std::string &out, const std::string &label, const Figures &f, const QTimeZone &zone)
{
    out += label;
    for (const double e : f.energy) {
        out += ',';
        append(out, e);
    }
    for (const auto ratio : {f.inductiveRatio(), f.capacitiveRatio()}) {
        out += ',';
        if (ratio)
            append(out, *ratio);
    }
    for (const double b : f.bandsKwh) {
        out += ',';
        append(out, b);
    }
    out += ',';
    if (f.pfCount)
        append(out, f.maxDemandW);
    out += ',';
    if (f.maxDemandTime)
        out += isoTime(*f.maxDemandTime, zone);
    out += ',';
    if (f.pfCount)
        append(out, f.maxDemandVa);
    out += ',';
    if (f.pfCount)
        append(out, *f.averagePf());
    out += '\n';
}

std::string csv(const EnergyReport &r, const ReportContext &context)
{
    std::string out = "date,import_kwh,export_kwh,inductive_kvarh,capacitive_kvarh,inductive_ratio,"
                      "capacitive_ratio";
    for (const TariffBand &band : r.options.bands)
        out += ',' + band.name + "_kwh";
    out += ",max_demand_w,max_demand_time,max_demand_va,average_pf\n";
    for (const DayFigures &day : r.days)
        csvRow(out, dateText(day.day), day.figures, context.zone);
    csvRow(out, "total", r.total, context.zone);
    return out;
}

void textRow(std::string &out, const std::string &label, const std::vector<std::string> &cells)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%-10s", label.c_str());
    out += buffer;
    for (const std::string &cell : cells) {
        std::snprintf(buffer, sizeof buffer, " %11s", cell.c_str());
        out += buffer;
    }
    out += '\n';
}

std::string margin(const ReportTexts &t, const char *which, double kvarh)
{
    char buffer[160];
    const std::string amount = fixed(std::fabs(kvarh), 1);
    if (kvarh >= 0)
        std::snprintf(buffer, sizeof buffer, t.left, which);
    else
        std::snprintf(buffer, sizeof buffer, t.over, which);
    return "  " + amount + " " + buffer + "\n";
}

std::string text(const EnergyReport &r, const ReportContext &context)
{
    const ReportTexts &t = context.turkish ? kTurkish : kEnglish;
    const QTimeZone &zone = context.zone;
    std::string out = std::string(t.title) + ": " + context.analyzer + "\n";
    out += std::string(t.period) + ": " + isoTime(r.options.period.from, zone) + " - " +
           isoTime(r.options.period.to, zone) + " (" + t.zone + " " + zone.id().toStdString() + ")\n";
    out += std::string(t.limits) + ": " + t.inductive + " " + fixed(r.options.inductiveLimit * 100, 1) +
           " %, " + t.capacitive + " " + fixed(r.options.capacitiveLimit * 100, 1) + " %\n\n";
    const std::vector<std::string> heads = tableHeads(t, r.options.bands);
    textRow(out, heads[0], std::vector<std::string>(heads.begin() + 1, heads.end()));
    for (const DayFigures &day : r.days)
        textRow(out, dateText(day.day), tableCells(day.figures));
    textRow(out, t.total, tableCells(r.total));
    out += '\n';
    out += "  " + verdictText(t, true, r) + "\n";
    out += "  " + verdictText(t, false, r) + "\n";
    if (r.projection) {
        out += std::string(t.projection) + ": " + fixed(r.projection->importKwh, 1) + " kWh\n";
        out += margin(t, t.inductive, r.projection->inductiveMargin);
        out += margin(t, t.capacitive, r.projection->capacitiveMargin);
    }
    if (!r.gaps.empty()) {
        out += std::string(t.gaps) + ":\n";
        for (const Gap &g : r.gaps)
            out += "  " + isoTime(g.from, zone) + " - " + isoTime(g.to, zone) + "\n";
    }
    if (!r.resets.empty()) {
        out += std::string(t.resets) + ":\n";
        for (const Reset &reset : r.resets)
            out += "  " + isoTime(reset.time, zone) + " " + counterKey(reset.counter) + "\n";
    }
    if (r.withoutTime)
        out += std::string(t.withoutTime) + ": " + std::to_string(r.withoutTime) + "\n";
    return out;
}

// The writers of those kinds write a file: written aside and read back.
std::string fileBytes(const EnergyReport &report, ReportFormat format, const ReportContext &context,
                      std::string *error)
{
    std::string reason;
    QTemporaryDir dir;
    const std::string path = dir.filePath("report").toStdString();
    QFile file(QString::fromStdString(path));
    const bool written =
        dir.isValid() && (format == ReportFormat::Xlsx ? writeReportXlsx(report, context, path, reason)
                                                       : writeReportPdf(report, context, path, reason));
    if (written && file.open(QIODevice::ReadOnly))
        return file.readAll().toStdString();
    if (error)
        *error =
            reason.empty() ? "cannot write a temporary file: " + file.errorString().toStdString() : reason;
    return {};
}

} // namespace

const ReportTexts &reportTexts(bool turkish)
{
    return turkish ? kTurkish : kEnglish;
}

std::string fixed(double value, int decimals)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string percent(std::optional<double> ratio)
{
    return ratio ? fixed(*ratio * 100, 1) : "-";
}

std::string dateText(ClockSeconds t)
{
    const RecordClock c = clockOf(t);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", c.year, c.month, c.day);
    return buffer;
}

QColor bandColour(std::size_t band)
{
    static const QColor colours[] = {QColor(0x4e, 0x79, 0xa7), QColor(0xf2, 0x8e, 0x2b),
                                     QColor(0x59, 0xa1, 0x4f), QColor(0xb0, 0x7a, 0xa1),
                                     QColor(0x9c, 0x75, 0x5f), QColor(0x76, 0xb7, 0xb2)};
    return colours[band % std::size(colours)];
}

QColor limitColour(bool inductive)
{
    return inductive ? QColor(0xc0, 0x20, 0x20) : QColor(0x20, 0x60, 0xc0);
}

QColor verdictColour(bool over)
{
    return over ? limitColour(true) : QColor(0x20, 0x80, 0x20);
}

std::vector<std::string> tableHeads(const ReportTexts &t, const std::vector<TariffBand> &bands)
{
    std::vector<std::string> heads{t.date, t.importKwh};
    for (const TariffBand &band : bands)
        heads.push_back(band.name + " kWh");
    for (const char *h : {t.exportKwh, t.inductiveKvarh, t.capacitiveKvarh, t.inductiveRatio,
                          t.capacitiveRatio, t.maxDemand, t.averagePf})
        heads.emplace_back(h);
    return heads;
}

std::vector<std::string> tableCells(const Figures &f)
{
    std::vector<std::string> cells{fixed(f.energy[ImportKwh], 1)};
    for (const double band : f.bandsKwh)
        cells.push_back(fixed(band, 1));
    for (int c = ExportKwh; c < kCounters; ++c)
        cells.push_back(fixed(f.energy[size_t(c)], 1));
    cells.push_back(percent(f.inductiveRatio()));
    cells.push_back(percent(f.capacitiveRatio()));
    cells.push_back(f.pfCount ? fixed(f.maxDemandW, 0) : "-");
    cells.push_back(f.averagePf() ? fixed(*f.averagePf(), 3) : "-");
    return cells;
}

std::string verdictText(const ReportTexts &t, bool inductive, const EnergyReport &r)
{
    const std::optional<double> ratio = inductive ? r.total.inductiveRatio() : r.total.capacitiveRatio();
    const double limit = inductive ? r.options.inductiveLimit : r.options.capacitiveLimit;
    const bool over = inductive ? r.inductiveExceeded() : r.capacitiveExceeded();
    return std::string(inductive ? t.inductive : t.capacitive) + ": " + percent(ratio) + " % (" + t.limit +
           " " + fixed(limit * 100, 1) + " %): " + (over ? t.exceeded : t.within);
}

std::string isoTime(ClockSeconds t, const QTimeZone &zone)
{
    const RecordClock c = clockOf(t);
    const int offset = clockOffset(c, zone);
    const int minutes = std::abs(offset) / 60;
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return buffer;
}

std::string writeReport(const EnergyReport &report, ReportFormat format, const ReportContext &context,
                        std::string *error)
{
    switch (format) {
    case ReportFormat::Csv:
        return csv(report, context);
    case ReportFormat::Json:
        return json(report, context);
    case ReportFormat::Xlsx:
    case ReportFormat::Pdf:
        return fileBytes(report, format, context, error);
    case ReportFormat::Text:
        break;
    }
    return text(report, context);
}
