#pragma once

#include "archive/Archive.h"
#include "model/RecordLog.h"
#include "text/Language.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class ChartWindow;
class GridModel;
class GridViewModel;
class QAction;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QFileDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;
class ReportWindow;

// Looking back: the analyzers an archive holds, each with its last download and record counts per area,
// and of the one picked the records of an area over a time range, in a grid of the main window's form
// with its "Save to File...", "Export...", "Chart..." and, for the energy log, "Report...".
// The archive is opened read-only and read on a thread of the window's own: a year of records takes a
// while, and the window paints and answers meanwhile, with a busy bar after a moment. Closing the window
// or "Stop" gives the read up at once; a server that does not answer holds only that thread.
class ArchiveWindow : public QWidget
{
    Q_OBJECT

  public:
    // location as Archive::open takes it.
    ArchiveWindow(const QString &location, const LANGUAGE &texts, bool turkish, QWidget *parent = nullptr);
    ~ArchiveWindow() override;

    // Reads the list of analyzers again, unless the archive is being read.
    void reload();
    // Where the window reads, as given.
    const QString &archive() const { return location; }
    // Reads the records of the analyzer, area and time range picked into the grid ("Show").
    void showRecords();
    // Whether the archive is being read.
    bool busy() const { return reading != nullptr; }
    // Gives the read in progress up, without waiting for it.
    void stopReading();
    const std::vector<ArchivedAnalyzer> &analyzers() const { return listed; }
    // What the grid shows.
    const RecordLog &records() const { return log; }

    QLabel *locationLabel;
    QTableWidget *analyzerTable; // a row per analyzer: serial, model, last download, a count per area
    QComboBox *areaCombo;        // sectors 1-15, the energy log
    QLabel *fromLabel;
    QDateTimeEdit *fromEdit;
    QLabel *toLabel;
    QDateTimeEdit *toEdit;
    QCheckBox *unclockedBox; // records without a valid clock too, wherever they stand
    QPushButton *showButton; // "Stop" while reading
    QProgressBar *busyBar;
    QLabel *statusLabel;
    QTableView *grid;
    GridModel *gridModel;
    QMenu *gridMenu;
    QAction *saveAction;
    QAction *exportAction;
    QAction *chartAction;
    QAction *reportAction;

  private:
    // What a read produced, handed over from the loader thread.
    struct Outcome {
        bool ok = false;
        std::string error;
        ArchiveFault fault = ArchiveFault::None; // why the archive did not open
        std::vector<ArchivedAnalyzer> analyzers;
        RecordLog log;
        // Where each run of records of one configuration starts in log, and the analyzer as they know it.
        std::vector<size_t> runStarts;
        std::vector<RecordLog::Source> runSources;
        int area = -1; // the area read; -1 for the listing
    };
    struct Read;
    using Work = std::function<bool(Archive &archive, Outcome &outcome, Read &read)>;

    void buildLayout();
    void retitle();
    // Runs work on a thread with an archive connection of its own; finished() takes the outcome.
    void start(Work work, int area);
    void closeEvent(QCloseEvent *event) override;
    Q_INVOKABLE void finished();
    void setBusy(bool on);
    void showListing();
    void analyzerPicked();
    // The time range: the last month of the area's records.
    void areaPicked();
    void showGrid(int area, const std::vector<size_t> &runStarts);
    void fail(const std::string &reason, ArchiveFault fault);
    const ArchivedAnalyzer *pickedAnalyzer() const;

    QString location;
    LANGUAGE texts;
    bool turkish;
    GridViewModel *gridView;
    QTimer *busyDelay;
    QTimer *progress;
    QFileDialog *sDialog = nullptr;
    QPointer<ChartWindow> chartWindow;
    QPointer<ReportWindow> reportWindow;
    std::vector<ArchivedAnalyzer> listed;
    RecordLog log;
    std::vector<RecordLog::Source> runSources; // of each header row of the grid
    AnalyzerIdentity shownAnalyzer;            // whose records the grid shows

    std::shared_ptr<Read> reading; // shared with its thread, which may outlive the window
};
