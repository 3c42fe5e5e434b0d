#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>

#include "platform/Clock.h"

namespace zov {

// A clock that stands still until set or advanced; Sleep advances it and returns at once (sleeps shorter
// than a second add up).
class ManualClock : public Clock {
  public:
    explicit ManualClock(std::time_t now) : nowMs_(static_cast<std::int64_t>(now) * 1000) {}
    std::time_t Now() const override { return static_cast<std::time_t>(nowMs_.load() / 1000); }
    void Sleep(std::chrono::milliseconds duration) override { nowMs_ += duration.count(); }
    void Set(std::time_t now) { nowMs_.store(static_cast<std::int64_t>(now) * 1000); }
    // Milliseconds since the epoch, sleeps included.
    std::int64_t NowMs() const { return nowMs_.load(); }

  private:
    std::atomic<std::int64_t> nowMs_;
};

}  // namespace zov
