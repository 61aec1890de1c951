#include "Identity.h"

#include "Random.h"

#include "modbus/ModbusNumbers.h"
#include "model/AnalyzerMap.h"

#include <array>
#include <string>

namespace
{

constexpr int headerLength = 6; // MEI type, read code, conformity, more follows, next id, object count
constexpr int objectCount = 6;
constexpr uint8_t conformityLevel = 0x02; // regular identification, stream access

struct Texts {
    std::string vendor, model, version, serial;
};

Texts fixedTexts(const SimOptions &o)
{
    // The longer reply came with a later firmware.
    std::string version = o.idLength >= kLongIdReply ? "V3.12" : "V3.07";
    std::string serial = o.serial.value_or(std::to_string(58000000 + mix(o.seed ^ 0x5E71A1) % 1000000));
    return {"KTR Elektronik", o.model, version, serial};
}

// Cuts or repeats `text` to exactly `length` characters.
std::string fitted(const std::string &text, int length)
{
    std::string out;
    while (static_cast<int>(out.size()) < length)
        out += text;
    out.resize(static_cast<size_t>(length));
    return out;
}

std::array<std::string, objectCount> objects(const SimOptions &o)
{
    Texts t = fixedTexts(o);
    int spare = o.idLength - minimumIdLength(o);
    const std::string url = "www.ktr-elektronik.example";
    int urlLength = spare < static_cast<int>(url.size()) ? spare : static_cast<int>(url.size());
    std::string product = fitted("Three-phase network analyzer with data logger. ", spare - urlLength);
    return {t.vendor, t.model, t.version, fitted(url, urlLength), product, t.serial};
}

} // namespace

int minimumIdLength(const SimOptions &options)
{
    Texts t = fixedTexts(options);
    return headerLength + 2 * objectCount +
           static_cast<int>(t.vendor.size() + t.model.size() + t.version.size() + t.serial.size());
}

std::vector<uint8_t> identificationReply(const SimOptions &options, uint8_t readCode)
{
    std::vector<uint8_t> reply{
        modbus::MeiDeviceIdentification, readCode, conformityLevel, 0x00, 0x00, objectCount};
    uint8_t id = 0;
    for (const std::string &text : objects(options)) {
        reply.push_back(id++);
        reply.push_back(static_cast<uint8_t>(text.size()));
        reply.insert(reply.end(), text.begin(), text.end());
    }
    return reply;
}

std::optional<std::vector<uint8_t>> identificationObject(const SimOptions &options, uint8_t objectId)
{
    if (objectId >= objectCount)
        return std::nullopt;
    const std::string text = objects(options)[objectId];
    std::vector<uint8_t> reply{
        modbus::MeiDeviceIdentification,  modbus::ReadOneObject, conformityLevel, 0x00, 0x00, 1, objectId,
        static_cast<uint8_t>(text.size())};
    reply.insert(reply.end(), text.begin(), text.end());
    return reply;
}
