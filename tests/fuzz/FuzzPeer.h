#pragma once

#include "PeerReply.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Time-out of the masters under test. Fuzzing keeps it short, because every
// reply that comes up short costs it; the replay tests make it long enough
// that a busy machine does not turn a complete reply into a late one.
inline constexpr int kFuzzTimeoutMs = FUZZ_TIMEOUT_MS;

// The slave end of a link, played by a thread of its own: the far side of a
// pseudo-terminal (RTU) or a loopback TCP listener on 127.0.0.1 (TCP). Every
// complete request takes the next scripted reply; a request with none left,
// or a broadcast, gets no answer. Made once per process and reused.
class FuzzPeer
{
  public:
    struct Exchange {
        std::vector<uint8_t> request;
        std::vector<uint8_t> reply; // as written, empty when none was
        bool hungUp = false;
    };

    explicit FuzzPeer(Framing framing);
    ~FuzzPeer();
    FuzzPeer(const FuzzPeer &) = delete;
    FuzzPeer &operator=(const FuzzPeer &) = delete;

    Framing framing() const { return link; }
    const std::string &ptyPath() const { return slavePath; } // RTU
    uint16_t port() const { return listenPort; }             // TCP, on 127.0.0.1

    // Replaces the replies for the requests to come.
    void script(std::vector<PeerReply> replies);
    // Waits (bounded) until every request that reached the peer has been
    // answered, and at least `requests` have come since the last call; drops
    // the replies not taken and returns what was exchanged since that call.
    // A request that needs no reply may still be on its way when the master
    // returns: name it in `requests`.
    std::vector<Exchange> settle(size_t requests = 0);

  private:
    void run();
    void readLink(); // everything there is, answering each complete request
    void answer(std::vector<uint8_t> request);
    bool idle() const;
    void dropConnection();

    Framing link;
    std::string slavePath;
    uint16_t listenPort = 0;
    int linkFd = -1;   // pty master, or the accepted connection
    int listenFd = -1; // TCP
    int wakeFd = -1;   // eventfd that ends the thread
    int holdFd = -1;   // RTU: the slave side, held open

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<PeerReply> pending;
    std::vector<Exchange> log;
    std::vector<uint8_t> received; // a request not complete yet
    bool stopping = false;
    std::thread thread;
};
