// The main window (offscreen) downloads 15 sectors of 1000 records from ktr58-sim over loopback TCP with
// poll delay 0, in rounds that alternate with the headless worker and a recording view on the same
// simulator. The machine is shared, so the two runs of a round meet the same conditions and the rounds
// are summed up by their medians. The window keeps every record in its archive, as the program does by
// default. Prints records per second of both, their ratio (the window should reach 90 %) and the peak
// resident memory with the 15 000 rows in the grid (limit 80 MB). Each round
// also runs the window with the "Communication..." monitor open, which must keep 90 % of the rate of
// the window without it.
//
//     app_bench

#include "../DownloadBench.h"
#include "PeakMemory.h"
#include "archive/Archive.h"
#include "shell/Application.h"
#include "shell/GSETTINGS.h"
#include "shell/Startup.h"
#include "ui/GridModel.h"
#include "ui/TForm1.h"
#include "widgets/TiSwitchLed.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include "widgets/TLabeledEdit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

namespace
{

constexpr int kRounds = 5;
constexpr long kPeakLimitMb = 80;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Seconds from switching the download on until the window shows it complete.
double window(int port, int &rows, bool monitorOpen)
{
    QFile settings(GSETTINGS::settingsPath());
    if (!settings.open(QIODevice::WriteOnly) ||
        settings.write("[LANG]\n1=1\n[MODE]\n1=0\n[IP]\n1=127.0.0.1\n[POLLDELAY]\n1=0\n[TIMEOUT]\n1=1000\n") <
            0)
        return -1;
    settings.close();

    TForm1 form;
    form.show();
    form.RadioButton2->click();
    form.LabeledEdit1->setText(QStringLiteral("127.0.0.1"));
    form.LabeledEdit2->setText(QString::number(port));
    form.BitBtn1->click();
    if (!form.d1->isEnabled())
        return -1;
    form.d1->trigger();
    if (monitorOpen)
        form.communicationAction->trigger();

    QEventLoop loop;
    QObject::connect(form.iSwitchLed1, &TiSwitchLed::changed, &loop, [&](bool on) {
        if (!on && form.worker->completed())
            loop.quit();
    });
    QTimer::singleShot(std::chrono::minutes(5), &loop, [&] { loop.exit(1); });
    const auto start = Clock::now();
    form.iSwitchLed1->setActive(true);
    if (loop.exec() != 0)
        return -1;
    const double elapsed = seconds(Clock::now() - start);
    rows = form.gridModel->rowCount();
    QFile::remove(GSETTINGS::settingsPath());
    return elapsed;
}

// Records the window's archive holds, or -1 when it cannot be read.
int64_t archivedRecords(const QString &location)
{
    std::string error;
    std::vector<ArchivedAnalyzer> analyzers;
    const auto archive = Archive::open(location.toStdString(), error, ArchiveAccess::Read);
    if (!archive || !archive->listAnalyzers(analyzers))
        return -1;
    int64_t count = 0;
    for (const ArchivedAnalyzer &analyzer : analyzers)
        for (const int64_t records : analyzer.records)
            count += records;
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv); // the program's start-up, its memory settings included
    QTemporaryDir scratch;        // the window creates DATA in the working directory
    QDir::setCurrent(scratch.path());
    const QString archive = archiveLocation();

    SimProcess sim;
    if (!startSimulator(sim))
        return 1;

    std::vector<double> headlessRates, windowRates, monitorRates, ratios, monitorRatios;
    for (int round = 0; round < kRounds; ++round) {
        int rows = 0, monitorRows = 0;
        const double headlessSeconds = headlessDownloadSeconds(sim.tcpPort());
        // Which of the two goes first alternates, so neither always meets a warmer simulator.
        double windowSeconds = 0, monitorSeconds = 0;
        if (round % 2 == 0) {
            windowSeconds = window(sim.tcpPort(), rows, false);
            monitorSeconds = window(sim.tcpPort(), monitorRows, true);
        } else {
            monitorSeconds = window(sim.tcpPort(), monitorRows, true);
            windowSeconds = window(sim.tcpPort(), rows, false);
        }
        if (headlessSeconds < 0 || windowSeconds < 0 || monitorSeconds < 0 || rows != kRecords + 2 ||
            monitorRows != kRecords + 2) {
            std::fprintf(stderr, "a download did not complete (grid rows %d, %d)\n", rows, monitorRows);
            return 1;
        }
        headlessRates.push_back(kRecords / headlessSeconds);
        windowRates.push_back(kRecords / windowSeconds);
        monitorRates.push_back(kRecords / monitorSeconds);
        ratios.push_back(headlessSeconds / windowSeconds);
        monitorRatios.push_back(windowSeconds / monitorSeconds);
        std::printf("round %d: window %.0f, headless worker %.0f records per second (%.1f %%); "
                    "with the monitor open %.0f (%.1f %%)\n",
                    round + 1, windowRates.back(), headlessRates.back(), ratios.back() * 100,
                    monitorRates.back(), monitorRatios.back() * 100);
    }
    const double ratio = median(ratios);
    const double monitorRatio = median(monitorRatios);
    const long peakKb = peakResidentKb();
    const int64_t kept = archivedRecords(archive);
    std::printf("%d records over loopback TCP, poll delay 0\n", kRecords);
    std::printf("keeping on: %lld records in %s\n", static_cast<long long>(kept), qPrintable(archive));
    std::printf("median records per second: window %.0f, headless worker %.0f\n", median(windowRates),
                median(headlessRates));
    std::printf("window / headless: %.1f %% (at least 90 %%)\n", ratio * 100);
    std::printf("median records per second with the monitor open: %.0f; monitor open / closed: %.1f %% "
                "(at least 90 %%)\n",
                median(monitorRates), monitorRatio * 100);
    std::printf("peak resident memory: %.1f MB (below %ld MB)\n", peakKb / 1024.0, kPeakLimitMb);
    return ratio >= 0.9 && monitorRatio >= 0.9 && peakKb >= 0 && peakKb < kPeakLimitMb * 1024 &&
                   kept == kRecords
               ? 0
               : 2;
}
