#pragma once

#include <ctime>

#include "platform/Clock.h"
#include "support/ManualClock.h"

namespace zov::test {

// A manual clock that is the process's clock for the life of the object.
class InstalledClock : public ManualClock {
  public:
    explicit InstalledClock(std::time_t now) : ManualClock(now) { SetClock(this); }
    ~InstalledClock() override { SetClock(nullptr); }
    InstalledClock(const InstalledClock&) = delete;
    InstalledClock& operator=(const InstalledClock&) = delete;
};

}  // namespace zov::test
