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
    const std::array<uint16_t, 16> signedCounts = {0x8000, 0xFFFF, 0, 0, 0, 0, 0, 0,
                                                   0,      0,      0, 0, 0, 0, 0, 32767};
    const struct {
        std::vector<std::string> args;
        std::function<bool(const SimOptions &)> holds;
    } cases[] = {
        {{},
         [](const SimOptions &o) { return o.unit == 1 && o.units == std::vector<int>{1} && o.baud == 9600; }},
        // Decimal always: a leading zero is not octal.
        {{"--unit", "010"}, [](const SimOptions &o) { return o.unit == 10; }},
        {{"--delay", "010", "--grow", "08"},
         [](const SimOptions &o) { return o.delayMs == 10 && o.growMs == 8; }},
        {{"--seed", "9223372036854775807"},
         [](const SimOptions &o) { return o.seed == 9223372036854775807ULL; }},
        // A value option takes the next argument whatever it looks like.
        {{"--model", "--x"}, [](const SimOptions &o) { return o.model == "--x"; }},
        {{"--model", "-v"}, [](const SimOptions &o) { return o.model == "-v" && !o.verbose; }},
        {{"--records", "-32768,-1,0,0,0,0,0,0,0,0,0,0,0,0,0,32767"},
         [&](const SimOptions &o) { return o.records == signedCounts; }},
        {{"--numbering", "circular:5"},
         [](const SimOptions &o) {
             return o.numbering.kind == Numbering::Kind::Circular && o.numbering.value == 5;
         }},
        {{"--numbering", "descending"},
         [](const SimOptions &o) { return o.numbering.kind == Numbering::Kind::Descending; }},
        // Repeated: the last one counts, --missing adds up.
        {{"--baud", "9600", "--baud", "19200"}, [](const SimOptions &o) { return o.baud == 19200; }},
        {{"--missing", "3:4", "--missing", "15:65535"},
         [](const SimOptions &o) {
             return o.missing == std::set<std::pair<int, int>>{{3, 4}, {15, 65535}};
         }},
        {{"--units", "6,3"},
         [](const SimOptions &o) {
             return o.unit == 6 && o.units == std::vector<int>{6, 3};
         }},
        {{"--tcp", "localhost:0"},
         [](const SimOptions &o) { return o.tcpHost == "127.0.0.1" && o.tcpPort == 0; }},
        {{"--tcp", "192.0.2.1:1502", "--any-address"},
         [](const SimOptions &o) { return o.tcpHost == "192.0.2.1"; }},
        {{"--pty", "/tmp/x", "--pace", "--baud", "38400"},
         [](const SimOptions &o) {
             return o.transport == SimOptions::Transport::Pty && o.serialPath == "/tmp/x" && o.pace;
         }},
        {{"--drop", "1", "--corrupt", "1e-3", "--wrong-unit", "0"},
         [](const SimOptions &o) { return o.drop == 1 && o.corrupt == 1e-3 && o.wrongUnit == 0; }},
        {{"--print-record", "15", "0", "-v", "-h"},
         [](const SimOptions &o) {
             return o.printRecord && o.printArea == 15 && o.printIndex == 0 && o.verbose && o.help;
         }},
        {{"--model", "KTR-58-167", "--id-length", "117"},
         [](const SimOptions &o) { return o.idLength == 117; }},
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
        {{"--unit", "0"}, "bad value for --unit: '0'"},
        // Every occurrence is checked, not only the one that counts.
        {{"--baud", "12345", "--baud", "9600"}, "bad value for --baud: '12345'"},
        {{"--seed", "9223372036854775808"}, "bad value for --seed: '9223372036854775808'"},
        {{"--records", "32768,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"},
         "bad value for --records: '32768,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0'"},
        {{"--numbering", "descending:1"}, "bad value for --numbering: 'descending:1'"},
        {{"--drop", "nan"}, "bad value for --drop: 'nan'"},
        {{"--model", ""}, "bad value for --model: ''"},
        {{"--rtu", ""}, "bad value for --rtu: ''"},
        {{"--print-record"}, "--print-record needs AREA and INDEX"},
        {{"--print-record", "1"}, "--print-record needs AREA and INDEX"},
        {{"--print-record", "16", "0"}, "bad record for --print-record: '16 0'"},
        {{"--tcp", "127.0.0.1:0", "--tcp", "127.0.0.1:1"}, "give only one of --tcp, --rtu and --pty"},
        {{"--pty", "/tmp/a", "--rtu", "/dev/b"}, "give only one of --tcp, --rtu and --pty"},
        {{"--unit", "2", "--unit", "3"}, "give only one of --unit and --units"},
        {{"--units", "2,3", "--unit", "3"}, "give only one of --unit and --units"},
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
