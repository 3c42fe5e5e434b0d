#pragma once

#include <chrono>
#include <functional>

namespace zov::test {

// Polls every 20 ms until condition holds or the time-out passed; its last result.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(15));

}  // namespace zov::test
