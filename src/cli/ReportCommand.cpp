#include "cli/AnalyzerLink.h"
#include "cli/ArchiveOptions.h"
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/Download.h"
#include "cli/Sinks.h"
#include "report/ReportWriter.h"
#include "text/RecordFormats.h"

#include <CLI/CLI.hpp>

#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace
{

struct ReportCliOptions {
    ArchiveOptions archive;
    ConnectionOptions connection; // --tcp or --rtu: the energy log read from the analyzer itself
    std::optional<std::string> analyzer;
    std::string day, week, month, from, to;
    int billingDay = 1;
    std::string limits = "0.20,0.15";
    std::string bands = "06:00-17:00,17:00-22:00,22:00-06:00";
    std::string format = "text";
    std::string lang = "en";
    std::string zone;
    std::string output = "-";
};

std::optional<RecordClock> clockFromText(const std::string &normalized)
{
    RecordClock c;
    if (normalized.empty() || std::sscanf(normalized.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &c.year, &c.month,
                                          &c.day, &c.hour, &c.minute, &c.second) != 6)
        return std::nullopt;
    return c;
}

// The period of --day, --month [--billing-day] or --from/--to; nullopt when they name none.
std::optional<ReportPeriod> chosenPeriod(const ReportCliOptions &o)
{
    if (!o.day.empty() || !o.week.empty()) {
        const std::string &first = o.day.empty() ? o.week : o.day;
        const auto c = first.size() == 10 ? clockFromText(normalizeTime(first, false)) : std::nullopt;
        if (!c)
            return std::nullopt;
        return o.day.empty() ? weekPeriod(c->year, c->month, c->day) : dayPeriod(c->year, c->month, c->day);
    }
    if (!o.month.empty()) {
        const auto c =
            o.month.size() == 7 ? clockFromText(normalizeTime(o.month + "-01", false)) : std::nullopt;
        return c ? std::optional(billingPeriod(c->year, c->month, o.billingDay)) : std::nullopt;
    }
    const auto from = clockFromText(normalizeTime(o.from, false));
    const auto to = clockFromText(normalizeTime(o.to, false));
    if (!from || !to)
        return std::nullopt;
    // A date alone as the end means to that day's end.
    const ClockSeconds end = clockSeconds(*to) + (o.to.size() == 10 ? 86400 : 0);
    const ReportPeriod period{clockSeconds(*from), end};
    return period.to > period.from ? std::optional(period) : std::nullopt;
}

bool parseLimits(const std::string &text, ReportOptions &options)
{
    double inductive = 0, capacitive = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%lf,%lf%c", &inductive, &capacitive, &tail) != 2)
        return false;
    options.inductiveLimit = inductive;
    options.capacitiveLimit = capacitive;
    return inductive > 0 && inductive <= 1 && capacitive > 0 && capacitive <= 1;
}

constexpr int kPasses = 3;

// The energy log as an analyzer sends it, as readings.
class EnergyLogSink : public RecordSink
{
  public:
    explicit EnergyLogSink(std::vector<EnergyReading> &readings) : readings(readings) {}
    void begin(const RecordLog::Source &, const std::array<bool, kLogAreas> &) override {}
    void record(const LogRecord &record) override
    {
        readings.push_back(energyReading(record.clock, record.values));
    }
    bool end() override { return true; }

  private:
    std::vector<EnergyReading> &readings;
};

int runReport(const ReportCliOptions &o)
{
    const auto usage = [](const char *message) {
        std::fprintf(stderr, "pullrec-cli report: %s\n", message);
        return ExitUsage;
    };
    ReportOptions options;
    const auto period = chosenPeriod(o);
    if (!period)
        return usage(
            "--day and --week take YYYY-MM-DD, --month YYYY-MM, --from and --to YYYY-MM-DD[THH:MM[:SS]] with "
            "--from before --to");
    options.period = *period;
    if (!parseLimits(o.limits, options))
        return usage("--limits takes two fractions above 0 and at most 1, such as 0.20,0.15");
    const auto bands = parseBands(o.bands);
    if (!bands)
        return usage("--bands takes HH:MM-HH:MM,... such as 06:00-17:00,17:00-22:00,22:00-06:00");
    options.bands = *bands;
    std::vector<EnergyReading> readings;
    std::string serial = o.analyzer.value_or("");
    std::string storedZone;
    bool unread = false;
    const bool direct = !o.connection.tcp.empty() || !o.connection.rtu.empty();
    if (direct && (o.analyzer || !o.archive.chosen().empty()))
        return usage("give --tcp or --rtu, or --archive and --analyzer, not both");
    if (!direct && !o.analyzer)
        return usage("give --analyzer (with --archive), or --tcp or --rtu to read the analyzer itself");
    if (direct) {
        int status = ExitComplete;
        const std::unique_ptr<AnalyzerLink> link = openAnalyzer(o.connection, "report", status);
        if (!link)
            return status;
        std::array<bool, kLogAreas> areas{};
        areas[kEnergyArea] = true;
        EnergyLogSink sink(readings);
        const DownloadResult result = download(*link, wholeAreas(*link, areas), kPasses, {&sink});
        serial = link->identity().serial;
        unread = !result.complete();
        if (unread)
            std::fprintf(stderr, "pullrec-cli report: %zu energy log records unreadable after %d passes\n",
                         result.failed.size(), kPasses);
    } else {
        const std::string location = o.archive.chosen().empty() ? kDefaultArchive : o.archive.chosen();
        const std::unique_ptr<Archive> archive = openArchive(location, "report", ArchiveAccess::Read);
        if (!archive)
            return ExitNoAnalyzer;
        const std::optional<AnalyzerIdentity> identity = archive->analyzer(serial);
        if (!identity) {
            std::fprintf(stderr, "pullrec-cli report: the archive holds no analyzer \"%s\"\n",
                         serial.c_str());
            return ExitNoAnalyzer;
        }
        storedZone = identity->zone;
        // The whole log: readings before and after the period share intervals that cross its edges.
        RecordFilter filter;
        filter.analyzer = serial;
        filter.area = kArchiveEnergyArea;
        const bool read = archive->forEach(filter, [&](const StoredRecord &stored) {
            const ArchiveRecord &r = stored.record;
            readings.push_back(energyReading(r.clock, r.values));
            return true;
        });
        if (!read) {
            std::fprintf(stderr, "pullrec-cli report: %s\n", archive->error().c_str());
            return ExitIncomplete;
        }
    }
    const QTimeZone zone = clockZone(o.zone, storedZone);
    options.now = clockSecondsNow(zone);
    const EnergyReport report = makeEnergyReport(std::move(readings), options);
    const ReportFormat format = o.format == "json"   ? ReportFormat::Json
                                : o.format == "csv"  ? ReportFormat::Csv
                                : o.format == "xlsx" ? ReportFormat::Xlsx
                                : o.format == "pdf"  ? ReportFormat::Pdf
                                                     : ReportFormat::Text;
    std::unique_ptr<QGuiApplication> fonts;
    if (format == ReportFormat::Pdf && !QGuiApplication::instance()) {
        // Qt's notes on a headless session (no runtime folder) are no news to the operator.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "pullrec-cli report: %s\n", qPrintable(message));
        });
        fonts = pdfFontsApplication("pullrec-cli");
    }
    std::string error;
    const std::string bytes = writeReport(report, format, {serial, zone, o.lang == "tr"}, &error);
    if (!error.empty()) {
        std::fprintf(stderr, "pullrec-cli report: %s\n", error.c_str());
        return ExitIncomplete;
    }
    Output out(o.output);
    if (out.isOpen())
        out.write(QByteArray::fromStdString(bytes));
    if (!out.isOpen() || !out.finish()) {
        std::fprintf(stderr, "pullrec-cli report: %s\n", out.error().c_str());
        return ExitIncomplete;
    }
    if (unread)
        return ExitIncomplete;
    if (!report.complete()) {
        std::fprintf(stderr,
                     "pullrec-cli report: the period has %zu gap(s) and %zu counter(s) that went down\n",
                     report.gaps.size(), report.resets.size());
        return ExitIncomplete;
    }
    return ExitComplete;
}

} // namespace

