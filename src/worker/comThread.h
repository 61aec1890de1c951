#pragma once

#include "modbus/MbusRtuMasterProtocol.h"
#include "modbus/MbusTcpMasterProtocol.h"
#include "modbus/TrafficRecorder.h"
#include "model/AnalyzerMap.h"
#include "model/RecordPosition.h"
#include "model/RegisterTable.h"
#include "worker/WorkerTypes.h"
#include "worker/WorkerView.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The number an area's next record should carry, from the records accepted before it. An analyzer
// numbers its log its own way (position + constant, newest first, a fixed value, steps of S, a
// wrapped circular log, a restarted counter); the step is learnt from two neighbouring records and
// forgotten at a jump. 16-bit arithmetic, as the analyzer's counter wraps.
struct RecordNumbering {
    // False only when what is known predicts another number at this position.
    bool expects(int index, uint16_t number) const
    {
        if (lastIndex < 0 || (!stepKnown && index != lastIndex))
            return true;
        const uint32_t distance = static_cast<uint32_t>(index - lastIndex);
        return number == static_cast<uint16_t>(lastNumber + (stepKnown ? step : 0u) * distance);
    }
    // A record accepted as following the numbering.
    void follow(int index, uint16_t number)
    {
        if (lastIndex >= 0 && index == lastIndex + 1) {
            step = static_cast<uint16_t>(number - lastNumber);
            stepKnown = true;
        }
        lastIndex = index;
        lastNumber = number;
    }
    // A record accepted against the prediction: the numbering jumped, its step is learnt anew.
    void jumpTo(int index, uint16_t number)
    {
        lastIndex = index;
        lastNumber = number;
        stepKnown = false;
    }

    int32_t lastIndex = -1; // none accepted yet
    uint16_t lastNumber = 0;
    uint16_t step = 0;
    bool stepKnown = false;
};

// The one component that talks to the analyzer. The window calls the
// transactions synchronously; the download runs on the worker's own thread and
// shows every record through the WorkerView.
//
// Threading:
//  - The synchronous transactions (connect, readDeviceId, readConfiguration,
//    readAreaCounts, writeConfiguration) may run on any thread, one at a time,
//    while the download is suspended or idle; the window runs them off the UI
//    thread so that it keeps painting. cancel() is the one call meant for
//    another thread while such a transaction runs; isConnected() and
//    closeLink() wait for it to end.
//  - Transactions, closeLink() and the worker's record requests serialise on
//    one internal lock, so a transaction or a close started while a record
//    request is in flight waits for that request (never closes under it).
//  - The window changes the download only through selectAreas(),
//    narrowAreas(), endDownload() and restartPass() while the worker is suspended or idle,
//    and through startDownload() and pauseDownload(); the fields these share
//    with the worker's thread are atomics. It changes the settings and the
//    configuration (setSettings(), setConfiguration()) only while the worker
//    holds no record request (waitForNoRequest()); the timings (setTimeout(),
//    setPollDelay()) at any time, as only connect() reads them.
//  - suspend() takes hold at the next check point: before each area and
//    before each record request. A request in flight and the display of its
//    record complete first.
//  - stop() (also run by the destructor; call it on the UI thread, not from a
//    view job): requests termination, cuts short the exchange in flight,
//    releases a suspended or idle worker, cancels a hand-over not yet run,
//    joins the thread and closes both links. It returns within about one
//    reply time-out whatever the time-out and retry count are.
class comThread
{
  public:
    comThread(); // suspended; no thread runs until the first resume()
    ~comThread();
    comThread(const comThread &) = delete;
    comThread &operator=(const comThread &) = delete;

    // Set once, before the first resume(). Without a view the download still
    // runs and counts, but shows nothing.
    void setView(WorkerView *view);

    // Synchronous transactions, true on stack result 0. Each starts by
    // forgetting an earlier cancel().
    bool isConnected();  // either master open
    bool connect();      // timings, retry count, open of settings.mode
    bool readDeviceId(); // function 43: 117-byte reply, else 134
    bool readConfiguration(int16_t modelCode, std::vector<std::string> &names);
    bool readAreaCounts();
    bool writeConfiguration();
    // Closes rtuMaster (mode 1) or tcpMaster (mode 0); use it instead of
    // calling close() on a master, so no request in flight is cut. A link
    // closed here stays closed until the next connect(); one that was lost (the
    // analyzer closed the connection, the serial port went away) is opened
    // again by the next transaction or record request.
    void closeLink(int mode);

