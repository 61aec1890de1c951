#pragma once

#include "worker/comThread.h"

#include <array>
#include <cstdint>

// States of a worker that no transaction reaches, for tests alone: forged record counts, a download
// driven record by record without the worker's thread, the masters for raw requests beside the
// worker's own (only while no transaction or record request runs).
struct WorkerTestSeam {
    static void setRecordCounts(comThread &w, const std::array<int16_t, kAreaCount> &counts)
    {
        w.sectorCount = counts;
    }
    static void setRecordCount(comThread &w, int area, int16_t count) { w.sectorCount[size_t(area)] = count; }

    // As a new worker on the same link: nothing learnt of an analyzer, no download counted.
    static void forgetAnalyzer(comThread &w)
    {
        w.ctRatioWord = w.vtRatioWord = 0;
        w.regTable.reset();
        w.deviceId = {};
        w.logConfig = {};
        w.sectorCount.fill(0);
        w.recordCounter = 0;
        w.totalToRead = 0;
        w.readDone = false;
        w.energyHeaderSet = false;
    }

    // As the download counts its records before it hands one to the view.
    static void setProgress(comThread &w, int32_t shown, int32_t total)
    {
        w.recordCounter = shown;
        w.totalToRead = total;
    }
    // A table set and codes to decode with, as if read from an analyzer.
    static void assume(comThread &w, double ctRatio, double vtRatio,
                       const std::array<int16_t, kLogSlots> &codes)
    {
        w.regTable = std::make_unique<DEVICE_REGISTER_TABLE>(ctRatio, vtRatio);
        w.logConfig.paramCodes = codes;
    }
    static void setEnergyHeadersShown(comThread &w, bool shown) { w.energyHeaderSet = shown; }

    static MbusRtuMasterProtocol &rtuMaster(comThread &w) { return w.rtuMaster; }
    static MbusTcpMasterProtocol &tcpMaster(comThread &w) { return w.tcpMaster; }
};
