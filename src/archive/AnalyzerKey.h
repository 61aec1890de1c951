#pragma once

#include "archive/Archive.h"

#include <string>

// The key an analyzer's records are kept under: its serial, or its link ("tcp 127.0.0.1:1502 unit 1")
// when its identity gives none. A key the archive keeps for another model belongs to another analyzer:
// this one's is the key with its model, "12345 (KTR-58-167)". A model left empty on either side tells
// nothing, and keys kept before stay as they are.
std::string analyzerKey(Archive &archive, const std::string &serial, const std::string &model,
                        const std::string &link);
