#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{
using Clock = std::chrono::steady_clock;
}

int msLeft(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

pid_t spawnProcess(const std::string &program, const std::vector<std::string> &args, int &outFd, int *errFd,
                   std::string &error)
{
    int fds[2] = {-1, -1}, errFds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0 || (errFd && ::pipe2(errFds, O_CLOEXEC) != 0)) {
        error = std::string("pipe: ") + std::strerror(errno);
        for (int fd : {fds[0], fds[1]})
            if (fd >= 0)
                ::close(fd);
        return -1;
    }
    std::string path = program;
    std::vector<char *> argv;
    argv.push_back(path.data());
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        for (int fd : {fds[0], fds[1], errFds[0], errFds[1]})
            if (fd >= 0)
                ::close(fd);
        return -1;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlive a crashed test
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr); // a test thread may block SIGTERM
        int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0)
            ::dup2(devNull, 0);
        ::dup2(fds[1], 1);
        if (errFds[1] >= 0)
            ::dup2(errFds[1], 2);
        ::close_range(3, ~0U, 0);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    outFd = fds[0];
    if (errFd) {
        ::close(errFds[1]);
        *errFd = errFds[0];
    }
    return pid;
}

bool waitExit(pid_t pid, int limitMs, int &status)
{
    int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        pollfd p{pidFd, POLLIN, 0};
        while (::poll(&p, 1, limitMs) < 0 && errno == EINTR) {
        }
        ::close(pidFd);
    }
    pid_t r;
    while ((r = ::waitpid(pid, &status, pidFd >= 0 ? WNOHANG : 0)) < 0 && errno == EINTR) {
    }
    return r == pid;
}

ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args, int limitMs)
{
    ProgramRun result;
    int fds[2] = {-1, -1};
    std::string error;
    pid_t pid = spawnProcess(program, args, fds[0], &fds[1], error);
    if (pid < 0) {
        result.err = error;
        return result;
    }

    std::string *sinks[2] = {&result.out, &result.err};
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (fds[0] >= 0 || fds[1] >= 0) {
        pollfd p[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
        int n = ::poll(p, 2, msLeft(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || p[i].revents == 0)
                continue;
            char buf[512];
            ssize_t got = ::read(fds[i], buf, sizeof buf);
            if (got > 0) {
                sinks[i]->append(buf, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(fds[i]);
                fds[i] = -1;
            }
        }
    }
    for (int fd : fds)
        if (fd >= 0)
            ::close(fd);

    int status = 0;
    if (!waitExit(pid, 5000, status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return result;
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}
