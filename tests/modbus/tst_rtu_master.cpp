#include "PtyPair.h"

#include "modbus/MbusRtuMasterProtocol.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{

using Bytes = std::vector<uint8_t>;
using namespace std::chrono;

class RtuMaster : public ::testing::Test
{
  protected:
    void open(int baud = 38400, int retries = 0, int timeoutMs = 200)
    {
        ASSERT_TRUE(pty.ok());
        ASSERT_EQ(master.setTimeout(timeoutMs), Success);
        ASSERT_EQ(master.setRetryCount(retries), Success);
        ASSERT_EQ(master.open(pty.path(), baud, 8, 1, 0), Success);
    }

    // Plays the slave: answers each request of requestLen bytes with the next reply.
    void answer(size_t requestLen, std::vector<Bytes> replies)
    {
        slave = std::thread([this, requestLen, replies] {
            for (const Bytes &reply : replies) {
                requests.push_back(pty.read(requestLen, 1000));
                pty.write(reply);
            }
        });
    }

    void TearDown() override
    {
        if (slave.joinable())
            slave.join();
    }

    PtyPair pty;
    MbusRtuMasterProtocol master;
    std::thread slave;
    std::vector<Bytes> requests;
    int16_t value[2] = {};
};

TEST_F(RtuMaster, SendsTheExactFrameAndDecodesTheReply)
{
    open();
    answer(8, {withCrc({1, 3, 2, 0x12, 0x34})});
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 0x1234);
    slave.join();
    EXPECT_EQ(requests[0], (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
}

TEST_F(RtuMaster, LateReplyToARetriedRequestIsNotTakenForTheNextOne)
{
    // The late reply comes 30 ms after the first; the master's quiet period is its 300 ms time-out.
    open(38400, 1, 300);
    slave = std::thread([this] {
        requests.push_back(pty.read(8, 1000)); // first try: no answer in time
        requests.push_back(pty.read(8, 1000)); // the retry
        const Bytes first = withCrc({1, 3, 2, 0, 1});
        pty.write(first);
        // A slow slave answers the retry too, a little later.
        std::this_thread::sleep_for(milliseconds(30));
        pty.write(first);
        requests.push_back(pty.read(8, 1000));
        pty.write(withCrc({1, 3, 2, 0, 2}));
    });
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 1);
    ASSERT_EQ(master.readHoldingRegisters(1, 2, value, 1), Success);
    EXPECT_EQ(value[0], 2);
    slave.join();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2][3], 1); // the second read's own reply
}

TEST_F(RtuMaster, SlaveThatQueuesRequestsAndAnswersLateNeverAnswersAnotherRequest)
{
    // Each request is answered 150 ms after the slave takes it, in order, with its own start
    // address; the master gives up after 100 ms, so every reply it could take is a late one.
    open(38400, 2, 100);
    std::atomic<bool> serving{true};
    slave = std::thread([&] {
        while (serving) {
            const Bytes request = pty.read(8, 50);
            if (request.size() < 8)
                continue;
            std::this_thread::sleep_for(milliseconds(150));
            pty.write(withCrc({1, 3, 2, 0, request[3]}));
        }
    });
    for (int ref = 1; ref <= 3; ++ref) {
        const int r = master.readHoldingRegisters(1, ref, value, 1);
        if (r == Success)
            EXPECT_EQ(value[0], ref - 1) << "reply of another request taken for ref " << ref;
        else
            EXPECT_EQ(r, ReplyTimeout);
    }
    // A timely slave after the late one: each request gets its own reply.
    serving = false;
    slave.join();
    answer(8, {withCrc({1, 3, 2, 0, 7})});
    ASSERT_EQ(master.readHoldingRegisters(1, 8, value, 1), Success);
    EXPECT_EQ(value[0], 7);
}

TEST_F(RtuMaster, ChecksumErrorsAndRepliesFromAnotherSlaveAreRetried)
{
    open(38400, 2);
    Bytes corrupt = withCrc({1, 3, 2, 0, 7});
    corrupt.back() ^= 0x01;
    answer(8, {corrupt, withCrc({2, 3, 2, 0, 7}), withCrc({1, 3, 2, 0, 7})});
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 7);
    slave.join();
    EXPECT_EQ(requests.size(), 3u);

    answer(8, {withCrc({2, 3, 2, 0, 7}), withCrc({2, 3, 2, 0, 7}), withCrc({2, 3, 2, 0, 7})});
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), InvalidFrame);
    EXPECT_EQ(value[0], 0);
}

