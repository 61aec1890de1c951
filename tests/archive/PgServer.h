#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A PostgreSQL server of its own for a test: a fresh cluster in a unique temporary directory,
// reachable only through a Unix socket in that directory. When the tests run as root, the cluster
// belongs to the "postgres" user, as the server refuses to run as root. The server gets SIGQUIT when
// the thread that started it ends, so even a crashed test leaves no server behind; stop() (also run
// by the destructor) shuts it down and removes the directory.
class PgServer
{
  public:
    PgServer() = default;
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;
    ~PgServer();

    // initdb, start, and wait until it takes connections; false after setting error().
    bool start();
    void stop();
    // Shuts the server down as an administrator would (its clients are disconnected), keeping its data;
    // launch() starts it again, restart() does both.
    void halt();
    bool launch();
    bool restart();

    // A libpq connection string for database `name` (created by createDatabase).
    std::string connection(const std::string &name = "postgres") const;
    bool createDatabase(const std::string &name);
    const std::string &error() const { return lastError; }

    // Stops the server and every process it started, as a frozen host would: connections stay open and
    // nothing answers. thaw(), or stop(), lets it go on.
    void freeze();
    void thaw();

  private:
    // Runs program as the cluster's owner; waits for it unless logFd is given, which then gets the
    // read end of its stderr. The pid, or -1.
    pid_t runAsOwner(const std::vector<std::string> &args, int *logFd);
    void readLog(int fd); // the server's stderr, until it closes
    void signalAll(int signal);

    std::thread logReader;
    std::mutex mutex;
    std::condition_variable changed;
    bool ready = false;
    bool logClosed = false;

    std::string dir;
    std::string lastError;
    pid_t server = -1;
    std::atomic<bool> frozen = false; // set by a test's thread
    uid_t ownerUid = 0;
    gid_t ownerGid = 0;
};
