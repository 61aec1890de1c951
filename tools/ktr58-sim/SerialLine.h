#pragma once

#include "Options.h"
#include "modbus/SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The simulator's end of a serial line: an existing device (--rtu) or a new
// pseudo-terminal behind a symlink (--pty), raw, 8N1 at options.baud.
class SerialLine
{
  public:
    SerialLine() = default;
    SerialLine(const SerialLine &) = delete;
    SerialLine &operator=(const SerialLine &) = delete;
    // Closes the line and removes the pty link if it still points to our pty.
    ~SerialLine();

    // Empty on success, else a one-line reason.
    std::string open(const SimOptions &options);
    // A readable fd ends the waits of read() and write() early.
    void setWakeFd(int fd) { port.setWakeFd(fd); }
    // What arrived, waiting up to a steadyUs() deadline for the first byte: Ok with received > 0,
    // Incomplete when nothing came, Woken, or SystemError when the line is gone.
    SerialResult read(uint8_t *buffer, int n, int64_t deadlineUs, int &received)
    {
        return port.readAvailable(buffer, n, deadlineUs, received);
    }
    // All n bytes within a second; what nobody takes by then is lost, as on a real wire.
    void write(const uint8_t *data, size_t n);

  private:
    SerialPort port;
    std::string link;
    std::string peerName;
};
