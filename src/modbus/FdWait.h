#pragma once

#include <cstdint>

// Milliseconds on the steady clock, for deadlines of the transfers.
int64_t steadyMs();
// The same clock in microseconds, for time stamps of the traffic.
int64_t steadyUs();

// waitForFd's result when wakeFd became readable first.
inline constexpr int kWoken = -2;

// Waits until fd reports one of `events` (or an error or hang-up), at most
// timeoutMs (0 = just test). A signal does not end the wait early. A readable
// wakeFd (-1: none) ends it at once, so another thread can cut the wait short;
// fd may be -1 to wait on wakeFd alone.
// Returns the reported events, 0 on time-out, -1 when poll fails, kWoken.
int waitForFd(int fd, short events, int timeoutMs, int wakeFd = -1);
// The same up to a steadyUs() deadline: a serial line's silences are fractions of a millisecond.
int waitForFdUntil(int fd, short events, int64_t deadlineUs, int wakeFd = -1);

// A flag another thread raises to end the waits of an exchange: an eventfd
// that stays readable while raised, polled beside the socket or tty.
class WakeSignal
{
  public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal &) = delete;
    WakeSignal &operator=(const WakeSignal &) = delete;

    void raise(); // any thread
    void clear(); // the thread that runs the exchanges
    bool raised() const;
    int fd() const { return eventFd; }

  private:
    int eventFd = -1;
};
