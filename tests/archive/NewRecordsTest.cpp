// Which records a download with "new records only" reads, from what the archive holds and what the
// analyzer answers at the check position.

#include "archive/NewRecords.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace
{

constexpr int kArea = 3;

LogRecord logRecord(int position, const std::string &time)
{
    LogRecord r;
    r.area = kArea;
    r.position = position;
    r.recordNo = position + 1;
    r.setTime("31/12/09", time);
    r.codes.fill(kEmptySlot);
    return r;
}

enum class Probe { Same, Other, Unreadable };

struct Case {
    const char *name;
    std::vector<int> archived; // positions stored, "08:00:00" each
    std::vector<int> gaps;
    int count; // the analyzer's
    Probe probe;
    // expected
    int probedAt; // -1: no probe
    AreaRange range;
    bool readWhole;
    bool unreadable;
    int64_t skipped;
};

const Case cases[] = {
    {"EmptyArchiveReadsAll", {}, {}, 10, Probe::Same, -1, {0, 10, {}}, false, false, 0},
    {"SameLastRecordReadsTheTail", {0, 1, 2, 3, 4, 5}, {}, 10, Probe::Same, 5, {6, 10, {}}, false, false, 6},
    {"ClearedLogIsReadWhole", {0, 1, 2, 3, 4, 5}, {}, 10, Probe::Other, 5, {0, 10, {}}, true, false, 0},
    {"ShorterLogChecksBelowItsCount",
     {0, 1, 2, 3, 4, 5, 6, 7},
     {},
     4,
     Probe::Same,
     3,
     {4, 4, {}},
     false,
     false,
     4},
    {"ShorterRewrittenLogIsReadWhole",
     {0, 1, 2, 3, 4, 5, 6, 7},
     {},
     4,
     Probe::Other,
     3,
     {0, 4, {}},
     true,
     false,
     0},
    {"GapsBeforeTheTailAreRead",
     {0, 1, 3, 4, 6, 7},
     {2, 5},
     9,
     Probe::Same,
     7,
     {8, 9, {2, 5}},
     false,
     false,
     6},
    {"UnreadableCheckReadsNothing", {0, 1, 2}, {}, 10, Probe::Unreadable, 2, {0, 0, {}}, false, true, 0},
    {"NothingNewReadsNothing", {0, 1, 2}, {}, 3, Probe::Same, 2, {3, 3, {}}, false, false, 3},
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class NewRecords : public ::testing::TestWithParam<Case>
{
  protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("pullrec-newrecords-" + std::to_string(::getpid()) + "-" + GetParam().name);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_P(NewRecords, NarrowsToWhatTheArchiveLacks)
{
    const Case &c = GetParam();
    std::string error;
    std::unique_ptr<Archive> archive = Archive::open("sqlite:" + (dir / "a.db").string(), error);
    ASSERT_TRUE(archive) << error;
    ASSERT_TRUE(archive->saveAnalyzer({"S1", "V", "M", "1.0", 1, 1}));
    std::vector<LogRecord> stored;
    for (const int position : c.archived)
        stored.push_back(logRecord(position, "08:00:00"));
    StoreCounts counts;
    ASSERT_TRUE(archive->store("S1", stored, counts)) << archive->error();
    ASSERT_TRUE(archive->addGaps("S1", kArea, c.gaps)) << archive->error();
    // Another analyzer's records say nothing about this one.
    ASSERT_TRUE(archive->saveAnalyzer({"S2", "V", "M", "1.0", 1, 1}));
    ASSERT_TRUE(archive->store("S2", std::vector{logRecord(c.count + 5, "09:00:00")}, counts));

    AreaRanges ranges{};
    ranges[kArea].last = c.count;
    ranges[kArea + 1].last = 2; // nothing archived there
    std::vector<std::pair<int, int>> probed;
    LogRecord answer;
    const NewRecordsCheck check =
        skipArchivedRecords(*archive, "S1", ranges, [&](int area, int position, std::string &why) {
            probed.emplace_back(area, position);
            answer = logRecord(position, c.probe == Probe::Same ? "08:00:00" : "10:00:00");
            why = "Reply time-out";
            return c.probe == Probe::Unreadable ? nullptr : &answer;
        });

    EXPECT_EQ(ranges[kArea].first, c.range.first);
    EXPECT_EQ(ranges[kArea].last, c.range.last);
    EXPECT_EQ(ranges[kArea].before, c.range.before);
    EXPECT_EQ(ranges[kArea + 1].first, 0);
    EXPECT_EQ(ranges[kArea + 1].last, 2);
    const std::vector<std::pair<int, int>> wantProbe =
        c.probedAt < 0 ? std::vector<std::pair<int, int>>{} : std::vector{std::pair{kArea, c.probedAt}};
    EXPECT_EQ(probed, wantProbe);
    EXPECT_EQ(check.readWhole, c.readWhole ? std::vector{kArea} : std::vector<int>{});
    ASSERT_EQ(check.unreadable.size(), c.unreadable ? 1u : 0u);
    if (c.unreadable) {
        EXPECT_EQ(check.unreadable[0].area, kArea);
        EXPECT_EQ(check.unreadable[0].index, c.probedAt);
        EXPECT_EQ(check.unreadable[0].error, "Reply time-out");
    }
    EXPECT_EQ(check.archived, c.skipped);
}

INSTANTIATE_TEST_SUITE_P(Cases, NewRecords, ::testing::ValuesIn(cases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
