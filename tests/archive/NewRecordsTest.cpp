// Which records a download with "new records only" reads, from what the archive holds and what the
// analyzer answers where it is asked: logs that grow, are cleared, or overwrite their oldest records as
// a ring; and under which key an analyzer's records are kept.

#include "archive/NewRecords.h"
#include "archive/AnalyzerKey.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>

namespace
{

constexpr int kArea = 3;

enum class Clock { Same, Other, None }; // Other: the log was rewritten, its times differ

// The record of the age-th entry the log ever wrote, at position: numbered one after another, a minute
// apart.
LogRecord logRecord(int position, int age, Clock clock = Clock::Same)
{
    LogRecord r;
    r.area = kArea;
    r.position = position;
    r.recordNo = age + 1;
    char time[32];
    std::snprintf(time, sizeof time, "%02d:%02d:00", 8 + (clock == Clock::Other ? 2 : 0) + age / 60,
                  age % 60);
    if (clock == Clock::None)
        r.setTime("-1/-1/-1", "-1:-1:-1");
    else
        r.setTime("31/12/09", time);
    r.codes.fill(kEmptySlot);
    return r;
}

// The ages of a log by position: n records one after another.
std::vector<int> linear(int n)
{
    std::vector<int> ages(size_t(n), 0);
    for (int k = 0; k < n; ++k)
        ages[size_t(k)] = k;
    return ages;
}

// A ring of capacity records that wrote `written`: each position holds the newest it got.
std::vector<int> ring(int capacity, int written)
{
    std::vector<int> ages;
    for (int position = 0; position < std::min(capacity, written); ++position)
        ages.push_back(position + capacity * ((written - 1 - position) / capacity));
    return ages;
}

std::vector<int> with(std::vector<int> ages, int position, int age)
{
    ages[size_t(position)] = age;
    return ages;
}

class ArchiveDir : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = std::filesystem::temp_directory_path() /
              ("pullrec-newrecords-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::create_directories(dir);
        std::string error;
        archive = Archive::open("sqlite:" + (dir / "a.db").string(), error);
        ASSERT_TRUE(archive) << error;
    }
    void TearDown() override
    {
        archive.reset();
        std::filesystem::remove_all(dir);
    }

    // Stores downloads of a log under key, each read in position order; -1: a position not stored.
    void keep(const std::string &key, const std::string &model,
              const std::vector<std::vector<int>> &downloads, Clock clock = Clock::Same)
    {
        ASSERT_TRUE(archive->saveAnalyzer({key, "V", model, "1.0", 1, 1}));
        for (const std::vector<int> &ages : downloads) {
            std::vector<LogRecord> stored;
            for (size_t position = 0; position < ages.size(); ++position)
                if (ages[position] >= 0)
                    stored.push_back(logRecord(int(position), ages[position], clock));
            StoreCounts counts;
            ASSERT_TRUE(archive->store(key, stored, counts)) << archive->error();
        }
    }

    // The new-records rule against an analyzer whose log holds these ages (-1: unreadable there);
    // the positions it asked for.
    std::vector<int> narrow(const std::string &key, const std::vector<int> &now, Clock clock,
                            AreaRange &range, NewRecordsCheck &check)
    {
        AreaRanges ranges{};
        ranges[kArea].last = int(now.size());
        ranges[kArea + 1].last = 2; // nothing archived there
        std::vector<int> probed;
        LogRecord answer;
        check = skipArchivedRecords(*archive, key, ranges, [&](int area, int position, std::string &why) {
            EXPECT_EQ(area, kArea);
            probed.push_back(position);
            why = "Reply time-out";
            if (now.at(size_t(position)) < 0)
                return static_cast<const LogRecord *>(nullptr);
            answer = logRecord(position, now[size_t(position)], clock);
            return static_cast<const LogRecord *>(&answer);
        });
        EXPECT_EQ(ranges[kArea + 1].first, 0);
        EXPECT_EQ(ranges[kArea + 1].last, 2);
        range = ranges[kArea];
        return probed;
    }

    std::filesystem::path dir;
    std::unique_ptr<Archive> archive;
};

struct Case {
    const char *name;
    std::vector<std::vector<int>> downloads; // archived, in this order
    std::vector<int> gaps;
    std::vector<int> now; // the analyzer's log
    Clock clock;          // of the analyzer's records; the archived ones keep Same unless None
    // expected
    int first;
    std::vector<int> before;
    bool readWhole;
    bool unreadable;
    int64_t archived;
    size_t probes; // record requests: one check, then the two runs of the ring, each searched apart
};

