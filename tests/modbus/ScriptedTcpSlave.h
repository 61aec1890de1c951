#pragma once

#include "LoopbackPeer.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A Modbus TCP slave on 127.0.0.1 that answers each request as a script says,
// one connection at a time, and records what it received and when.
class ScriptedTcpSlave
{
  public:
    struct Reply {
        std::vector<uint8_t> bytes; // sent as they are; empty sends nothing
        bool closeConnection = false;
        bool stopListening = false;
    };
    using Script = std::function<Reply(int index, const std::vector<uint8_t> &request)>;
    using Clock = std::chrono::steady_clock;

    explicit ScriptedTcpSlave(Script script);
    ~ScriptedTcpSlave();

    unsigned short port() const { return listener.port(); }
    std::vector<std::vector<uint8_t>> requests();
    std::vector<Clock::time_point> requestTimes();
    int connections() const { return accepted; }

  private:
    void run();
    void serve(int conn);

    LoopbackListener listener;
    Script script;
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> received;
    std::vector<Clock::time_point> times;
    std::atomic<int> accepted{0};
    std::atomic<bool> stop{false};
    std::thread thread;
};

// The MBAP reply of a normal or exception PDU: transaction 0, protocol 0, length from the PDU.
std::vector<uint8_t> mbapReply(uint8_t unit, const std::vector<uint8_t> &pdu);
