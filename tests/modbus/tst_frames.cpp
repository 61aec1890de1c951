// Verdicts of the protocol core on frames a well-behaved peer never sends.

#include "modbus/ModbusFrames.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;

Bytes rtuFrame(int unit, int function, const Bytes &data)
{
    uint8_t frame[modbus::MaxFrameLength];
    return Bytes(frame, frame + modbus::buildRtuRequest(frame, unit, function, data.data(),
                                                        static_cast<int>(data.size())));
}

Bytes tcpFrame(int unit, int function, const Bytes &data)
{
    uint8_t adu[modbus::MaxFrameLength];
    return Bytes(
        adu, adu + modbus::buildTcpRequest(adu, unit, function, data.data(), static_cast<int>(data.size())));
}

struct Case {
    const char *what;
    Bytes frame;
    int verdict;
};

// Each frame answers a read of one register at slave 1; the reply buffer keeps its bytes unless
// the verdict is Success.
void expectVerdicts(int (*check)(const uint8_t[], int, int, int, uint8_t[], int),
                    const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        uint8_t reply[3] = {0xEE, 0xEE, 0xEE};
        EXPECT_EQ(check(c.frame.data(), static_cast<int>(c.frame.size()), 1, modbus::ReadHoldingRegisters,
                        reply, 3),
                  c.verdict)
            << c.what;
        if (c.verdict != Success)
            EXPECT_EQ(Bytes(reply, reply + 3), (Bytes{0xEE, 0xEE, 0xEE})) << c.what;
        else
            EXPECT_EQ(Bytes(reply, reply + 3), (Bytes{2, 0x12, 0x34})) << c.what;
    }
}

TEST(RtuFrames, RequestBytesAndReplyVerdicts)
{
    const Bytes read = {0, 0, 0, 1};
    EXPECT_EQ(rtuFrame(1, modbus::ReadHoldingRegisters, read), (Bytes{1, 3, 0, 0, 0, 1, 0x84, 0x0A}));

    const Bytes good = rtuFrame(1, modbus::ReadHoldingRegisters, {2, 0x12, 0x34});
    Bytes badCrc = good;
    badCrc[6] ^= 1; // the CRC's high byte
    Bytes badData = good;
    badData[4] ^= 0x80;
    expectVerdicts(
        modbus::checkRtuReply,
        {
            {"good", good, Success},
            {"wrong unit", rtuFrame(2, modbus::ReadHoldingRegisters, {2, 0x12, 0x34}), InvalidFrame},
            {"unit 0", rtuFrame(0, modbus::ReadHoldingRegisters, {2, 0x12, 0x34}), InvalidFrame},
            {"bad CRC", badCrc, ChecksumError},
            {"damaged data", badData, ChecksumError},
            {"other function", rtuFrame(1, modbus::ReadFileRecord, {2, 0x12, 0x34}), InvalidFrame},
            {"exception", rtuFrame(1, modbus::ReadHoldingRegisters | modbus::ExceptionFlag, {2}),
             IllegalDataAddressException},
            {"exception of another function",
             rtuFrame(1, modbus::WriteMultipleRegisters | modbus::ExceptionFlag, {2}), InvalidFrame},
            {"short", Bytes(good.begin(), good.end() - 1), InvalidFrame},
        });
}

