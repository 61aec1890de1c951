#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// With -v the simulator writes one line per request and per reply to stderr.
void setVerbose(bool on);
// --log: the same lines to a new file instead, each as soon as it is complete (a test counts the faults
// injected while the simulator still serves). False when the file cannot be created.
bool setLogFile(const std::string &path);
bool verbose();
// "ktr58-sim: <what>: <bytes in hex>"
void logFrame(const std::string &what, const uint8_t *data, size_t length);
void logLine(const std::string &text);
