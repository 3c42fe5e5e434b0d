#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/Clock.h"
#include "support/ManualClock.h"

namespace zov {
namespace {

// Runs the test in a fixed time zone and restores the old one.
class ClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* tz = getenv("TZ")) oldTz_ = tz;
        setenv("TZ", "CST-8", 1);
        tzset();
    }
    void TearDown() override {
        SetClock(nullptr);
        if (oldTz_.empty()) {
            unsetenv("TZ");
        } else {
            setenv("TZ", oldTz_.c_str(), 1);
        }
        tzset();
    }

  private:
    std::string oldTz_;
};

TEST_F(ClockTest, LocalTimeFormatsAndParsesBack) {
    std::time_t when = MakeLocalTime(2024, 2, 29, 23, 59, 58);
    EXPECT_EQ(when, 1709222398);  // 15:59:58 UTC
    EXPECT_EQ(FormatLocalTime(when, "%Y-%m-%d %H:%M:%S"), "2024-02-29 23:59:58");
    EXPECT_EQ(FormatLocalTime(when, "%Y%m%d%H%M%S"), "20240229235958");
    EXPECT_EQ(FormatLocalTime(when, ""), "");
    EXPECT_EQ(FormatLocalTime(MakeLocalTime(2024, 3, 1) - 1, "%Y%m%d"), "20240229");
    EXPECT_EQ(FormatLocalTime(MakeLocalTime(2024, 12, 32), "%Y-%m-%d"), "2025-01-01") << "mktime normalises";
}

TEST_F(ClockTest, ManualClockDrivesNowAndSleep) {
    ManualClock manual(1000);
    SetClock(&manual);
    EXPECT_EQ(Now(), 1000);
    auto start = std::chrono::steady_clock::now();
    SleepFor(std::chrono::hours(1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(Now(), 4600);
    for (int i = 0; i < 4; ++i) SleepFor(std::chrono::milliseconds(500));
    EXPECT_EQ(Now(), 4602) << "short sleeps add up";
    manual.Set(50);
    EXPECT_EQ(Now(), 50);
    SetClock(nullptr);
    EXPECT_LE(std::abs(Now() - std::time(nullptr)), 1);
}

}  // namespace
}  // namespace zov