    // Any thread, at any time: the synchronous transaction in progress ends
    // within one reply time-out (at once while it waits on the wire or for a
    // TCP connect) and returns false with lastErrorText "Operation cancelled";
    // the link of settings.mode is then closed as by closeLink() and stays
    // closed until the next connect(). A cancel made while no transaction runs
    // is forgotten when the next one starts.
    void cancel();

    // Fills sectorSelected, sectorToRead (from sectorCount) and totalToRead
    // for the areas chosen. A negative count reads nothing and adds nothing.
    // After a completed download the record count starts again.
    void selectAreas(const std::array<bool, kAreaCount> &selected);
    // Called as selectAreas(), after it: the download reads, per selected area, only the positions
    // `before`, then first..last-1 of ranges (at most the selected count); recordsToRead() counts them.
    // The rows stay one after the other; each record keeps the analyzer's position.
    void narrowAreas(AreaRanges ranges);
    int32_t recordsToRead() const { return totalToRead; }

    // The window's download switch. On: the download of the selection starts or goes on. Off:
    // suspends, true when the download is complete (its last record shown or on its way there).
    void startDownload();
    bool pauseDownload();
    // A paused download given up: its pass ends and it counts as complete.
    void endDownload();
    bool completed() const { return readDone; }

    // Energy header row (UI thread), unless this worker wrote it since the last headerRowReplaced();
    // returns true.
    bool setEnergyHeaders();
    // UI thread: the window wrote a header row of its own (or cleared the grid).
    void headerRowReplaced();

    // While suspended (window): the pass in progress is abandoned, so the next
    // resume() reads the selection afresh from its first area, recordCounter
    // from 0. A completed download always ends its pass; this is for one that
    // was paused and whose selection changed. Nothing of an ended pass reaches
    // the view: a record or error text still on its way there is dropped.
    void restartPass();

    // Window, before it changes settings or logConfig: suspends and waits until
    // the worker holds no record request (it then waits at a check point or is
    // idle). A request in flight ends within its time-outs and retries, at once
    // on cancel().
    void waitForNoRequest();
    bool requestInFlight() const;

    // The download switch: a two-state pause; repeated calls change nothing.
    void resume();
    void suspend();
    bool suspended() const;
    void stop();

    // One record: request with function 20, then decode into record(); lastError() says why it failed.
    // A number the area's numbering does not predict costs one immediate second request: the record
    // is taken when both replies agree or the second fits, else refused.
    bool readRecord(int area, int index);
    // The reply to a request of the record at index of area, decoded by the configuration and table
    // into record().
    void decodeRecord(int area, int index, const uint8_t reply[kRecordReplyLength]);
    // The last record read; kept when a later request fails.
    const LogRecord &record() const { return lastRecord; }
    // The stack's text of the last failed request or transaction.
    const std::string &lastError() const { return lastErrorText; }
    // Puts record() on the window; runs on the UI thread as a view job.
    void showRecord();

    // What the last transactions learnt; read them while no transaction runs.
    const COMSETT &settings() const { return comSettings; }
    const DEVICE_ID &identity() const { return deviceId; }
    const LOG_CONFIG &configuration() const { return logConfig; }
    const DEVICE_REGISTER_TABLE *registerTable() const { return regTable.get(); } // null before the ratios
    const std::array<int16_t, kAreaCount> &recordCounts() const { return sectorCount; }
    int16_t recordCount(int area) const { return sectorCount[size_t(area)]; }
    struct RatioWords {
        uint16_t ct = 0;
        uint16_t vt = 0;
    };
    RatioWords ratioWords() const { return {ctRatioWord, vtRatioWord}; }

    // Window or command line, while no record request is in flight (waitForNoRequest()): the link the
    // next connect() opens, and the slave address the requests go to.
    void setSettings(const COMSETT &values) { comSettings = values; }
    // The timings dialog, at any time: the worker reads them only in connect().
    void setTimeout(int32_t ms) { comSettings.timeout = ms; }
    void setPollDelay(int32_t ms) { comSettings.pollDelay = ms; }
    // What writeConfiguration() writes and the records decode with; while no record request is in flight.
    void setConfiguration(const LOG_CONFIG &config) { logConfig = config; }

    // Per area, as selectAreas() took them: the count the download reads up to, and whether it was chosen.
    int16_t recordsToRead(int area) const { return sectorToRead[size_t(area)]; }
    bool areaSelected(int area) const { return sectorSelected[size_t(area)]; }
    int32_t recordsShown() const { return recordCounter; } // 0 again after a completed download
    bool energyHeadersShown() const { return energyHeaderSet; }

    // Both masters' traffic; its counters start again at each connect(). Any thread may read it.
    TrafficRecorder &traffic() { return trafficLog; }