const Case cases[] = {
    {"EmptyArchiveReadsAll", {}, {}, linear(10), Clock::Same, 0, {}, false, false, 0, 0},
    {"SameLastRecordReadsTheTail", {linear(6)}, {}, linear(10), Clock::Same, 6, {}, false, false, 6, 2},
    {"ClearedLogIsReadWhole", {linear(6)}, {}, linear(10), Clock::Other, 0, {}, true, false, 0, 1},
    {"ShorterLogChecksBelowItsCount", {linear(8)}, {}, linear(4), Clock::Same, 4, {}, false, false, 4, 2},
    {"ShorterRewrittenLogIsReadWhole", {linear(8)}, {}, linear(4), Clock::Other, 0, {}, true, false, 0, 1},
    {"GapsBeforeTheTailAreRead",
     {{0, 1, -1, 3, 4, -1, 6, 7}},
     {2, 5},
     linear(9),
     Clock::Same,
     8,
     {2, 5},
     false,
     false,
     6,
     2},
    {"UnreadableCheckReadsNothing",
     {linear(3)},
     {},
     with(linear(10), 2, -1),
     Clock::Same,
     0,
     {},
     false,
     true,
     0,
     1},
    {"NothingNewReadsNothing", {linear(3)}, {}, linear(3), Clock::Same, 3, {}, false, false, 3, 2},
    // A full ring: the count stays, the newest records overwrite positions 0, 1, 2.
    {"RingOverwritesPositionZero",
     {linear(10)},
     {},
     ring(10, 13),
     Clock::Same,
     10,
     {0, 1, 2},
     false,
     false,
     7,
     5},
    // The archive holds the first wrap; the ring went on from position 3.
    {"RingGoesOnAfterTheArchivedWrap",
     {linear(10), ring(10, 13)},
     {},
     ring(10, 17),
     Clock::Same,
     10,
     {3, 4, 5, 6},
     false,
     false,
     6,
     6},
    // On from position 7 over the end to position 1: the highest archived position was overwritten.
    {"RingGoesOnOverItsEnd",
     {linear(10), ring(10, 17)},
     {},
     ring(10, 22),
     Clock::Same,
     7,
     {0, 1},
     false,
     false,
     5,
     7},
    // The ring wrote past the newest archived record: all of it is new.
    {"RingOverwroteEverything", {linear(10)}, {}, ring(10, 25), Clock::Same, 0, {}, true, false, 0, 1},
    // The first download found it wrapped already: its newest record sat at position 3.
    {"RingArchivedWrapped", {ring(10, 14)}, {}, ring(10, 16), Clock::Same, 10, {4, 5}, false, false, 8, 6},
    // Without clocks the newest archived record is the one at the highest position.
    {"RingWithoutClocks", {linear(10)}, {}, ring(10, 12), Clock::None, 10, {0, 1}, false, false, 8, 6},
    // A gap the ring has not reached is older than the newest archived record: read as a gap.
    {"GapInAnOlderPartOfTheRing",
     {with(linear(10), 6, -1)},
     {6},
     ring(10, 12),
     Clock::Same,
     10,
     {0, 1, 6},
     false,
     false,
     7,
     6},
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class NewRecords : public ArchiveDir, public ::testing::WithParamInterface<Case>
{
};

TEST_P(NewRecords, NarrowsToWhatTheArchiveLacks)
{
    const Case &c = GetParam();
    keep("S1", "M", c.downloads, c.clock == Clock::None ? Clock::None : Clock::Same);
    ASSERT_TRUE(archive->addGaps("S1", kArea, c.gaps)) << archive->error();
    // Another analyzer's records say nothing about this one.
    keep("S2", "M", {linear(int(c.now.size()) + 5)}, Clock::Other);

    AreaRange range;
    NewRecordsCheck check;
    const std::vector<int> probed = narrow("S1", c.now, c.clock, range, check);

    EXPECT_EQ(range.first, c.first);
    EXPECT_EQ(range.last, c.unreadable ? 0 : int(c.now.size()));
    EXPECT_EQ(range.before, c.before);
    EXPECT_EQ(probed.size(), c.probes) << ::testing::PrintToString(probed);
    EXPECT_EQ(check.readWhole, c.readWhole ? std::vector{kArea} : std::vector<int>{});
    ASSERT_EQ(check.unreadable.size(), c.unreadable ? 1u : 0u);
    if (c.unreadable) {
        EXPECT_EQ(check.unreadable[0].area, kArea);
        EXPECT_EQ(check.unreadable[0].index, probed.front());
        EXPECT_EQ(check.unreadable[0].error, "Reply time-out");
    }
    EXPECT_EQ(check.archived, c.archived);
}

INSTANTIATE_TEST_SUITE_P(Cases, NewRecords, ::testing::ValuesIn(cases),
                         [](const auto &info) { return std::string(info.param.name); });

// Whose records an analyzer is checked against: the key the window and the command line keep it under.
struct KeyCase {
    const char *name;
    std::string serial, model, link;
    // what the archive keeps: key, model, records of its own (times apart from the others')
    std::vector<std::tuple<std::string, std::string, int>> kept;
    // expected
    std::string key;
    int first; // of the analyzer's 8 records
};

const std::string kLink = "tcp 127.0.0.1:1502 unit 1";

const KeyCase keyCases[] = {
    {"SerialIsTheKey", "S1", "M", kLink, {}, "S1", 0},
    {"SerialOfTheSameModel", "S1", "M", kLink, {{"S1", "M", 6}}, "S1", 6},
    // Two analyzers with one serial are kept apart: "new records only" reads the tail, not the whole
    // log each time.
    {"SerialSharedByTwoModels", "S1", "M2", kLink, {{"S1", "M", 8}, {"S1 (M2)", "M2", 5}}, "S1 (M2)", 5},
    {"ModelNotKnownBeforeIsNoOther", "S1", "M", kLink, {{"S1", "", 6}}, "S1", 6},
    // An analyzer kept under an empty serial by an older version is none of these.
    {"NoSerialKeptByItsLink", "", "M", kLink, {{"", "M", 8}, {kLink, "M", 3}}, kLink, 3},
    {"NoSerialOnALinkOfAnotherModel", "", "M2", kLink, {{kLink, "M", 8}}, kLink + " (M2)", 0},
};

void PrintTo(const KeyCase &c, std::ostream *os)
{
    *os << c.name;
}

class AnalyzerKeys : public ArchiveDir, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(AnalyzerKeys, KeepEachAnalyzerApart)
{
    const KeyCase &c = GetParam();
    for (const auto &[key, model, records] : c.kept)
        keep(key, model, {linear(records)}, key == c.key ? Clock::Same : Clock::Other);

    const std::string key = analyzerKey(*archive, c.serial, c.model, c.link);
    EXPECT_EQ(key, c.key);
    AreaRange range;
    NewRecordsCheck check;
    narrow(key, linear(8), Clock::Same, range, check);
    EXPECT_EQ(range.first, c.first);
    EXPECT_TRUE(check.readWhole.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, AnalyzerKeys, ::testing::ValuesIn(keyCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace
{

// A ring overwritten after its clock went back (set back, or the repeated hour at the end of summer
// time) or stopped (a flat battery): a record other than the one archived at its position is new,
// whatever its clock says.
TEST_F(ArchiveDir, RingOverwrittenAfterTheClockWentBackOrStopped)
{
    const auto narrowed = [this](std::vector<LogRecord> &now) {
        AreaRanges ranges{};
        ranges[kArea].last = int(now.size());
        skipArchivedRecords(*archive, "S1", ranges,
                            [&](int, int position, std::string &) { return &now[size_t(position)]; });
        return ranges[kArea].before;
    };
    keep("S1", "M", {linear(10)}); // 08:00 .. 08:09
    for (const std::vector<const char *> &times :
         {std::vector<const char *>{"07:10:00", "07:11:00", "07:12:00"},
          {"07:30:00", "08:20:00", "08:21:00"}}) {
        std::vector<LogRecord> now;
        for (int p = 0; p < 10; ++p)
            now.push_back(logRecord(p, p));
        for (int p = 0; p < 3; ++p) {
            now[size_t(p)].recordNo = 11 + p;
            now[size_t(p)].setTime("31/12/09", times[size_t(p)]);
        }
        EXPECT_EQ(narrowed(now), (std::vector<int>{0, 1, 2})) << times[0];
    }

    ASSERT_TRUE(archive->saveAnalyzer({"S2", "V", "M", "1.0", 1, 1}));
    std::vector<LogRecord> lost;
    for (int p = 0; p < 10; ++p)
        lost.push_back(logRecord(p, p, p >= 7 ? Clock::None : Clock::Same));
    StoreCounts counts;
    ASSERT_TRUE(archive->store("S2", lost, counts)) << archive->error();
    for (int p = 0; p < 2; ++p)
        lost[size_t(p)] = logRecord(p, 10 + p, Clock::None);
    AreaRanges ranges{};
    ranges[kArea].last = 10;
    skipArchivedRecords(*archive, "S2", ranges,
                        [&](int, int position, std::string &) { return &lost[size_t(position)]; });
    EXPECT_EQ(ranges[kArea].before, (std::vector<int>{0, 1}));
}

} // namespace

namespace
{

// An older archive without the list of records given up, read by a user who may not add it: a record
// given up before cannot be ruled out, so the area is read whole and the reason said.
TEST_F(ArchiveDir, AreaWhoseGapsCannotBeReadIsReadWhole)
{
    keep("S1", "M", {with(linear(10), 4, -1)});
    archive.reset();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "a.db").string().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DROP TABLE missing_record", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    std::string error;
    archive = Archive::open("sqlite:" + (dir / "a.db").string(), error, ArchiveAccess::Read);
    ASSERT_TRUE(archive) << error;

    std::vector<LogRecord> now;
    for (int p = 0; p < 12; ++p)
        now.push_back(logRecord(p, p));
    AreaRanges ranges{};
    ranges[kArea].last = 12;
    const NewRecordsCheck check = skipArchivedRecords(
        *archive, "S1", ranges, [&](int, int position, std::string &) { return &now[size_t(position)]; });
    ASSERT_EQ(check.gapsUnread.size(), 1u);
    EXPECT_EQ(check.gapsUnread[0].area, kArea);
    EXPECT_NE(check.gapsUnread[0].error.find("keeps no list of records given up"), std::string::npos)
        << check.gapsUnread[0].error;
    EXPECT_EQ(ranges[kArea].first, 0);
    EXPECT_EQ(ranges[kArea].last, 12);
    EXPECT_EQ(check.archived, 0);
}

} // namespace
