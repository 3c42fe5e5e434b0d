#pragma once

#include <chrono>
#include <thread>

namespace zov::test {

// Polls the condition every 200 ms until it holds (true) or the limit passed (false).
template <typename Condition>
bool WaitFor(std::chrono::seconds limit, Condition condition) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return true;
}

}  // namespace zov::test
