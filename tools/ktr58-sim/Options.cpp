#include "Options.h"

#include "Identity.h"

#include <CLI/CLI.hpp>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

const char *const usageText =
    "usage: ktr58-sim [--tcp HOST:PORT [--any-address]] [--rtu DEVICE] [--pty LINK] [--baud N] [--pace] "
    "[--unit N] "
    "[--model TEXT] [--serial TEXT] [--id-length N] [--records N0,...,N15] [--numbering KIND] [--seed S] "
    "[--drop P] "
    "[--corrupt P] "
    "[--delay MS] [--wrong-unit P] [--missing AREA:INDEX]... [--no-clock AREA:INDEX]... [--close-every N] "
    "[--units N,M,...] "
    "[--grow MS] [--grow-reads N] [--ring N] [--energy-period MIN] [--counter-reset INDEX] [--print-record "
    "AREA INDEX] [-v] [--log FILE]";

const char *const helpText =
    "ktr58-sim: a KTR-58 network analyzer as a Modbus slave, for tests and demonstrations.\n"
    "\n"
    "  --tcp HOST:PORT        serve Modbus TCP there (default 127.0.0.1:1502; port 0: any free port)\n"
    "  --any-address          allow a --tcp address that is not a loopback address\n"
    "  --rtu DEVICE           serve Modbus RTU on this serial device\n"
    "  --pty LINK             serve Modbus RTU on a new pseudo-terminal, LINK a symbolic link to it\n"
    "  --baud N               baud rate of --rtu and --pty (default 9600)\n"
    "  --pace                 with --rtu or --pty: reply no sooner than 3.5 characters after a request and\n"
    "                         send a character every 11 bit times, as an analyzer on a real line does\n"
    "  --unit N               the analyzer's Modbus address, 1-247 (default 1)\n"
    "  --units N,M,...        several analyzers on the line, one per address, each with its own serial "
    "number and records\n"
    "  --model TEXT           model text of the identity (default KTR-58-168; ending in 167: the basic "
    "model)\n"
    "  --serial TEXT          serial number of the identity (default: drawn from --seed; empty: none)\n"
    "  --id-length N          length of the identity reply, 117 or longer (134 carries more text)\n"
    "  --records N0,...,N15   record counts of sectors 1-15 and the energy log, each -32768 to 32767 "
    "as the signed register holds it; a negative count serves no records (default 120,1000,37,0,...,0,40)\n"
    "  --numbering KIND       how records are numbered (default: position + 1):\n"
    "                         circular:K  the log wrapped, the oldest record sits at position K\n"
    "                         restart:K   the counter starts again at 1 at position K\n"
    "                         skip:S      numbers advance by S\n"
    "                         descending  newest record first\n"
    "                         fixed:V     every record carries V\n"
    "                         numbers are 16-bit and wrap\n"
    "  --seed S               seed of the serial number, the records and the fault draws (default 1)\n"
    "  --grow MS              every MS ms one more record in sector 1, with a later time stamp\n"
    "  --grow-reads N         after every N records read from it, one more record in sector 1\n"
    "  --ring N               sector 1 holds at most N records: once full, each new record overwrites\n"
    "                         the oldest, from position 0 on, and the count stays N; a wrapped ring numbers\n"
    "                         its records one after another (--records may start it wrapped)\n"
    "  --energy-period MIN    minutes between energy log records, 1-1440 (default 15); the energy log\n"
    "                         follows a plant's working week, its reactive energy some days over 20 %\n"
    "  --counter-reset INDEX  the energy log's import counter starts again from 0 at that record\n"
    "  --drop P               leave a reply out with probability P (0-1)\n"
    "  --corrupt P            damage a reply's frame with probability P\n"
    "  --wrong-unit P         answer from the wrong unit address with probability P\n"
    "  --delay MS             wait MS ms before each reply\n"
    "  --missing AREA:INDEX   that record cannot be read (exception 2); may be repeated\n"
    "  --no-clock AREA:INDEX  that record's date and time are all zero; may be repeated\n"
    "  --close-every N        close the TCP connection after every N replies\n"
    "  --print-record AREA INDEX  print the reply bytes of one record and exit\n"
    "  -v                     log every frame on standard error\n"
    "  --log FILE             log every frame to FILE instead\n"
    "  -h, --help             this text\n"
    "\n"
    "Prints \"ktr58-sim: serving tcp HOST:PORT\" (or \"serving rtu PATH\") once it serves; stops on Ctrl-C "
    "or "
    "SIGTERM.";

