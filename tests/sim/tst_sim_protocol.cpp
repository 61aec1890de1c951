// The simulator's answers on the wire, seen by a raw master of the tests'
// own, over TCP and over a pseudo-terminal alike.
#include "RawClient.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

enum class Transport { Tcp, Rtu };

class SimProtocol : public testing::TestWithParam<Transport>
{
  protected:
    bool tcp() const { return GetParam() == Transport::Tcp; }

    void start(const std::vector<std::string> &args = {})
    {
        ASSERT_TRUE(tcp() ? sim.startTcp(args) : sim.startPty(args)) << sim.error();
        client = connectRaw(tcp(), sim.tcpPort(), sim.ptyPath());
    }

    Answer ask(const std::vector<uint8_t> &pdu, uint8_t unit = 1)
    {
        std::optional<Answer> a = client->ask(unit, pdu);
        if (!a) {
            ADD_FAILURE() << "no reply";
            return {};
        }
        EXPECT_TRUE(a->crcOk);
        EXPECT_EQ(a->unit, unit);
        return *a;
    }

    std::vector<int> readRegisters(int reference, int count)
    {
        std::vector<uint8_t> pdu{3};
        putWord(pdu, reference - 1);
        putWord(pdu, count);
        Answer a = ask(pdu);
        std::vector<int> words;
        if (a.pdu.size() != 2u + 2 * count || a.pdu[0] != 3 || a.pdu[1] != 2 * count) {
            ADD_FAILURE() << "bad reply to a read of " << count << " at " << reference;
            return words;
        }
        for (int i = 0; i < count; ++i)
            words.push_back(wordAt(a.pdu, 2 + 2 * i));
        return words;
    }

    // The exception code of the reply, or -1 for a normal reply.
    int exceptionOf(const std::vector<uint8_t> &pdu)
    {
        Answer a = ask(pdu);
        if (a.pdu.size() == 2 && a.pdu[0] == (pdu[0] | 0x80))
            return a.pdu[1];
        return -1;
    }

    std::vector<uint8_t> readPdu(int reference, int count)
    {
        std::vector<uint8_t> pdu{3};
        putWord(pdu, reference - 1);
        putWord(pdu, count);
        return pdu;
    }

    std::vector<uint8_t> writePdu(int reference, const std::vector<int> &values)
    {
        std::vector<uint8_t> pdu{16};
        putWord(pdu, reference - 1);
        putWord(pdu, static_cast<int>(values.size()));
        pdu.push_back(static_cast<uint8_t>(2 * values.size()));
        for (int v : values)
            putWord(pdu, v);
        return pdu;
    }

    static std::vector<uint8_t> recordPdu(int area, int index, int referenceType = 6, int length = 1)
    {
        std::vector<uint8_t> pdu{20, 7, static_cast<uint8_t>(referenceType)};
        putWord(pdu, area);
        putWord(pdu, index);
        putWord(pdu, length);
        return pdu;
    }

    SimProcess sim;
    std::unique_ptr<RawClient> client;
};

// Object texts of an identification reply, checking the layout on the way.
std::vector<std::string> identityObjects(const std::vector<uint8_t> &data)
{
    std::vector<std::string> texts;
    EXPECT_GE(data.size(), 6u);
    EXPECT_EQ(data[0], 0x0E);
    EXPECT_EQ(data[5], 6) << "object count";
    size_t pos = 6;
    for (int id = 0; id < 6 && pos + 2 <= data.size(); ++id) {
        EXPECT_EQ(data[pos], id);
        size_t len = data[pos + 1];
        EXPECT_LE(pos + 2 + len, data.size());
        texts.emplace_back(data.begin() + static_cast<long>(pos + 2),
                           data.begin() + static_cast<long>(std::min(pos + 2 + len, data.size())));
        pos += 2 + len;
    }
    EXPECT_EQ(pos, data.size()) << "objects must end exactly at the end of the reply";
    return texts;
}

TEST_P(SimProtocol, IdentitySendsSixObjectsOfTheConfiguredLength)
{
    for (int length : {117, 134}) {
        start({"--id-length", std::to_string(length)});
        Answer a = ask({43, 0x0E, 0x01, 0x00});
        ASSERT_EQ(a.pdu.size(), 1u + length);
        EXPECT_EQ(a.pdu[0], 43);
        std::vector<uint8_t> data(a.pdu.begin() + 1, a.pdu.end());
        std::vector<std::string> texts = identityObjects(data);
        ASSERT_EQ(texts.size(), 6u);
        EXPECT_EQ(texts[1], "KTR-58-168");
        EXPECT_FALSE(texts[0].empty());
        EXPECT_FALSE(texts[2].empty());
        EXPECT_FALSE(texts[5].empty());
        sim.stop();
    }

    start({"--model", "KTR-58-167"});
    Answer a = ask({43, 0x0E, 0x01, 0x00});
    std::vector<uint8_t> data(a.pdu.begin() + 1, a.pdu.end());
    EXPECT_EQ(data.size(), 117u);
    EXPECT_EQ(identityObjects(data).at(1), "KTR-58-167");
}

