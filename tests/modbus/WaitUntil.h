#pragma once

#include <chrono>
#include <thread>

// Polls a condition that another thread makes true, up to ms.
template <typename Condition> bool waitUntil(Condition condition, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
