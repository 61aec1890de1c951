#pragma once

#include "cli/Download.h"

// The download's progress on one line of stderr: area, records done of total, records per second, time
// left. Silent unless enabled (stderr a terminal, no --quiet).
class Progress
{
  public:
    explicit Progress(bool enabled) : enabled(enabled) {}
    ~Progress() { finish(); }

    void show(const DownloadProgress &p);
    // Clears the line, so what follows on stderr starts clean.
    void finish();

  private:
    bool enabled;
    bool shown = false;
    std::chrono::steady_clock::duration lastShown{};
};