TEST(TcpFrames, RequestBytesAndReplyVerdicts)
{
    const Bytes write = {0, 9, 0, 1, 2, 0xAB, 0xCD};
    EXPECT_EQ(tcpFrame(7, modbus::WriteMultipleRegisters, write),
              (Bytes{0, 0, 0, 0, 0, 9, 7, 16, 0, 9, 0, 1, 2, 0xAB, 0xCD}));

    const Bytes good = tcpFrame(1, modbus::ReadHoldingRegisters, {2, 0x12, 0x34});
    // Devices that number transactions their own way, or misstate the length, are still read.
    Bytes otherHeader = good;
    otherHeader[1] = 7;
    otherHeader[3] = 9;
    otherHeader[5] = 99;
    expectVerdicts(
        modbus::checkTcpReply,
        {
            {"good", good, Success},
            {"other transaction, protocol and length", otherHeader, Success},
            {"unit 0", tcpFrame(0, modbus::ReadHoldingRegisters, {2, 0x12, 0x34}), Success},
            {"wrong unit", tcpFrame(2, modbus::ReadHoldingRegisters, {2, 0x12, 0x34}), InvalidFrame},
            {"other function", tcpFrame(1, modbus::EncapsulatedInterface, {2, 0x12, 0x34}), InvalidFrame},
            {"exception with a high code",
             tcpFrame(1, modbus::ReadHoldingRegisters | modbus::ExceptionFlag, {0x85}), -91},
            {"exception of another function",
             tcpFrame(1, modbus::ReadFileRecord | modbus::ExceptionFlag, {4}), InvalidFrame},
            {"short", Bytes(good.begin(), good.end() - 1), InvalidFrame},
        });
}

TEST(RegisterReplies, ByteCountAndEcho)
{
    const uint8_t threeRegisters[] = {6, 0, 1, 0, 2, 0, 3};
    EXPECT_EQ(modbus::checkReadReply(threeRegisters, 3), Success);
    EXPECT_EQ(modbus::checkReadReply(threeRegisters, 4), InvalidReply); // short byte count
    EXPECT_EQ(modbus::checkReadReply(threeRegisters, 2), InvalidReply);

    const uint8_t echo[] = {0, 9, 0, 31};
    EXPECT_EQ(modbus::checkWriteReply(echo, 31), Success);
    EXPECT_EQ(modbus::checkWriteReply(echo, 30), InvalidReply);
}

TEST(RecordRequests, WireBytesAndWhatTheAnalyzerRefuses)
{
    uint8_t request[modbus::record_request::Length];
    modbus::putRecordRequest(request, 15, 0x1234);
    EXPECT_EQ(Bytes(request, request + sizeof request), (Bytes{7, 6, 0, 15, 0x12, 0x34, 0, 1}));
    modbus::RecordRequest parsed;
    ASSERT_EQ(modbus::parseRecordRequest(request, sizeof request, parsed), 0);
    EXPECT_EQ(parsed.file, 15);
    EXPECT_EQ(parsed.record, 0x1234);

    const struct {
        const char *what;
        Bytes data;
        uint8_t code;
    } refused[] = {
        {"empty", {}, modbus::IllegalDataValue},
        {"byte count past the data", {7, 6, 0, 1, 0, 1, 0}, modbus::IllegalDataValue},
        {"byte count not a multiple of 7", {8, 6, 0, 1, 0, 1, 0, 1, 0}, modbus::IllegalDataValue},
        {"two sub-requests", {14, 6, 0, 1, 0, 1, 0, 1, 6, 0, 1, 0, 2, 0, 1}, modbus::IllegalDataAddress},
        {"reference type 5", {7, 5, 0, 1, 0, 1, 0, 1}, modbus::IllegalDataAddress},
        {"two registers", {7, 6, 0, 1, 0, 1, 0, 2}, modbus::IllegalDataAddress},
    };
    for (const auto &r : refused)
        EXPECT_EQ(modbus::parseRecordRequest(r.data.data(), r.data.size(), parsed), r.code) << r.what;
}

TEST(Identification, ObjectsByPositionUpToTheFirstThatOverruns)
{
    const Bytes reply = {0x0E, 1, 1, 0, 0, 3, 0, 2, 'A', 'B', 1, 0, 2, 3, 'x', 'y', 'z'};
    modbus::IdObject objects[3];
    ASSERT_EQ(modbus::splitIdentification(reply.data(), static_cast<int>(reply.size()), objects, 3), 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(objects[0].text), 2), "AB");
    EXPECT_EQ(objects[1].length, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(objects[2].text), 3), "xyz");
    // The last text one byte short; then its length byte missing.
    EXPECT_EQ(modbus::splitIdentification(reply.data(), static_cast<int>(reply.size()) - 1, objects, 3), 2);
    EXPECT_EQ(modbus::splitIdentification(reply.data(), 13, objects, 3), 2);
}

} // namespace
