#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal whose slave path is handed to the code under test while
// the test plays the far end on the master descriptor.
class PtyPair
{
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return masterFd >= 0 && holdFd >= 0; }
    const char *path() const { return slavePath.c_str(); }
    int fd() const { return masterFd; }

    // Bytes that arrive within ms, stopping once n are in.
    std::vector<uint8_t> read(size_t n, int ms);
    void write(const std::vector<uint8_t> &bytes);

  private:
    int masterFd = -1;
    int holdFd = -1; // keeps the line from hanging up between opens by the code under test
    std::string slavePath;
};

// Appends the Modbus CRC, low byte first.
std::vector<uint8_t> withCrc(std::vector<uint8_t> frame);
