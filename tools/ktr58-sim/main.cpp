// ktr58-sim: a Modbus slave that behaves like a KTR-58 network analyzer on
// the wire, over TCP or over a serial line, for tests and demonstrations.
#include "Analyzer.h"
#include "Log.h"
#include "Options.h"
#include "Responder.h"
#include "RtuServer.h"
#include "StopSignal.h"
#include "TcpServer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

namespace
{

int printRecord(const SimOptions &options)
{
    Analyzer analyzer(options);
    auto record = analyzer.record(options.printArea, options.printIndex);
    if (!record) {
        std::fprintf(stderr, "ktr58-sim: area %d has no record %d\n", options.printArea, options.printIndex);
        return 1;
    }
    for (size_t i = 0; i < record->size(); ++i)
        std::printf(i == 0 ? "%02x" : " %02x", (*record)[i]);
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    SimOptions options;
    std::string error = parseOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "ktr58-sim: %s (%s)\n", error.c_str(), usageText);
        return 2;
    }
    if (options.help) {
        std::printf("%s\n\n%s\n", usageText, helpText);
        return 0;
    }
    if (options.printRecord)
        return printRecord(options);

    setVerbose(options.verbose);
    if (!options.logPath.empty() && !setLogFile(options.logPath)) {
        std::fprintf(stderr, "ktr58-sim: cannot create %s: %s\n", options.logPath.c_str(),
                     std::strerror(errno));
        return 1;
    }
    StopSignal stop;
    // One analyzer per unit address; the first keeps the seed, so a single unit answers as always.
    std::deque<SimOptions> unitOptions;
    std::deque<Analyzer> analyzers;
    for (size_t k = 0; k < options.units.size(); ++k) {
        SimOptions &o = unitOptions.emplace_back(options);
        o.unit = options.units[k];
        o.seed = options.seed + k;
        analyzers.emplace_back(o);
    }
    std::vector<Analyzer *> onLine;
    for (Analyzer &a : analyzers)
        onLine.push_back(&a);
    if (options.transport == SimOptions::Transport::Tcp) {
        Responder responder(options, onLine, Responder::Link::Tcp);
        return serveTcp(options, responder, stop);
    }
    Responder responder(options, onLine, Responder::Link::Rtu);
    return serveRtu(options, responder, stop);
}
