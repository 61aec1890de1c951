#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

struct _modbus;
struct _modbus_mapping_t;
class PtyPair;

// libmodbus serving holding registers 1..Registers (protocol addresses
// 0..Registers-1) from a thread of its own. Other addresses give exception 2.
class LibmodbusSlave
{
  public:
    static constexpr int Registers = 200;

    // Modbus TCP on 127.0.0.1, ephemeral port; one connection at a time.
    static std::unique_ptr<LibmodbusSlave> tcp();
    // Modbus RTU unit 1 on a pseudo-terminal of its own, whose bytes are
    // relayed to and from lineFd (the master end of the line under test).
    static std::unique_ptr<LibmodbusSlave> rtu(int lineFd);

    ~LibmodbusSlave();
    LibmodbusSlave(const LibmodbusSlave &) = delete;
    LibmodbusSlave &operator=(const LibmodbusSlave &) = delete;

    bool ok() const { return ready; }
    unsigned short port() const { return tcpPort; }
    uint16_t *registers();

  private:
    LibmodbusSlave();
    void serveTcp();
    void serveRtu();
    void relay(int lineFd);

    _modbus *ctx = nullptr;
    _modbus_mapping_t *mapping = nullptr;
    int listenFd = -1;
    unsigned short tcpPort = 0;
    std::unique_ptr<PtyPair> pty;
    std::atomic<bool> stop{false};
    bool ready = false;
    std::thread server;
    std::thread relayer;
};
