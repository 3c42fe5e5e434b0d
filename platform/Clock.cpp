#include "platform/Clock.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zov {
namespace {

class SystemClock : public Clock {
  public:
    std::time_t Now() const override { return std::time(nullptr); }
    void Sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }

    // Wakes at once on a stop request instead of polling for it.
    bool SleepUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) override {
        std::mutex mutex;
        std::condition_variable_any wakeUp;
        std::unique_lock lock(mutex);
        return !wakeUp.wait_for(lock, stop, duration, [] { return false; }) && !stop.stop_requested();
    }
};

SystemClock systemClock;
std::atomic<Clock*> installedClock{nullptr};

}  // namespace

bool Clock::SleepUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) {
    constexpr std::chrono::milliseconds kStep(100);
    while (duration.count() > 0) {
        if (stop.stop_requested()) return false;
        const std::chrono::milliseconds step = std::min(duration, kStep);
        Sleep(step);
        duration -= step;
    }
    return !stop.stop_requested();
}

Clock& CurrentClock() {
    Clock* clock = installedClock.load();
    return clock != nullptr ? *clock : systemClock;
}

void SetClock(Clock* clock) { installedClock.store(clock); }

std::time_t Now() { return CurrentClock().Now(); }

void SleepFor(std::chrono::milliseconds ms) { CurrentClock().Sleep(ms); }

bool SleepUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds ms) {
    return CurrentClock().SleepUnlessStopped(stop, ms);
}

std::string FormatLocalTime(std::time_t when, const char* format) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) return {};
    // strftime gives 0 both for an empty result and for a buffer too small; grow a few times.
    for (size_t size = 64; size <= 64 * 1024; size *= 4) {
        std::vector<char> buffer(size);
        size_t length = std::strftime(buffer.data(), buffer.size(), format, &local);
        if (length > 0) return std::string(buffer.data(), length);
    }
    return {};
}

std::time_t MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

}  // namespace zov
