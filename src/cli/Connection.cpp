#include "cli/Connection.h"

#include "cli/Commands.h"
#include "model/AnalyzerMap.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>

namespace
{

constexpr int kModbusTcpPort = 502;

} // namespace

void addConnectionOptions(CLI::App &command, ConnectionOptions &o)
{
    const char *group = "Connection";
    auto *tcp =
        command.add_option("--tcp", o.tcp, "Modbus TCP: the analyzer's HOST[:PORT] (port 502 if left out)")
            ->group(group);
    auto *rtu =
        command.add_option("--rtu", o.rtu, "Modbus RTU: the serial DEVICE (8 data bits, no parity, 1 stop)")
            ->group(group);
    tcp->excludes(rtu);
    addIntegerOption(command, "--baud", o.baud, "baud rate of --rtu (default 9600)")
        ->check(CLI::IsMember(kLineBaudRates))
        ->group(group);
    addIntegerOption(command, "--unit", o.unit, "Modbus address of the analyzer, 1-247 (default 1)")
        ->check(CLI::Range(kFirstUnit, kLastUnit))
        ->group(group);
    addIntegerOption(command, "--timeout", o.timeout, "reply time-out in ms, 1-100000 (default 1000)")
        ->check(CLI::Range(1, 100000))
        ->group(group);
    addIntegerOption(command, "--retries", o.retries, "extra attempts of a request, 0-10 (default 5)")
        ->check(CLI::Range(0, 10))
        ->group(group);
    addIntegerOption(command, "--poll-delay", o.pollDelay,
                     "ms between the starts of two requests, 0-100000 (default 0)")
        ->check(CLI::Range(0, 100000))
        ->group(group);
    command.add_flag("--verbose,-v", o.verbose, "the link's traffic counters on stderr at the end")
        ->group(group);
}

bool toSettings(const ConnectionOptions &o, COMSETT &s, std::string &error)
{
    if (o.tcp.empty() == o.rtu.empty()) {
        error = "give one of --tcp HOST[:PORT] and --rtu DEVICE";
        return false;
    }
    s = COMSETT{};
    s.slaveAddress = o.unit;
    s.timeout = o.timeout;
    s.pollDelay = o.pollDelay;
    s.retryCount = o.retries;
    if (!o.rtu.empty()) {
        s.mode = LinkMode::Rtu;
        s.comPort = o.rtu;
        s.baudRate = o.baud;
        return true;
    }
    s.mode = LinkMode::Tcp;
    s.host = o.tcp;
    s.tcpPort = kModbusTcpPort;
    const size_t colon = o.tcp.rfind(':');
    if (colon != std::string::npos) {
        const char *first = o.tcp.data() + colon + 1;
        const char *last = o.tcp.data() + o.tcp.size();
        int port = 0;
        const auto result = std::from_chars(first, last, port);
        if (result.ec != std::errc() || result.ptr != last || port < 1 || port > 65535) {
            error = "bad port in --tcp " + o.tcp;
            return false;
        }
        s.host = o.tcp.substr(0, colon);
        s.tcpPort = port;
    }
    if (s.host.empty()) {
        error = "no host in --tcp " + o.tcp;
        return false;
    }
    return true;
}

std::string describe(const COMSETT &s)
{
    if (s.mode == LinkMode::Rtu)
        return "rtu " + s.comPort + " " + std::to_string(s.baudRate) + " baud unit " +
               std::to_string(s.slaveAddress);
    return "tcp " + s.host + ":" + std::to_string(s.tcpPort) + " unit " + std::to_string(s.slaveAddress);
}

std::string countersLine(const TrafficCounters &c)
{
    auto count = [](const char *name, uint64_t n) { return std::string(name) + " " + std::to_string(n); };
    std::string line = count("requests", c.requests) + ", " + count("replies", c.replies) + ", " +
                       count("time-outs", c.timeouts) + ", " + count("CRC errors", c.crcErrors) + ", " +
                       count("retries", c.retries) + ", " + count("reconnects", c.reconnects);
    for (size_t code = 0; code < c.exceptions.size(); ++code)
        if (c.exceptions[code])
            line += ", " + count(("exception " + std::to_string(code)).c_str(), c.exceptions[code]);
    auto ms = [](int64_t us) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f ms", double(us) / 1000);
        return std::string(text);
    };
    if (c.medianReplyUs >= 0)
        line += ", reply time median " + ms(c.medianReplyUs) + ", max " + ms(c.maxReplyUs);
    return line;
}
