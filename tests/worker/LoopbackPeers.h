#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// A plain Modbus TCP slave (libmodbus) on 127.0.0.1 holding only the registers
// given; anything else is answered with an exception. Serves one client.
class LibmodbusSlave
{
  public:
    LibmodbusSlave(int firstRef, const std::vector<uint16_t> &values);
    ~LibmodbusSlave();
    int port() const { return listenPort; }

  private:
    void serve();

    void *context = nullptr;
    void *mapping = nullptr;
    int listenFd = -1;
    std::atomic<int> clientFd{-1};
    int listenPort = 0;
    std::thread server;
};

// A TCP relay to 127.0.0.1:targetPort that can hold the n-th Modbus TCP
// request from its client until released, so a test knows a request is on
// the wire.
class GatedProxy
{
  public:
    explicit GatedProxy(int targetPort);
    ~GatedProxy();
    int port() const { return listenPort; }

    void holdRequest(int number); // 1 = the first request
    bool waitHeld(std::chrono::milliseconds timeout);
    void release();

  private:
    void relay();
    bool forwardRequests(std::vector<uint8_t> &pending, int upstream);

    int targetPort;
    int listenFd = -1;
    int listenPort = 0;
    int wakeFds[2] = {-1, -1};
    std::mutex mutex;
    std::condition_variable changed;
    int holdNumber = 0;
    int requestsSeen = 0;
    bool held = false;
    bool quitting = false;
    std::thread relayThread;
};
