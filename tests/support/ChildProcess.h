#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// Child processes for tests: the simulator and peer tools such as mbpoll.

// Milliseconds until deadline, 0 once it has passed.
int msLeft(std::chrono::steady_clock::time_point deadline);

// fork/exec of program (a path, or a name looked up in PATH) with stdout on a pipe (outFd) and stdin from
// /dev/null. stderr goes to a second pipe when errFd is given, else it is
// inherited so that the test log shows what the child says. The child gets
// no other descriptors, no blocked signals, and SIGTERM when the calling
// thread ends: spawn from a thread that outlives the child, such as the
// test's main thread.
pid_t spawnProcess(const std::string &program, const std::vector<std::string> &args, int &outFd, int *errFd,
                   std::string &error);

// Waits up to limitMs for pid to exit and reaps it; false if still running.
bool waitExit(pid_t pid, int limitMs, int &status);

struct ProgramRun {
    int exitCode = -1; // -1: killed by a signal or did not finish in time
    std::string out, err;
};

// Runs program to completion, at most limitMs, collecting its output.
ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args, int limitMs = 10000);
