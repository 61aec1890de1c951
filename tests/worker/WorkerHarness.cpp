#include "WorkerHarness.h"

#include "RecordingView.h"
#include "SimProcess.h"
#include "model/RecordDecoding.h"

#include <cstdio>

void useTcp(comThread &worker, int port, int timeoutMs)
{
    COMSETT settings = worker.settings();
    settings.mode = LinkMode::Tcp;
    settings.host = "127.0.0.1";
    settings.tcpPort = port;
    settings.slaveAddress = 1;
    settings.timeout = timeoutMs;
    settings.pollDelay = 0;
    worker.setSettings(settings);
}

void useRtu(comThread &worker, const std::string &path, int timeoutMs)
{
    COMSETT settings = worker.settings();
    settings.mode = LinkMode::Rtu;
    settings.comPort = path;
    settings.baudRate = 38400;
    settings.slaveAddress = 1;
    settings.timeout = timeoutMs;
    settings.pollDelay = 0;
    worker.setSettings(settings);
}

testing::AssertionResult connectAndConfigure(comThread &worker)
{
    if (!worker.connect())
        return testing::AssertionFailure() << "connect failed";
    std::vector<std::string> names(kParameterCount);
    if (!worker.readConfiguration(168, names))
        return testing::AssertionFailure() << "configuration read failed";
    if (!worker.readAreaCounts())
        return testing::AssertionFailure() << "area count read failed";
    return testing::AssertionSuccess();
}

void startDownload(comThread &worker, std::initializer_list<int> areas)
{
    std::array<bool, kAreaCount> selected{};
    for (int area : areas)
        selected[area] = true;
    worker.selectAreas(selected);
    worker.startDownload();
}

bool waitCompleted(RecordingView &view, const comThread &worker, int completions,
                   std::chrono::milliseconds timeout)
{
    return view.waitFor([&] { return view.completions() == completions && worker.recordsShown() == 0; },
                        timeout);
}

namespace
{

std::string twoDigits(const uint8_t *bytes, const char *separator)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d%s%02d%s%02d", static_cast<int8_t>(bytes[0]), separator,
                  static_cast<int8_t>(bytes[1]), separator, static_cast<int8_t>(bytes[2]));
    return text;
}

} // namespace

ExpectedRecord predictRecord(const comThread &worker, int area, int index,
                             const std::vector<std::string> &simArgs)
{
    const std::vector<uint8_t> reply = SimProcess::printRecord(area, index, simArgs);
    EXPECT_EQ(reply.size(), static_cast<size_t>(kRecordReplyLength)) << positionOf(area, index);
    ExpectedRecord expected;
    if (reply.size() != static_cast<size_t>(kRecordReplyLength))
        return expected;
    expected.recordNo = std::to_string(static_cast<int16_t>(reply[3] << 8 | reply[4]));
    expected.date = twoDigits(&reply[5], "/");
    expected.time = twoDigits(&reply[8], ":");
    std::array<int16_t, kEnergyWords> words{}; // the 29th word is not in the reply
    for (int k = 0; k < kLogSlots; ++k)
        words[k] = static_cast<int16_t>(reply[11 + 2 * k] << 8 | reply[12 + 2 * k]);
    if (area == kEnergyArea)
        DecodeEnergyRecord(*worker.registerTable(), words, expected.values);
    else
        DecodeLogRecord(*worker.registerTable(), std::span<const int16_t, kLogSlots>(words.data(), kLogSlots),
                        worker.configuration().paramCodes, expected.values);
    return expected;
}

std::string recordCounts(std::initializer_list<int> counts)
{
    std::string text;
    auto count = counts.begin();
    for (int area = 0; area < kAreaCount; ++area) {
        text += std::to_string(count != counts.end() ? *count++ : 0);
        if (area + 1 < kAreaCount)
            text += ",";
    }
    return text;
}

std::string positionOf(int area, int index)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X-%04X", area, index);
    return text;
}

std::vector<std::string> positions(const RecordingView &view)
{
    std::vector<std::string> out;
    for (const auto &record : view.shown())
        out.push_back(record.positionText);
    return out;
}

std::vector<std::string> sectorPositions(int area, int count)
{
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(positionOf(area, i));
    return out;
}

std::string transportName(const testing::TestParamInfo<Transport> &info)
{
    return info.param == Transport::Rtu ? "Rtu" : "Tcp";
}

testing::AssertionResult WorkerOnSim::startSim(Transport transport, const std::vector<std::string> &args)
{
    if (transport == Transport::Rtu ? sim.startPty(args) : sim.startTcp(args))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << sim.error();
}

testing::AssertionResult WorkerOnSim::connectWorker(Transport transport, int timeoutMs, int viaPort)
{
    if (transport == Transport::Rtu)
        useRtu(worker, sim.ptyPath(), timeoutMs);
    else
        useTcp(worker, viaPort != 0 ? viaPort : sim.tcpPort(), timeoutMs);
    auto connected = connectAndConfigure(worker);
    if (connected)
        worker.setView(&view);
    return connected;
}
