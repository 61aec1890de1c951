// Energy reports on hand-computed logs, the sums on long random logs, and the written forms.

#include "report/ReportWriter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

namespace
{

// A reading on day `day` of March 2026 (0 or less: February's last days); counters import, inductive,
// capacitive, export.
EnergyReading at(int day, int hour, int minute, double import, double inductive = 0, double capacitive = 0,
                 double exported = 0)
{
    EnergyReading r;
    r.clock = day > 0 ? RecordClock{2026, 3, day, hour, minute, 0}
                      : RecordClock{2026, 2, 28 + day, hour, minute, 0};
    r.counters = {import, exported, inductive, capacitive};
    return r;
}

EnergyReading noTime(double import)
{
    EnergyReading r;
    r.counters[ImportKwh] = import;
    return r;
}

ReportOptions over(ReportPeriod period)
{
    ReportOptions options;
    options.period = period;
    return options;
}

double counter(int low, int high)
{
    return low + 10000.0 * high;
}

struct Case {
    const char *name;
    ReportPeriod period;
    const char *bands; // empty: the defaults
    std::vector<EnergyReading> readings;
    double importKwh;
    std::vector<double> daysKwh;
    std::vector<double> bandsKwh;
    int gaps, resets, withoutTime; // gaps: also the stretches the readings leave at the period's edges
};

const ReportPeriod kTwoDays{dayPeriod(2026, 3, 1).from, dayPeriod(2026, 3, 2).to};

// clang-format off
const Case kCases[] = {
    {"day boundary, shared by time", kTwoDays, "", {at(1, 23, 0, 0), at(2, 1, 0, 20)},
     20, {10, 10}, {0, 0, 20}, 2, 0, 0},
    {"band boundary", kTwoDays, "", {at(1, 16, 30, 0), at(1, 17, 30, 60)},
     60, {60, 0}, {30, 30, 0}, 2, 0, 0},
    {"gap listed and still attributed", kTwoDays, "",
     {at(1, 8, 0, 0), at(1, 8, 15, 1), at(1, 8, 30, 2), at(1, 8, 45, 3), at(1, 10, 45, 11)},
     11, {11, 0}, {11, 0, 0}, 3, 0, 0},
    {"counter reset gives nothing for its interval", kTwoDays, "",
     {at(1, 8, 0, 100), at(1, 8, 15, 110), at(1, 8, 30, 5), at(1, 8, 45, 15)},
     20, {20, 0}, {20, 0, 0}, 2, 1, 0},
    {"low word wraps into the high word", kTwoDays, "",
     {at(1, 8, 0, counter(9990, 3)), at(1, 8, 15, counter(5, 4))},
     15, {15, 0}, {15, 0, 0}, 2, 0, 0},
    {"no readings in the period", kTwoDays, "", {at(5, 8, 0, 0), at(5, 9, 0, 10)},
     0, {0, 0}, {0, 0, 0}, 1, 0, 0},
    {"band wrapping midnight", kTwoDays, "20:00-04:00,04:00-20:00", {at(2, 3, 0, 0), at(2, 5, 0, 20)},
     20, {0, 20}, {10, 10}, 2, 0, 0},
    {"readings without a valid time left out", kTwoDays, "",
     {at(1, 9, 0, 0), noTime(500), at(1, 10, 0, 10), noTime(1)},
     10, {10, 0}, {10, 0, 0}, 2, 0, 2},
    {"only the share inside the period", dayPeriod(2026, 3, 1), "", {at(0, 23, 0, 0), at(1, 1, 0, 20)},
     10, {10}, {0, 0, 10}, 1, 0, 0},
};
// clang-format on

TEST(EnergyReport, HandComputedLogs)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        ReportOptions options = over(c.period);
        if (*c.bands)
            options.bands = *parseBands(c.bands);
        const EnergyReport r = makeEnergyReport(c.readings, options);
        EXPECT_NEAR(r.total.energy[ImportKwh], c.importKwh, 1e-9);
        ASSERT_EQ(r.days.size(), c.daysKwh.size());
        for (size_t d = 0; d < r.days.size(); ++d)
            EXPECT_NEAR(r.days[d].figures.energy[ImportKwh], c.daysKwh[d], 1e-9) << "day " << d;
        ASSERT_EQ(r.total.bandsKwh.size(), c.bandsKwh.size());
        for (size_t b = 0; b < c.bandsKwh.size(); ++b)
            EXPECT_NEAR(r.total.bandsKwh[b], c.bandsKwh[b], 1e-9) << "band " << b;
        EXPECT_EQ(int(r.gaps.size()), c.gaps);
        EXPECT_EQ(int(r.resets.size()), c.resets);
        EXPECT_EQ(r.withoutTime, c.withoutTime);
        EXPECT_EQ(r.complete(), c.gaps == 0 && c.resets == 0);
    }
}

