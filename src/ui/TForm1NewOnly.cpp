#include "archive/NewRecords.h"
#include "shell/GSETTINGS.h"
#include "shell/Startup.h"
#include "text/ArchiveIdentity.h"
#include "text/ArchiveMessages.h"
#include "ui/ArchiveLease.h"
#include "ui/RecordKeeper.h"
#include "ui/TForm1.h"
#include "worker/comThread.h"

#include <QFileInfo>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string_view>

namespace
{

// As the download waits before it asks for a record again: an analyzer that just dropped a request may
// need a moment.
constexpr auto kProbePause = std::chrono::seconds(1);
constexpr int kProbeTries = 2;

// A missing SQLite file holds nothing yet: everything is new, and opening it is no failure to report.
bool missingFile(const std::string &location)
{
    constexpr std::string_view scheme = "sqlite:";
    return location.starts_with(scheme) &&
           !QFileInfo::exists(QString::fromStdString(location.substr(scheme.size())));
}

} // namespace

QString TForm1::narrowToNewRecords()
{
    const std::string location = archiveLocation(gsettings->values.archive).toStdString();
    AreaRanges ranges{};
    for (int area = 0; area < kAreaCount; ++area)
        if (worker->areaSelected(area))
            ranges[size_t(area)].last = std::max<int>(worker->recordsToRead(area), 0);
    const RecordLog::Source source = records.source(); // the window's, read here on its own thread
    NewRecordsCheck check;
    std::string failure;
    ArchiveFault fault = ArchiveFault::None;
    // Cancel gives the archive up at once, a server that does not answer included; the link stays open
    // unless a probe is in flight, which only closing the link cuts short.
    const std::shared_ptr<ArchiveLease> lease = ArchiveLease::create();
    std::mutex probeMutex;
    std::condition_variable probeChanged; // Cancel ends the pause between two tries
    bool probing = false;
    transact(
        Captions::ReadingLog,
        [&] {
            // The probes use the link: no record request of an ended pass may still hold it.
            worker->waitForNoRequest();
            // The last download's records count as archived; a Cancel meanwhile fails the open below.
            if (keeper)
                keeper->flush([&lease] { return lease->stopped(); });
            if (missingFile(location))
                return true;
            Archive *archive = lease->open(location, failure, &fault);
            if (!archive)
                return true;
            const std::string serial = archiveIdentity(source, *archive).serial;
            check = skipArchivedRecords(
                *archive, serial, ranges, [&](int area, int position, std::string &error) {
                    for (int attempt = 1;; ++attempt) {
                        {
                            std::lock_guard lock(probeMutex);
                            if (lease->stopped())
                                break;
                            probing = true;
                        }
                        const bool read = worker->readRecord(area, position);
                        std::unique_lock lock(probeMutex);
                        probing = false;
                        if (read)
                            return &worker->record();
                        if (attempt == kProbeTries || worker->lastError() == errorText(Cancelled) ||
                            probeChanged.wait_for(lock, kProbePause, [&lease] { return lease->stopped(); }))
                            break;
                    }
                    error = worker->lastError();
                    return static_cast<const LogRecord *>(nullptr);
                });
            return true;
        },
        [&] {
            std::lock_guard lock(probeMutex);
            lease->stop();
            if (keeper)
                keeper->stopFlush();
            if (probing)
                worker->cancel();
            probeChanged.notify_all();
        });
    worker->narrowAreas(ranges);

    const auto &c = texts.captions;
    QStringList notes;
    if (!failure.empty())
        notes << c[Captions::NewOnlyNoArchive].arg(archiveFaultWorded(fault)
                                                       ? archiveOpenMessage(texts, fault, location, failure)
                                                       : QString::fromStdString(failure));
    if (check.archived > 0)
        notes << c[Captions::NewOnlyArchived].arg(check.archived);
    for (const int area : check.readWhole)
        notes << c[Captions::NewOnlyCleared].arg(areaText(area));
    for (const FailedRecord &f : check.unreadable)
        notes << c[Captions::NewOnlyUnchecked].arg(areaText(f.area), QString::fromStdString(f.error));
    for (const FailedRecord &f : check.gapsUnread)
        notes << c[Captions::NewOnlyGapsUnread].arg(areaText(f.area), QString::fromStdString(f.error));
    return notes.join(' ');
}
