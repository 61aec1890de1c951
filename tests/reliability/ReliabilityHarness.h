#pragma once

// Long downloads through the main window against ktr58-sim, and what they cost: the faults the
// simulator injected (from its --log), the peak memory of this process, the time taken.

#include "../e2e/DownloadHarness.h"
#include "PeakMemory.h"

#include "shell/TForm3.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QTimer>

namespace reliability
{

using namespace e2e;

// A whole number from the environment, def when unset or not a number.
inline int envInt(const char *name, int def)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : def;
}

// The --records value with count records in each of sectors 1 to 15 (areas 0 to 14).
inline std::string fifteenSectors(int count)
{
    std::string arg;
    for (int area = 0; area < 16; ++area) {
        if (area > 0)
            arg += ','; // appended apart: "," + string draws a false -Wrestrict from GCC 12 at -O3
        arg += std::to_string(area < 15 ? count : 0);
    }
    return arg;
}

// What ktr58-sim noted in its --log file.
struct SimLog {
    int requests = 0, dropped = 0, corrupted = 0, closed = 0;
    int faults() const { return dropped + corrupted + closed; }
};

inline SimLog readSimLog(const QString &path)
{
    SimLog log;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return log;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        log.requests += line.startsWith("ktr58-sim: request unit");
        log.dropped += line.contains("reply dropped");
        log.corrupted += line.contains("(corrupted)");
        log.closed += line.contains("closing the connection after");
    }
    return log;
}

// Runs the event loop as the program does until done() holds, at most boundMs; whether it holds.
// (QTest's waits sleep between their rounds of events, which would set the pace of a long download.)
inline bool runUntil(const std::function<bool()> &done, int boundMs)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() >= boundMs)
            loop.quit();
    });
    poll.start(20);
    if (!done())
        loop.exec();
    return done();
}

// Serial mode on the pseudo-terminal at the baud rate given, then Connect.
inline void connectRtuAt(TForm1 &form, const std::string &path, const QString &baud)
{
    form.RadioButton1->click();
    form.Com_Combo->setEditText(QString::fromStdString(path));
    form.Baud_Combo->setCurrentText(baud);
    form.Adres_edit->setText(QStringLiteral("1"));
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
}

// The timings dialog, as the operator fills it in.
inline void setTimings(TForm1 &form, int timeoutMs, int pollDelayMs)
{
    form.N1->trigger();
    form.Form3->LabeledEdit1->setText(QString::number(timeoutMs));
    form.Form3->LabeledEdit2->setText(QString::number(pollDelayMs));
    QTest::mouseClick(form.Form3->BitBtn1, Qt::LeftButton);
}

// "Save to File..." with the file name typed into the dialog; the bytes written, empty when none.
inline QByteArray saveGrid(TForm1 &form, const QString &fileName)
{
    ModalAnswer dialog([fileName](QWidget *modal) {
        auto *d = qobject_cast<QFileDialog *>(modal);
        auto *name = d ? d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name) {
            ModalAnswer::answer(modal, QMessageBox::Cancel);
            return;
        }
        name->setText(fileName);
        QMetaObject::invokeMethod(d, "accept");
    });
    form.S1->trigger();
    QFile file(QDir(QStringLiteral("DATA")).filePath(fileName));
    return dialog.seen() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sectors 1 to 15 with count records each, as ktr58-sim numbers them: row r holds record number
// (r - 1) % count + 1 of sector (r - 1) / count + 1; the first and last record of each sector are
// exactly as the simulator predicts. Empty when so, else the first difference.
inline QString checkFifteenSectors(TForm1 &form, int count, const std::vector<std::string> &simArgs)
{
    const int total = 15 * count;
    if (form.gridModel->rowCount() != total + 2)
        return QStringLiteral("%1 rows").arg(form.gridModel->rowCount());
    for (int r = 1; r <= total; ++r) {
        const QString number = form.gridModel->cell(r, 0);
        if (number != QString::number((r - 1) % count + 1))
            return QStringLiteral("row %1 holds record %2").arg(r).arg(number);
    }
    for (int area = 0; area < 15; ++area) {
        for (int index : {0, count - 1}) {
            const int row = area * count + index + 1;
            const QStringList expected =
                predictedRow(area, index, simArgs, form.worker->configuration().paramCodes).mid(0, 31);
            if (gridRow(form, row, 31) != expected)
                return QStringLiteral("row %1 is not record %2 of sector %3")
                    .arg(row)
                    .arg(index)
                    .arg(area + 1);
        }
    }
    if (!gridRow(form, total + 1, 31).join(QString()).isEmpty())
        return QStringLiteral("the last row is not empty");
    return {};
}

} // namespace reliability
