#include "Responder.h"

#include "Log.h"

Responder::Responder(const SimOptions &options, std::vector<Analyzer *> analyzers, Link link)
    : options(options), analyzers(std::move(analyzers)), link(link), faults(options.seed)
{
}

std::optional<Reply> Responder::respond(uint8_t unit, const uint8_t *pdu, size_t length)
{
    const bool broadcast = unit == 0 && link == Link::Rtu;
    Analyzer *analyzer = unit == 0 && link == Link::Tcp ? analyzers.front() : nullptr;
    for (Analyzer *a : analyzers)
        if (a->unit() == unit)
            analyzer = a;
    logFrame("request unit " + std::to_string(unit), pdu, length);
    if (broadcast) {
        for (Analyzer *a : analyzers)
            a->handle(pdu, length);
        logLine("no reply");
        return std::nullopt;
    }
    if (!analyzer) {
        logLine("not our unit, no reply");
        return std::nullopt;
    }
    std::vector<uint8_t> reply = analyzer->handle(pdu, length);
    if (reply.empty()) {
        logLine("no reply");
        return std::nullopt;
    }

    // Three draws for every reply, so one fault's probability does not shift
    // the sequence of another.
    const bool drop = faults.next() < options.drop;
    const bool corrupt = faults.next() < options.corrupt;
    const bool wrongUnit = faults.next() < options.wrongUnit;
    if (drop) {
        logLine("reply dropped");
        return std::nullopt;
    }
    uint8_t replyUnit = unit;
    if (wrongUnit)
        replyUnit = static_cast<uint8_t>(analyzer->unit() + 1); // units stop at 247
    logFrame(std::string("reply unit ") + std::to_string(replyUnit) + (corrupt ? " (corrupted)" : ""),
             reply.data(), reply.size());
    return Reply{replyUnit, std::move(reply), corrupt};
}
