#pragma once

#include "Analyzer.h"
#include "Options.h"
#include "Random.h"

#include <optional>
#include <vector>

// What goes back on the wire for one request, after the unit check and the
// fault draws. The transport builds the frame; `corrupt` asks it to damage
// the frame in its own way.
struct Reply {
    uint8_t unit;
    std::vector<uint8_t> pdu;
    bool corrupt;
};

class Responder
{
  public:
    enum class Link { Tcp, Rtu };

    // analyzers: one per unit address on the line; unit 0 over TCP reaches the first.
    Responder(const SimOptions &options, std::vector<Analyzer *> analyzers, Link link);

    // Nothing for requests to other units, RTU broadcasts and dropped replies.
    std::optional<Reply> respond(uint8_t unit, const uint8_t *pdu, size_t length);

  private:
    const SimOptions &options;
    std::vector<Analyzer *> analyzers;
    Link link;
    Rng faults;
};
