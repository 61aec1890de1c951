#pragma once

#include <cstdint>
#include <string>

enum class SerialResult : int {
    Ok = 0,
    BadParameter = 0x1101, // a line setting out of range, or refused by the driver
    SystemError = 0x1102,
    NotFound = 0x1103,
    AccessDenied = 0x1104, // in use by this or another process
    NoPermission = 0x1107, // the user may not open the device
    NotOpen = 0x1105,
    Incomplete = 0x1106, // fewer bytes than asked within the time-out
    Woken = 0x1108,      // the wake descriptor ended the transfer
};

// One serial device (a tty, pseudo-terminal or a symlink to one), held
// exclusively while open. Transfers are timed; the device stays non-blocking.
class SerialPort
{
  public:
    SerialPort() = default;
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;
    ~SerialPort();

    // Opens exclusively, saves the line settings, purges, applies 9600 8N1.
    SerialResult open(const char *portName);
    // The serving end of a new pseudo-terminal, 9600 8N1 like open(); peerPath is the device a peer
    // opens. The port keeps a descriptor of its own on that device, so that a peer closing and
    // reopening it is no hang-up here.
    SerialResult openPseudoTerminal(std::string &peerPath);
    // baudRate must be a standard kernel speed; dataBits 7/8; stopBits 1/2;
    // parity 0 none, 1 odd, 2 even.
    SerialResult configure(int baudRate, int dataBits, int stopBits, int parity);
    // Restores the settings saved at open and releases the device.
    void close();
    bool isOpen() const { return portHandle >= 0; }
    // A descriptor whose readability ends read() and write() early with Woken; -1 for none.
    void setWakeFd(int fd) { wakeFd = fd; }

    // Exactly n bytes within timeoutMs counted from the start of the call. read() stores how many
    // bytes arrived in *received, also when they are fewer than n.
    SerialResult write(const uint8_t buffer[], int n, int timeoutMs);
    SerialResult read(uint8_t buffer[], int n, int timeoutMs, int *received = nullptr);
    // read() up to a steadyUs() deadline; a deadline already past still takes the bytes waiting.
    SerialResult readUntil(uint8_t buffer[], int n, int64_t deadlineUs, int *received = nullptr);
    // Whatever has arrived, up to n bytes, waiting up to a steadyUs() deadline for the first: a serving
    // end does not know a request's length before reading it. Incomplete when nothing came, SystemError
    // when the line hung up or failed.
    SerialResult readAvailable(uint8_t buffer[], int n, int64_t deadlineUs, int &received);
    SerialResult purge();
    // Waits until the written bytes have left the port.
    SerialResult drain();
    // steadyUs() when the line was last seen busy: a byte read, drain() returned, or open().
    int64_t lastActivityUs() const { return lastActivity; }
    SerialResult setRts();
    SerialResult clearRts();

  private:
    // Applies 9600 8N1 to a freshly opened port, or closes it.
    SerialResult setUp(int fd);

    int portHandle = -1;
    int peerHandle = -1; // openPseudoTerminal's own descriptor on the peer's device
    int wakeFd = -1;
    int64_t lastActivity = 0;
    // The struct termios read at open, held as raw storage so that this header
    // does not spread the termios macros to every user.
    alignas(8) unsigned char savedSettings[64] = {};
};
