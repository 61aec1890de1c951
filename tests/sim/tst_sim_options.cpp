// The option parser in-process: what each command line sets, and the one line that refuses it.
#include "Options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{

std::string parse(std::vector<std::string> args, SimOptions &options)
{
    args.insert(args.begin(), "ktr58-sim");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    return parseOptions(static_cast<int>(argv.size()), argv.data(), options);
}

std::string joined(const std::vector<std::string> &args)
{
    std::string text;
    for (const std::string &a : args)
        text += "'" + a + "' ";
    return text;
}

TEST(SimOptions, AcceptedCommandLinesSetWhatTheySay)
{
    using O = const SimOptions &;
    const std::array<uint16_t, 16> signedCounts = {0x8000, 0xFFFF, 0, 0, 0, 0, 0, 0,
                                                   0,      0,      0, 0, 0, 0, 0, 32767};
    const std::set<std::pair<int, int>> twoMissing = {{3, 4}, {15, 65535}};
    const struct {
        std::vector<std::string> args;
        std::function<bool(O)> holds;
    } cases[] = {
        // Decimal always: a leading zero is not octal.
        {{"--unit", "010"}, [](O o) { return o.unit == 10; }},
        {{"--delay", "010", "--grow", "08"}, [](O o) { return o.delayMs == 10 && o.growMs == 8; }},
        {{"--ring", "50", "--grow-reads", "3"}, [](O o) { return o.ring == 50 && o.growReads == 3; }},
        {{"--serial", ""}, [](O o) { return o.serial == ""; }},
        // A value option takes the next argument whatever it looks like.
        {{"--model", "--x"}, [](O o) { return o.model == "--x"; }},
        {{"--model", "-v"}, [](O o) { return o.model == "-v" && !o.verbose; }},
        {{"--records", "-32768,-1,0,0,0,0,0,0,0,0,0,0,0,0,0,32767"},
         [&](O o) { return o.records == signedCounts; }},
        // Repeated: the last one counts, --missing adds up.
        {{"--baud", "9600", "--baud", "19200"}, [](O o) { return o.baud == 19200; }},
        {{"--missing", "3:4", "--missing", "15:65535"}, [&](O o) { return o.missing == twoMissing; }},
        {{"--units", "6,3"},
         [](O o) {
             return o.unit == 6 && o.units == std::vector<int>{6, 3};
         }},
        {{"--tcp", "localhost:0"}, [](O o) { return o.tcpHost == "127.0.0.1" && o.tcpPort == 0; }},
        {{"--pty", "/tmp/x", "--pace"},
         [](O o) { return o.transport == SimOptions::Transport::Pty && o.pace; }},
        {{"--print-record", "15", "0", "-v", "-h"},
         [](O o) { return o.printRecord && o.printArea == 15 && o.printIndex == 0 && o.verbose && o.help; }},
    };
    for (const auto &c : cases) {
        SimOptions options;
        EXPECT_EQ(parse(c.args, options), "") << joined(c.args);
        EXPECT_TRUE(c.holds(options)) << joined(c.args);
    }
}

TEST(SimOptions, RefusedCommandLinesSayWhy)
{
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"--bogus", "1"}, "unknown option --bogus"},
        {{"--", "--pace"}, "unknown option --"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--missing", "3:4", "5:6"}, "unexpected argument '5:6'"},
        {{"--unit"}, "missing value for --unit"},
        {{"--pace", "--log"}, "missing value for --log"},
        {{"--unit", "--pace"}, "bad value for --unit: '--pace'"},
        {{"--model", ""}, "bad value for --model: ''"},
        {{"--ring", "0"}, "bad value for --ring: '0'"},
        {{"--ring", "32768"}, "bad value for --ring: '32768'"},
        // Every occurrence is checked, not only the one that counts.
        {{"--baud", "12345", "--baud", "9600"}, "bad value for --baud: '12345'"},
        {{"--print-record"}, "--print-record needs AREA and INDEX"},
        {{"--print-record", "1"}, "--print-record needs AREA and INDEX"},
        {{"--print-record", "16", "0"}, "bad record for --print-record: '16 0'"},
        {{"--tcp", "127.0.0.1:0", "--tcp", "127.0.0.1:1"}, "give only one of --tcp, --rtu and --pty"},
        {{"--unit", "2", "--unit", "3"}, "give only one of --unit and --units"},
        {{"--pace"}, "--pace needs --rtu or --pty"},
        {{"--tcp", "192.0.2.1:1502"},
         "--tcp 192.0.2.1 is not a loopback address; add --any-address to serve it"},
        {{"--id-length", "40"}, "--id-length 40 is too short for the identity texts (at least 55)"},
        {{"--help", "--unit", "0"}, "bad value for --unit: '0'"},
    };
    for (const auto &c : cases) {
        SimOptions options;
        EXPECT_EQ(parse(c.args, options), c.error) << joined(c.args);
    }
}

} // namespace
