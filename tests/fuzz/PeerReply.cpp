#include "PeerReply.h"

#include "modbus/Crc16.h"

namespace
{

// Request data after the function code in an RTU frame, by function.
int rtuDataLength(const std::vector<uint8_t> &buffer)
{
    switch (buffer[1]) {
    case 3:
        return 4; // reference, count
    case 16:
        return buffer.size() < 7 ? -1 : 5 + buffer[6]; // reference, count, byte count, values
    case 20:
        return 1 + buffer[2]; // byte count, sub-requests
    case 43:
        return 3; // MEI type, code, object id
    default:
        return static_cast<int>(buffer.size()) - 4; // unknown: take what is there
    }
}

} // namespace

int requestLength(Framing framing, const std::vector<uint8_t> &buffer)
{
    if (framing == Framing::Tcp) {
        if (buffer.size() < 6)
            return 0;
        return 6 + (buffer[4] << 8 | buffer[5]);
    }
    if (buffer.size() < 3)
        return 0;
    const int data = rtuDataLength(buffer);
    return data < 0 ? 0 : 2 + data + 2;
}

uint8_t requestUnit(Framing framing, const std::vector<uint8_t> &request)
{
    return request[framing == Framing::Rtu ? 0 : 6];
}

uint8_t requestFunction(Framing framing, const std::vector<uint8_t> &request)
{
    return request[framing == Framing::Rtu ? 1 : 7];
}

PeerReply PeerReply::read(FuzzInput &in, int expectedLength)
{
    PeerReply r;
    const uint8_t how = in.byte();
    r.kind = static_cast<Kind>(how & 3);
    r.foreignUnit = (how & 4) != 0;
    r.foreignFunction = (how & 8) != 0;
    r.hangUp = (how & 16) != 0;
    if (r.foreignUnit)
        r.unit = in.byte();
    if (r.foreignFunction)
        r.function = in.byte();
    switch (r.kind) {
    case Framed:
        r.bytes = in.bytes(static_cast<size_t>(expectedLength));
        break;
    case Sized:
        r.bytes = in.bytes(in.byte());
        break;
    case Exception:
        r.bytes = in.bytes(1);
        break;
    case Raw:
        r.bytes = in.bytes(in.word() % 301);
        break;
    }
    return r;
}

std::vector<uint8_t> PeerReply::frame(Framing framing, const std::vector<uint8_t> &request) const
{
    if (kind == Raw)
        return bytes;
    const uint8_t u = foreignUnit ? unit : requestUnit(framing, request);
    uint8_t f = foreignFunction ? function : requestFunction(framing, request);
    if (kind == Exception)
        f |= 0x80;

    std::vector<uint8_t> out;
    if (framing == Framing::Tcp) {
        const size_t length = bytes.size() + 2;
        out = {0, 0, 0, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    }
    out.push_back(u);
    out.push_back(f);
    out.insert(out.end(), bytes.begin(), bytes.end());
    if (framing == Framing::Rtu) {
        const uint16_t crc = crc16(out.data(), static_cast<int>(out.size()));
        out.push_back(static_cast<uint8_t>(crc));
        out.push_back(static_cast<uint8_t>(crc >> 8));
    }
    return out;
}
