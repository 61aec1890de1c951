// The simulator's end of a serial line on real pseudo-terminals: line settings, reads by deadline,
// wake-ups, a client that reopens the line, and a line that is gone.
#include "SerialLine.h"

#include "modbus/FdWait.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace
{

SimOptions lineOptions(SimOptions::Transport transport, const std::string &path, int baud = 9600)
{
    SimOptions o;
    o.transport = transport;
    o.serialPath = path;
    o.baud = baud;
    return o;
}

std::string linkPath()
{
    return (std::filesystem::temp_directory_path() / ("sim-serial-" + std::to_string(::getpid()))).string();
}

// A device of the tests' own: the master of a new pseudo-terminal plays the far end of its slave.
struct Device {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    std::string path =
        master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? ::ptsname(master) : "";
    ~Device()
    {
        if (master >= 0)
            ::close(master);
    }
};

// All bytes the line delivers until n are in or two seconds have passed.
std::vector<uint8_t> readFromLine(SerialLine &line, size_t n)
{
    std::vector<uint8_t> got;
    const int64_t deadline = steadyUs() + 2000000;
    uint8_t buf[64];
    int count = 0;
    while (got.size() < n && line.read(buf, sizeof buf, deadline, count) == SerialResult::Ok)
        got.insert(got.end(), buf, buf + count);
    return got;
}

std::vector<uint8_t> readFromPeer(int fd, size_t n)
{
    std::vector<uint8_t> got;
    uint8_t buf[64];
    for (pollfd p{fd, POLLIN, 0}; got.size() < n && ::poll(&p, 1, 2000) > 0;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r <= 0)
            break;
        got.insert(got.end(), buf, buf + r);
    }
    return got;
}

TEST(SimSerialLine, APtyCarriesEveryByteUnchangedAtTheBaudAsked)
{
    // Carriage return, line feed, XON, XOFF, ^C, ^D and 0xFF: each one a cooked tty would act on.
    const std::vector<uint8_t> bytes{0x0D, 0x0A, 0x11, 0x13, 0x03, 0x04, 0xFF, 0x00, 0x7F};
    const std::pair<int, speed_t> bauds[] = {
        {1200, B1200}, {9600, B9600}, {38400, B38400}, {115200, B115200}};
    for (const auto &[baud, code] : bauds) {
        SerialLine line;
        ASSERT_EQ(line.open(lineOptions(SimOptions::Transport::Pty, linkPath(), baud)), "");
        const int peer = ::open(linkPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(peer, 0);
        termios t{};
        ASSERT_EQ(::tcgetattr(peer, &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), code) << baud;
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t{CS8}) << baud;

        ASSERT_EQ(::write(peer, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        EXPECT_EQ(readFromLine(line, bytes.size()), bytes) << baud;
        line.write(bytes.data(), bytes.size());
        EXPECT_EQ(readFromPeer(peer, bytes.size()), bytes) << baud;
        ::close(peer);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(linkPath())));
}

TEST(SimSerialLine, ReadsWaitForTheFirstByteUntilTheDeadlineOrAWakeUp)
{
    SerialLine line;
    ASSERT_EQ(line.open(lineOptions(SimOptions::Transport::Pty, linkPath())), "");
    uint8_t buf[16];
    int got = -1;

    const int64_t deadline = steadyUs() + 50000;
    EXPECT_EQ(line.read(buf, sizeof buf, deadline, got), SerialResult::Incomplete);
    EXPECT_GE(steadyUs(), deadline);
    EXPECT_EQ(got, 0);

    // A client that opens, writes and closes the line again and again is no hang-up.
    for (uint8_t k = 1; k <= 3; ++k) {
        const int peer = ::open(linkPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(peer, 0);
        ASSERT_EQ(::write(peer, &k, 1), 1);
        ::close(peer);
        EXPECT_EQ(readFromLine(line, 1), std::vector<uint8_t>{k});
        EXPECT_EQ(line.read(buf, sizeof buf, steadyUs() + 20000, got), SerialResult::Incomplete) << int(k);
    }

    int wake[2];
    ASSERT_EQ(::pipe(wake), 0);
    line.setWakeFd(wake[0]);
    ASSERT_EQ(::write(wake[1], "x", 1), 1);
    const int64_t start = steadyUs();
    EXPECT_EQ(line.read(buf, sizeof buf, start + 10000000, got), SerialResult::Woken);
    EXPECT_LT(steadyUs() - start, 5000000);
    line.setWakeFd(-1);
    ::close(wake[0]);
    ::close(wake[1]);
}

TEST(SimSerialLine, ADeviceWhoseFarEndIsGoneReadsAsGone)
{
    Device device;
    ASSERT_FALSE(device.path.empty());
    SerialLine line;
    ASSERT_EQ(line.open(lineOptions(SimOptions::Transport::Rtu, device.path)), "");
    const uint8_t request[] = {1, 3, 0, 74, 0, 1};
    ASSERT_EQ(::write(device.master, request, sizeof request), ssize_t(sizeof request));
    EXPECT_EQ(readFromLine(line, sizeof request), std::vector<uint8_t>(request, request + sizeof request));

    ::close(device.master);
    device.master = -1;
    uint8_t buf[16];
    int got = -1;
    EXPECT_EQ(line.read(buf, sizeof buf, steadyUs() + 2000000, got), SerialResult::SystemError);
}

TEST(SimSerialLine, RefusesALineItCannotServeWithTheReason)
{
    Device held;
    ASSERT_FALSE(held.path.empty());
    SerialPort other;
    ASSERT_EQ(other.open(held.path.c_str()), SerialResult::Ok);
    const std::string file = linkPath() + ".file";
    std::ofstream(file) << "keep me";

    const struct {
        SimOptions options;
        std::string error;
    } cases[] = {
        {lineOptions(SimOptions::Transport::Rtu, "/nonexistent/tty"),
         "cannot open /nonexistent/tty: No such file or directory"},
        {lineOptions(SimOptions::Transport::Rtu, held.path),
         "cannot open " + held.path + ": Device or resource busy"},
        {lineOptions(SimOptions::Transport::Pty, file), file + " exists and is not a symbolic link"},
    };
    for (const auto &c : cases) {
        SerialLine line;
        EXPECT_EQ(line.open(c.options), c.error);
    }
    std::ifstream kept(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
    std::filesystem::remove(file);
}

} // namespace
