#include "cli/Progress.h"

#include <cstdio>

namespace
{

// A terminal redrawn more often than this only flickers.
constexpr auto kInterval = std::chrono::milliseconds(200);

} // namespace

void Progress::finish()
{
    if (shown)
        std::fputs("\r\033[K", stderr);
    shown = false;
}

void Progress::show(const DownloadProgress &p)
{
    if (!enabled || (p.done < p.total && shown && p.elapsed - lastShown < kInterval))
        return;
    lastShown = p.elapsed;
    shown = true;
    const double seconds = std::chrono::duration<double>(p.elapsed).count();
    const double rate = seconds > 0 ? double(p.done) / seconds : 0;
    const long left = rate > 0 ? long(double(p.total - p.done) / rate + 0.5) : 0;
    std::fprintf(stderr, "\r\033[K%s  %lld/%lld records  %.0f records/s  %ld:%02ld left",
                 areaName(p.area).c_str(), (long long)p.done, (long long)p.total, rate, left / 60, left % 60);
    std::fflush(stderr);
}