  private:
    // Puts a worker into states no transaction reaches; defined by the tests alone.
    friend struct WorkerTestSeam;
    struct HandOver;

    // One record request's outcome, copied while the worker still holds it, so
    // that the window shows what this request got whatever runs meanwhile.
    struct Fetched {
        LogRecord record;
        std::string error;
        bool linkDown = false; // failed with the link closed
    };
    enum class Fetch { Read, Failed, PassEnded };

    MbusMasterFunctions &master();
    void clearRegisters();
    int openLink(); // opens the master of linkSettings, linkMutex held

    // One exchange on the master of settings.mode, linkMutex held. An analyzer
    // may close its TCP connection at any time (a restart, an idle limit), a
    // reconnect the master fails leaves it closed, a serial adapter may be
    // unplugged and plugged in again: the link is then opened again as
    // connect() last opened it and the exchange runs once more. Gives the
    // error of that open when it fails.
    template <typename Exchange> int exchange(Exchange run)
    {
        const int result = run(master());
        if (!linkLost(result))
            return result;
        master().close();
        const int reopened = openLink();
        return reopened == Success ? run(master()) : reopened;
    }
    bool linkLost(int result) const;
    void beginTransaction();
    bool finishTransaction(int result); // result 0; a cancel closes the link
    void closeLinkLocked(int mode);
    bool linkDown(); // the master of settings.mode is closed
    int requestRecord(int area, int index, uint8_t reply[kRecordReplyLength]); // linkMutex held
    void run();
    void setRanges(AreaRanges ranges);
    void readPass();
    bool checkPoint();
    bool passGoesOn(uint64_t forPass) const;
    // At the check point, then one readRecord(); PassEnded without a request when the pass ended.
    Fetch fetch(int area, int index, uint64_t forPass, Fetched &into);
    bool pauseFor(int ms);
    bool handOver(uint64_t forPass, const Fetched &record, bool withEnergyHeaders);
    bool runOnView(std::function<void()> job);                      // waits until it ran; false if stopped
    bool showLinkError(uint64_t forPass, const std::string &error); // status panel 0: why the request failed
    bool reportMissing(uint64_t forPass, int area, int index);      // WorkerView::recordMissing

    void showRecord(const LogRecord &record, const std::string &error);

    LogRecord lastRecord;
    std::string lastErrorText;
    // The Error panel's text: only record and identity requests, so a refused open or a failed
    // configuration write is not shown beside later records.
    std::string requestErrorText;

    uint16_t ctRatioWord = 0;
    uint16_t vtRatioWord = 0;
    std::unique_ptr<DEVICE_REGISTER_TABLE> regTable;
    COMSETT comSettings;
    DEVICE_ID deviceId;
    LOG_CONFIG logConfig;
    std::array<int16_t, kAreaCount> sectorCount{};
    std::array<std::atomic<bool>, kAreaCount> sectorSelected{};
    std::array<std::atomic<int16_t>, kAreaCount> sectorToRead{};
    // 32 bits: the sum of 16 counts of up to 32767 records each.
    std::atomic<int32_t> totalToRead{0};
    AreaRanges selectedRanges; // stateMutex; the positions the next pass reads
    AreaRanges passRanges;     // worker thread: those the pass in progress reads
    std::atomic<int32_t> recordCounter{0};
    std::atomic<bool> readDone{false};
    std::atomic<bool> energyHeaderSet{false}; // the energy header row is on the view
    MbusRtuMasterProtocol rtuMaster;
    MbusTcpMasterProtocol tcpMaster;
    TrafficRecorder trafficLog;

    std::array<int16_t, 64> registers{};
    // Per area: the numbering the records accepted so far follow. Forgotten when the counts are read
    // again: the log may have been cleared.
    std::array<RecordNumbering, kAreaCount> recordNumbering{};
    WorkerView *view = nullptr;
    bool rxLampLit = false; // UI thread: the view's RX lamp, the lamps alternate from it
    std::mutex linkMutex;
    // What connect() opened the link with. The window may change settings
    // (the timings dialog) while the worker reopens a lost link.
    COMSETT linkSettings;
    // Per mode (TCP, serial): a link that connect() opened and the window has
    // not closed since.
    bool linkWanted[2] = {false, false};
    mutable std::mutex stateMutex;
    std::condition_variable stateChanged;
    bool pauseRequested = true;
    bool stopRequested = false;
    // Counts passes ended by restartPass() or a completed download; a hand-over of another pass is dropped.
    std::atomic<uint64_t> pass{0};
    bool requestPending = false; // stateMutex
    std::shared_ptr<HandOver> pendingHandOver;
    std::thread thread;
};
