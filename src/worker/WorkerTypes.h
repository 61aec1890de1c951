#pragma once

#include "model/RecordLog.h"

#include <array>
#include <cstdint>
#include <string>

// COMSETT::mode; the settings file's MODE keeps the same numbers.
namespace LinkMode
{
inline constexpr int16_t Tcp = 0; // Ethernet
inline constexpr int16_t Rtu = 1; // serial line
} // namespace LinkMode

// Connection settings, filled by the window before connect().
struct COMSETT {
    int16_t mode = LinkMode::Tcp;
    int32_t slaveAddress = 0;
    int32_t tcpPort = 0; // low 16 bits become the TCP master's port
    std::string comPort; // serial device path
    int32_t baudRate = 0;
    int32_t timeout = 0;    // ms; 0 leaves the master's default
    int32_t pollDelay = 0;  // ms
    int32_t retryCount = 5; // extra attempts of a request
    std::string host;
};

// The link as a text that stays the same from one connection to the next: "tcp HOST:PORT unit N" or
// "rtu DEVICE unit N", the host and device as given.
std::string linkName(const COMSETT &settings);
