#pragma once

#include "archive/Archive.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

// An archive read another thread may give up on at any moment without waiting for it: a hung server
// holds the reading thread, never the one that gave up. Shared by the reading thread and the one that
// may stop it; the archive lives as long as the last of them holds it.
class ArchiveLease : public std::enable_shared_from_this<ArchiveLease>
{
  public:
    static std::shared_ptr<ArchiveLease> create() { return std::shared_ptr<ArchiveLease>(new ArchiveLease); }
    ~ArchiveLease();

    // The reading thread: opens location for reading, on a thread of its own so that stop() need not
    // wait for a server that does not answer. nullptr and error (fault, if given, says why) when it fails
    // or was stopped.
    Archive *open(const std::string &location, std::string &error, ArchiveFault *fault = nullptr);
    // Any thread: the open or the call in progress fails at once, and every later open.
    void stop();
    bool stopped() const;

  private:
    ArchiveLease() = default;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool isStopped = false;
    bool opening = false;
    std::unique_ptr<Archive> opened; // set by the opening thread, taken by open()
    std::string openError;
    ArchiveFault openFault = ArchiveFault::None;
    std::unique_ptr<Archive> archive; // what open() gave; interrupt() is called under mutex
};