void addReportCommand(CLI::App &app, int &status)
{
    auto options = std::make_shared<ReportCliOptions>();
    ReportCliOptions &o = *options;
    CLI::App *cmd = app.add_subcommand(
        "report", "Energy, tariff bands, reactive ratios and demand of a period, "
                  "from the energy log in the archive or read from the analyzer (--tcp, --rtu)");
    addArchiveOptions(*cmd, o.archive, false);
    cmd->add_option_function<std::string>(
        "--analyzer", [&o](const std::string &key) { o.analyzer = key; },
        "the analyzer in the archive (its serial number, or as the archive lists it)");
    addConnectionOptions(*cmd, o.connection);
    CLI::Option *day = cmd->add_option("--day", o.day, "one day: YYYY-MM-DD");
    CLI::Option *week = cmd->add_option("--week", o.week, "seven days from a day: YYYY-MM-DD");
    CLI::Option *month = cmd->add_option("--month", o.month, "a calendar month: YYYY-MM");
    addIntegerOption(*cmd, "--billing-day", o.billingDay,
                     "with --month: the period starts on this day (1-28)")
        ->check(CLI::Range(1, 28))
        ->needs(month);
    CLI::Option *from =
        cmd->add_option("--from", o.from, "start: YYYY-MM-DD[THH:MM[:SS]], the analyzer's clock");
    CLI::Option *to = cmd->add_option("--to", o.to, "end, not included (a date alone: to its end)");
    from->needs(to);
    to->needs(from);
    day->excludes(week)->excludes(month)->excludes(from);
    week->excludes(month)->excludes(from);
    month->excludes(from);
    cmd->add_option("--limits", o.limits, "inductive and capacitive limits as fractions (default 0.20,0.15)");
    cmd->add_option("--bands", o.bands,
                    "tariff bands T1,T2,... in clock time (default "
                    "06:00-17:00,17:00-22:00,22:00-06:00)");
    cmd->add_option("--format", o.format, "text (default), csv, json, xlsx or pdf")
        ->check(CLI::IsMember({"text", "csv", "json", "xlsx", "pdf"}));
    cmd->add_option("--lang", o.lang, "language of the text: en or tr (default en)")
        ->check(CLI::IsMember({"en", "tr"}));
    addZoneOption(*cmd, o.zone, "the one kept with the analyzer, else the host's");
    cmd->add_option("--output,-o", o.output, "file to write, - for standard output (the default)");
    cmd->footer("Exit status: 0 done, 1 usage error, 2 no archive, no such analyzer in it or no analyzer "
                "answering, 3 the period has gaps or counters that went down (the report is written and "
                "names them), energy log records unreadable, or the archive or the output failed.");
    cmd->callback([options, &status, day, week, month, from] {
        if (day->count() + week->count() + month->count() + from->count() == 0) {
            std::fprintf(stderr, "pullrec-cli report: give --day, --week, --month or --from and --to\n");
            status = ExitUsage;
            return;
        }
        status = runReport(*options);
    });
}
