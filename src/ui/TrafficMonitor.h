#pragma once

#include "modbus/TrafficRecorder.h"
#include "model/AnalyzerMap.h"

#include <QString>
#include <QWidget>

#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The "Communication..." window: the link's last frames in hex, and its counters since Connect. It
// reads the worker's traffic recorder a few times a second while shown, and never more lines per
// read than a person can follow, so an open monitor does not hold up a download.
class TrafficMonitor : public QWidget
{
    Q_OBJECT

  public:
    static constexpr int kRefreshMs = 250;
    static constexpr int kLinesPerRefresh = 200; // the rest of a burst is summed up in one line
    static constexpr int kLinesKept = 5000;

    TrafficMonitor(const TrafficRecorder &recorder, QWidget *parent);

    // 0 Turkish, 1 English.
    void setLanguage(int lang);
    static QString menuText(int lang);

    // Takes the lines recorded since the last refresh (unless paused) and the counters.
    void refresh();
    // "12:00:01.250  TX  01 03 00 00 00 01 84 0a" or, for what an attempt read,
    // "12:00:01.262  RX  01 83 02 c0 f1  Illegal Data Address exception response".
    static QString lineText(const TrafficFrame &line);
    QString countersText(const TrafficCounters &counters) const;

    QPlainTextEdit *frames;
    QLabel *counters;
    QPushButton *pauseButton; // checked while paused
    QPushButton *saveButton;

    // Writes the counters and the lines shown to path; false when the file cannot be written.
    bool saveTo(const QString &path);

  protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    void save();

    const TrafficRecorder &recorder;
    QTimer *timer;
    std::vector<TrafficFrame> buffer; // one refresh's lines, allocated once
    uint64_t lastSequence = 0;
    int lang = TextLanguage::English;
};
