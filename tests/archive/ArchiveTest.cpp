// The archive library on both backends: keys, exact values, the last record of an area, the schema
// version, and writers racing on one PostgreSQL database.

#include "archive/Archive.h"
#include "PgServer.h"
#include "archive/ArchiveWriter.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <filesystem>
#include <thread>
#include <vector>

namespace
{

// One server for the run, started by the first test that needs it (initdb takes seconds).
class PgEnvironment : public ::testing::Environment
{
  public:
    void TearDown() override { server.stop(); }
    PgServer server;
    bool started = false;
};
auto *const environment =
    static_cast<PgEnvironment *>(::testing::AddGlobalTestEnvironment(new PgEnvironment));

PgServer *pgServer()
{
    if (!environment->started && !environment->server.start())
        return nullptr;
    environment->started = true;
    return &environment->server;
}

ArchiveRecord record(int area, int position, double first)
{
    ArchiveRecord r;
    r.area = area;
    r.position = position;
    r.recordNo = position + 1;
    r.dateText = "31/12/09";
    r.timeText = "08:00:" + std::string(position < 10 ? "0" : "") + std::to_string(position % 60);
    r.codes.fill(kEmptySlot);
    r.codes[0] = 0;
    r.codes[1] = 27;
    r.values[0] = first;
    r.values[1] = 0.1 + 0.2; // no short decimal text: must come back exactly
    return r;
}

std::vector<StoredRecord> all(Archive &archive, const RecordFilter &filter = {})
{
    std::vector<StoredRecord> records;
    EXPECT_TRUE(archive.forEach(filter, [&](const StoredRecord &r) {
        records.push_back(r);
        return true;
    })) << archive.error();
    return records;
}

// Each test gets an empty archive of the backend it is run for.
class ArchiveTest : public ::testing::TestWithParam<const char *>
{
  protected:
    void SetUp() override
    {
        static int counter = 0;
        const std::string name = "a" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
        if (std::string(GetParam()) == "sqlite") {
            dir = std::filesystem::temp_directory_path() / ("pullrec-archive-" + name);
            std::filesystem::create_directories(dir);
            location = "sqlite:" + (dir / "test.db").string();
        } else {
            PgServer *pg = pgServer();
            ASSERT_TRUE(pg) << environment->server.error();
            ASSERT_TRUE(pg->createDatabase(name)) << pg->error();
            location = pg->connection(name);
        }
    }
    void TearDown() override
    {
        if (!dir.empty())
            std::filesystem::remove_all(dir);
    }

    std::unique_ptr<Archive> open()
    {
        std::string error;
        auto archive = Archive::open(location, error);
        EXPECT_TRUE(archive) << error;
        if (archive) {
            EXPECT_TRUE(archive->saveAnalyzer({"S1", "V", "KTR-58-168", "1.0", 5, 1})) << archive->error();
        }
        return archive;
    }

    std::filesystem::path dir;
    std::string location;
};

} // namespace

TEST_P(ArchiveTest, StoringAgainChangesNothingAndValuesComeBackExactly)
{
    auto archive = open();
    ASSERT_TRUE(archive);
    std::vector<ArchiveRecord> batch{record(0, 0, 230.1), record(0, 1, 1e-7),
                                     record(kArchiveEnergyArea, 0, 12345)};
    StoreCounts counts;
    ASSERT_TRUE(archive->store("S1", batch, counts)) << archive->error();
    EXPECT_EQ(counts.added, 3);
    batch.push_back(record(0, 2, -0.5));
    ASSERT_TRUE(archive->store("S1", batch, counts)) << archive->error();
    EXPECT_EQ(counts.added, 4);
    EXPECT_EQ(counts.present, 3);
    ArchiveRecord nothingLogged = record(1, 0, 0);
    nothingLogged.codes.fill(kEmptySlot);
    nothingLogged.values.fill(0);
    ASSERT_TRUE(archive->store("S1", std::span(&nothingLogged, 1), counts)) << archive->error();

    const auto stored = all(*archive);
    ASSERT_EQ(stored.size(), 5u);
    EXPECT_EQ(stored[0].record.values[0], 230.1);
    EXPECT_EQ(stored[0].record.values[1], 0.1 + 0.2);
    EXPECT_EQ(stored[0].record.codes[1], 27);
    EXPECT_EQ(stored[0].record.codes[2], kEmptySlot);
    EXPECT_EQ(stored[1].record.values[0], 1e-7);
    EXPECT_EQ(stored[2].record.dateText, "31/12/09");
    EXPECT_EQ(stored[2].record.timeText, "08:00:02");
    EXPECT_EQ(stored[3].record.area, 1); // a record without a value to store is kept all the same
    EXPECT_EQ(stored[4].record.area, kArchiveEnergyArea);
    EXPECT_EQ(stored[4].record.values[0], 12345);

    // Another connection sees the same, and a filter by area and time narrows it.
    auto again = open();
    ASSERT_TRUE(again);
    EXPECT_EQ(all(*again, {"S1", 0, "2009-12-31 08:00:01", "2009-12-31 08:00:02"}).size(), 2u);
    EXPECT_EQ(all(*again, {"other", -1, "", ""}).size(), 0u);
    const auto last = again->lastRecord("S1", 0);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->position, 2);
    EXPECT_TRUE(last->sameRecord(batch[3]));
    EXPECT_FALSE(again->lastRecord("S1", 2));
}

TEST_P(ArchiveTest, NewerSchemaIsRefused)
{
    {
        auto archive = open();
        ASSERT_TRUE(archive);
    }
    if (std::string(GetParam()) == "sqlite") {
        sqlite3 *db = nullptr;
        sqlite3_open((dir / "test.db").c_str(), &db);
        sqlite3_exec(db, "UPDATE pullrec_schema SET version = 99", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    } else {
        PGconn *db = PQconnectdb(location.c_str());
        PQclear(PQexec(db, "UPDATE pullrec_schema SET version = 99"));
        PQfinish(db);
    }
    std::string error;
    EXPECT_FALSE(Archive::open(location, error));
    EXPECT_NE(error.find("schema version 99"), std::string::npos) << error;
}

TEST_P(ArchiveTest, RacingWritersStoreEachRecordOnce)
{
    constexpr int kRecords = 3000;
    std::vector<std::thread> writers;
    std::vector<StoreCounts> counts(4);
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&, w] {
            std::string error;
            auto archive = Archive::open(location, error);
            ASSERT_TRUE(archive) << error;
            archive->saveAnalyzer({"S1", "V", "M", "1", 1, 1});
            ArchiveWriter writer(*archive, "S1", size_t(97 + 50 * w)); // batches that straddle each other's
            for (int i = 0; i < kRecords; ++i) {
                const int position = (i + 700 * w) % kRecords; // each starts elsewhere
                writer.add(record(position % 3, position, i));
            }
            EXPECT_TRUE(writer.finish()) << writer.error();
            counts[size_t(w)] = writer.counts();
        });
    }
    for (std::thread &t : writers)
        t.join();
    int64_t added = 0;
    for (const StoreCounts &c : counts) {
        EXPECT_EQ(c.added + c.present, kRecords);
        added += c.added;
    }
    EXPECT_EQ(added, kRecords);
    auto archive = open();
    ASSERT_TRUE(archive);
    EXPECT_EQ(all(*archive).size(), size_t(kRecords));
}

INSTANTIATE_TEST_SUITE_P(Backends, ArchiveTest, ::testing::Values("sqlite", "postgresql"));
