// pullrec-cli as a script sees it: exit statuses, failing records, and the record order when records
// arrive in later passes.
#include "RawCountAnalyzer.h"
#include "SimProcess.h"
#include "cli/Connection.h"
#include "cli/Fleet.h"

#include <CLI/CLI.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>

#include <unistd.h>

namespace
{

std::string cliBinary()
{
    return SimProcess::binary().substr(0, SimProcess::binary().rfind('/') + 1) + "pullrec-cli";
}

ProgramRun cli(std::vector<std::string> args, const SimProcess &sim, int limitMs = 60000)
{
    if (sim.tcpPort() > 0)
        args.insert(args.end(), {"--tcp", "127.0.0.1:" + std::to_string(sim.tcpPort())});
    else
        args.insert(args.end(), {"--rtu", sim.ptyPath()});
    return runProgram(cliBinary(), args, limitMs);
}

const std::vector<std::string> kRecords{"--records", "9,0,3,0,0,0,0,0,0,0,0,0,0,0,0,2"};

TEST(CliExit, UsageErrorsExitOne)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"bogus"},
        {"info"}, // no connection
        {"info", "--tcp", "127.0.0.1:1", "--rtu", "/dev/null"},
        {"info", "--tcp", "127.0.0.1:70000"},
        {"info", "--tcp", "127.0.0.1", "--unit", "0"},
        {"info", "--tcp", "127.0.0.1", "--unit", "248"},
        {"info", "--tcp", "127.0.0.1", "--retries", "11"},
        {"download", "--tcp", "127.0.0.1", "--sectors", "0"},
        {"download", "--tcp", "127.0.0.1", "--sectors", "3-1"},
        {"download", "--tcp", "127.0.0.1", "--sectors", "1,16"},
        {"download", "--tcp", "127.0.0.1", "--sectors", "1", "--energy"},
        {"download", "--tcp", "127.0.0.1", "--format", "xml"},
        {"download", "--tcp", "127.0.0.1", "--lang", "de"},
        {"download", "--tcp", "127.0.0.1", "--passes", "0"},
        {"download", "--tcp", "127.0.0.1", "--tz", "Europe/Berln"},
        {"download", "--tcp", "127.0.0.1", "--tz", "Foo"}, // a POSIX rule to Qt, no zone's name
        {"export", "--format", "csv", "--tz", "../../etc/passwd"},
        // Locations that name no archive, for each command that takes one.
        {"download", "--tcp", "127.0.0.1:1", "--archive", "sqlite:"},
        {"download", "--tcp", "127.0.0.1:1", "--new-only", "--archive", "sqlite::memory:"},
        {"export", "--archive", "sqlite:"},
        {"report", "--archive", "sqlite:", "--analyzer", "1", "--month", "2026-03"},
        {"export", "--archive", "mysql://127.0.0.1/x"},
    };
    for (const auto &args : bad) {
        const ProgramRun r = runProgram(cliBinary(), args);
        EXPECT_EQ(r.exitCode, 1) << (args.empty() ? "(nothing)" : args.back()) << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    // A fleet file's zone is checked as the option is, and named.
    const std::string fleet = ::testing::TempDir() + "pullrec-fleet-tz.ini";
    std::ofstream(fleet) << "[a]\ntcp = 127.0.0.1:1\ntz = Mars/Base\n";
    const ProgramRun r = runProgram(cliBinary(), {"collect", "--fleet", fleet, "--archive",
                                                  "sqlite:" + ::testing::TempDir() + "pullrec-tz.db"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("Mars/Base"), std::string::npos) << r.err;
    std::remove(fleet.c_str());
    for (const char *command : {"info", "download"}) {
        const ProgramRun help = runProgram(cliBinary(), {command, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(
            help.out.find("Exit status: 0 complete, 1 usage error, 2 no link or no analyzer, 3 incomplete"),
            std::string::npos)
            << help.out;
    }
}

// Every integer option and fleet key reads base 10 whatever its leading zeros; anything else is a usage
// error naming the option. The connection options and fleet keys are read in-process for their values;
// the commands' own options by their exit status.
TEST(CliExit, IntegerOptionsAreDecimal)
{
    struct Case {
        std::vector<std::string> command; // empty: the connection options; {"fleet"}: a fleet file's key
        std::string option;
        std::string text;
        std::optional<int> value; // none: a usage error naming the option
    };
    const std::string fleet = ::testing::TempDir() + "pullrec-fleet-int.ini";
    std::ofstream(fleet) << "[a]\ntcp = 127.0.0.1:1\ntimeout = 100\n";
    const std::vector<std::string> download = {"download", "--tcp", "127.0.0.1:1", "--timeout", "100"};
    const std::string archive = "sqlite:" + ::testing::TempDir() + "pullrec-int.db";
    const std::vector<std::string> collect = {"collect", "--fleet", fleet, "--archive", archive};
    const std::vector<std::string> exportAll = {"export", "--archive", archive, "--format", "csv"};
    const std::vector<std::string> report = {"report", "--archive", archive,  "--analyzer",
                                             "1",      "--month",   "2026-03"};
    const std::vector<Case> cases = {
        {{}, "--unit", "010", 10},
        {{}, "--unit", "0x10", {}},
        {{}, "--unit", "1e3", {}},
        {{}, "--unit", "-0", {}}, // 0, out of range
        {{}, "--unit", "+5", 5},
        {{}, "--unit", "", {}},
        {{}, "--unit", "4294967297", {}},
        {{}, "--timeout", "010", 10},
        {{}, "--timeout", "1e3", {}},
        {{}, "--retries", "-0", 0},
        {{}, "--retries", "08", 8},
        {{}, "--poll-delay", "0010", 10},
        {{}, "--poll-delay", "4294967297", {}},
        {{}, "--baud", "09600", 9600},
        {{}, "--baud", "0x2580", {}},
        {{"fleet"}, "unit", "010", 10},
        {{"fleet"}, "retries", "+5", 5},
        {{"fleet"}, "baud", "019200", 19200},
        {{"fleet"}, "poll-delay", "0x10", {}},
        // Each command's own options: "09" is refused by a reader that takes a leading zero as octal.
        {download, "--passes", "09", 9},
        {collect, "--jobs", "09", 9},
        {exportAll, "--area", "09", 9},
        {report, "--billing-day", "09", 9},
    };
    const std::map<std::string, int ConnectionOptions::*> fields = {
        {"unit", &ConnectionOptions::unit},
        {"timeout", &ConnectionOptions::timeout},
        {"retries", &ConnectionOptions::retries},
        {"poll-delay", &ConnectionOptions::pollDelay},
        {"baud", &ConnectionOptions::baud}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.option + " " + c.text);
        const std::string name = c.option.substr(c.option.find_first_not_of('-'));
        if (c.command.empty()) {
            CLI::App app;
            ConnectionOptions o;
            addConnectionOptions(app, o);
            try {
                app.parse(std::vector<std::string>{c.text, c.option}); // CLI11 takes them last first
                EXPECT_EQ(o.*fields.at(name), c.value);
            } catch (const CLI::ParseError &e) {
                EXPECT_FALSE(c.value) << e.what();
                EXPECT_NE(std::string(e.what()).find(c.option), std::string::npos) << e.what();
            }
        } else if (c.command.front() == "fleet") {
            const std::string file = ::testing::TempDir() + "pullrec-fleet-key.ini";
            std::ofstream(file) << "[a]\ntcp = 127.0.0.1:1\n" << name << " = " << c.text << "\n";
            std::vector<FleetAnalyzer> analyzers;
            std::string error;
            const bool read = readFleet(file, analyzers, error);
            EXPECT_EQ(read, c.value.has_value()) << error;
            if (read)
                EXPECT_EQ(analyzers.front().connection.*fields.at(name), c.value);
            else
                EXPECT_NE(error.find(name), std::string::npos) << error;
            std::remove(file.c_str());
        } else {
            std::vector<std::string> args = c.command;
            args.insert(args.end(), {c.option, c.text});
            const ProgramRun r = runProgram(cliBinary(), args, 30000);
            // Taken, the command goes on to fail for want of a link or an analyzer, or to succeed.
            if (c.value) {
                EXPECT_NE(r.exitCode, 1) << r.err;
            } else {
                EXPECT_EQ(r.exitCode, 1) << r.err;
                EXPECT_NE(r.err.find(c.option), std::string::npos) << r.err;
            }
        }
    }
    std::remove(fleet.c_str());
}

TEST(CliExit, NoLinkOrNoAnalyzerExitsTwo)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp(kRecords)) << sim.error();
    const std::string port = "127.0.0.1:" + std::to_string(sim.tcpPort());
    // Another unit address: the link opens, nobody answers.
    ProgramRun r = runProgram(cliBinary(), {"info", "--tcp", port, "--unit", "9", "--timeout", "100"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("no analyzer answers"), std::string::npos) << r.err;
    sim.stop();
    r = runProgram(cliBinary(), {"download", "--tcp", port, "--timeout", "100"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_TRUE(r.out.empty());
    r = runProgram(cliBinary(), {"info", "--rtu", "/nonexistent/tty", "--timeout", "100"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
}

TEST(CliExit, UnreadableRecordsAreNamedAndExitThree)
{
    for (bool tcp : {true, false}) {
        SimProcess sim;
        std::vector<std::string> args = kRecords;
        args.insert(args.end(), {"--missing", "0:4", "--missing", "15:1"});
        ASSERT_TRUE(tcp ? sim.startTcp(args) : sim.startPty(args)) << sim.error();
        const ProgramRun r =
            cli({"download", "--all", "--passes", "2", "--format", "jsonl", "--verbose"}, sim);
        EXPECT_EQ(r.exitCode, 3) << r.err;
        // The two missing records, refused twice each, and nothing lost on the way.
        std::smatch counts;
        ASSERT_TRUE(
            std::regex_search(r.err, counts,
                              std::regex("requests (\\d+), replies (\\d+), time-outs 0, CRC errors 0, "
                                         "retries 0, reconnects 0, exception 2 4, reply time median")))
            << r.err;
        EXPECT_EQ(counts[1], counts[2]);
        EXPECT_NE(
            r.err.find("record 00-0004 (sector 1, record 4) unreadable after 2 passes: Illegal Data Address"),
            std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("record 0F-0001 (energy log, record 1)"), std::string::npos) << r.err;
        // Everything else is there, once each, in order.
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 9 + 3 + 2 - 2);
        EXPECT_LT(r.out.find("\"area\":1,\"record\":4,"), r.out.find("\"area\":1,\"record\":6,"));
        EXPECT_EQ(r.out.find("\"area\":1,\"record\":5,"), std::string::npos);
    }
}

TEST(CliDownload, RecordsReadInLaterPassesKeepTheirPlace)
{
    // Seed 2 lets the identity and configuration through and drops 4 of the 12 records in the first pass.
    std::vector<std::string> args = kRecords;
    args.insert(args.end(), {"--seed", "2"});
    SimProcess clean, lossy;
    ASSERT_TRUE(clean.startTcp(args)) << clean.error();
    args.insert(args.end(), {"--drop", "0.3"});
    ASSERT_TRUE(lossy.startTcp(args)) << lossy.error();

    const std::vector<std::string> download{"download", "--sectors", "1,3", "--format", "csv"};
    const ProgramRun expected = cli(download, clean);
    ASSERT_EQ(expected.exitCode, 0) << expected.err;
    std::vector<std::string> withRetries = download;
    withRetries.insert(withRetries.end(), {"--retries", "0", "--timeout", "100", "--passes", "20"});
    const ProgramRun r = cli(withRetries, lossy);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected.out);
    EXPECT_TRUE(r.err.empty()) << "no progress when stderr is no terminal: " << r.err;
}

TEST(CliDownload, ProgressOnlyOnATerminalAndNotWhenQuiet)
{
    SimProcess sim;
    ASSERT_TRUE(sim.startTcp(kRecords)) << sim.error();
    // script(1) gives the program a terminal and copies what it writes there to its own output.
    auto onTerminal = [&sim](const std::string &extra) {
        const std::string command = cliBinary() + " download --sectors 1 -o /dev/null --tcp 127.0.0.1:" +
                                    std::to_string(sim.tcpPort()) + extra;
        return runProgram("script", {"-qec", command, "/dev/null"});
    };
    const ProgramRun shown = onTerminal("");
    ASSERT_EQ(shown.exitCode, 0) << shown.out;
    EXPECT_NE(shown.out.find("sector 1  9/9 records  "), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find(" records/s  0:00 left"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.substr(shown.out.size() - 4), "\r\033[K") << "the line is cleared at the end";
    const ProgramRun quiet = onTerminal(" --quiet");
    ASSERT_EQ(quiet.exitCode, 0) << quiet.out;
    EXPECT_TRUE(quiet.out.empty()) << quiet.out;
}

// The record numbers of a jsonl download, in order, and the requests the link counted.
struct Numbered {
    std::vector<int> numbers;
    int requests = -1;
};

Numbered numbered(const ProgramRun &r)
{
    Numbered n;
    const std::regex record("\"record\":(-?\\d+),");
    for (std::sregex_iterator it(r.out.begin(), r.out.end(), record), end; it != end; ++it)
        n.numbers.push_back(std::stoi((*it)[1]));
    std::smatch requests;
    if (std::regex_search(r.err, requests, std::regex("requests (\\d+),")))
        n.requests = std::stoi(requests[1]);
    return n;
}

TEST(CliDownload, NumberingsAreWrittenAsSentInOnePass)
{
    const std::vector<std::string> download{"download", "--sectors", "1",     "--passes",
                                            "1",        "--format",  "jsonl", "--verbose"};
    SimProcess plainSim;
    ASSERT_TRUE(plainSim.startTcp(kRecords)) << plainSim.error();
    const Numbered plain = numbered(cli(download, plainSim));
    ASSERT_EQ(plain.numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    struct Case {
        const char *numbering;
        std::vector<int> numbers;
        int extraRequests; // beyond a plainly numbered log's
    };
    for (const Case &c : {Case{"circular:4", {6, 7, 8, 9, 1, 2, 3, 4, 5}, 1},
                          Case{"descending", {9, 8, 7, 6, 5, 4, 3, 2, 1}, 0}}) {
        SCOPED_TRACE(c.numbering);
        std::vector<std::string> args = kRecords;
        args.insert(args.end(), {"--numbering", c.numbering});
        SimProcess sim;
        ASSERT_TRUE(sim.startTcp(args)) << sim.error();
        const ProgramRun r = cli(download, sim);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const Numbered n = numbered(r);
        EXPECT_EQ(n.numbers, c.numbers);
        EXPECT_EQ(n.requests, plain.requests + c.extraRequests) << r.err;
    }
}

TEST(CliDownload, NegativeCountIsNamedAndIncomplete)
{
    // Sector 2 reports 33536 records, which the signed register gives as -32000.
    RawCountAnalyzer analyzer({3, 33536, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2});
    const std::string tcp = "127.0.0.1:" + std::to_string(analyzer.port());
    const std::string note = "sector 2: the analyzer reports -32000 records; nothing read";
    struct Case {
        std::vector<std::string> areas;
        int exitCode;
        size_t records;
        bool noted;
    };
    for (const Case &c : {Case{{"--sectors", "1-2"}, 3, 3, true}, Case{{"--all"}, 3, 5, true},
                          Case{{"--sectors", "1"}, 0, 3, false}}) {
        SCOPED_TRACE(c.areas.back());
        std::vector<std::string> args{"download", "--tcp", tcp, "--format", "jsonl", "--timeout", "300"};
        args.insert(args.end(), c.areas.begin(), c.areas.end());
        const ProgramRun r = runProgram(cliBinary(), args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(size_t(std::count(r.out.begin(), r.out.end(), '\n')), c.records);
        EXPECT_EQ(r.err.find(note) != std::string::npos, c.noted) << r.err;
    }
    // collect counts the analyzer incomplete and says why on its line.
    const std::string files = testing::TempDir() + "negative-count-" + std::to_string(::getpid());
    std::ofstream(files + ".ini") << "[meter]\ntcp = " << tcp << "\nsectors = 1-2\n";
    const ProgramRun collected = runProgram(
        cliBinary(), {"collect", "--fleet", files + ".ini", "--archive", "sqlite:" + files + ".db"});
    std::filesystem::remove(files + ".ini");
    std::filesystem::remove(files + ".db");
    EXPECT_EQ(collected.exitCode, 3) << collected.out << collected.err;
    EXPECT_NE(collected.out.find(", 3 new, 0 already archived, 0 failed"), std::string::npos)
        << collected.out;
    EXPECT_NE(collected.out.find("; " + note), std::string::npos) << collected.out;
}

} // namespace
