#include "text/RecordFormats.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

// libxlsxwriter writes a file: the book is made in a folder of its own and read back.
struct RecordWorkbook::Book {
    QTemporaryDir dir;
    std::string path = dir.filePath(QStringLiteral("records.xlsx")).toStdString();
    lxw_workbook *workbook = dir.isValid() ? workbook_new(path.c_str()) : nullptr;
    lxw_worksheet *sheet = workbook ? workbook_add_worksheet(workbook, "records") : nullptr;
    lxw_format *head = nullptr;
    lxw_format *time = nullptr;
};

namespace
{
constexpr int kFirstValueColumn = 5; // analyzer, area, record, time, offset
} // namespace

RecordWorkbook::RecordWorkbook() : book(std::make_unique<Book>())
{
    if (!book->sheet)
        return;
    book->head = workbook_add_format(book->workbook);
    format_set_bold(book->head);
    book->time = workbook_add_format(book->workbook);
    format_set_num_format(book->time, "yyyy-mm-dd hh:mm:ss");
    worksheet_freeze_panes(book->sheet, 1, 0);
    worksheet_set_column(book->sheet, 3, 3, 19, nullptr);
}

RecordWorkbook::~RecordWorkbook()
{
    if (book->workbook)
        workbook_close(book->workbook);
}

void RecordWorkbook::append(const ExportRecord &record, int layout)
{
    lxw_worksheet *sheet = book->sheet;
    if (!sheet)
        return;
    const auto r = lxw_row_t(row++);
    worksheet_write_string(sheet, r, 0, record.analyzer.toUtf8().constData(), nullptr);
    worksheet_write_number(sheet, r, 1, record.area + 1, nullptr);
    worksheet_write_number(sheet, r, 2, record.number, nullptr);
    if (record.time.isValid()) {
        const QDate d = record.time.date();
        const QTime t = record.time.time();
        lxw_datetime when{d.year(), d.month(), d.day(), t.hour(), t.minute(), double(t.second())};
        worksheet_write_datetime(sheet, r, 3, &when, book->time);
        const int offset = record.time.offsetFromUtc() / 60;
        char text[16];
        std::snprintf(text, sizeof text, "%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60,
                      std::abs(offset) % 60);
        worksheet_write_string(sheet, r, 4, text, nullptr);
    }
    // The value as the other formats write it (15 significant digits), not the scaling's binary residue.
    QByteArray text;
    for (size_t c = 0; c < columns.columnCount(); ++c) {
        const double v = columns.value(record, layout, c);
        if (!std::isfinite(v))
            continue;
        text.clear();
        appendNumber(text, v);
        worksheet_write_number(sheet, r, lxw_col_t(kFirstValueColumn + c), text.toDouble(), nullptr);
    }
}

QByteArray RecordWorkbook::finish(std::string &error)
{
    if (!book->sheet) {
        error = "cannot make a spreadsheet in a temporary folder";
        return {};
    }
    // The header last: the columns are known once every record is in.
    const char *heads[] = {"analyzer", "area", "record", "time", "utc offset"};
    for (int c = 0; c < kFirstValueColumn; ++c)
        worksheet_write_string(book->sheet, 0, lxw_col_t(c), heads[c], book->head);
    for (size_t c = 0; c < columns.columnCount(); ++c)
        worksheet_write_string(book->sheet, 0, lxw_col_t(kFirstValueColumn + c),
                               columns.columnLabel(c).toUtf8().constData(), book->head);
    const lxw_error closed = workbook_close(book->workbook);
    book->workbook = nullptr;
    QFile file(QString::fromStdString(book->path));
    if (closed != LXW_NO_ERROR || !file.open(QIODevice::ReadOnly)) {
        error = std::string("cannot write the spreadsheet: ") +
                (closed != LXW_NO_ERROR ? lxw_strerror(closed) : file.errorString().toStdString());
        return {};
    }
    return file.readAll();
}
