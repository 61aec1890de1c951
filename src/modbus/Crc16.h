#pragma once

#include <cstdint>

// Modbus CRC-16 (reflected polynomial 0xA001, initial value 0xFFFF, no final
// inversion). The low byte of the result goes first on the wire.
uint16_t crc16(const uint8_t *data, int length);
