#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads a fuzz input front to back. Past the end every read gives zeros, so a
// short input still makes a complete (if dull) run.
class FuzzInput
{
  public:
    FuzzInput(const uint8_t *data, size_t size) : data(data), size(size) {}

    bool empty() const { return pos >= size; }

    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    uint16_t word() // high byte first
    {
        const uint16_t high = byte();
        return static_cast<uint16_t>(high << 8 | byte());
    }
    bool flag() { return (byte() & 1) != 0; }

    std::vector<uint8_t> bytes(size_t n)
    {
        std::vector<uint8_t> out(n, 0);
        for (size_t i = 0; i < n && pos < size; ++i)
            out[i] = data[pos++];
        return out;
    }
    std::vector<uint8_t> rest() { return bytes(size > pos ? size - pos : 0); }

  private:
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
};
