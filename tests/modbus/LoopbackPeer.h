#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A listening TCP socket on 127.0.0.1 with an ephemeral port.
class LoopbackListener
{
  public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;

    unsigned short port() const { return boundPort; }
    // The next connection within ms, or -1.
    int accept(int ms);
    // Stops listening: later connects are refused.
    void close();

  private:
    int fd = -1;
    unsigned short boundPort = 0;
};

// A listener on 127.0.0.1 that never accepts and whose backlog is full: a
// further connect is never answered. port() is 0 when the kernel took every
// connection the constructor made.
class FullLoopbackListener
{
  public:
    FullLoopbackListener();
    ~FullLoopbackListener();
    FullLoopbackListener(const FullLoopbackListener &) = delete;
    FullLoopbackListener &operator=(const FullLoopbackListener &) = delete;

    unsigned short port() const { return boundPort; }

  private:
    int fd = -1;
    unsigned short boundPort = 0;
    std::vector<int> fillers;
};

// Bytes that arrive on fd (a socket or a pseudo-terminal) within ms, stopping once n are in.
std::vector<uint8_t> readBytes(int fd, size_t n, int ms);
void writeBytes(int fd, const std::vector<uint8_t> &bytes);
