#include "Log.h"

#include <cstdio>

namespace
{
bool enabled = false;
}

void setVerbose(bool on)
{
    enabled = on;
}

bool verbose()
{
    return enabled;
}

void logFrame(const std::string &what, const uint8_t *data, size_t length)
{
    if (!enabled)
        return;
    std::string line = "ktr58-sim: " + what + ":";
    char hex[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, " %02x", data[i]);
        line += hex;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

void logLine(const std::string &text)
{
    if (enabled)
        std::fprintf(stderr, "ktr58-sim: %s\n", text.c_str());
}