TEST_F(RtuMaster, ExceptionReplyIsRecognisedFromItsFiveBytesAndNotRetried)
{
    open(38400, 3);
    answer(8, {withCrc({1, 0x83, 2})});
    const auto start = steady_clock::now();
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), IllegalDataAddressException);
    EXPECT_LT(steady_clock::now() - start, milliseconds(150)); // no second read waited for more
    slave.join();
    EXPECT_TRUE(pty.read(1, 50).empty());
}

TEST_F(RtuMaster, BroadcastWriteReturnsWithoutWaitingForAReply)
{
    open();
    const int16_t words[2] = {0x0102, -1};
    const auto start = steady_clock::now();
    EXPECT_EQ(master.writeMultipleRegisters(0, 2, words, 2), Success);
    EXPECT_LT(steady_clock::now() - start, milliseconds(150));
    EXPECT_EQ(pty.read(13, 500), withCrc({0, 16, 0, 1, 0, 2, 4, 1, 2, 0xFF, 0xFF}));
}

TEST_F(RtuMaster, SilentSlaveCostsOneAttemptPerRetry)
{
    open(38400, 2, 50);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), ReplyTimeout);
    EXPECT_EQ(pty.read(100, 100).size(), 24u); // three requests
    EXPECT_TRUE(master.isOpen());
}

TEST_F(RtuMaster, ByteDuringIdleLineWaitRestartsItAndIsDiscarded)
{
    open(1200, 0, 500); // 37 ms of silence before sending
    std::atomic<steady_clock::rep> lastNoise{0};
    Bytes request;
    steady_clock::time_point requestSeen;
    slave = std::thread([&] {
        for (int i = 0; i < 8; ++i) {
            pty.write({0xEE});
            lastNoise = steady_clock::now().time_since_epoch().count();
            std::this_thread::sleep_for(milliseconds(10));
        }
        request = pty.read(8, 1000);
        requestSeen = steady_clock::now();
        pty.write(withCrc({1, 3, 2, 0, 42}));
    });
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 42);
    slave.join();
    EXPECT_EQ(request.size(), 8u);
    const steady_clock::time_point last{steady_clock::duration(lastNoise.load())};
    EXPECT_GE(requestSeen - last, milliseconds(35));
}

TEST_F(RtuMaster, NextRequestLeavesTheFrameSilenceAfterEveryKindOfFrame)
{
    // 1200 baud: 3.5 characters of 11 bits are 32 ms. The silence is counted from the line's last byte
    // (a reply, stray bytes, our own broadcast), so each frame below must be that far from the request
    // after it.
    open(1200, 0, 500);
    const auto silence = microseconds(32084);
    steady_clock::time_point replied, strayed, seen[3];
    slave = std::thread([&] {
        pty.read(8, 1000);
        pty.write(withCrc({1, 3, 2, 0, 1}));
        replied = steady_clock::now();
        pty.read(8, 1000);
        seen[0] = steady_clock::now();
        pty.write(withCrc({1, 3, 2, 0, 2}));
        // A stray frame after the reply the master took; it is still waiting when the next request is due.
        pty.write({0xEE, 0xEE});
        strayed = steady_clock::now();
        pty.read(8, 1000);
        seen[1] = steady_clock::now();
        pty.write(withCrc({1, 3, 2, 0, 3}));
        pty.read(11, 1000); // the broadcast
        pty.read(8, 1000);
        seen[2] = steady_clock::now();
        pty.write(withCrc({1, 3, 2, 0, 4}));
    });
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 2);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 3) << "the stray bytes were taken for the reply";
    const int16_t words[1] = {5};
    const auto broadcast = steady_clock::now();
    ASSERT_EQ(master.writeMultipleRegisters(0, 1, words, 1), Success);
    ASSERT_EQ(master.readHoldingRegisters(1, 1, value, 1), Success);
    EXPECT_EQ(value[0], 4);
    slave.join();
    EXPECT_GE(seen[0] - replied, silence);
    EXPECT_GE(seen[1] - strayed, silence);
    EXPECT_GE(seen[2] - broadcast, silence);
}

