#include "PgServer.h"

#include "ChildProcess.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{

const std::string kBinDir = "/usr/lib/postgresql/15/bin/";

} // namespace

PgServer::~PgServer()
{
    stop();
}

pid_t PgServer::runAsOwner(const std::vector<std::string> &args, int *logFd)
{
    int log[2] = {-1, -1};
    if (logFd && ::pipe2(log, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (logFd)
            ::dup2(log[1], STDERR_FILENO);
        if (::getuid() == 0 && (::setgid(ownerGid) != 0 || ::setuid(ownerUid) != 0))
            ::_exit(126);
        if (::chdir(dir.c_str()) != 0) // the test's directory may be gone or closed to the owner
            ::_exit(126);
        // Set after the change of user, which would clear it.
        ::prctl(PR_SET_PDEATHSIG, SIGQUIT);
        if (!logFd)
            std::freopen("/dev/null", "w", stdout);
        std::vector<char *> argv;
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (logFd) {
        ::close(log[1]);
        *logFd = log[0];
        return pid;
    }
    if (pid < 0)
        return pid;
    int status = 0;
    if (!waitExit(pid, 60000, status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        lastError = args[0] + " failed";
        return -1;
    }
    return pid;
}

bool PgServer::start()
{
    char pattern[] = "/tmp/pullrec-pg-XXXXXX";
    if (!::mkdtemp(pattern)) {
        lastError = "no temporary directory";
        return false;
    }
    dir = pattern;
    if (::getuid() == 0) {
        const passwd *owner = ::getpwnam("postgres");
        if (!owner) {
            lastError = "running as root and no postgres user";
            return false;
        }
        ownerUid = owner->pw_uid;
        ownerGid = owner->pw_gid;
        if (::chown(dir.c_str(), ownerUid, ownerGid) != 0) {
            lastError = "cannot give " + dir + " to postgres";
            return false;
        }
    }
    const std::string data = dir + "/data";
    if (runAsOwner(
            {kBinDir + "initdb", "-D", data, "-A", "trust", "-U", "postgres", "-E", "UTF8", "--no-sync"},
            nullptr) < 0)
        return false;
    return launch();
}

bool PgServer::launch()
{
    {
        std::lock_guard lock(mutex);
        ready = logClosed = false;
    }
    int logFd = -1;
    server = runAsOwner({kBinDir + "postgres", "-D", dir + "/data", "-k", dir, "-c",
                         "listen_addresses=", "-F", "-c", "max_connections=60"},
                        &logFd);
    if (server < 0) {
        lastError = "cannot start postgres";
        return false;
    }
    logReader = std::thread([this, logFd] { readLog(logFd); });
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, std::chrono::seconds(30), [this] { return ready || logClosed; }) || !ready) {
        lastError = "postgres did not start in " + dir;
        return false;
    }
    return true;
}

void PgServer::halt()
{
    thaw();
    if (server > 0) {
        ::kill(server, SIGINT); // fast shutdown: clients are disconnected
        int status = 0;
        if (!waitExit(server, 20000, status)) {
            ::kill(server, SIGKILL);
            waitExit(server, 5000, status);
        }
        server = -1;
    }
    if (logReader.joinable())
        logReader.join();
}

bool PgServer::restart()
{
    halt();
    return launch();
}

void PgServer::readLog(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n <= 0)
            continue;
        text.append(buffer, size_t(n));
        if (text.find("ready to accept connections") != std::string::npos) {
            std::lock_guard lock(mutex);
            ready = true;
            changed.notify_all();
            text.clear();
        } else if (text.size() > 4096) {
            text.erase(0, text.size() - 64); // the readiness text may straddle two reads
        }
    }
    ::close(fd);
    std::lock_guard lock(mutex);
    logClosed = true;
    changed.notify_all();
}

void PgServer::signalAll(int signal)
{
    ::kill(server, signal); // first: a stopped server starts no new process
    std::error_code ignored;
    for (const auto &entry : std::filesystem::directory_iterator("/proc", ignored)) {
        std::string stat;
        std::getline(std::ifstream(entry.path() / "stat"), stat);
        // "pid (name) state ppid ...", where the name may hold anything
        const size_t nameEnd = stat.rfind(')');
        int parent = 0;
        if (nameEnd != std::string::npos &&
            std::sscanf(stat.c_str() + nameEnd + 1, " %*c %d", &parent) == 1 && parent == server)
            ::kill(std::atoi(entry.path().filename().c_str()), signal);
    }
}

void PgServer::freeze()
{
    if (server > 0 && !frozen) {
        signalAll(SIGSTOP);
        frozen = true;
    }
}

void PgServer::thaw()
{
    if (frozen)
        signalAll(SIGCONT);
    frozen = false;
}

void PgServer::stop()
{
    halt();
    if (!dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        dir.clear();
    }
}

std::string PgServer::connection(const std::string &name) const
{
    return "host=" + dir + " port=5432 user=postgres dbname=" + name;
}

bool PgServer::createDatabase(const std::string &name)
{
    PGconn *db = PQconnectdb(connection().c_str());
    PGresult *result = PQexec(db, ("CREATE DATABASE " + name).c_str());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok)
        lastError = PQerrorMessage(db);
    PQclear(result);
    PQfinish(db);
    return ok;
}
