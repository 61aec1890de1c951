#include "report/ReportWriter.h"

#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cstdio>

namespace
{

// At 72 dots per inch a unit is a point: A4 is 595 x 842.
constexpr int kDpi = 72;
constexpr double kMargin = 36;
constexpr double kRowHeight = 11;

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

class Page
{
  public:
    Page(QPdfWriter &writer, QPainter &painter) : writer(writer), painter(painter) {}

    double width() const { return painter.viewport().width() - 2 * kMargin; }
    double bottom() const { return painter.viewport().height() - kMargin; }
    // Room for height more below y, else a new page.
    void need(double height)
    {
        if (y + height > bottom()) {
            writer.newPage();
            y = kMargin;
        }
    }
    void line(const QString &text, const QFont &font, const QColor &colour = Qt::black)
    {
        need(kRowHeight + 4);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QPointF(kMargin, y + font.pointSizeF()), text);
        y += font.pointSizeF() + 5;
    }

    QPdfWriter &writer;
    QPainter &painter;
    double y = kMargin;
};

// Import per day stacked by band on the left axis; the ratios and their limits on the right, in per cent.
void drawChart(Page &page, const EnergyReport &r, const ReportTexts &t)
{
    QPainter &p = page.painter;
    const double height = 200;
    page.need(height + 30);
    const QRectF plot(kMargin + 40, page.y + 8, page.width() - 80, height - 24);
    double maxKwh = 1;
    double maxRatio = std::max(r.options.inductiveLimit, r.options.capacitiveLimit);
    for (const DayFigures &day : r.days) {
        maxKwh = std::max(maxKwh, day.figures.energy[ImportKwh]);
        maxRatio = std::max(
            {maxRatio, day.figures.inductiveRatio().value_or(0), day.figures.capacitiveRatio().value_or(0)});
    }
    maxKwh *= 1.1;
    maxRatio *= 1.2;
    QFont small("DejaVu Sans", 6);
    p.setFont(small);
    p.setPen(QColor(0xcc, 0xcc, 0xcc));
    for (int tick = 0; tick <= 4; ++tick) {
        const double y = plot.bottom() - plot.height() * tick / 4;
        p.setPen(QColor(0xdd, 0xdd, 0xdd));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(kMargin, y - 5, 36, 10), Qt::AlignRight, q(fixed(maxKwh * tick / 4, 0)));
        p.drawText(QRectF(plot.right() + 4, y - 5, 36, 10), Qt::AlignLeft,
                   q(fixed(maxRatio * 100 * tick / 4, 0)));
    }
    p.drawText(QRectF(kMargin, plot.top() - 10, 60, 10), Qt::AlignLeft, "kWh");
    p.drawText(QRectF(plot.right() - 20, plot.top() - 10, 60, 10), Qt::AlignRight, q(t.ratio));

    const size_t n = std::max<size_t>(r.days.size(), 1);
    const double slot = plot.width() / double(n);
    const auto xOf = [&](size_t d) { return plot.left() + slot * (double(d) + 0.5); };
    for (size_t d = 0; d < r.days.size(); ++d) {
        double base = plot.bottom();
        const std::vector<double> &bands = r.days[d].figures.bandsKwh;
        for (size_t b = 0; b < bands.size(); ++b) {
            const double h = plot.height() * bands[b] / maxKwh;
            p.fillRect(QRectF(xOf(d) - slot * 0.35, base - h, slot * 0.7, h), bandColour(b));
            base -= h;
        }
        if (n <= 16 || d % (n / 8) == 0) {
            p.setPen(Qt::black);
            p.drawText(QRectF(xOf(d) - 20, plot.bottom() + 2, 40, 10), Qt::AlignCenter,
                       q(dateText(r.days[d].day).substr(5)));
        }
    }
    const auto yOfRatio = [&](double ratio) { return plot.bottom() - plot.height() * ratio / maxRatio; };
    for (const bool inductive : {true, false}) {
        const QColor colour = limitColour(inductive);
        const double limit = inductive ? r.options.inductiveLimit : r.options.capacitiveLimit;
        p.setPen(QPen(colour, 0.8, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), yOfRatio(limit)), QPointF(plot.right(), yOfRatio(limit)));
        QPainterPath path;
        bool started = false;
        for (size_t d = 0; d < r.days.size(); ++d) {
            const auto ratio =
                inductive ? r.days[d].figures.inductiveRatio() : r.days[d].figures.capacitiveRatio();
            if (!ratio)
                continue;
            const QPointF point(xOf(d), yOfRatio(*ratio));
            started ? path.lineTo(point) : path.moveTo(point);
            started = true;
        }
        p.setPen(QPen(colour, 1.2));
        p.drawPath(path);
    }
    p.setPen(Qt::black);
    p.drawRect(plot);

    // The legend names what the colours mean, so nothing is told by colour alone.
    double x = plot.left();
    const double y = plot.bottom() + 14;
    for (size_t b = 0; b < r.options.bands.size(); ++b) {
        p.fillRect(QRectF(x, y, 8, 6), bandColour(b));
        p.drawText(QPointF(x + 10, y + 6), q(r.options.bands[b].name));
        x += 40;
    }
    for (const bool inductive : {true, false}) {
        p.setPen(QPen(limitColour(inductive), 1.2));
        p.drawLine(QPointF(x, y + 3), QPointF(x + 10, y + 3));
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 12, y + 6), QString::fromUtf8(inductive ? t.inductive : t.capacitive) + " %");
        x += 70;
    }
    page.y += height + 30;
}

