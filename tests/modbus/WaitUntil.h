#pragma once

#include <chrono>
#include <future>
#include <thread>
#include <type_traits>
#include <utility>

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

// Runs op on another thread, calls cancel() once cancelWhen() holds (up to 5 s), and gives op's result
// and how long op took.
template <typename Op, typename Cancel, typename When>
std::pair<std::invoke_result_t<Op>, std::chrono::milliseconds> cancelDuring(Op op, Cancel cancel,
                                                                            When cancelWhen)
{
    const auto start = std::chrono::steady_clock::now();
    auto result = std::async(std::launch::async, op);
    waitUntil(cancelWhen, 5000);
    cancel();
    const auto value = result.get();
    return {value,
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)};
}
