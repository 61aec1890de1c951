#pragma once

#include "model/RegisterTable.h"

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

// The analyzer's identity texts, bytes exactly as received.
struct DEVICE_ID {
    std::string vendor;
    std::string model;
    std::string serial;
    std::string version;
};

// Registers 306..336: period, event flag, a word passed through, 28 codes.
struct LOG_CONFIG {
    int32_t logPeriod = 0;
    int32_t eventLogging = 0;
    int32_t thirdWord = 0;
    std::array<int16_t, kLogSlots> paramCodes{};
};

// The record last downloaded.
struct PARSED_LOG {
    std::array<int16_t, 34> rawWords{};
    std::array<double, kDecodedValues> decodedValues{};
    std::string dateText;     // "31/12/09"
    std::string timeText;     // "08:00:30"
    std::string recordNoText; // record number of the reply, decimal
};
