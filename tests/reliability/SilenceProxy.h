#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A Modbus TCP relay on 127.0.0.1 in front of an analyzer on targetPort, for any number of connections
// in turn. Silenced, it swallows every request it receives: an analyzer that has stopped answering
// while its network link stays up. It counts the requests it has received, relayed or not.
class SilenceProxy
{
  public:
    explicit SilenceProxy(int targetPort);
    ~SilenceProxy();
    SilenceProxy(const SilenceProxy &) = delete;
    SilenceProxy &operator=(const SilenceProxy &) = delete;

    int port() const { return listenPort; }
    void setSilent(bool silent);
    int requests() const;
    // Waits until more than `count` requests have come, at most timeout.
    bool waitRequestsAbove(int count, std::chrono::milliseconds timeout);

  private:
    void relay();
    void serve(int client);

    int targetPort;
    int listenFd = -1;
    int listenPort = 0;
    int wakeFds[2] = {-1, -1};
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool silent = false;
    bool quitting = false;
    int requestCount = 0;
    std::thread relayThread;
};
