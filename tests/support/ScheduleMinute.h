#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "platform/Clock.h"

namespace zov::test {

// The minute a test schedules a task at: the current one, once at least 25 s of it remain, so the
// service's pass every 10 s still meets it.
inline std::time_t ScheduleMinute() {
    std::time_t now = std::time(nullptr);
    const int second = std::stoi(FormatLocalTime(now, "%S"));
    if (second > 35) {
        std::this_thread::sleep_for(std::chrono::seconds(61 - second));
        now = std::time(nullptr);
    }
    return now;
}

}  // namespace zov::test
