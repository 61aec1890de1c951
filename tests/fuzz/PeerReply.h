#pragma once

#include "FuzzInput.h"

#include <cstdint>
#include <vector>

enum class Framing { Rtu, Tcp };

// Where the data after the function code start, in requests and replies alike.
inline int dataOffset(Framing framing)
{
    return framing == Framing::Rtu ? 2 : 8;
}

// Length of the request frame at the front of `buffer`, or 0 while too little
// has arrived to tell. The master only sends well-formed requests.
int requestLength(Framing framing, const std::vector<uint8_t> &buffer);
uint8_t requestUnit(Framing framing, const std::vector<uint8_t> &request);
uint8_t requestFunction(Framing framing, const std::vector<uint8_t> &request);

// What the slave answers to one request, as the fuzz input chose it.
struct PeerReply {
    enum Kind : uint8_t {
        Framed,    // a proper header and CRC around data of the length the program expects
        Sized,     // the same around data of any length
        Exception, // an exception reply with any code
        Raw,       // bytes as they come, no header or CRC added
    };

    Kind kind = Framed;
    bool foreignUnit = false;     // `unit` instead of the request's unit
    bool foreignFunction = false; // `function` instead of the request's function
    bool hangUp = false;          // TCP: close the connection after the reply
    uint8_t unit = 0;
    uint8_t function = 0;
    std::vector<uint8_t> bytes; // data, the exception code, or the raw frame

    // expectedLength: the data bytes the program waits for after the function code.
    static PeerReply read(FuzzInput &in, int expectedLength);

    // The bytes that go on the wire in answer to `request`.
    std::vector<uint8_t> frame(Framing framing, const std::vector<uint8_t> &request) const;

    // A complete normal reply from the right unit with exactly replyLen data bytes.
    bool exact(int replyLen) const
    {
        return (kind == Framed || kind == Sized) && !foreignUnit && !foreignFunction &&
               bytes.size() == static_cast<size_t>(replyLen);
    }
};
