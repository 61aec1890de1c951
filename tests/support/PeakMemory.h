#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// Peak resident memory of this process so far (VmHWM), in KiB; -1 when it cannot be read.
inline long peakResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}
