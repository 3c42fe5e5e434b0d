#pragma once

#include <chrono>
#include <ctime>
#include <stop_token>
#include <string>

namespace zov {

// "Now" and sleeping go through the current clock, so tests can move time.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::time_t Now() const = 0;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
    // Sleeps until the duration passed or a stop is requested; false when stopped. The base sleeps in
    // steps of at most 100 ms through Sleep.
    virtual bool SleepUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration);
};

Clock& CurrentClock();
// Installs a clock for the whole process; nullptr restores the system clock. The caller keeps ownership.
void SetClock(Clock* clock);

std::time_t Now();                            // CurrentClock().Now()
void SleepFor(std::chrono::milliseconds ms);  // CurrentClock().Sleep(ms)
// CurrentClock().SleepUnlessStopped(stop, ms)
bool SleepUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds ms);

// strftime of a time in local time; "%Y-%m-%d" and friends.
std::string FormatLocalTime(std::time_t when, const char* format);
// A local date and time to time_t (mktime, DST decided by the system).
std::time_t MakeLocalTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace zov