TEST(EnergyReport, GapsInsideAndAtTheEdges)
{
    const auto t = [](int day, int hour, int minute) {
        return clockSeconds({2026, 3, day, hour, minute, 0});
    };
    std::vector<EnergyReading> log;
    for (int minute = 0; minute < 24 * 60; minute += 15)
        if (minute < 600 || minute >= 660) // 10:00 to 11:00 missing
            log.push_back(at(1, minute / 60, minute % 60, minute));
    ReportOptions options = over(kTwoDays);
    options.now = t(2, 0, 10); // within twice the spacing of the last reading: not yet a gap
    EnergyReport r = makeEnergyReport(log, options);
    ASSERT_EQ(r.gaps.size(), 1u);
    EXPECT_EQ(std::make_pair(r.gaps[0].from, r.gaps[0].to), std::make_pair(t(1, 9, 45), t(1, 11, 0)));
    EXPECT_NEAR(r.total.energy[ImportKwh], 23 * 60 + 45, 1e-9);

    options.now = t(2, 6, 0);
    r = makeEnergyReport(log, options);
    ASSERT_EQ(r.gaps.size(), 2u);
    EXPECT_EQ(std::make_pair(r.gaps[1].from, r.gaps[1].to), std::make_pair(t(1, 23, 45), t(2, 6, 0)));

    options.period = dayPeriod(2026, 2, 28); // before the log
    r = makeEnergyReport(log, options);
    ASSERT_EQ(r.gaps.size(), 1u);
    EXPECT_EQ(std::make_pair(r.gaps[0].from, r.gaps[0].to),
              std::make_pair(options.period.from, options.period.to));
}

TEST(EnergyReport, ResetNamesCounterAndTime)
{
    const EnergyReport r = makeEnergyReport({at(1, 8, 0, 10, 50), at(1, 8, 15, 20, 3)}, over(kTwoDays));
    ASSERT_EQ(r.resets.size(), 1u);
    EXPECT_EQ(r.resets[0].counter, InductiveKvarh);
    EXPECT_EQ(r.resets[0].time, clockSeconds({2026, 3, 1, 8, 15, 0}));
    EXPECT_EQ(r.total.energy[InductiveKvarh], 0);
    EXPECT_EQ(r.total.energy[ImportKwh], 10);
}

TEST(EnergyReport, RatiosVerdictAndProjection)
{
    ReportOptions options = over(dayPeriod(2026, 3, 1));
    options.now = clockSeconds({2026, 3, 1, 18, 0, 0}); // later than the last reading: its rate holds
    const EnergyReport r = makeEnergyReport({at(1, 0, 0, 0, 0, 0), at(1, 12, 0, 100, 30, 10)}, options);
    EXPECT_DOUBLE_EQ(*r.total.inductiveRatio(), 0.3);
    EXPECT_DOUBLE_EQ(*r.total.capacitiveRatio(), 0.1);
    EXPECT_TRUE(r.inductiveExceeded());
    EXPECT_FALSE(r.capacitiveExceeded());
    ASSERT_TRUE(r.projection);
    EXPECT_DOUBLE_EQ(r.projection->importKwh, 200);
    EXPECT_NEAR(r.projection->inductiveMargin, 0.2 * 200 - 60, 1e-9);
    EXPECT_NEAR(r.projection->capacitiveMargin, 0.15 * 200 - 20, 1e-9);

    options.now = options.period.to; // over: nothing to project
    EXPECT_FALSE(makeEnergyReport({at(1, 0, 0, 0), at(1, 12, 0, 100)}, options).projection);
    EXPECT_FALSE(makeEnergyReport({}, options).total.inductiveRatio()); // no import, no ratio
}

TEST(EnergyReport, DemandAndPowerFactorOfReadingsInsideThePeriod)
{
    std::vector<EnergyReading> log{at(0, 23, 0, 0), at(1, 1, 0, 1), at(1, 2, 0, 2)};
    log[0].demandW = 999;
    log[1].demandW = 50;
    log[1].demandVa = 80;
    log[1].powerFactor = 0.9;
    log[2].demandW = 70;
    log[2].demandVa = 75;
    log[2].powerFactor = 0.95;
    const EnergyReport r = makeEnergyReport(log, over(dayPeriod(2026, 3, 1)));
    EXPECT_EQ(r.total.maxDemandW, 70);
    EXPECT_EQ(r.total.maxDemandTime, clockSeconds({2026, 3, 1, 2, 0, 0}));
    EXPECT_EQ(r.total.maxDemandVa, 80);
    EXPECT_DOUBLE_EQ(*r.total.averagePf(), 0.925);
}

