#pragma once

#include "cli/Connection.h"
#include "cli/RecordSink.h"

#include <array>
#include <string>
#include <vector>

// One analyzer of a fleet file: a section named after it whose keys are spelled like the command-line
// options ("tcp = 10.0.0.5:502", "unit = 3", "sectors = 1-3", "energy = true").
struct FleetAnalyzer {
    std::string name;
    ConnectionOptions connection;
    std::string sectors; // empty: the energy log, or every area with records
    bool energy = false;
    bool all = false;
    std::string zone; // "tz": the zone the analyzer's clock keeps, empty for the host's
};

// Reads the fleet file at path. False with the file, section and reason in error for an unknown key, a
// bad value or a section without tcp or rtu.
bool readFleet(const std::string &path, std::vector<FleetAnalyzer> &fleet, std::string &error);

// Analyzers of the fleet that share a link (the same serial device, or the same TCP host and port), in
// the order of the file; each group is read on one open link.
std::vector<std::vector<const FleetAnalyzer *>> groupByLink(const std::vector<FleetAnalyzer> &fleet);