TEST_P(SimProtocol, ServesTheRegisterBlocksAndNothingElse)
{
    start();
    EXPECT_EQ(readRegisters(75, 2), (std::vector<int>{100, 10}));

    std::vector<int> config = readRegisters(306, 31);
    ASSERT_EQ(config.size(), 31u);
    EXPECT_EQ(config[0], 900);
    EXPECT_NE(config[1], 0);
    int used = 0;
    for (int k = 3; k < 31; ++k) {
        EXPECT_TRUE(config[k] <= 78 || config[k] == 255) << config[k];
        used += config[k] != 255;
    }
    EXPECT_GE(used, 15);
    EXPECT_LE(used, 20);

    std::vector<int> counts = readRegisters(1025, 17);
    ASSERT_EQ(counts.size(), 17u);
    EXPECT_EQ(std::vector<int>(counts.begin() + 1, counts.end()),
              (std::vector<int>{120, 1000, 37, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40}));

    // Parts of a block read like the whole.
    EXPECT_EQ(readRegisters(76, 1), (std::vector<int>{10}));
    EXPECT_EQ(readRegisters(309, 3), std::vector<int>(config.begin() + 3, config.begin() + 6));
    EXPECT_EQ(readRegisters(1041, 1), (std::vector<int>{40}));

    for (auto [reference, count] : {std::pair{1, 1},
                                    {74, 2},
                                    {76, 2},
                                    {305, 2},
                                    {336, 2},
                                    {337, 1},
                                    {1024, 1},
                                    {1041, 2},
                                    {1042, 1},
                                    {40001, 3}})
        EXPECT_EQ(exceptionOf(readPdu(reference, count)), 2) << reference << "+" << count;
    EXPECT_EQ(exceptionOf(readPdu(306, 0)), 3);
    EXPECT_EQ(exceptionOf(readPdu(306, 126)), 3);
}

TEST_P(SimProtocol, StoresAWrittenConfiguration)
{
    start();
    std::vector<int> config{600, 0, 7};
    for (int k = 0; k < 28; ++k)
        config.push_back(k < 5 ? 27 - k : 255);
    Answer a = ask(writePdu(306, config));
    std::vector<uint8_t> echo{16};
    putWord(echo, 305);
    putWord(echo, 31);
    EXPECT_EQ(a.pdu, echo);
    EXPECT_EQ(readRegisters(306, 31), config);

    // A single word inside the block.
    ask(writePdu(306, {1800}));
    EXPECT_EQ(readRegisters(306, 2), (std::vector<int>{1800, 0}));

    EXPECT_EQ(exceptionOf(writePdu(75, {1, 1})), 2);
    EXPECT_EQ(exceptionOf(writePdu(336, {1, 1})), 2);
    EXPECT_EQ(exceptionOf(writePdu(1026, {5})), 2);
    EXPECT_EQ(readRegisters(75, 2), (std::vector<int>{100, 10}));
}

TEST_P(SimProtocol, ServesTheRecordsOfEveryArea)
{
    const std::vector<std::string> args{"--records", "3,1,2,5,1,1,1,1,1,1,1,1,1,1,4,2", "--seed", "42"};
    start(args);
    const int counts[16] = {3, 1, 2, 5, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 4, 2};
    for (int area = 0; area < 16; ++area) {
        for (int index : {0, counts[area] - 1}) {
            Answer a = ask(recordPdu(area, index));
            ASSERT_EQ(a.pdu.size(), 68u) << area << "/" << index;
            EXPECT_EQ(a.pdu[0], 20);
            std::vector<uint8_t> data(a.pdu.begin() + 1, a.pdu.end());
            EXPECT_EQ(data[0], 66);
            EXPECT_EQ(data[1], 65);
            EXPECT_EQ(data[2], 6);
            EXPECT_EQ(wordAt(data, 3), index + 1);
            EXPECT_EQ(data, SimProcess::printRecord(area, index, args)) << area << "/" << index;
        }
        EXPECT_EQ(exceptionOf(recordPdu(area, counts[area])), 2) << area;
    }
}

TEST_P(SimProtocol, AnswersWhatTheAnalyzerLacksWithExceptions)
{
    start();
    EXPECT_EQ(exceptionOf({1, 0, 0, 0, 1}), 1);    // read coils
    EXPECT_EQ(exceptionOf({4, 0, 74, 0, 1}), 1);   // input registers
    EXPECT_EQ(exceptionOf({6, 1, 49, 0, 1}), 1);   // write single register
    EXPECT_EQ(exceptionOf({43, 0x0D, 0, 0}), 1);   // CANopen, not device identification
    EXPECT_EQ(exceptionOf(recordPdu(3, 0)), 2);    // empty sector
    EXPECT_EQ(exceptionOf(recordPdu(16, 0)), 2);   // no such area
    EXPECT_EQ(exceptionOf(recordPdu(0, 0, 5)), 2); // reference type
    EXPECT_EQ(exceptionOf(recordPdu(0, 0, 6, 2)), 2);
    // The link keeps working after all that.
    EXPECT_EQ(readRegisters(75, 1), (std::vector<int>{100}));
}

TEST_P(SimProtocol, IgnoresOtherUnits)
{
    start({"--unit", "7"});
    EXPECT_FALSE(client->ask(1, readPdu(75, 2), 300).has_value());
    EXPECT_FALSE(client->ask(8, readPdu(75, 2), 300).has_value());
    std::optional<Answer> a = client->ask(7, readPdu(75, 2));
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->unit, 7);
    // Unit 0 is answered over TCP; on a serial line it is a broadcast.
    EXPECT_EQ(client->ask(0, readPdu(75, 2), 300).has_value(), tcp());
}

INSTANTIATE_TEST_SUITE_P(Transports, SimProtocol, testing::Values(Transport::Tcp, Transport::Rtu),
                         [](const auto &info) { return info.param == Transport::Tcp ? "Tcp" : "Rtu"; });

} // namespace
