#include "cli/ArchiveSink.h"

#include "cli/AnalyzerLink.h"
#include "text/DeviceText.h"

#include <algorithm>

void ArchiveSink::begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &)
{
    AnalyzerIdentity identity = archiveIdentity(analyzer, archive);
    identity.zone = zone;
    codes = analyzer.configuration.paramCodes;
    stored = {};
    failure.clear();
    ArchiveOpener reopen;
    if (!location.empty())
        reopen = [this](std::string &error) { return Archive::open(location, error); };
    if (archive.saveAnalyzer(identity)) {
        writer = std::make_unique<ArchiveWriter>(archive, identity.serial, 1000, 1000, reopen, identity);
        return;
    }
    if (!reopen) {
        failure = archive.error();
        return;
    }
    // The connection failed before the first record: the writer's own connections try again, each
    // asked for the key anew.
    writer = std::make_unique<ArchiveWriter>(reopen, identity, 1000, 1000, std::chrono::milliseconds(250),
                                             [analyzer, zone = zone](Archive &other) {
                                                 AnalyzerIdentity asked = archiveIdentity(analyzer, other);
                                                 asked.zone = zone;
                                                 return asked;
                                             });
}

void ArchiveSink::record(const LogRecord &record)
{
    if (!writer)
        return;
    next = record;
    next.codes = codes;
    writer->add(next);
}

void ArchiveSink::missing(int area, int index)
{
    if (writer)
        writer->addGap(area, index);
}

bool ArchiveSink::end()
{
    if (!writer)
        return false;
    const bool ok = writer->finish();
    stored = writer->counts();
    if (!ok)
        failure = writer->error() + " (" + std::to_string(writer->notKept()) + " records not kept)";
    writer.reset();
    return ok;
}
