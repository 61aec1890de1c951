#pragma once

#include "RecordingView.h"
#include "SimProcess.h"
#include "worker/comThread.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

// Settings of a worker that talks to a simulator on a loopback port or a pty.
void useTcp(comThread &worker, int port, int timeoutMs = 300);
void useRtu(comThread &worker, const std::string &path, int timeoutMs = 300);

// Connect and configuration read, as the window does before a download.
testing::AssertionResult connectAndConfigure(comThread &worker);

// Selects the areas given and switches the download on, as the window does.
void startDownload(comThread &worker, std::initializer_list<int> areas);

// Waits until the view has shown the n-th completion and its display step has ended.
bool waitCompleted(RecordingView &view, const comThread &worker, int completions,
                   std::chrono::milliseconds timeout = 10s);

// A record as the simulator predicts it, decoded as the grid should show it.
struct ExpectedRecord {
    std::string recordNo, date, time;
    std::array<double, kDecodedValues> values{};
};
ExpectedRecord predictRecord(const comThread &worker, int area, int index,
                             const std::vector<std::string> &simArgs);

// The --records value: these counts for areas 0.., 0 for the rest.
std::string recordCounts(std::initializer_list<int> counts);

// "00-0003"
std::string positionOf(int area, int index);

// Positions of the records the view has shown, in order.
std::vector<std::string> positions(const RecordingView &view);

// Positions of records 0 to count - 1 of one area.
std::vector<std::string> sectorPositions(int area, int count);

enum class Transport { Tcp, Rtu };
inline void PrintTo(Transport transport, std::ostream *os)
{
    *os << (transport == Transport::Rtu ? "Rtu" : "Tcp");
}
// Names the cases of a test run over both transports.
std::string transportName(const testing::TestParamInfo<Transport> &info);

// A worker downloading from a simulator the test starts: on a loopback port, or on a pty at 38400 baud.
class WorkerOnSim : public testing::Test
{
  protected:
    testing::AssertionResult startSim(Transport transport, const std::vector<std::string> &args);
    // Connects the worker to the simulator, or to a proxy in front of it on viaPort, reads what the
    // window reads before a download and hands the worker the view.
    testing::AssertionResult connectWorker(Transport transport, int timeoutMs = 300, int viaPort = 0);
    testing::AssertionResult startAndConnect(Transport transport, const std::vector<std::string> &args,
                                             int timeoutMs = 300)
    {
        if (auto started = startSim(transport, args); !started)
            return started;
        return connectWorker(transport, timeoutMs);
    }

    SimProcess sim;
    comThread worker;
    RecordingView view{worker};
};
