#pragma once

#include "Options.h"

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
    int fd() const { return lineFd; }
    // All n bytes, unless nobody reads the line for a second: then the rest is lost, as on a real wire.
    void write(const uint8_t *data, size_t n) const;

  private:
    int lineFd = -1;
    // For a pty: a slave descriptor of our own, so that the master never
    // sees a hang-up while the client closes and reopens the slave.
    int slaveFd = -1;
    std::string link;
    std::string slaveName;
};
