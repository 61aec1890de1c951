// The writer loses nothing while the archive fails: failed batches are written again through new
// connections, what it finally gives up is handed on as positions for gaps, and gaps give way to
// records stored later. Against a real SQLite file and a real PostgreSQL restarted under it.

#include "archive/ArchiveWriter.h"
#include "SharedPgServer.h"
#include "TestRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

namespace
{

using Positions = std::set<int>;

ArchiveRecord recordAt(int position)
{
    return record(0, position, position);
}

const AnalyzerIdentity kAnalyzer{"W1", "V", "M", "1", 1, 1};

Positions stored(Archive &archive)
{
    Positions positions;
    EXPECT_TRUE(archive.forEach({}, [&](const StoredRecord &r) {
        EXPECT_TRUE(positions.insert(r.record.position).second) << "twice: " << r.record.position;
        return true;
    })) << archive.error();
    return positions;
}

Positions gapsOf(Archive &archive)
{
    const std::vector<int> gaps = archive.gaps(kAnalyzer.serial, 0);
    return {gaps.begin(), gaps.end()};
}

bool waitUntil(const std::function<bool()> &condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

class WriterTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        static int counter = 0;
        dir = std::filesystem::temp_directory_path() /
              ("pullrec-writer-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::remove_all(dir);
        location = "sqlite:" + (dir / "later" / "a.db").string(); // its folder made by a case
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::unique_ptr<Archive> open()
    {
        std::string error;
        auto archive = Archive::open(location, error);
        EXPECT_TRUE(archive) << error;
        return archive;
    }

    // Connections to location, counted.
    ArchiveOpener opener()
    {
        return [this](std::string &error) -> std::unique_ptr<Archive> {
            ++opened;
            return Archive::open(location, error);
        };
    }

    std::filesystem::path dir;
    std::string location;
    std::atomic<int> opened{0};
};

} // namespace

// Each row: records 0..9 with some left out and gaps added; whether the folder exists at the start,
// appears after the first failure, or never; what the archive holds after finish().
TEST_F(WriterTest, EveryPositionStoredOrAGap)
{
    enum class Folder { There, Later, Never };
    struct Row {
        const char *name;
        Folder folder;
        Positions leftOut; // positions not added as records
        Positions gaps;    // added as gaps, before the records
        Positions stored;
        Positions gapsLeft;
        int64_t notKept;
    };
    const Row rows[] = {
        {"written at once", Folder::There, {}, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {}, 0},
        {"gap then success removes it", Folder::There, {}, {3}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {}, 0},
        {"gap of a record never read stays", Folder::There, {3}, {3}, {0, 1, 2, 4, 5, 6, 7, 8, 9}, {3}, 0},
        {"failed batches retried on a new connection",
         Folder::Later,
         {3},
         {3},
         {0, 1, 2, 4, 5, 6, 7, 8, 9},
         {3},
         0},
        {"given up: handed on as gaps", Folder::Never, {3}, {3}, {}, {}, 9},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(dir);
        if (row.folder == Folder::There)
            std::filesystem::create_directories(dir / "later");
        opened = 0;
        // Pauses long enough for the folder to appear before the writer gives up.
        ArchiveWriter writer(opener(), kAnalyzer, 4, 1000, std::chrono::milliseconds(50));
        for (const int gap : row.gaps)
            writer.addGap(0, gap);
        for (int position = 0; position < 10; ++position)
            if (!row.leftOut.count(position))
                writer.add(recordAt(position));
        if (row.folder == Folder::Later) {
            ASSERT_TRUE(waitUntil([&] { return !writer.error().empty(); }));
            std::filesystem::create_directories(dir / "later");
        }
        EXPECT_EQ(writer.finish(), row.notKept == 0) << writer.error();
        EXPECT_EQ(writer.notKept(), row.notKept);
        if (row.folder == Folder::Never) {
            EXPECT_GE(opened, ArchiveWriter::kFinishAttempts);
            std::vector<ArchiveWriter::Position> unkept = writer.unkept();
            std::sort(unkept.begin(), unkept.end());
            EXPECT_EQ(unkept.size(), 10u); // nine records and the gap
            EXPECT_TRUE(std::all_of(unkept.begin(), unkept.end(), [](auto p) { return p.first == 0; }));
            EXPECT_NE(writer.error().find("a.db"), std::string::npos) << writer.error();
            continue;
        }
        EXPECT_TRUE(writer.error().empty() == (row.folder == Folder::There)) << writer.error();
        const auto archive = open();
        ASSERT_TRUE(archive);
        EXPECT_EQ(stored(*archive), row.stored);
        EXPECT_EQ(gapsOf(*archive), row.gapsLeft);
        EXPECT_EQ(writer.counts().added, int64_t(row.stored.size()));
    }
}

// Records kept while the server restarts reach it through a new connection, each once; a writer
// abandoned on a frozen server returns at once and keeps none of the rest.
TEST(PgWriter, RestartedServerLosesNothingFrozenOneIsAbandoned)
{
    std::string error;
    PgServer *pg = sharedPgServer(&error);
    ASSERT_TRUE(pg) << error;
    ASSERT_TRUE(pg->createDatabase("writer")) << pg->error();
    const std::string location = pg->connection("writer");
    auto opener = [&](std::string &why) { return Archive::open(location, why); };
    {
        ArchiveWriter writer(opener, kAnalyzer, 5, 1000, std::chrono::milliseconds(1));
        for (int position = 0; position < 5; ++position)
            writer.add(recordAt(position));
        ASSERT_TRUE(waitUntil([&] { return writer.counts().added == 5; }));
        ASSERT_TRUE(pg->restart()) << pg->error();
        for (int position = 5; position < 20; ++position)
            writer.add(recordAt(position));
        EXPECT_TRUE(writer.finish()) << writer.error();
        EXPECT_EQ(writer.counts().added, 20);
    }
    auto archive = Archive::open(location, error);
    ASSERT_TRUE(archive) << error;
    Positions all;
    for (int position = 0; position < 20; ++position)
        all.insert(position);
    EXPECT_EQ(stored(*archive), all);

    ArchiveWriter writer(opener, kAnalyzer, 5, 1000, std::chrono::milliseconds(1));
    writer.add(recordAt(20));
    ASSERT_TRUE(waitUntil([&] { return writer.counts().added == 1; }));
    pg->freeze();
    for (int position = 21; position < 30; ++position)
        writer.add(recordAt(position));
    const auto start = std::chrono::steady_clock::now();
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the close's own deadline
        writer.abandon();
    });
    EXPECT_FALSE(writer.finish());
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(writer.notKept(), 9);
    pg->thaw();
    archive = Archive::open(location, error);
    ASSERT_TRUE(archive) << error;
    // Nothing abandoned lies below a stored record: New records only reads it after position 20.
    EXPECT_EQ(archive->lastRecord(kAnalyzer.serial, 0, 1000)->position, 20);
}
