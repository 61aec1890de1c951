#include "LoopbackPeers.h"
#include "SimProcess.h"
#include "WorkerHarness.h"
#include "WorkerTestSeam.h"
#include "worker/AnalyzerSession.h"

#include "Analyzer.h"
#include "ScriptedTcpSlave.h"

#include <gtest/gtest.h>

namespace
{

const std::array<int16_t, kAreaCount> kDefaultCounts = {120, 1000, 37, 0, 0, 0, 0, 0,
                                                        0,   0,    0,  0, 0, 0, 0, 40};

class Transactions : public testing::TestWithParam<bool> // true: RTU over a pty
{
  protected:
    bool start(const std::vector<std::string> &args = {}, int timeoutMs = 300)
    {
        const bool started = GetParam() ? sim.startPty(args) : sim.startTcp(args);
        if (started) {
            if (GetParam())
                useRtu(worker, sim.ptyPath(), timeoutMs);
            else
                useTcp(worker, sim.tcpPort(), timeoutMs);
        }
        return started;
    }

    SimProcess sim;
    comThread worker;
};

TEST_P(Transactions, ConnectsAndReadsIdentityConfigurationAndCounts)
{
    ASSERT_TRUE(start()) << sim.error();
    EXPECT_FALSE(worker.isConnected());
    ASSERT_TRUE(worker.connect());
    EXPECT_TRUE(worker.isConnected());

    ASSERT_TRUE(worker.readDeviceId()) << worker.lastError();
    EXPECT_EQ(worker.identity().vendor, "KTR Elektronik");
    EXPECT_EQ(worker.identity().model, "KTR-58-168");
    EXPECT_EQ(worker.identity().version, "V3.07");
    EXPECT_EQ(worker.identity().serial.size(), 8u);

    std::vector<std::string> names(kParameterCount);
    ASSERT_TRUE(worker.readConfiguration(168, names));
    EXPECT_EQ(worker.ratioWords().ct, 100);
    EXPECT_EQ(worker.ratioWords().vt, 10);
    ASSERT_NE(worker.registerTable(), nullptr);
    EXPECT_DOUBLE_EQ(worker.registerTable()->regTable.scale[7], 100.0); // CT x VT = 100 x 1.0
    EXPECT_EQ(worker.configuration().logPeriod, 900);
    EXPECT_EQ(worker.configuration().paramCodes[0], 0);
    EXPECT_EQ(worker.configuration().paramCodes[16], 60);
    EXPECT_EQ(worker.configuration().paramCodes[17], 61);
    EXPECT_EQ(worker.configuration().paramCodes[27], kEmptySlot);
    EXPECT_EQ(names[0], "VLN1 : V");
    EXPECT_EQ(names[78], "In : A");

    ASSERT_TRUE(worker.readAreaCounts());
    EXPECT_EQ(worker.recordCounts(), kDefaultCounts);
}

TEST_P(Transactions, LongIdentityReplyIsAcceptedToo)
{
    ASSERT_TRUE(start({"--id-length", "134", "--model", "KTR-58-167"})) << sim.error();
    ASSERT_TRUE(worker.connect());
    // On the serial line the 117-byte read fails its checksum first; the 134-byte read succeeds.
    ASSERT_TRUE(worker.readDeviceId()) << worker.lastError();
    EXPECT_EQ(worker.identity().vendor, "KTR Elektronik");
    EXPECT_EQ(worker.identity().model, "KTR-58-167");
    EXPECT_EQ(worker.identity().version, "V3.12");
    // Over TCP the 117-byte read succeeds without the serial object; the worker asks again for 134.
    EXPECT_EQ(worker.identity().serial.size(), 8u);

    std::vector<std::string> names(kParameterCount);
    ASSERT_TRUE(worker.readConfiguration(167, names));
    EXPECT_EQ(names[38], "THDI3P : %");
    EXPECT_EQ(names[39], "");
}

TEST_P(Transactions, WrittenConfigurationReadsBack)
{
    ASSERT_TRUE(start()) << sim.error();
    ASSERT_TRUE(worker.connect());
    std::vector<std::string> names(kParameterCount);
    ASSERT_TRUE(worker.readConfiguration(168, names));
    const int32_t third = worker.configuration().thirdWord;

    LOG_CONFIG config = worker.configuration();
    config.logPeriod = 65536 + 60; // only the low 16 bits go out
    config.eventLogging = 1;
    config.paramCodes.fill(kEmptySlot);
    config.paramCodes[0] = 75;
    config.paramCodes[1] = 66;
    config.paramCodes[2] = 67;
    worker.setConfiguration(config);
    ASSERT_TRUE(worker.writeConfiguration());

    worker.setConfiguration(LOG_CONFIG{});
    ASSERT_TRUE(worker.readConfiguration(168, names));
    EXPECT_EQ(worker.configuration().logPeriod, 60);
    EXPECT_EQ(worker.configuration().eventLogging, 1);
    EXPECT_EQ(worker.configuration().thirdWord, third);
    EXPECT_EQ(worker.configuration().paramCodes[0], 75);
    EXPECT_EQ(worker.configuration().paramCodes[2], 67);
    EXPECT_EQ(worker.configuration().paramCodes[3], kEmptySlot);
}

TEST_P(Transactions, FailuresLeaveTheWorkerAsItWas)
{
    ASSERT_TRUE(start({}, 50)) << sim.error();
    // No link yet: every transaction fails without touching anything.
    std::vector<std::string> names(kParameterCount, "kept");
    EXPECT_FALSE(worker.readDeviceId());
    EXPECT_EQ(worker.lastError(), "Illegal state error");
    EXPECT_FALSE(worker.readConfiguration(168, names));
    EXPECT_EQ(worker.registerTable(), nullptr);
    EXPECT_EQ(names[0], "kept");
    EXPECT_FALSE(worker.readAreaCounts());
    EXPECT_FALSE(worker.writeConfiguration());

    ASSERT_TRUE(connectAndConfigure(worker));
    const LOG_CONFIG before = worker.configuration();
    const DEVICE_REGISTER_TABLE *table = worker.registerTable();
    const auto counts = worker.recordCounts();

    sim.kill(); // the analyzer vanishes
    names.assign(kParameterCount, "kept");
    EXPECT_FALSE(worker.readConfiguration(168, names));
    EXPECT_EQ(worker.registerTable(), table);
    EXPECT_EQ(worker.configuration().logPeriod, before.logPeriod);
    EXPECT_EQ(worker.configuration().paramCodes, before.paramCodes);
    EXPECT_EQ(names[0], "kept");
    EXPECT_FALSE(worker.readAreaCounts());
    EXPECT_EQ(worker.recordCounts(), counts);
    EXPECT_FALSE(worker.readDeviceId());
    EXPECT_FALSE(worker.lastError().empty());
}

INSTANTIATE_TEST_SUITE_P(Link, Transactions, testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Rtu" : "Tcp"; });

TEST(TransactionsTcp, ConnectFailsWithNoAnalyzerListening)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp()) << sim.error();
    const int port = sim.tcpPort();
    sim.stop();
    comThread worker;
    useTcp(worker, port);
    EXPECT_FALSE(worker.connect());
    EXPECT_FALSE(worker.isConnected());
}

