#pragma once

#include "shell/GSETTINGS.h"
#include "text/Language.h"
#include "worker/WorkerTypes.h"
#include "worker/WorkerView.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class ArchiveWindow;
class ChartWindow;
class GridModel;
class GridViewModel;
class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableView;
class QTimer;
class ReportWindow;
class TForm3;
class TLabeledEdit;
class TrafficMonitor;
class TiLedRectangle;
class TiSwitchLed;
class AnalyzerSession;
class comThread;
class RecordKeeper;

// The main window: connection panel (left), logging configuration (middle),
// log selection and the download switch (right), the result grid below and
// the status bar. It is the worker's view: every record the worker downloads
// is put on the grid by a job that runs here, on the UI thread.
class TForm1 : public QWidget, public WorkerView
{
    Q_OBJECT

    using LANGUAGE = ::LANGUAGE;
    static constexpr int kSectorBoxes = 15;
    static constexpr int kHistorySize = 10;

  public:
    TForm1();
    ~TForm1() override;

    // Non-control members.
    std::unique_ptr<comThread> worker;
    qint32 checkedCount = 0;
    qint16 commMode = LinkMode::Tcp;
    qint16 modelCode = 0;
    std::unique_ptr<GSETTINGS> gsettings;
    QString ipList[kHistorySize];

    // Connection panel.
    QFrame *Bevel1;
    QRadioButton *RadioButton1; // serial
    QRadioButton *RadioButton2; // Ethernet
    QGroupBox *GroupBox2;       // serial settings
    QLabel *Com_Label;
    QComboBox *Com_Combo;
    QLabel *Baud_Label;
    QComboBox *Baud_Combo;
    QLabel *Adres_Label;
    QLineEdit *Adres_edit;
    QGroupBox *GroupBox1;       // Ethernet settings
    TLabeledEdit *LabeledEdit1; // host
    TLabeledEdit *LabeledEdit2; // TCP port
    TLabeledEdit *LabeledEdit3; // Modbus address
    QMenu *iPop;                // host history
    QMenu *timingMenu;
    QAction *N1;
    QAction *communicationAction; // in the Ethernet and the serial group's menus
    QAction *archiveAction;       // the same
    QMenu *serialMenu;
    TrafficMonitor *trafficMonitor = nullptr; // made when first opened
    QLabel *Label5;
    QPlainTextEdit *Memo1;
    QPushButton *BitBtn1; // Connect

    // Logging configuration panel.
    QFrame *Panel2;
    QLabel *Label2;
    QListWidget *list1;
    TLabeledEdit *LabeledEdit4; // log period
    QCheckBox *CheckBox1;       // event log
    QPushButton *BitBtn3;       // Apply
    QLabel *Label3;             // never shown
    QLabel *Label4;             // never shown
    QPushButton *BitBtn4;       // never shown

    // Log selection.
    QGroupBox *GroupBox3;
    QLabel *Label1;
    std::array<QCheckBox *, kSectorBoxes> chkSector;
    QCheckBox *chkEnergy;
    QListWidget *list2; // never shown: the selection as the download sees it
    QAction *d1;
    QAction *d2;
    TiSwitchLed *iSwitchLed1;
    QPushButton *BitBtn2; // never shown
    // A new download reads only what the archive lacks.
    QCheckBox *chkNewOnly;

    // Result grid.
    GridModel *gridModel;
    GridViewModel *gridView; // what the view shows of gridModel
    QTableView *grid;
    QMenu *PopupMenu2;
    QAction *S1;
    QAction *Export1;
    QAction *Chart1;
    QAction *Report1;                      // shown while the grid holds energy log records
    QPointer<ReportWindow> reportWindow;   // the last one opened
    QAction *Archive1;                     // what the archive holds
    QPointer<ArchiveWindow> archiveWindow; // open while the operator keeps it open

    QStatusBar *StatusBar1;
    std::array<QLabel *, size_t(StatusPanel::Count)> statusPanel;
    TiLedRectangle *iLedRectangle1; // RX
    TiLedRectangle *iLedRectangle2; // TX

    TForm3 *Form3;

    // What the operator may do. Handlers change the state; setWindowState() alone enables and disables
    // controls. A transaction running off the UI thread keeps the state: its progress box holds the
    // input off, so a quick one does not flash the controls.
    enum class WindowState {
        NotConnected, // Connect and the link settings only
        Connected,    // the analyzer answered: sectors, Apply and the selection menu too
        Downloading,  // nothing that uses the link or changes the selection under the worker
        Paused,       // sectors, Connect and Apply again; the mode stays while a request may hold the link
        Completed,    // as connected
    };
    WindowState windowState() const { return state; }

    // Slot of the host history that records host; 11 when it is there already.
    int FindIpSlot(const QString &host) const;
    void ApplyLanguage(qint16 lang);

