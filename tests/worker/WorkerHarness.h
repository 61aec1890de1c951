#pragma once

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

class RecordingView;
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