TEST(TransactionsTcp, TimingsTakeEffectAtTheNextConnection)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp()) << sim.error();
    comThread worker;
    useTcp(worker, sim.tcpPort(), 250);
    ASSERT_TRUE(worker.connect());
    EXPECT_EQ(WorkerTestSeam::tcpMaster(worker).getTimeout(), 250);
    EXPECT_EQ(WorkerTestSeam::tcpMaster(worker).getRetryCount(), 5);
    worker.setTimeout(400);
    worker.connect(); // the open link refuses new timings
    EXPECT_EQ(WorkerTestSeam::tcpMaster(worker).getTimeout(), 250);
    worker.closeLink(LinkMode::Tcp);
    EXPECT_FALSE(worker.isConnected());
    ASSERT_TRUE(worker.connect());
    EXPECT_EQ(WorkerTestSeam::tcpMaster(worker).getTimeout(), 400);
}

TEST(TransactionsTcp, AnalyzerWithoutRatioRegistersBuildsNoTable)
{
    // Registers 306..336 only: ratios and counts are refused.
    std::vector<uint16_t> config(31, 255);
    config[0] = 600;
    LibmodbusSlave slave(306, config);
    comThread worker;
    useTcp(worker, slave.port());
    ASSERT_TRUE(worker.connect());

    std::vector<std::string> names(kParameterCount);
    EXPECT_FALSE(worker.readConfiguration(168, names));
    EXPECT_EQ(worker.registerTable(), nullptr);
    EXPECT_EQ(worker.configuration().logPeriod, 0);
    EXPECT_EQ(names[0], "");
    EXPECT_FALSE(worker.readAreaCounts());
    EXPECT_TRUE(worker.writeConfiguration());
}

