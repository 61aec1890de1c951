#include "report/ReportWriter.h"

#include <xlsxwriter.h>

namespace
{

struct Book {
    lxw_workbook *book;
    lxw_format *head, *date, *time, *number, *ratio;
};

lxw_datetime dateTimeOf(ClockSeconds t)
{
    const RecordClock c = clockOf(t);
    return {c.year, c.month, c.day, c.hour, c.minute, double(c.second)};
}

void writeOptional(lxw_worksheet *sheet, int row, int column, std::optional<double> value, lxw_format *format)
{
    if (value)
        worksheet_write_number(sheet, lxw_row_t(row), lxw_col_t(column), *value, format);
}

void writeHeads(lxw_worksheet *sheet, const Book &b, const std::vector<std::string> &heads)
{
    for (size_t c = 0; c < heads.size(); ++c) {
        worksheet_write_string(sheet, 0, lxw_col_t(c), heads[c].c_str(), b.head);
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), c == 0 ? 18 : 13, nullptr);
    }
    worksheet_freeze_panes(sheet, 1, 0);
}

// One row of the days sheet: the day's (or the period's) figures after the label in column 0.
void writeFigures(lxw_worksheet *sheet, const Book &b, int row, const Figures &f)
{
    int column = 1;
    const auto number = [&](std::optional<double> value, lxw_format *format) {
        writeOptional(sheet, row, column++, value, format);
    };
    number(f.energy[ImportKwh], b.number);
    for (const double band : f.bandsKwh)
        number(band, b.number);
    for (int c = ExportKwh; c < kCounters; ++c)
        number(f.energy[size_t(c)], b.number);
    number(f.inductiveRatio(), b.ratio);
    number(f.capacitiveRatio(), b.ratio);
    number(f.pfCount ? std::optional(f.maxDemandW) : std::nullopt, b.number);
    if (f.maxDemandTime) {
        lxw_datetime when = dateTimeOf(*f.maxDemandTime);
        worksheet_write_datetime(sheet, lxw_row_t(row), lxw_col_t(column), &when, b.time);
    }
    ++column;
    number(f.pfCount ? std::optional(f.maxDemandVa) : std::nullopt, b.number);
    number(f.averagePf(), nullptr);
}

} // namespace

bool writeReportXlsx(const EnergyReport &r, const ReportContext &context, const std::string &path,
                     std::string &error)
{
    const ReportTexts &t = reportTexts(context.turkish);
    Book b{workbook_new(path.c_str()), nullptr, nullptr, nullptr, nullptr, nullptr};
    if (!b.book) {
        error = "cannot create " + path;
        return false;
    }
    b.head = workbook_add_format(b.book);
    format_set_bold(b.head);
    format_set_text_wrap(b.head);
    b.date = workbook_add_format(b.book);
    format_set_num_format(b.date, "yyyy-mm-dd");
    b.time = workbook_add_format(b.book);
    format_set_num_format(b.time, "yyyy-mm-dd hh:mm:ss");
    b.number = workbook_add_format(b.book);
    format_set_num_format(b.number, "0.000");
    b.ratio = workbook_add_format(b.book);
    format_set_num_format(b.ratio, "0.0%");

    // Days, the period's total below them, and what the period's figures mean for the bill.
    lxw_worksheet *days = workbook_add_worksheet(b.book, t.days);
    std::vector<std::string> heads{t.date, t.importKwh};
    for (const TariffBand &band : r.options.bands)
        heads.push_back(band.name + " kWh");
    for (const char *h : {t.exportKwh, t.inductiveKvarh, t.capacitiveKvarh, t.inductiveRatio,
                          t.capacitiveRatio, t.maxDemand, t.maxDemandTime, t.maxDemandVa, t.averagePf})
        heads.emplace_back(h);
    writeHeads(days, b, heads);
    int row = 1;
    for (const DayFigures &day : r.days) {
        lxw_datetime when = dateTimeOf(day.day);
        worksheet_write_datetime(days, lxw_row_t(row), 0, &when, b.date);
        writeFigures(days, b, row++, day.figures);
    }
    worksheet_write_string(days, lxw_row_t(row), 0, t.total, b.head);
    writeFigures(days, b, row++, r.total);
    ++row;
    const auto line = [&](const std::string &text) {
        worksheet_write_string(days, lxw_row_t(row++), 0, text.c_str(), nullptr);
    };
    line(std::string(t.analyzer) + ": " + context.analyzer);
    line(std::string(t.period) + ": " + isoTime(r.options.period.from, context.zone) + " - " +
         isoTime(r.options.period.to, context.zone) + " (" + t.zone + " " + context.zone.id().toStdString() +
         ")");
    line(verdictText(t, true, r));
    line(verdictText(t, false, r));
    for (const Gap &g : r.gaps)
        line(std::string(t.gaps) + ": " + isoTime(g.from, context.zone) + " - " +
             isoTime(g.to, context.zone));
    for (const Reset &reset : r.resets)
        line(std::string(t.resets) + ": " + isoTime(reset.time, context.zone) + " " +
             counterKey(reset.counter));

    lxw_worksheet *hours = workbook_add_worksheet(b.book, t.hours);
    writeHeads(hours, b, {t.hour, t.importKwh, t.exportKwh, t.inductiveKvarh, t.capacitiveKvarh});
    row = 1;
    for (const HourFigures &hour : r.hours) {
        lxw_datetime when = dateTimeOf(hour.hour);
        worksheet_write_datetime(hours, lxw_row_t(row), 0, &when, b.time);
        for (int c = 0; c < kCounters; ++c)
            worksheet_write_number(hours, lxw_row_t(row), lxw_col_t(1 + c), hour.energy[size_t(c)], b.number);
        ++row;
    }

    const lxw_error closed = workbook_close(b.book);
    if (closed != LXW_NO_ERROR) {
        error = "cannot write " + path + ": " + lxw_strerror(closed);
        return false;
    }
    return true;
}
