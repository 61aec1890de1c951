#include "SimProcess.h"

#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace
{

constexpr int startLimitMs = 10000;
constexpr int stopLimitMs = 5000;

using Clock = std::chrono::steady_clock;

std::string describeStatus(int status)
{
    if (WIFEXITED(status))
        return "exited with " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

std::string uniquePtyPath()
{
    static std::atomic<int> counter{0};
    std::filesystem::path dir = std::filesystem::temp_directory_path();
    for (;;) {
        std::filesystem::path p =
            dir / ("ktr58-pty-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(p, ec)))
            return p.string();
    }
}

} // namespace

std::string SimProcess::binary()
{
    return std::string(PULLREC_BIN_DIR) + "/ktr58-sim";
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start(const std::vector<std::string> &args)
{
    stop();
    lastArgs = args;
    port = 0;
    rtuPath.clear();
    return launch(args);
}

bool SimProcess::startTcp(const std::vector<std::string> &extraArgs)
{
    std::vector<std::string> args{"--tcp", "127.0.0.1:0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return start(args);
}

bool SimProcess::startPty(const std::vector<std::string> &extraArgs)
{
    std::vector<std::string> args{"--pty", uniquePtyPath()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return start(args);
}

bool SimProcess::restart()
{
    stop();
    std::vector<std::string> args = lastArgs;
    if (port != 0) {
        for (size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == "--tcp" && args[i + 1].ends_with(":0"))
                args[i + 1].replace(args[i + 1].size() - 1, 1, std::to_string(port));
        }
    }
    return launch(args);
}

bool SimProcess::launch(const std::vector<std::string> &args)
{
    lastError.clear();
    child = spawnProcess(binary(), args, stdoutFd, nullptr, lastError);
    if (child < 0)
        return false;
    if (awaitReadiness())
        return true;
    int status = reap(SIGKILL);
    if (lastError.empty())
        lastError = "ktr58-sim " + describeStatus(status) + " before it was ready";
    return false;
}

bool SimProcess::awaitReadiness()
{
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(startLimitMs);
    std::string line;
    for (;;) {
        pollfd p{stdoutFd, POLLIN, 0};
        int n = ::poll(&p, 1, msLeft(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            lastError = "ktr58-sim did not report readiness within 10 s";
            return false;
        }
        char c;
        ssize_t got = ::read(stdoutFd, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false; // the child exited; launch() reports its status
        if (c != '\n') {
            line += c;
            continue;
        }
        const std::string tcp = "ktr58-sim: serving tcp ";
        const std::string rtu = "ktr58-sim: serving rtu ";
        if (line.starts_with(tcp)) {
            port = std::atoi(line.substr(line.rfind(':') + 1).c_str());
            return port > 0;
        }
        if (line.starts_with(rtu)) {
            rtuPath = line.substr(rtu.size());
            return true;
        }
        line.clear(); // not the readiness line
    }
}

int SimProcess::reap(int signal)
{
    if (child <= 0)
        return -1;
    int status = 0;
    ::kill(child, signal);
    if (!waitExit(child, stopLimitMs, status)) {
        ::kill(child, SIGKILL);
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    child = -1;
    if (stdoutFd >= 0)
        ::close(stdoutFd);
    stdoutFd = -1;
    return status;
}

int SimProcess::stop(int signal)
{
    return reap(signal);
}

void SimProcess::kill()
{
    reap(SIGKILL);
}

ProgramRun SimProcess::run(const std::vector<std::string> &args)
{
    return runProgram(binary(), args, startLimitMs);
}

std::vector<uint8_t> SimProcess::printRecord(int area, int index, const std::vector<std::string> &extraArgs)
{
    std::vector<std::string> args = extraArgs;
    args.insert(args.end(), {"--print-record", std::to_string(area), std::to_string(index)});
    ProgramRun r = run(args);
    if (r.exitCode != 0)
        return {};

    std::vector<uint8_t> bytes;
    std::istringstream in(r.out);
    std::string token;
    while (in >> token) {
        char *end = nullptr;
        unsigned long value = std::strtoul(token.c_str(), &end, 16);
        if (token.size() != 2 || *end != '\0')
            return {};
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}
