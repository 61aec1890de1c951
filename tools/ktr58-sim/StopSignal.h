#pragma once

#include <chrono>

// SIGINT and SIGTERM end the simulator cleanly: the handlers only write to a
// pipe that the serving loops poll alongside their sockets or line.
class StopSignal
{
  public:
    // Installs the handlers (once per process) and ignores SIGPIPE.
    StopSignal();
    int fd() const;
    bool requested() const;
    // Waits ms milliseconds unless a stop arrives first; false then.
    bool sleep(int ms) const;
    // The same to a point in time, to the microsecond: a paced line waits less than a millisecond.
    bool sleepUntil(std::chrono::steady_clock::time_point end) const;
};