TEST(EnergyReport, Periods)
{
    const auto days = [](ReportPeriod p) { return (p.to - p.from) / 86400; };
    EXPECT_EQ(days(monthPeriod(2024, 2)), 29);
    EXPECT_EQ(days(weekPeriod(2026, 12, 28)), 7);
    const ReportPeriod billing = billingPeriod(2026, 12, 15);
    EXPECT_EQ(billing.from, clockSeconds({2026, 12, 15, 0, 0, 0}));
    EXPECT_EQ(billing.to, clockSeconds({2027, 1, 15, 0, 0, 0}));
    const RecordClock c = clockOf(clockSeconds({2099, 12, 31, 23, 59, 58}));
    EXPECT_EQ(std::tie(c.year, c.month, c.day, c.hour, c.minute, c.second),
              std::make_tuple(2099, 12, 31, 23, 59, 58));
}

TEST(EnergyReport, BandTexts)
{
    const struct {
        const char *text;
        bool valid;
    } cases[] = {{"06:00-17:00,17:00-22:00,22:00-06:00", true},
                 {"00:00-24:00", true},
                 {"06:00-06:00", false},
                 {"06:00-17:00,", false},
                 {"6:00-17:00", false},
                 {"06:00-25:00", false},
                 {"", false},
                 {"06:60-07:00", false},
                 {"24:00-06:00", false}};
    for (const auto &c : cases)
        EXPECT_EQ(parseBands(c.text).has_value(), c.valid) << c.text;
    const auto bands = *parseBands("22:30-06:00,06:00-22:30");
    EXPECT_EQ(bands[0].name, "T1");
    EXPECT_EQ(bands[0].from, 22 * 60 + 30);
    EXPECT_EQ(bands[1].to, 22 * 60 + 30);
}

// Long logs with uneven spacing, dropped records and resets: whatever the log, the days and the hours
// sum to the period, the bands to the import, and the ratios are the quotients of the sums.
TEST(EnergyReport, SumsHoldOnLongRandomLogs)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> step(600, 1200), energy(0, 40), rare(0, 200);
        std::vector<EnergyReading> log;
        ClockSeconds t = clockSeconds({2026, 2, 27, 22, 7, 0});
        std::array<double, kCounters> counters{};
        while (t < clockSeconds({2026, 4, 2, 0, 0, 0})) {
            t += rare(random) == 0 ? 6 * 3600 : step(random);
            for (double &c : counters)
                c = rare(random) == 0 ? 0 : c + energy(random);
            EnergyReading r;
            r.clock = clockOf(t);
            r.counters = counters;
            log.push_back(r);
        }
        std::shuffle(log.begin(), log.end(), random);
        const EnergyReport r = makeEnergyReport(log, over(billingPeriod(2026, 3, 1)));
        const Figures &total = r.total;
        for (int c = 0; c < kCounters; ++c) {
            double days = 0, hours = 0;
            for (const DayFigures &d : r.days)
                days += d.figures.energy[size_t(c)];
            for (const HourFigures &h : r.hours)
                hours += h.energy[size_t(c)];
            EXPECT_NEAR(days, total.energy[size_t(c)], 1e-6);
            EXPECT_NEAR(hours, total.energy[size_t(c)], 1e-6);
        }
        EXPECT_NEAR(total.bandsKwh[0] + total.bandsKwh[1] + total.bandsKwh[2], total.energy[ImportKwh], 1e-6);
        EXPECT_DOUBLE_EQ(*total.inductiveRatio(), total.energy[InductiveKvarh] / total.energy[ImportKwh]);
        EXPECT_EQ(r.days.size(), 31u);
        EXPECT_EQ(r.hours.size(), 31u * 24);
        EXPECT_FALSE(r.gaps.empty());
    }
}

TEST(ReportWriter, JsonShapeAndTimes)
{
    std::vector<EnergyReading> log{at(1, 8, 0, 0, 0), at(1, 8, 15, 10, 3), at(1, 8, 30, 5, 4)};
    log[1].demandW = 1500;
    const EnergyReport r = makeEnergyReport(log, over(kTwoDays));
    const ReportContext context{"58322521", QTimeZone("Europe/Istanbul"), false};
    const QJsonObject o =
        QJsonDocument::fromJson(QByteArray::fromStdString(writeReport(r, ReportFormat::Json, context)))
            .object();
    EXPECT_EQ(o["analyzer"].toString(), "58322521");
    EXPECT_EQ(o["from"].toString(), "2026-03-01T00:00:00+03:00");
    EXPECT_EQ(o["to"].toString(), "2026-03-03T00:00:00+03:00");
    EXPECT_EQ(o["zone"].toString(), "Europe/Istanbul");
    EXPECT_EQ(o["limits"]["inductive"].toDouble(), 0.2);
    EXPECT_EQ(o["bands"][2]["from"].toString(), "22:00");
    const QJsonObject total = o["total"].toObject();
    EXPECT_EQ(total["import_kwh"].toDouble(), 10);
    EXPECT_EQ(total["inductive_ratio"].toDouble(), 0.4);
    EXPECT_EQ(total["bands_kwh"][0].toDouble(), 10);
    EXPECT_EQ(total["max_demand_w"].toDouble(), 1500);
    EXPECT_EQ(total["max_demand_time"].toString(), "2026-03-01T08:15:00+03:00");
    EXPECT_EQ(o["days"].toArray().size(), 2);
    EXPECT_EQ(o["days"][1]["date"].toString(), "2026-03-02");
    EXPECT_TRUE(o["days"][1]["inductive_ratio"].isNull());
    EXPECT_EQ(o["resets"][0]["counter"].toString(), "import_kwh");
    EXPECT_EQ(o["resets"][0]["time"].toString(), "2026-03-01T08:30:00+03:00");
    EXPECT_EQ(o["gaps"].toArray().size(), 2); // before the first reading and after the last
}

