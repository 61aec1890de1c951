#pragma once

#include "Options.h"
#include "Responder.h"
#include "StopSignal.h"

// Serves Modbus RTU on the device or pseudo-terminal of the options until a
// stop signal. Prints the readiness line once the line is open. Returns the
// process exit code.
int serveRtu(const SimOptions &options, Responder &responder, const StopSignal &stop);
