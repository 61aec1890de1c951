#pragma once

#include "Options.h"
#include "Responder.h"
#include "StopSignal.h"

// Serves Modbus TCP on options.tcpHost:tcpPort to any number of connections
// until a stop signal. Prints the readiness line once listening. Returns the
// process exit code.
int serveTcp(const SimOptions &options, Responder &responder, const StopSignal &stop);
