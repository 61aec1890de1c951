#include "ScriptedTcpSlave.h"

#include "modbus/MbusTcpMasterProtocol.h"

#include <gtest/gtest.h>

namespace
{

using Bytes = std::vector<uint8_t>;
using Reply = ScriptedTcpSlave::Reply;
using namespace std::chrono;

TEST(ErrorText, GivesTheFixedTextOfEveryCodeAndUnknownOtherwise)
{
    EXPECT_STREQ(errorText(Success), "Operation was successful");
    EXPECT_STREQ(errorText(PortAlreadyBound), "TCP Port alread bound");
    EXPECT_STREQ(errorText(PortNoAccess), "No permission to access serial or TCP port");
    EXPECT_STREQ(errorText(ReplyTimeout), "Reply time-out");
    EXPECT_STREQ(errorText(SlaveDeviceFailureException), "Slave Device Failure exception response");
    EXPECT_STREQ(errorText(Cancelled), "Operation cancelled");
    for (int code : {-1, 6, 76, 134, 165, 255, 1 << 20})
        EXPECT_STREQ(errorText(code), "Unknown error") << code;
}

// A master connected to a slave that answers every request with the bytes the test sets.
class RegisterOperations : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(master.setTimeout(200), Success);
        master.setPort(slave.port());
        ASSERT_EQ(master.open("127.0.0.1"), Success);
    }

    Bytes answer;
    ScriptedTcpSlave slave{[this](int, const Bytes &) { return Reply{answer}; }};
    MbusTcpMasterProtocol master;
    int16_t values[130] = {};
};

TEST_F(RegisterOperations, RefuseBadArgumentsBeforeAnyTraffic)
{
    values[0] = 99;
    EXPECT_EQ(master.readHoldingRegisters(1, 1, values, 126), IllegalArgument);
    EXPECT_EQ(values[0], 0); // cleared before the check
    EXPECT_EQ(master.readHoldingRegisters(1, 1, values, 0), IllegalArgument);
    EXPECT_EQ(master.readHoldingRegisters(0, 1, values, 1), IllegalArgument);
    EXPECT_EQ(master.readHoldingRegisters(256, 1, values, 1), IllegalArgument);
    EXPECT_EQ(master.readHoldingRegisters(1, 0, values, 1), IllegalArgument);
    EXPECT_EQ(master.readHoldingRegisters(1, 65537, values, 1), IllegalArgument);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, nullptr, 1), IllegalArgument);
    EXPECT_EQ(master.writeMultipleRegisters(1, 1, values, 101), IllegalArgument);
    EXPECT_EQ(master.writeMultipleRegisters(-1, 1, values, 1), IllegalArgument);
    EXPECT_EQ(master.writeMultipleRegisters(1, 65537, values, 1), IllegalArgument);
    uint8_t buffer[300] = {1, 2, 3};
    EXPECT_EQ(master.customRequest(0, 20, buffer, 3, buffer, 3), IllegalArgument);
    EXPECT_EQ(buffer[0], 0); // the reply is cleared first, and request and reply may share a buffer
    EXPECT_EQ(master.customRequest(1, 20, buffer, 261, buffer, 4), IllegalArgument);
    EXPECT_EQ(master.customRequest(1, 20, buffer, 4, buffer, 261), IllegalArgument);
    EXPECT_EQ(master.customRequest(1, 20, buffer, -1, buffer, 4), IllegalArgument);
    EXPECT_EQ(master.customRequest(1, 20, nullptr, 4, buffer, 4), IllegalArgument);

    answer = mbapReply(1, {3, 2, 0, 5});
    ASSERT_EQ(master.readHoldingRegisters(1, 1, values, 1), Success);
    EXPECT_EQ(slave.requests().size(), 1u); // only the valid call reached the wire
}

TEST_F(RegisterOperations, ReadChecksTheByteCountAndLeavesValuesZero)
{
    Bytes pdu = {3, 250};
    for (int i = 0; i < 250; ++i)
        pdu.push_back(static_cast<uint8_t>(i));
    answer = mbapReply(1, pdu);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, values, 125), Success);
    EXPECT_EQ(values[0], 0x0001);
    EXPECT_EQ(values[124], static_cast<int16_t>(0xF8F9));

    pdu[1] = 248;
    answer = mbapReply(1, pdu);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, values, 125), InvalidReply);
    for (int i = 0; i < 125; ++i)
        ASSERT_EQ(values[i], 0) << i;
}

TEST_F(RegisterOperations, WriteComparesOnlyTheEchoedQuantity)
{
    for (int i = 0; i < 100; ++i)
        values[i] = static_cast<int16_t>(-i);
    answer = mbapReply(1, {16, 0x12, 0x34, 0, 100}); // another start address: accepted
    ASSERT_EQ(master.writeMultipleRegisters(1, 307, values, 100), Success);
    const Bytes request = slave.requests().back();
    ASSERT_EQ(request.size(), 213u);
    EXPECT_EQ(Bytes(request.begin() + 4, request.begin() + 13), (Bytes{0, 207, 1, 16, 1, 50, 0, 100, 200}));
    EXPECT_EQ(request[13 + 2 * 99], 0xFF);
    EXPECT_EQ(request[14 + 2 * 99], 0x9D); // -99

    answer = mbapReply(1, {16, 1, 50, 0, 99});
    EXPECT_EQ(master.writeMultipleRegisters(1, 307, values, 100), InvalidReply);
}

TEST_F(RegisterOperations, PollDelaySpacesAttemptsButDoesNotDelayALateOne)
{
    master.close();
    ASSERT_EQ(master.setPollDelay(100), Success);
    ASSERT_EQ(master.open("127.0.0.1"), Success);
    answer = mbapReply(1, {3, 2, 0, 1});
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(master.readHoldingRegisters(1, 1, values, 1), Success);
    const auto times = slave.requestTimes();
    ASSERT_EQ(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], milliseconds(90));
    EXPECT_GE(times[2] - times[1], milliseconds(90));

    std::this_thread::sleep_for(milliseconds(150)); // the next request is already due
    const auto start = steady_clock::now();
    ASSERT_EQ(master.readHoldingRegisters(1, 1, values, 1), Success);
    EXPECT_LT(steady_clock::now() - start, milliseconds(60));
}

} // namespace