std::vector<QString> cellsOf(const std::vector<std::string> &texts)
{
    std::vector<QString> cells;
    for (const std::string &cell : texts)
        cells.push_back(q(cell));
    return cells;
}

void drawTable(Page &page, const EnergyReport &r, const ReportTexts &t)
{
    const std::vector<QString> heads = cellsOf(tableHeads(t, r.options.bands));
    const double first = 50;
    const double column = (page.width() - first) / double(heads.size() - 1);
    QFont font("DejaVu Sans", 6.5);
    QFont bold = font;
    bold.setBold(true);
    const auto row = [&](const QString &label, const std::vector<QString> &cells, const QFont &f) {
        page.need(kRowHeight);
        page.painter.setFont(f);
        page.painter.setPen(Qt::black);
        page.painter.drawText(QRectF(kMargin, page.y, first, kRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                              label);
        for (size_t c = 0; c < cells.size(); ++c)
            page.painter.drawText(
                QRectF(kMargin + first + column * double(c), page.y, column - 2, kRowHeight),
                Qt::AlignRight | Qt::AlignVCenter, cells[c]);
        page.y += kRowHeight;
    };
    row(heads[0], std::vector<QString>(heads.begin() + 1, heads.end()), bold);
    for (const DayFigures &day : r.days)
        row(q(dateText(day.day)), cellsOf(tableCells(day.figures)), font);
    row(QString::fromUtf8(t.total), cellsOf(tableCells(r.total)), bold);
    page.y += 6;
}

} // namespace

bool writeReportPdf(const EnergyReport &r, const ReportContext &context, const std::string &path,
                    std::string &error)
{
    const ReportTexts &t = reportTexts(context.turkish);
    QPdfWriter writer(q(path));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(kDpi);
    writer.setTitle(QString::fromUtf8(t.title) + ": " + q(context.analyzer));
    QPainter painter;
    if (!painter.begin(&writer)) {
        error = "cannot write " + path;
        return false;
    }
    Page page(writer, painter);
    QFont title("DejaVu Sans", 14);
    title.setBold(true);
    QFont body("DejaVu Sans", 8);
    QFont strong = body;
    strong.setBold(true);
    const QTimeZone &zone = context.zone;
    page.line(QString::fromUtf8(t.title) + ": " + q(context.analyzer), title);
    page.line(QString::fromUtf8(t.period) + ": " + q(isoTime(r.options.period.from, zone)) + " - " +
                  q(isoTime(r.options.period.to, zone)) + " (" + QString::fromUtf8(t.zone) + " " + zone.id() +
                  ")",
              body);
    for (const bool inductive : {true, false}) {
        const bool over = inductive ? r.inductiveExceeded() : r.capacitiveExceeded();
        page.line(q(verdictText(t, inductive, r)), strong, verdictColour(over));
    }
    if (r.projection) {
        page.line(QString::fromUtf8(t.projection) + ": " + q(fixed(r.projection->importKwh, 1)) + " kWh",
                  body);
        for (const bool inductive : {true, false}) {
            const double margin = inductive ? r.projection->inductiveMargin : r.projection->capacitiveMargin;
            const QString which = QString::fromUtf8(inductive ? t.inductive : t.capacitive);
            page.line("  " + q(fixed(std::abs(margin), 1)) + " " +
                          QString::asprintf(margin >= 0 ? t.left : t.over, which.toUtf8().constData()),
                      body);
        }
    }
    page.y += 6;
    drawChart(page, r, t);
    drawTable(page, r, t);
    if (!r.gaps.empty())
        page.line(QString::fromUtf8(t.gaps) + ":", strong);
    for (const Gap &g : r.gaps)
        page.line("  " + q(isoTime(g.from, zone)) + " - " + q(isoTime(g.to, zone)), body);
    if (!r.resets.empty())
        page.line(QString::fromUtf8(t.resets) + ":", strong);
    for (const Reset &reset : r.resets)
        page.line("  " + q(isoTime(reset.time, zone)) + " " + counterKey(reset.counter), body);
    if (r.withoutTime)
        page.line(QString::fromUtf8(t.withoutTime) + ": " + QString::number(r.withoutTime), body);
    if (!painter.end()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::unique_ptr<QGuiApplication> pdfFontsApplication(const char *name)
{
    if (QGuiApplication::instance())
        return nullptr;
    // Qt keeps argc and argv for the application's life.
    static int argc = 1;
    static char program[64];
    static char *argv[] = {program, nullptr};
    std::snprintf(program, sizeof program, "%s", name);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}
