#include "ui/ArchiveLease.h"

#include <thread>

ArchiveLease::~ArchiveLease() = default;

Archive *ArchiveLease::open(const std::string &location, std::string &error, ArchiveFault *fault)
{
    std::unique_lock lock(mutex);
    if (isStopped) {
        error = "stopped";
        return nullptr;
    }
    opening = true;
    std::thread([self = shared_from_this(), location] {
        std::string why;
        ArchiveFault refused = ArchiveFault::None;
        std::unique_ptr<Archive> result = Archive::open(location, why, ArchiveAccess::Read, &refused);
        std::lock_guard done(self->mutex);
        self->opening = false;
        self->openError = std::move(why);
        self->openFault = refused;
        self->opened = std::move(result); // dropped with the lease when it was stopped meanwhile
        self->changed.notify_all();
    }).detach();
    changed.wait(lock, [this] { return !opening || isStopped; });
    if (isStopped) {
        error = "stopped";
        return nullptr;
    }
    error = openError;
    if (fault)
        *fault = openFault;
    archive = std::move(opened);
    return archive.get();
}

void ArchiveLease::stop()
{
    std::lock_guard lock(mutex);
    isStopped = true;
    if (archive)
        archive->interrupt();
    changed.notify_all();
}

bool ArchiveLease::stopped() const
{
    std::lock_guard lock(mutex);
    return isStopped;
}
