// The "Communication..." monitor of the main window against ktr58-sim.

#include "UiHarness.h"
#include "WorkerTestSeam.h"

#include "modbus/MbusMasterFunctions.h"
#include "ui/TrafficMonitor.h"

#include <QAction>

using namespace ui;

class MonitorTest : public QObject, WindowFixture
{
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void showsEachFrameWithItsResult();
    void namesFailedAttempts();

  private:
    TrafficMonitor *openMonitor()
    {
        form->communicationAction->trigger();
        TrafficMonitor *monitor = form->trafficMonitor;
        if (monitor && QTest::qWaitForWindowExposed(monitor))
            monitor->refresh();
        return monitor;
    }
    QStringList monitorLines() const { return form->trafficMonitor->frames->toPlainText().split(u'\n'); }
};

void MonitorTest::showsEachFrameWithItsResult()
{
    Settings settings;
    settings.mode = 0;
    QVERIFY(openOnTcp({}, settings));
    QVERIFY(form->worker->isConnected());
    // Both connection groups offer the monitor.
    QVERIFY(form->timingMenu->actions().contains(form->communicationAction));
    QVERIFY(form->serialMenu->actions().contains(form->communicationAction));
    QCOMPARE(form->communicationAction->text(), QStringLiteral("Communication..."));

    TrafficMonitor *monitor = openMonitor();
    QVERIFY(monitor && monitor->isVisible());
    const QStringList lines = monitorLines();
    const TrafficCounters counts = form->worker->traffic().counters();
    QVERIFY(counts.requests >= 3); // identity, configuration, counts
    QCOMPARE(qsizetype(2 * counts.requests), lines.size());
    // The identity request on the wire: MBAP header, unit 1, function 43 / 14.
    QVERIFY2(lines[0].contains(QStringLiteral("  TX  00 00 00 00 00 05 01 2b 0e 01 00")),
             qPrintable(lines[0]));
    for (qsizetype i = 1; i < lines.size(); i += 2)
        QVERIFY2(lines[i].contains(QStringLiteral("  RX  00 00 00 00")) &&
                     lines[i].endsWith(QStringLiteral("  OK")),
                 qPrintable(lines[i]));

    // While paused the list holds still and the counters go on; an illegal request's exception reply
    // is named and counted by its code.
    monitor->pauseButton->click();
    uint8_t echo[4];
    const uint8_t coil[4] = {0, 0, 0xFF, 0};
    QCOMPARE(WorkerTestSeam::tcpMaster(*form->worker).customRequest(1, 5, coil, 4, echo, 4),
             int(IllegalFunctionException));
    monitor->refresh();
    QCOMPARE(monitorLines().size(), lines.size());
    QVERIFY2(monitor->counters->text().contains(QStringLiteral("Exception replies (by code) 01: 1")),
             qPrintable(monitor->counters->text()));
    QVERIFY(monitor->counters->text().contains(
        QStringLiteral("Requests                    %1\n").arg(counts.requests + 1)));
    monitor->pauseButton->click();
    monitor->refresh();
    QCOMPARE(monitorLines().size(), lines.size() + 2);
    QVERIFY(
        monitorLines().last().endsWith(QStringLiteral("Exception 01: Illegal Function exception response")));
    saveScreenshot(*monitor, QStringLiteral("screenshot-monitor-en.png"));

    form->ApplyLanguage(0);
    QCOMPARE(monitor->windowTitle(), QStringLiteral("İletişim"));
    QCOMPARE(form->communicationAction->text(), QStringLiteral("İletişim..."));
    QVERIFY(monitor->counters->text().startsWith(QStringLiteral("İstek")));

    const QString path = QDir(scratch->path()).filePath(QStringLiteral("traffic.txt"));
    QVERIFY(monitor->saveTo(path));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    QVERIFY(text.startsWith(monitor->counters->text() + QStringLiteral("\n\n")));
    QVERIFY(text.endsWith(monitor->frames->toPlainText() + u'\n'));
    QVERIFY(!monitor->saveTo(QDir(scratch->path()).filePath(QStringLiteral("missing/traffic.txt"))));
}

void MonitorTest::namesFailedAttempts()
{
    TrafficFrame line;
    line.wallUs = 0;
    line.pduOffset = 1;
    line.result = ChecksumError;
    line.attempt = 2;
    line.length = 5;
    const uint8_t bad[5] = {1, 0x83, 0x02, 0xaa, 0xbb};
    std::copy(bad, bad + 5, line.bytes);
    QVERIFY2(
        TrafficMonitor::lineText(line).endsWith(QStringLiteral(" RX  01 83 02 aa bb  CRC error  (retry 2)")),
        qPrintable(TrafficMonitor::lineText(line)));
    line.result = ReplyTimeout;
    line.length = 0;
    QVERIFY(TrafficMonitor::lineText(line).endsWith(QStringLiteral(" RX  -  Reply time-out  (retry 2)")));
    line.result = int8_t(0x85) | 0xA0;
    line.attempt = 0;
    line.length = 3;
    line.bytes[2] = 0x85;
    QVERIFY(TrafficMonitor::lineText(line).endsWith(QStringLiteral("  Exception 85: unknown code")));
}

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
