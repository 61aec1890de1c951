// The window's energy report against pullrec-cli's of the same records: the same figures for the same
// period; the table and the chart show them; the report saves as a spreadsheet and a PDF.

#include "DownloadHarness.h"

#include "ui/ReportWindow.h"

#include <QBarSet>
#include <QComboBox>
#include <QDateEdit>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTableWidget>

using namespace e2e;

class TestReport : public QObject, public WindowFixture
{
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void sameFiguresAsTheCommandLine()
    {
        simArgs = {"--records", recordsArg({{kEnergyArea, 300}})}; // 2024-09-09 00:00 on, 15 min apart
        QVERIFY(openOnTcp(simArgs, tcpSettings(1)));
        QVERIFY(downloadAreas(*form, {kEnergyArea}));
        form->PopupMenu2->aboutToShow();
        QVERIFY(form->Report1->isVisible());
        form->Report1->trigger();
        ReportWindow *window = form->reportWindow;
        QVERIFY(window);
        window->periodKind->setCurrentIndex(int(ReportWindow::PeriodKind::Range));
        window->fromDate->setDate(QDate(2024, 9, 9));
        window->toDate->setDate(QDate(2024, 9, 11));
        const QTimeZone zone = QTimeZone::systemTimeZone();
        const QJsonObject shown =
            QJsonDocument::fromJson(QByteArray::fromStdString(writeReport(
                                        window->report(), ReportFormat::Json, {"58322521", zone, false})))
                .object();

        const std::string bin = SimProcess::binary();
        const std::string cli = bin.substr(0, bin.rfind('/') + 1) + "pullrec-cli";
        const std::string archive = "sqlite:" + scratch->path().toStdString() + "/a.db";
        const std::string port = "127.0.0.1:" + std::to_string(sim->tcpPort());
        QCOMPARE(runProgram(cli, {"download", "--tcp", port, "--energy", "--archive", archive, "--quiet"})
                     .exitCode,
                 0);
        const ProgramRun report =
            runProgram(cli, {"report", "--archive", archive, "--analyzer", "58322521", "--from", "2024-09-09",
                             "--to", "2024-09-11", "--format", "json", "--tz", zone.id().toStdString()});
        QVERIFY2(report.exitCode == 0 || report.exitCode == 3, report.err.c_str());
        const QJsonObject expected = QJsonDocument::fromJson(QByteArray::fromStdString(report.out)).object();
        for (const char *key : {"from", "to", "total", "days", "gaps", "resets"})
            QVERIFY2(shown[key] == expected[key], key);

        // The table and the chart say what the report says.
        const QJsonArray days = shown["days"].toArray();
        QCOMPARE(window->table->rowCount(), days.size() + 1);
        for (int d = 0; d < days.size(); ++d) {
            const QJsonObject day = days[d].toObject();
            QCOMPARE(window->table->item(d, 0)->text(), day["date"].toString());
            QCOMPARE(window->table->item(d, 1)->text(),
                     QString::number(day["import_kwh"].toDouble(), 'f', 1));
            double stacked = 0;
            for (QBarSet *set : window->bandSets())
                stacked += set->at(d);
            QVERIFY(qAbs(stacked - day["import_kwh"].toDouble()) < 1e-6);
        }
        QVERIFY(window->verdict->text().contains(QStringLiteral("inductive: ")));

        for (const char *file : {"r.xlsx", "r.pdf"}) {
            QString error;
            QVERIFY2(window->save(scratch->path() + "/" + file, error), qPrintable(error));
        }
        QVERIFY(QFileInfo(scratch->path() + "/r.pdf").size() > 1000);
        window->resize(1000, 720);
        saveScreenshot(*window, QStringLiteral("report.png"));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
