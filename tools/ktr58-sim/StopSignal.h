#pragma once

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
};
