#pragma once

#include "ChildProcess.h"

#include <signal.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// A ktr58-sim child process for tests. start() returns once the simulator
// has announced that it serves (or failed); the destructor stops it.
// Start it from the test's main thread: the simulator gets SIGTERM when the
// thread that started it ends.
//
//     SimProcess sim;
//     ASSERT_TRUE(sim.startTcp({"--records", "3,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2"})) << sim.error();
//     master.setPort(sim.tcpPort());
class SimProcess
{
  public:
    SimProcess() = default;
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    ~SimProcess();

    // Path of the simulator binary in the build's bin directory.
    static std::string binary();

    // Runs ktr58-sim with these arguments and waits up to 10 s for its
    // readiness line. On failure the child is gone and error() says why.
    bool start(const std::vector<std::string> &args);
    // --tcp 127.0.0.1:0 (an ephemeral port) followed by extraArgs.
    bool startTcp(const std::vector<std::string> &extraArgs = {});
    // --pty <unique temporary path> followed by extraArgs.
    bool startPty(const std::vector<std::string> &extraArgs = {});
    // Starts again with the arguments of the last start, after stop() or
    // kill(). A TCP simulator comes back on the port it had, a pty simulator
    // on the same link path (a new pseudo-terminal behind it).
    bool restart();

    // Sends `signal` and waits (SIGKILL after 5 s). Returns the exit status
    // as waitpid reports it, or -1 when nothing was running.
    int stop(int signal = SIGTERM);
    // SIGKILL and wait: an analyzer that vanishes without closing anything.
    void kill();

    bool running() const { return child > 0; }
    pid_t pid() const { return child; }
    // Valid after a TCP start; 0 otherwise.
    int tcpPort() const { return port; }
    // Valid after an RTU start: the link or device the simulator serves.
    const std::string &ptyPath() const { return rtuPath; }
    const std::string &error() const { return lastError; }

    // The 67 reply data bytes of a record as `ktr58-sim --print-record`
    // predicts them with extraArgs (--seed, --records, --model ...). Empty
    // when the simulator has no such record or fails.
    static std::vector<uint8_t> printRecord(int area, int index,
                                            const std::vector<std::string> &extraArgs = {});

    // Runs ktr58-sim to completion (at most 10 s) for options that do not
    // serve, such as --print-record, --help or a bad argument.
    static ProgramRun run(const std::vector<std::string> &args);

  private:
    bool launch(const std::vector<std::string> &args);
    bool awaitReadiness();
    int reap(int signal);

    std::vector<std::string> lastArgs;
    std::string lastError;
    std::string rtuPath;
    pid_t child = -1;
    int stdoutFd = -1;
    int port = 0;
};
