// Log and energy records read, parsed, decoded and shown by the worker, with
// a configuration (transformer ratios, parameter codes) and record replies the
// slave makes up.

#include "DirectView.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "WorkerLink.h"
#include "WorkerTestSeam.h"

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>

namespace
{

constexpr int kConfigReplies[] = {1 + 2 * 2, 1 + 2 * 31};

struct Harness {
    DirectView view; // outlives the worker
    WorkerLink link;
    Harness() { link.worker.setView(&view); }
};

// Date and time parts are the reply's bytes as signed numbers, at least two characters.
bool byteTriple(const std::string &text, char separator)
{
    const std::string part = "([0-9]{2,3}|-[0-9]{1,3})";
    return std::regex_match(text, std::regex(part + separator + part + separator + part));
}

void checkRecord(const comThread &w, int area, const FuzzPeer::Exchange &x)
{
    const LogRecord &log = w.record();
    FUZZ_CHECK(log.recordNo == static_cast<int16_t>(x.reply[11] << 8 | x.reply[12]));
    FUZZ_CHECK(byteTriple(log.dateText, '/') && byteTriple(log.timeText, ':'));
    for (double v : log.values)
        FUZZ_CHECK(std::isfinite(v));
    if (area == kEnergyArea) {
        for (int i = 20; i < kDecodedValues; ++i)
            FUZZ_CHECK(log.values[i] == 0);
        return;
    }
    for (int i = 0; i < kLogSlots; ++i) {
        const int code = w.configuration().paramCodes[i];
        if (!w.registerTable() || code < 0 || code >= kParameterCount)
            FUZZ_CHECK(log.values[i] == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Harness h;
    comThread &w = h.link.worker;
    FuzzInput in(data, size);
    h.link.reset(1 + in.byte() % 247);
    h.view.reset(in.byte());

    if (in.flag()) {
        std::vector<std::string> names;
        const int16_t modelCode = static_cast<int16_t>(in.word());
        const PeerReply ratios = PeerReply::read(in, kConfigReplies[0]);
        const PeerReply config = PeerReply::read(in, kConfigReplies[1]);
        h.link.call({ratios, config}, [&] { w.readConfiguration(modelCode, names); });
    }

    const int records = 1 + in.byte() % 4;
    int shown = 0;
    for (int k = 0; k < records; ++k) {
        const int area = in.byte() % kAreaCount;
        const int index = in.word();
        bool ok = false;
        const auto x =
            h.link.call({PeerReply::read(in, kRecordReplyLength)}, [&] { ok = w.readRecord(area, index); });
        if (!ok) {
            FUZZ_CHECK(!w.lastError().empty());
            continue;
        }
        FUZZ_CHECK(w.record().area == area && w.record().position == index);
        FUZZ_CHECK(x.size() == 1);
        checkRecord(w, area, x[0]);

        // As the download hands the record to the window.
        WorkerTestSeam::setProgress(w, ++shown, records);
        if (area == kEnergyArea && !w.energyHeadersShown())
            WorkerTestSeam::setEnergyHeadersShown(w, w.setEnergyHeaders());
        w.showRecord();
        FUZZ_CHECK(h.view.valuesShown == shown);
        FUZZ_CHECK(w.completed() == (shown == records));
        FUZZ_CHECK(h.view.downloadSwitch == !w.completed());
    }
    return 0;
}