TEST(TransactionsTcp, RefusedWriteChangesNothing)
{
    LibmodbusSlave slave(75, {100, 10}); // ratios only: the configuration write is refused
    comThread worker;
    useTcp(worker, slave.port());
    ASSERT_TRUE(worker.connect());
    LOG_CONFIG config;
    config.logPeriod = 60;
    config.paramCodes.fill(kEmptySlot);
    worker.setConfiguration(config);
    EXPECT_FALSE(worker.writeConfiguration());
    EXPECT_EQ(worker.configuration().logPeriod, 60);
    std::vector<std::string> names(kParameterCount);
    EXPECT_FALSE(worker.readConfiguration(168, names));
    EXPECT_EQ(worker.registerTable(), nullptr);
}

} // namespace

namespace
{

// The simulator's analyzer in this process, refusing one kind of request with exception 2.
class RefusingAnalyzer
{
  public:
    RefusingAnalyzer(int function, int address) : function(function), address(address) {}
    int port() const { return slave.port(); }

  private:
    static constexpr size_t kPdu = 7; // after the MBAP header

    ScriptedTcpSlave::Reply answer(const std::vector<uint8_t> &request)
    {
        if (request.size() <= kPdu)
            return {};
        const uint8_t *pdu = request.data() + kPdu;
        const bool refused =
            pdu[0] == function &&
            (address < 0 || (request.size() > kPdu + 2 && (pdu[1] << 8 | pdu[2]) == address));
        if (refused)
            return {mbapReply(request[6], {uint8_t(function | 0x80), 2})};
        return {mbapReply(request[6], analyzer.handle(pdu, request.size() - kPdu))};
    }

    const int function;
    const int address;
    SimOptions options;
    Analyzer analyzer{options};
    ScriptedTcpSlave slave{[this](int, const std::vector<uint8_t> &request) { return answer(request); }};
};

} // namespace

TEST(AnalyzerSession, OpenSaysWhichStepFailedAndWhy)
{
    using Step = AnalyzerSession::Step;
    const std::string refused = errorText(IllegalDataAddressException);
    struct Case {
        const char *name;
        int function; // refused: 0 none, -1 nothing listens
        int address;  // -1 any
        std::optional<Step> failed;
        std::string reason;
    } cases[] = {
        {"all steps", 0, -1, std::nullopt, ""},
        {"no link", -1, -1, Step::Link, ""},
        {"no identity", 0x2B, -1, Step::Identity, refused},
        {"no ratios", 3, 74, Step::Configuration, refused},
        {"no configuration", 3, 305, Step::Configuration, refused},
        {"no counts", 3, 1024, Step::Counts, refused},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<RefusingAnalyzer> analyzer;
        int port = 0;
        if (c.function >= 0) {
            analyzer.emplace(c.function, c.address);
            port = analyzer->port();
        } else {
            SimProcess sim;
            ASSERT_TRUE(sim.startTcp()) << sim.error();
            port = sim.tcpPort();
        }
        comThread worker;
        useTcp(worker, port);
        AnalyzerSession session(worker);
        const AnalyzerSession::Opened opened = session.open();
        EXPECT_EQ(opened.failed, c.failed);
        EXPECT_EQ(bool(opened), !c.failed);
        if (c.failed != Step::Link)
            EXPECT_EQ(opened.reason, c.reason);
        else
            EXPECT_FALSE(opened.reason.empty());
        if (c.failed)
            continue;
        EXPECT_EQ(opened.facts.identity.model, "KTR-58-168");
        EXPECT_EQ(opened.facts.modelCode, 168);
        ASSERT_EQ(opened.facts.labels.size(), size_t(kParameterCount));
        EXPECT_EQ(opened.facts.labels[0], "VLN1 : V");
        EXPECT_EQ(opened.facts.configuration.logPeriod, 900);
        EXPECT_EQ(opened.facts.configuration.paramCodes[16], 60);
        EXPECT_EQ(opened.facts.counts, kDefaultCounts);
    }
}

TEST(AnalyzerSession, ModelCodeIsTheNumberAtTheEndOfTheModelText)
{
    const std::pair<std::string, int> cases[] = {
        {"KTR-58-168", 168}, {"KTR-58-167", 167}, {"KTR- 58", 58}, {"58", 0},
        {"KTR-58-1x8", 0},   {"KTR-58-", 0},      {"", 0},
    };
    for (const auto &[model, code] : cases)
        EXPECT_EQ(modelCodeOf(model), code) << model;
}
