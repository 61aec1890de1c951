#include "Log.h"

#include <cstdio>

namespace
{
bool enabled = false;
FILE *sink = nullptr; // stderr unless --log names a file
} // namespace

void setVerbose(bool on)
{
    enabled = on;
}

bool setLogFile(const std::string &path)
{
    FILE *file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    std::setvbuf(file, nullptr, _IOLBF, 0);
    sink = file;
    enabled = true;
    return true;
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
    std::fprintf(sink ? sink : stderr, "%s\n", line.c_str());
}

void logLine(const std::string &text)
{
    if (enabled)
        std::fprintf(sink ? sink : stderr, "ktr58-sim: %s\n", text.c_str());
}