TEST(ReportWriter, TextAndCsvSayTheVerdict)
{
    const EnergyReport r =
        makeEnergyReport({at(1, 8, 0, 0, 0), at(1, 9, 0, 100, 30)}, over(dayPeriod(2026, 3, 1)));
    const std::string english = writeReport(r, ReportFormat::Text, {"1", QTimeZone::utc(), false});
    const std::string turkish = writeReport(r, ReportFormat::Text, {"1", QTimeZone::utc(), true});
    EXPECT_NE(english.find("inductive: 30.0 % (limit 20.0 %): LIMIT EXCEEDED"), std::string::npos) << english;
    EXPECT_NE(turkish.find("endüktif: 30.0 % (sınır 20.0 %): SINIR AŞILDI"), std::string::npos) << turkish;
    const std::string csv = writeReport(r, ReportFormat::Csv, {"1", QTimeZone::utc(), false});
    EXPECT_NE(csv.find("\ntotal,100,0,30,0,0.3,0,"), std::string::npos) << csv;
}

// The spreadsheet read by openpyxl holds the JSON's numbers; the PDF's text the totals and the verdict.
TEST(ReportWriter, SpreadsheetAndPdfSayWhatTheJsonSays)
{
    if (!*PULLREC_PYTHON3 || !*PULLREC_PDFTOTEXT)
        GTEST_SKIP() << "needs python3 with openpyxl and pdftotext";
    // The PDF's fonts; the application ends with the test.
    const auto fonts = pdfFontsApplication("report_tests");
    std::vector<EnergyReading> log{at(1, 0, 0, 0, 0), at(1, 16, 0, 160, 40, 1), at(2, 0, 0, 400, 60, 2, 5),
                                   at(3, 0, 0, 900, 90, 3, 5)};
    log[1].demandW = 1500;
    log[1].powerFactor = 0.9;
    const EnergyReport r = makeEnergyReport(log, over(kTwoDays));
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pullrec-report-files";
    std::filesystem::create_directories(dir);
    const auto save = [&](const char *file, ReportFormat format, bool turkish) {
        std::string error;
        const std::string bytes =
            writeReport(r, format, {"58322521", QTimeZone("Europe/Istanbul"), turkish}, &error);
        EXPECT_TRUE(error.empty()) << error;
        QFile out(QString::fromStdString((dir / file).string()));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) &&
                    out.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()));
        return (dir / file).string();
    };
    const std::string json = save("r.json", ReportFormat::Json, false);
    for (const bool turkish : {false, true}) {
        const std::string xlsx = save("r.xlsx", ReportFormat::Xlsx, turkish);
        EXPECT_EQ(
            std::system(
                (std::string(PULLREC_PYTHON3) + " " PULLREC_CHECK_XLSX " " + xlsx + " " + json).c_str()),
            0);
        const std::string pdf = save("r.pdf", ReportFormat::Pdf, turkish);
        const std::string txt = (dir / "r.txt").string();
        ASSERT_EQ(std::system((std::string(PULLREC_PDFTOTEXT) + " -layout " + pdf + " " + txt).c_str()), 0);
        QFile text(QString::fromStdString(txt));
        ASSERT_TRUE(text.open(QIODevice::ReadOnly));
        const QString words = QString::fromUtf8(text.readAll());
        const ReportTexts &t = reportTexts(turkish);
        for (const std::string &expected :
             {std::string(t.title) + ": 58322521", verdictText(t, true, r), verdictText(t, false, r),
              std::string("900.0"), std::string("2026-03-02")})
            EXPECT_TRUE(words.contains(QString::fromStdString(expected))) << expected << "\n"
                                                                          << words.toStdString();
    }
    std::filesystem::remove_all(dir);
}

} // namespace
