#pragma once

#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"
#include "cli/RecordSink.h"
#include "text/ArchiveIdentity.h"

#include <memory>
#include <string>
#include <utility>

class AnalyzerLink;

// Keeps a download's records in the archive. Writes run on a thread of their own, batched in
// transactions, so reading the next record does not wait for them.
class ArchiveSink : public RecordSink
{
  public:
    // zone: the one the analyzer's clock keeps, stored with it; empty keeps the stored one. location:
    // archive's, for a new connection after a failed write; empty retries on archive.
    ArchiveSink(Archive &archive, std::string zone, std::string location = {})
        : archive(archive), zone(std::move(zone)), location(std::move(location))
    {
    }

    void begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas) override;
    void record(const LogRecord &record) override;
    void missing(int area, int index) override;
    bool ordered() const override { return false; } // a record kept as soon as read survives a kill
    bool working() const override { return writer && !writer->broken(); }
    bool end() override; // waits until every record is written
    StoreCounts counts() const { return stored; }
    const std::string &error() const { return failure; }

  private:
    Archive &archive;
    std::string zone;
    std::string location;
    std::unique_ptr<ArchiveWriter> writer;
    std::array<int16_t, kLogSlots> codes{};
    ArchiveRecord next;
    StoreCounts stored;
    std::string failure;
};
