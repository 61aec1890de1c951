#include "modbus/Crc16.h"

#include <array>

namespace
{

// The two 256-entry tables of the serial-line standard, derived at compile time
// so that a typo cannot creep into a hand-copied table.
struct CrcTables {
    std::array<uint8_t, 256> hi{};
    std::array<uint8_t, 256> lo{};
};

constexpr CrcTables makeTables()
{
    CrcTables t;
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        t.hi[i] = static_cast<uint8_t>(crc & 0xFF);
        t.lo[i] = static_cast<uint8_t>(crc >> 8);
    }
    return t;
}

constexpr CrcTables kTables = makeTables();

} // namespace

uint16_t crc16(const uint8_t *data, int length)
{
    uint8_t lo = 0xFF; // running low byte: first on the wire
    uint8_t hi = 0xFF;
    for (int i = 0; i < length; ++i) {
        const uint8_t index = lo ^ data[i];
        lo = hi ^ kTables.hi[index];
        hi = kTables.lo[index];
    }
    return static_cast<uint16_t>(lo | (hi << 8));
}