    // Handlers. Those that convert operator input throw EPullrecError; their
    // signal connections run them guarded.
  public slots:
    void FormShow();
    void FormClose();
    void RadioButton1Click();
    void RadioButton2Click();
    void BitBtn1Click();
    void N1Click();
    void iPopPopup(const QPoint &pos);
    void list1ClickCheck();
    void BitBtn3Click();
    void chkSector1Click();
    void chkSector2Click();
    void chkSector3Click();
    void chkSector4Click();
    void chkSector5Click();
    void chkSector6Click();
    void chkSector7Click();
    void chkSector8Click();
    void chkSector9Click();
    void chkSector10Click();
    void chkSector11Click();
    void chkSector12Click();
    void chkSector13Click();
    void chkSector14Click();
    void chkSector15Click();
    void chkEnergyClick();
    void d1Click();
    void d2Click();
    void iSwitchLed1Change();
    void S1Click();
    void Export1Click();
    void Chart1Click();
    void Report1Click();
    void Archive1Click();

  protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    // WorkerView, used through its base.
    void post(std::function<void()> job) override;
    void showRecord(int row, const LogRecord &record) override;
    void showEnergyHeaders(const DEVICE_REGISTER_TABLE *table) override;
    void recordMissing(int area, int index) override;
    void setStatusText(StatusPanel panel, const std::string &text) override;
    void showStatusMessage(StatusMessage message) override;
    void setLamps(bool rxOn, bool txOn) override;
    void setDownloadSwitch(bool on) override;
    void downloadCompleted() override;

    void RebuildParameterView();
    void buildLayout();
    void buildConnectionPanel();
    void buildConfigurationPanel();
    void buildSectorPanel();
    void buildGrid();
    void buildStatusBar();
    void connectHandlers();
    void showTrafficMonitor();
    void showArchiveSettings();
    // Downloads go to location (empty: the default one) if keep; remembered in the settings.
    void keepIn(const QString &location, bool keep);
    void offerReport();

    // Runs one of the worker's transactions on a thread of its own and waits without blocking the
    // event loop: the window keeps painting, input is held off, and from about 300 ms on a busy
    // cursor and a progress box show the step with Cancel. A cancel closes the
    // link and abandons the handler quietly (EPullrecAbort); otherwise the transaction's result.
    // With giveUp, Cancel calls it instead and the link stays open: work that is not the link's.
    bool transact(Captions::Id step, const std::function<bool()> &transaction,
                  const std::function<void()> &giveUp = {});
    // Connect and Apply end a paused download as a completed one ends: the next start is a new one.
    void endPausedDownload();
    QString negativeCountText(const std::array<bool, 16> &selected) const;
    // The same, then waits (as the transaction step) until the worker holds no record request: the
    // request reads the settings and the configuration the handler is about to change.
    void endPausedDownloadFor(Captions::Id step);
    // A closed link (a change of mode, a cancelled step) leaves nothing to download from.
    void leaveClosedLink();
    // Records not saved, or a download running or paused: the operator's word before closing.
    bool closeConfirmed();
    static bool sameLink(const COMSETT &a, const COMSETT &b);
    void fillSerialPortList();
    void showMessage(const QString &text);
    void setStatus(StatusPanel panel, const QString &text);
    void showSectorCaptions();
    void setWindowState(WindowState next);
    void sectorClicked(int box);
    void setLivePainting(bool live);
    void repaintDownloadView();
    void showCurrentRow();
    // Row 0, columns 0..2: "Record #", "Date", "Time" in the chosen language.
    void writeRecordHeaders();
    // An empty grid over an empty log: a new connection or download.
    void clearRecords();
    // Narrows the worker's selection to the records the archive lacks (probe reads off the UI thread);
    // the status bar's note on it, empty when there is none.
    QString narrowToNewRecords();
    QString areaText(int area) const; // "Sector 3", "Energy"
    Q_INVOKABLE void runPostedJob();

    // While records arrive the grid and the status bar are painted a few times a second, not once per
    // record: the worker waits for every record's display, so painting would set the pace of the
    // download. The current row follows at those moments too.
    LANGUAGE texts;
    std::unique_ptr<AnalyzerSession> session; // the connect sequence over worker
    QFrame *Panel1;
    QFrame *Panel3;
    QMenu *PopupMenu1;
    QPointer<ChartWindow> chartWindow; // open while the operator keeps it open
    QFileDialog *sDialog = nullptr;    // made at the first save: it watches the file system while it exists

    QTimer *downloadRepaint;
    QWidget *topRow = nullptr; // connection, configuration and sector panels
    int pendingCurrentRow = -1;
    bool shown = false;
    bool settingsWriteFailed = false;         // the last close could not write the settings file
    COMSETT linkOpenedWith;                   // the settings of the last Connect that opened the link
    bool downloadPaused = false;              // switched off before the last record: the pass can go on
    std::array<bool, 16> downloadSelection{}; // the areas of the download in progress or paused
    QString archiveTrouble;      // why this download's records were not all kept, as the status bar said
    QString unreadAreas;         // the status bar's note on the selection: negative counts, the archive
    bool recordsUnsaved = false; // the grid holds records no save has written since
    WindowState state = WindowState::NotConnected;
    bool saveOffered = false; // a download has started: save, export and chart stay offered from then on
    std::mutex postedMutex;
    std::deque<std::function<void()>> postedJobs; // the worker's, oldest first
    RecordLog records;                            // what the grid shows
    std::unique_ptr<RecordKeeper> keeper;         // keeps the records in the archive
};
