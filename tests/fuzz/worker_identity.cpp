// The worker's identity, configuration and area-count transactions against a
// slave that answers with arbitrary content in well-formed or broken frames.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "WorkerLink.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace
{

constexpr int kIdShort = 117;
constexpr int kIdLong = 134;
constexpr int kRatioReply = 1 + 2 * 2;
constexpr int kConfigReply = 1 + 2 * 31;
constexpr int kCountsReply = 1 + 2 * 17;
constexpr int kWriteReply = 4;

// A text taken from the reply lies inside the data the stack handed over.
bool fromReply(const std::string &text, const std::vector<uint8_t> &frame, int replyLen)
{
    if (text.empty())
        return true;
    if (frame.size() <= 8)
        return false;
    const auto first = frame.begin() + 8;
    const auto last = first + std::min<ptrdiff_t>(replyLen, static_cast<ptrdiff_t>(frame.size()) - 8);
    return std::search(first, last, text.begin(), text.end(),
                       [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }) != last;
}

void readDeviceId(WorkerLink &link, FuzzInput &in)
{
    comThread &w = link.worker;
    const PeerReply first = PeerReply::read(in, kIdShort);
    const PeerReply second = PeerReply::read(in, kIdLong);
    bool ok = false;
    const auto x = link.call({first, second}, [&] { ok = w.readDeviceId(); });
    if (!ok) {
        FUZZ_CHECK(!w.lastError().empty());
        return;
    }
    // The first request expects the short reply, a second one the long reply;
    // the texts all come from the data of one of them.
    FUZZ_CHECK(x.size() == 1 || x.size() == 2);
    const DEVICE_ID &id = w.identity();
    bool found = false;
    for (size_t i = 0; i < x.size() && !found; ++i) {
        const int replyLen = i == 0 ? kIdShort : kIdLong;
        found = id.vendor.size() + id.model.size() + id.version.size() + id.serial.size() <=
                    static_cast<size_t>(replyLen) &&
                fromReply(id.vendor, x[i].reply, replyLen) && fromReply(id.model, x[i].reply, replyLen) &&
                fromReply(id.version, x[i].reply, replyLen) && fromReply(id.serial, x[i].reply, replyLen);
    }
    FUZZ_CHECK(found);
}

void readConfiguration(WorkerLink &link, FuzzInput &in)
{
    comThread &w = link.worker;
    const int16_t modelCode = static_cast<int16_t>(in.word());
    std::vector<std::string> names(in.byte() % 100, "kept");
    const std::vector<std::string> namesBefore = names;
    const LOG_CONFIG configBefore = w.configuration();
    const DEVICE_REGISTER_TABLE *tableBefore = w.registerTable();
    const PeerReply ratios = PeerReply::read(in, kRatioReply);
    const PeerReply config = PeerReply::read(in, kConfigReply);
    bool ok = false;
    const auto x = link.call({ratios, config}, [&] { ok = w.readConfiguration(modelCode, names); });
    if (!ok) {
        // A failed read changes none of what the window shows.
        FUZZ_CHECK(w.registerTable() == tableBefore && names == namesBefore);
        FUZZ_CHECK(w.configuration().logPeriod == configBefore.logPeriod &&
                   w.configuration().eventLogging == configBefore.eventLogging &&
                   w.configuration().thirdWord == configBefore.thirdWord &&
                   w.configuration().paramCodes == configBefore.paramCodes);
        return;
    }
    FUZZ_CHECK(x.size() == 2 && w.registerTable());
    FUZZ_CHECK(w.ratioWords().ct == static_cast<uint16_t>(replyWord(x[0], 0)));
    FUZZ_CHECK(w.ratioWords().vt == static_cast<uint16_t>(replyWord(x[0], 1)));
    FUZZ_CHECK(w.configuration().logPeriod == replyWord(x[1], 0));
    FUZZ_CHECK(w.configuration().eventLogging == replyWord(x[1], 1));
    FUZZ_CHECK(w.configuration().thirdWord == replyWord(x[1], 2));
    for (int k = 0; k < kLogSlots; ++k)
        FUZZ_CHECK(w.configuration().paramCodes[k] == replyWord(x[1], 3 + k));
    const int offered = modelCode == kShortModelCode ? 39 : kParameterCount;
    FUZZ_CHECK(names.size() >= static_cast<size_t>(kParameterCount));
    for (int i = 0; i < offered; ++i)
        FUZZ_CHECK(names[i].find(" : ") != std::string::npos);
}

void readAreaCounts(WorkerLink &link, FuzzInput &in)
{
    comThread &w = link.worker;
    const auto before = w.recordCounts();
    bool ok = false;
    const auto x = link.call({PeerReply::read(in, kCountsReply)}, [&] { ok = w.readAreaCounts(); });
    if (!ok) {
        FUZZ_CHECK(w.recordCounts() == before);
        return;
    }
    FUZZ_CHECK(x.size() == 1);
    for (int k = 0; k < kAreaCount; ++k)
        FUZZ_CHECK(w.recordCount(k) == replyWord(x[0], 1 + k));
}

void writeConfiguration(WorkerLink &link, FuzzInput &in)
{
    comThread &w = link.worker;
    LOG_CONFIG c = w.configuration();
    c.logPeriod = static_cast<int32_t>(uint32_t{in.word()} << 16 | in.word());
    c.eventLogging = static_cast<int32_t>(uint32_t{in.word()} << 16 | in.word());
    c.thirdWord = static_cast<int32_t>(uint32_t{in.word()} << 16 | in.word());
    for (int16_t &code : c.paramCodes)
        code = static_cast<int16_t>(in.word());
    w.setConfiguration(c);
    bool ok = false;
    const auto x = link.call({PeerReply::read(in, kWriteReply)}, [&] { ok = w.writeConfiguration(); });
    if (w.settings().slaveAddress == 0 && x.empty())
        return;
    FUZZ_CHECK(x.size() == 1);
    // Function 16 from reference 306, 31 words: the low halves, then the codes.
    const std::vector<uint8_t> &rq = x[0].request;
    FUZZ_CHECK(rq.size() == 8 + 5 + 62 && rq[8] == 0x01 && rq[9] == 0x31 && rq[11] == 31 && rq[12] == 62);
    const auto word = [&rq](int i) { return static_cast<int16_t>(rq[13 + 2 * i] << 8 | rq[14 + 2 * i]); };
    FUZZ_CHECK(word(0) == static_cast<int16_t>(c.logPeriod) &&
               word(1) == static_cast<int16_t>(c.eventLogging) &&
               word(2) == static_cast<int16_t>(c.thirdWord));
    for (int k = 0; k < kLogSlots; ++k)
        FUZZ_CHECK(word(3 + k) == c.paramCodes[k]);
    (void)ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static WorkerLink link;
    FuzzInput in(data, size);
    link.reset(in.byte());
    for (int n = 0; n < 4 && !in.empty(); ++n) {
        switch (in.byte() % 4) {
        case 0:
            readDeviceId(link, in);
            break;
        case 1:
            readConfiguration(link, in);
            break;
        case 2:
            readAreaCounts(link, in);
            break;
        case 3:
            writeConfiguration(link, in);
            break;
        }
    }
    return 0;
}