TEST_F(RtuMaster, LineThatNeverGoesQuietEndsTheAttemptAfterTheTimeout)
{
    open(1200, 0, 100);
    std::atomic<bool> noisy{true};
    slave = std::thread([&] {
        while (noisy) {
            pty.write({0xEE});
            std::this_thread::sleep_for(milliseconds(5));
        }
    });
    const auto start = steady_clock::now();
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), ReplyTimeout);
    const auto elapsed = steady_clock::now() - start;
    noisy = false;
    slave.join();
    EXPECT_GE(elapsed, milliseconds(95));
    EXPECT_LT(elapsed, milliseconds(400));
    EXPECT_TRUE(pty.read(1, 50).empty()); // nothing was sent
}

TEST_F(RtuMaster, FrameSilenceIsFourCharacterTimesRoundedToAMillisecond)
{
    ASSERT_TRUE(pty.ok());
    const std::pair<int, int> expected[] = {{1200, 37}, {2400, 18}, {4800, 9},
                                            {9600, 5},  {19200, 2}, {38400, 1}};
    for (const auto &[baud, ms] : expected) {
        ASSERT_EQ(master.open(pty.path(), baud, 8, 1, 0), Success) << baud;
        EXPECT_EQ(master.getFrameSilence(), ms) << baud;
        master.close();
    }
}

TEST_F(RtuMaster, LineSettingsAreAppliedAndRestoredAtClose)
{
    termios before{};
    ASSERT_EQ(::tcgetattr(pty.fd(), &before), 0);
    ASSERT_NE(::cfgetospeed(&before), B9600);
    open(9600);
    termios during{};
    ASSERT_EQ(::tcgetattr(pty.fd(), &during), 0);
    EXPECT_EQ(::cfgetospeed(&during), B9600);
    EXPECT_EQ(during.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO));
    master.close();
    termios after{};
    ASSERT_EQ(::tcgetattr(pty.fd(), &after), 0);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
}

TEST_F(RtuMaster, RefusedSettingsLeaveThePortClosed)
{
    ASSERT_TRUE(pty.ok());
    EXPECT_EQ(master.open(pty.path(), 9600, 7, 1, 0), IllegalArgument);
    EXPECT_EQ(master.open(pty.path(), 9600, 8, 1, 3), IllegalArgument);
    EXPECT_FALSE(master.isOpen());
    EXPECT_EQ(master.open(pty.path(), 12345, 8, 1, 0), IllegalArgument);
    EXPECT_FALSE(master.isOpen());
    EXPECT_EQ(master.open(pty.path(), 9600, 8, 3, 0), IllegalArgument);
    EXPECT_EQ(master.readHoldingRegisters(1, 1, value, 1), IllegalState);
    // Nothing was left holding the device.
    EXPECT_EQ(master.open(pty.path(), 9600, 8, 1, 0), Success);
    EXPECT_EQ(master.open(pty.path(), 9600, 8, 1, 0), IllegalState);
    EXPECT_EQ(master.setRtsDelay(5), IllegalState);
    EXPECT_EQ(master.setRtsDelay(-1), IllegalArgument);
}

TEST_F(RtuMaster, MissingDeviceGives66)
{
    const std::string missing = "/tmp/pullrec-no-such-port-" + std::to_string(::getpid());
    EXPECT_EQ(master.open(missing.c_str(), 9600, 8, 1, 0), OpenError);
    EXPECT_FALSE(master.isOpen());
}

// Opens the port in a child process, as another program would, and returns its result.
int openInChild(const char *path, bool dropPrivileges)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (dropPrivileges && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(255);
        MbusRtuMasterProtocol other;
        ::_exit(other.open(path, 9600, 8, 1, 0));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RtuMaster, PortInUseGives67FromThisOrAnotherProcess)
{
    open();
    MbusRtuMasterProtocol second;
    EXPECT_EQ(second.open(pty.path(), 9600, 8, 1, 0), PortAlreadyOpen);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(openInChild(pty.path(), false), PortAlreadyOpen);
    master.close();
    EXPECT_EQ(second.open(pty.path(), 9600, 8, 1, 0), Success);
}

TEST_F(RtuMaster, PortTheUserMayNotOpenGives74)
{
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(::chmod(pty.path(), 0600), 0);
    if (::geteuid() == 0)
        ASSERT_EQ(::chown(pty.path(), 0, 0), 0);
    else
        ASSERT_EQ(::chmod(pty.path(), 0), 0);
    EXPECT_EQ(openInChild(pty.path(), true), PortNoAccess);
}

} // namespace
