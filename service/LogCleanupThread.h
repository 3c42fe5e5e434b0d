#pragma once

#include <chrono>
#include <stop_token>

namespace zov {

inline constexpr std::chrono::seconds kLogCleanupInterval{300};

// The service's log clean-up thread: CleanOldLogs at once and then every kLogCleanupInterval (through the
// current clock) until a stop is requested, which also ends the wait in between.
void RunLogCleanup(const std::stop_token& stop);

}  // namespace zov
