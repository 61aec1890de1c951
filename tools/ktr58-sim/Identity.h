#pragma once

#include "Options.h"

#include <cstdint>
#include <optional>
#include <vector>

// Largest identification reply data that fits one Modbus PDU.
constexpr int maximumIdLength = 252;

// Smallest reply length the vendor, model, version and serial texts fit into.
int minimumIdLength(const SimOptions &options);

// Reply data (after the function code) of Read Device Identification for a
// stream read (codes 1 to 3): always all six objects, exactly
// options.idLength bytes. The fourth and fifth texts are cut or stretched to fill it.
std::vector<uint8_t> identificationReply(const SimOptions &options, uint8_t readCode);

// Reply data for read code 4 (one object), or nothing when the id is unknown.
std::optional<std::vector<uint8_t>> identificationObject(const SimOptions &options, uint8_t objectId);
