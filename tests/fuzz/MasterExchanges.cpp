#include "MasterExchanges.h"

#include "FuzzCheck.h"

#include "modbus/TrafficRecorder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace
{

constexpr int kMaxExchanges = 6;
constexpr int kIdReplyShort = 117;
constexpr int kIdReplyLong = 134;
constexpr int kRecordReply = 67;

enum Op { ReadRegisters, WriteRegisters, ReadRecord, ReadIdentity };

// What the stack can make of an exception code byte.
bool isExceptionResult(int r)
{
    for (int code = 0; code < 256; ++code) {
        if ((static_cast<int8_t>(code) | 0xA0) == r)
            return true;
    }
    return false;
}

bool allowedResult(Framing framing, int r)
{
    static const std::set<int> rtu = {Success, ChecksumError, InvalidFrame, InvalidReply, ReplyTimeout};
    static const std::set<int> tcp = {Success,      IoError,      ConnectionError, ConnectionClosed,
                                      InvalidFrame, InvalidReply, ReplyTimeout};
    return (framing == Framing::Rtu ? rtu : tcp).count(r) != 0 || isExceptionResult(r);
}

struct Outcome {
    int result;
    int expected = -1; // the result an exact reply must give, -1 when any is allowed
};

// The recorder's last two lines: the request as the peer got it, and a prefix of the peer's reply.
void checkObserved(const TrafficRecorder &recorder, const FuzzPeer::Exchange &x)
{
    static uint64_t last = 0;
    TrafficFrame lines[2];
    const int n = recorder.linesAfter(last, lines, 2);
    FUZZ_CHECK(n == 2 && lines[0].sent && !lines[1].sent);
    last = lines[1].sequence;
    FUZZ_CHECK(size_t(lines[0].length) == x.request.size() &&
               std::equal(x.request.begin(), x.request.end(), lines[0].bytes));
    FUZZ_CHECK(size_t(lines[1].length) <= x.reply.size() &&
               std::equal(lines[1].bytes, lines[1].bytes + lines[1].length, x.reply.begin()));
}

} // namespace

void runMasterExchanges(MbusMasterFunctions &master, FuzzPeer &peer, FuzzInput &in,
                        const std::function<void(int result, bool hungUp)> &afterEach)
{
    const Framing framing = peer.framing();
    const int offset = dataOffset(framing);
    // Watches every exchange: what it saw must be what crossed the wire, whatever the reply.
    static TrafficRecorder recorder;
    master.setTrafficObserver(&recorder);
    for (int n = 0; n < kMaxExchanges && !in.empty(); ++n) {
        const int op = in.byte() % 4;
        const int unit = in.byte();

        int16_t values[125];
        int count = 0;
        uint8_t request[8] = {};
        uint8_t reply[kIdReplyLong];
        int replyLen = 0;
        int function = 0;
        std::vector<int16_t> written;
        switch (op) {
        case ReadRegisters:
            function = 3;
            count = 1 + in.byte() % 125;
            replyLen = 1 + 2 * count;
            break;
        case WriteRegisters:
            function = 16;
            count = 1 + in.byte() % 100;
            for (int i = 0; i < count; ++i)
                written.push_back(static_cast<int16_t>(in.word()));
            replyLen = 4;
            break;
        case ReadRecord:
            function = 20;
            // The program's sub-request: reference type 6, file = area, record = index, one record.
            std::ranges::copy(std::initializer_list<uint8_t>{7, 6, 0, in.byte(), in.byte(), in.byte(), 0, 1},
                              request);
            replyLen = kRecordReply;
            break;
        case ReadIdentity:
            function = 43;
            request[0] = 0x0E;
            request[1] = 0x01;
            replyLen = in.flag() ? kIdReplyLong : kIdReplyShort;
            break;
        }
        const int reference = 1 + in.word();
        const PeerReply answer = PeerReply::read(in, replyLen);
        peer.script({answer});

        std::fill(std::begin(values), std::end(values), int16_t{0x5A5A});
        std::memset(reply, 0xA5, sizeof reply);
        Outcome o{};
        switch (op) {
        case ReadRegisters:
            o.result = master.readHoldingRegisters(unit, reference, values, count);
            if (answer.exact(replyLen))
                o.expected = answer.bytes[0] == static_cast<uint8_t>(2 * count) ? Success : InvalidReply;
            break;
        case WriteRegisters:
            o.result = master.writeMultipleRegisters(unit, reference, written.data(), count);
            if (answer.exact(replyLen))
                // The echoed quantity is not checked for a broadcast (unit 0).
                o.expected =
                    unit == 0 || (answer.bytes[2] << 8 | answer.bytes[3]) == count ? Success : InvalidReply;
            break;
        case ReadRecord:
        case ReadIdentity:
            o.result =
                master.customRequest(unit, function, request, op == ReadRecord ? 8 : 3, reply, replyLen);
            if (answer.exact(replyLen))
                o.expected = Success;
            break;
        }
        const bool broadcast = framing == Framing::Rtu && unit == 0 && op == WriteRegisters;
        const std::vector<FuzzPeer::Exchange> exchanges = peer.settle(broadcast ? 1 : 0);
        const int r = o.result;
        if (std::getenv("FUZZ_TRACE"))
            std::fprintf(stderr, "function %d unit %d: result %d, %zu exchange(s)\n", function, unit, r,
                         exchanges.size());

        if (unit == 0 && op != WriteRegisters) {
            FUZZ_CHECK(r == IllegalArgument && exchanges.empty());
            continue;
        }
        FUZZ_CHECK(allowedResult(framing, r));
        // Retry count 0: one attempt, one request.
        FUZZ_CHECK(exchanges.size() == 1);
        const FuzzPeer::Exchange &x = exchanges.front();
        FUZZ_CHECK(requestFunction(framing, x.request) == function);
        FUZZ_CHECK(requestUnit(framing, x.request) == unit);
        checkObserved(recorder, x);

        if (broadcast) {
            FUZZ_CHECK(r == Success && x.reply.empty());
        } else if (r == Success) {
            // Success hands over exactly the data the slave sent.
            FUZZ_CHECK(x.reply.size() >= static_cast<size_t>(offset + replyLen));
            const uint8_t *data = x.reply.data() + offset;
            if (op == ReadRegisters) {
                for (int i = 0; i < count; ++i)
                    FUZZ_CHECK(values[i] == static_cast<int16_t>(data[1 + 2 * i] << 8 | data[2 + 2 * i]));
            } else if (op != WriteRegisters) {
                FUZZ_CHECK(std::memcmp(reply, data, static_cast<size_t>(replyLen)) == 0);
            }
        } else {
            // A failed read leaves its destination zero.
            if (op == ReadRegisters)
                FUZZ_CHECK(std::all_of(values, values + count, [](int16_t v) { return v == 0; }));
            if (op == ReadRecord || op == ReadIdentity)
                FUZZ_CHECK(std::all_of(reply, reply + replyLen, [](uint8_t b) { return b == 0; }));
        }
        // A complete, well-formed reply is not lost; a late one only on a loaded machine.
        if (o.expected >= 0 && !broadcast)
            FUZZ_CHECK(r == o.expected || r == ReplyTimeout);
        if (answer.kind == PeerReply::Exception && !answer.foreignUnit && !answer.foreignFunction &&
            !broadcast)
            FUZZ_CHECK(r == (static_cast<int8_t>(answer.bytes[0]) | 0xA0) || r == ReplyTimeout);

        afterEach(r, x.hungUp);
    }
}