namespace
{

bool parseInteger(std::string_view text, long long min, long long max, long long &value)
{
    if (text.empty() || text.size() > 20)
        return false;
    std::string copy(text);
    char *end = nullptr;
    errno = 0;
    long long v = std::strtoll(copy.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max)
        return false;
    value = v;
    return true;
}

bool parseProbability(std::string_view text, double &value)
{
    std::string copy(text);
    char *end = nullptr;
    errno = 0;
    double v = std::strtod(copy.c_str(), &end);
    if (copy.empty() || errno != 0 || *end != '\0' || !(v >= 0.0 && v <= 1.0))
        return false;
    value = v;
    return true;
}

bool isLoopback(const std::string &host)
{
    in_addr addr{};
    if (::inet_pton(AF_INET, host.c_str(), &addr) != 1)
        return false;
    return (ntohl(addr.s_addr) >> 24) == 127;
}

bool isStandardBaud(long long baud)
{
    return std::find(kLineBaudRates.begin(), kLineBaudRates.end(), baud) != kLineBaudRates.end();
}

bool parseTcp(const std::string &text, SimOptions &o)
{
    size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    std::string host = text.substr(0, colon);
    if (host == "localhost")
        host = "127.0.0.1";
    in_addr addr{};
    long long port = 0;
    if (::inet_pton(AF_INET, host.c_str(), &addr) != 1 ||
        !parseInteger(text.substr(colon + 1), 0, 65535, port))
        return false;
    o.tcpHost = host;
    o.tcpPort = static_cast<int>(port);
    return true;
}

bool parseRecords(const std::string &text, SimOptions &o)
{
    std::array<uint16_t, 16> counts{};
    size_t start = 0;
    for (size_t k = 0; k < counts.size(); ++k) {
        size_t comma = text.find(',', start);
        bool last = k + 1 == counts.size();
        if (last != (comma == std::string::npos))
            return false;
        long long n = 0;
        // The count registers are signed 16-bit.
        if (!parseInteger(std::string_view(text).substr(start, comma - start), INT16_MIN, INT16_MAX, n))
            return false;
        counts[k] = static_cast<uint16_t>(n);
        start = comma + 1;
    }
    o.records = counts;
    return true;
}

bool parseNumbering(const std::string &text, SimOptions &o)
{
    using Kind = Numbering::Kind;
    if (text == "descending") {
        o.numbering = {Kind::Descending, 0};
        return true;
    }
    static const std::pair<const char *, Kind> kinds[] = {{"circular", Kind::Circular},
                                                          {"restart", Kind::Restart},
                                                          {"skip", Kind::Skip},
                                                          {"fixed", Kind::Fixed}};
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    for (const auto &[name, kind] : kinds) {
        long long v = 0;
        if (text.compare(0, colon, name) == 0 &&
            parseInteger(std::string_view(text).substr(colon + 1), 0, 65535, v)) {
            o.numbering = {kind, static_cast<int>(v)};
            return true;
        }
    }
    return false;
}

bool parseMissing(const std::string &text, std::set<std::pair<int, int>> &records)
{
    size_t colon = text.find(':');
    long long area = 0, index = 0;
    if (colon == std::string::npos || !parseInteger(std::string_view(text).substr(0, colon), 0, 15, area) ||
        !parseInteger(std::string_view(text).substr(colon + 1), 0, 65535, index))
        return false;
    records.insert({static_cast<int>(area), static_cast<int>(index)});
    return true;
}

bool parseUnits(const std::string &text, SimOptions &o)
{
    std::vector<int> units;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        long long n = 0;
        if (!parseInteger(std::string_view(text).substr(start, comma - start), 1, 247, n))
            return false;
        for (int u : units)
            if (u == n)
                return false;
        units.push_back(static_cast<int>(n));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    o.units = units;
    o.unit = units.front();
    return true;
}

// A value option takes the next argument whatever it is: a model text or a file name may start with a
// dash. Every occurrence is checked in turn and the last one counts.
void addValue(CLI::App &app, const std::string &name, std::function<bool(const std::string &)> take)
{
    app.add_option_function<std::vector<std::string>>(
           name,
           [name, take](const std::vector<std::string> &values) {
               for (const std::string &v : values)
                   if (!take(v))
                       throw CLI::ValidationError("bad value for " + name + ": '" + v + "'");
           })
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// A base-10 integer in [min, max] into out: CLI11's own conversion would read 010 as octal.
std::function<bool(const std::string &)> integerInto(int &out, long long min, long long max)
{
    return [&out, min, max](const std::string &text) {
        long long n = 0;
        if (!parseInteger(text, min, max, n))
            return false;
        out = static_cast<int>(n);
        return true;
    };
}

void addOptions(CLI::App &app, SimOptions &o)
{
    app.set_help_flag();
    // Unknown options and stray words are refused after the parse, each with its own message.
    app.allow_extras();
    app.add_flag("-v", o.verbose)->disable_flag_override();
    app.add_flag("-h,--help", o.help)->disable_flag_override();
    app.add_flag("--pace", o.pace)->disable_flag_override();
    app.add_flag("--any-address", o.anyAddress)->disable_flag_override();
    app.add_option_function<std::vector<std::string>>(
           "--print-record",
           [&o](const std::vector<std::string> &values) {
               if (values.size() % 2 != 0)
                   throw CLI::ValidationError("--print-record needs AREA and INDEX");
               for (size_t k = 0; k < values.size(); k += 2) {
                   long long a = 0, r = 0;
                   if (!parseInteger(values[k], 0, 15, a) || !parseInteger(values[k + 1], 0, 65535, r))
                       throw CLI::ValidationError("bad record for --print-record: '" + values[k] + " " +
                                                  values[k + 1] + "'");
                   o.printArea = static_cast<int>(a);
                   o.printIndex = static_cast<int>(r);
               }
               o.printRecord = true;
           })
        ->expected(2)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

    addValue(app, "--tcp", [&o](const std::string &v) { return parseTcp(v, o); });
    auto serialLine = [&o](SimOptions::Transport transport) {
        return [&o, transport](const std::string &v) {
            if (v.empty())
                return false;
            o.transport = transport;
            o.serialPath = v;
            return true;
        };
    };
    addValue(app, "--rtu", serialLine(SimOptions::Transport::Rtu));
    addValue(app, "--pty", serialLine(SimOptions::Transport::Pty));
    addValue(app, "--baud", [&o](const std::string &v) {
        long long n = 0;
        if (!parseInteger(v, 1, 4000000, n) || !isStandardBaud(n))
            return false;
        o.baud = static_cast<int>(n);
        return true;
    });
    addValue(app, "--unit", integerInto(o.unit, 1, 247));
    addValue(app, "--units", [&o](const std::string &v) { return parseUnits(v, o); });
    addValue(app, "--model", [&o](const std::string &v) {
        if (v.empty() || v.size() > 64)
            return false;
        o.model = v;
        return true;
    });
    addValue(app, "--serial", [&o](const std::string &v) {
        if (v.size() > 64)
            return false;
        o.serial = v;
        return true;
    });
    addValue(app, "--id-length", integerInto(o.idLength, 0, maximumIdLength));
    addValue(app, "--records", [&o](const std::string &v) { return parseRecords(v, o); });
    addValue(app, "--numbering", [&o](const std::string &v) { return parseNumbering(v, o); });
    addValue(app, "--seed", [&o](const std::string &v) {
        long long n = 0;
        if (!parseInteger(v, 0, INT64_MAX, n))
            return false;
        o.seed = static_cast<uint64_t>(n);
        return true;
    });
    addValue(app, "--drop", [&o](const std::string &v) { return parseProbability(v, o.drop); });
    addValue(app, "--corrupt", [&o](const std::string &v) { return parseProbability(v, o.corrupt); });
    addValue(app, "--wrong-unit", [&o](const std::string &v) { return parseProbability(v, o.wrongUnit); });
    addValue(app, "--delay", integerInto(o.delayMs, 0, 600000));
    addValue(app, "--missing", [&o](const std::string &v) { return parseMissing(v, o.missing); });
    addValue(app, "--no-clock", [&o](const std::string &v) { return parseMissing(v, o.noClock); });
    addValue(app, "--close-every", integerInto(o.closeEvery, 1, 1000000));
    addValue(app, "--grow", integerInto(o.growMs, 1, 3600000));
    addValue(app, "--grow-reads", integerInto(o.growReads, 1, 1000000));
    addValue(app, "--ring", integerInto(o.ring, 1, INT16_MAX));
    addValue(app, "--energy-period", integerInto(o.energyPeriodMin, 1, 1440));
    addValue(app, "--counter-reset", integerInto(o.counterReset, 0, 32767));
    addValue(app, "--log", [&o](const std::string &v) {
        if (v.empty())
            return false;
        o.logPath = v;
        return true;
    });
}

} // namespace

std::string parseOptions(int argc, char **argv, SimOptions &o)
{
    CLI::App app{"ktr58-sim"};
    addOptions(app, o);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ArgumentMismatch &e) {
        // A value option takes whatever follows it, so only the last argument can lack its value.
        const std::string last = argc > 1 ? argv[argc - 1] : "";
        if (last == "--print-record")
            return "--print-record needs AREA and INDEX";
        const CLI::Option *option = app.get_option_no_throw(last);
        if (option != nullptr && option->get_items_expected_min() > 0)
            return "missing value for " + last;
        return e.what();
    } catch (const CLI::ParseError &e) {
        return e.what();
    }
    for (const std::string &extra : app.remaining()) {
        if (extra.starts_with("-"))
            return "unknown option " + extra;
        return "unexpected argument '" + extra + "'";
    }

    if (app.count("--tcp") + app.count("--rtu") + app.count("--pty") > 1)
        return "give only one of --tcp, --rtu and --pty";
    if (o.pace && o.transport == SimOptions::Transport::Tcp)
        return "--pace needs --rtu or --pty";
    if (app.count("--unit") + app.count("--units") > 1)
        return "give only one of --unit and --units";
    if (o.units.empty())
        o.units = {o.unit};
    if (app.count("--tcp") > 0 && !o.anyAddress && !isLoopback(o.tcpHost))
        return "--tcp " + o.tcpHost + " is not a loopback address; add --any-address to serve it";
    if (o.idLength < minimumIdLength(o))
        return "--id-length " + std::to_string(o.idLength) +
               " is too short for the identity texts (at least " + std::to_string(minimumIdLength(o)) + ")";
    return {};
}
