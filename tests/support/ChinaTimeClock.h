#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

#include "platform/Clock.h"
#include "support/InstalledClock.h"
#include "support/ManualClock.h"

namespace zov::test {

// Local time UTC+8 and a manual clock for the life of the object; both restored afterwards.
class ChinaTimeClock {
  public:
    ChinaTimeClock(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
        if (const char* tz = getenv("TZ")) previousTz_ = tz;
        setenv("TZ", "UTC-8", 1);
        tzset();
        clock_.Set(MakeLocalTime(year, month, day, hour, minute, second));
    }
    ~ChinaTimeClock() {
        if (previousTz_) {
            setenv("TZ", previousTz_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ChinaTimeClock(const ChinaTimeClock&) = delete;
    ChinaTimeClock& operator=(const ChinaTimeClock&) = delete;

    ManualClock& clock() { return clock_; }

  private:
    InstalledClock clock_{0};
    std::optional<std::string> previousTz_;
};

}  // namespace zov::test
