// The project's Modbus master stack against the simulator: the exchanges
// Pullrec makes, over TCP and over a pseudo-terminal.
#include "SimProcess.h"
#include "modbus/MbusRtuMasterProtocol.h"
#include "modbus/MbusTcpMasterProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace
{

class SimStack : public testing::TestWithParam<bool>
{
  protected:
    bool tcp() const { return GetParam(); }

    // Starts the simulator and opens a master on it; retries as given.
    void start(const std::vector<std::string> &args = {}, int retries = 0)
    {
        ASSERT_TRUE(tcp() ? sim.startTcp(args) : sim.startPty(args)) << sim.error();
        if (tcp()) {
            auto m = std::make_unique<MbusTcpMasterProtocol>();
            m->setPort(static_cast<unsigned short>(sim.tcpPort()));
            setUp(*m, retries);
            ASSERT_EQ(m->open("127.0.0.1"), 0);
            master = std::move(m);
        } else {
            auto m = std::make_unique<MbusRtuMasterProtocol>();
            setUp(*m, retries);
            ASSERT_EQ(m->open(sim.ptyPath().c_str(), 9600, 8, 1, 0), 0);
            master = std::move(m);
        }
    }

    static void setUp(MbusMasterFunctions &m, int retries)
    {
        m.setTimeout(500);
        m.setRetryCount(retries);
    }

    int identify(int replyLength, std::vector<uint8_t> &reply)
    {
        const uint8_t request[] = {0x0E, 0x01, 0x00};
        reply.assign(static_cast<size_t>(replyLength), 0);
        return master->customRequest(1, 43, request, 3, reply.data(), replyLength);
    }

    int readRecord(int area, int index, std::vector<uint8_t> &reply)
    {
        const uint8_t request[] = {7,
                                   6,
                                   0,
                                   static_cast<uint8_t>(area),
                                   static_cast<uint8_t>(index >> 8),
                                   static_cast<uint8_t>(index),
                                   0,
                                   1};
        reply.assign(67, 0);
        return master->customRequest(1, 20, request, 8, reply.data(), 67);
    }

    SimProcess sim;
    std::unique_ptr<MbusMasterFunctions> master;
};

TEST_P(SimStack, IdentifiesBothFirmwares)
{
    std::vector<uint8_t> reply;
    start();
    EXPECT_EQ(identify(117, reply), 0);
    EXPECT_EQ(std::string(reply.begin() + 24, reply.begin() + 34), "KTR-58-168");
    sim.stop();

    // The longer reply fails the 117-byte attempt on a serial line (the CRC
    // is not where the master looks for it); TCP reads what it expects.
    start({"--id-length", "134"}, 1);
    EXPECT_EQ(identify(117, reply), tcp() ? 0 : ChecksumError);
    EXPECT_EQ(identify(134, reply), 0);
    EXPECT_TRUE(std::isdigit(reply.back())) << "the reply ends with the serial number";
}

TEST_P(SimStack, ReadsTheRegisterMapAndWritesTheConfiguration)
{
    start();
    int16_t ratios[2];
    ASSERT_EQ(master->readHoldingRegisters(1, 75, ratios, 2), 0);
    EXPECT_EQ(ratios[0], 100);
    EXPECT_EQ(ratios[1], 10);

    int16_t counts[17];
    ASSERT_EQ(master->readHoldingRegisters(1, 1025, counts, 17), 0);
    EXPECT_EQ(counts[1], 120);
    EXPECT_EQ(counts[2], 1000);
    EXPECT_EQ(counts[3], 37);
    EXPECT_EQ(counts[16], 40);

    int16_t config[31];
    ASSERT_EQ(master->readHoldingRegisters(1, 306, config, 31), 0);
    EXPECT_EQ(config[0], 900);
    config[0] = 300;
    config[1] = 0;
    for (int k = 3; k < 31; ++k)
        config[k] = static_cast<int16_t>(k < 31 - 3 ? 78 - k : 255);
    ASSERT_EQ(master->writeMultipleRegisters(1, 306, config, 31), 0);
    int16_t back[31];
    ASSERT_EQ(master->readHoldingRegisters(1, 306, back, 31), 0);
    EXPECT_TRUE(std::equal(config, config + 31, back));

    EXPECT_EQ(master->readHoldingRegisters(1, 77, ratios, 1), IllegalDataAddressException);
    EXPECT_EQ(master->writeMultipleRegisters(1, 75, ratios, 2), IllegalDataAddressException);
    const uint8_t coils[] = {0, 0, 0, 8};
    uint8_t reply[1];
    EXPECT_EQ(master->customRequest(1, 1, coils, 4, reply, 1), IllegalFunctionException);
}

TEST_P(SimStack, ReadsRecordsOfEveryArea)
{
    const std::vector<std::string> args{"--records", "2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2", "--seed", "3"};
    start(args);
    std::vector<uint8_t> reply;
    for (int area = 0; area < 16; ++area) {
        for (int index = 0; index < 2; ++index) {
            ASSERT_EQ(readRecord(area, index, reply), 0) << area << "/" << index;
            EXPECT_EQ(reply, SimProcess::printRecord(area, index, args)) << area << "/" << index;
        }
        EXPECT_EQ(readRecord(area, 2, reply), IllegalDataAddressException);
    }
}

TEST_P(SimStack, RecoversFromOccasionalFaultsWithRetries)
{
    // The worker's five retries ride out a lossy line.
    start({"--drop", "0.2", "--corrupt", "0.2", "--seed", "8"}, 5);
    std::vector<uint8_t> reply;
    for (int index = 0; index < 10; ++index)
        EXPECT_EQ(readRecord(1, index, reply), 0) << index;
}

INSTANTIATE_TEST_SUITE_P(Transports, SimStack, testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Tcp" : "Rtu"; });

TEST(SimStackTcp, ServesAMasterThatReconnectsAfterAClose)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp({"--close-every", "2"})) << sim.error();
    MbusTcpMasterProtocol master;
    master.setPort(static_cast<unsigned short>(sim.tcpPort()));
    master.setTimeout(500);
    ASSERT_EQ(master.open("127.0.0.1"), 0);
    int16_t ratio;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(master.readHoldingRegisters(1, 75, &ratio, 1), 0);
        EXPECT_EQ(master.readHoldingRegisters(1, 75, &ratio, 1), 0);
        EXPECT_EQ(master.readHoldingRegisters(1, 75, &ratio, 1), ConnectionClosed);
        master.close();
        ASSERT_EQ(master.open("127.0.0.1"), 0);
    }
}

} // namespace
