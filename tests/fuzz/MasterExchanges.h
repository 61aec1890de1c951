#pragma once

#include "FuzzInput.h"
#include "FuzzPeer.h"

#include "modbus/MbusMasterFunctions.h"

#include <functional>

// Runs the requests the program makes (functions 3, 16, 20 and 43), as many
// as the input describes, through `master` against `peer`, the input choosing
// each request and the slave's reply; checks every result against the bytes
// the slave sent. afterEach(result, hungUp) may repair the link.
void runMasterExchanges(MbusMasterFunctions &master, FuzzPeer &peer, FuzzInput &in,
                        const std::function<void(int result, bool hungUp)> &afterEach);
