#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "ServiceTestSupport.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "service/LogCleanupThread.h"
#include "support/ChinaTimeClock.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The installed manual clock, noting every wait the thread asks for.
class WaitNotingClock : public Clock {
  public:
    explicit WaitNotingClock(ManualClock& clock) : clock_(clock) { SetClock(this); }
    ~WaitNotingClock() override { SetClock(nullptr); }

    std::time_t Now() const override { return clock_.Now(); }
    void Sleep(std::chrono::milliseconds duration) override { clock_.Sleep(duration); }
    bool SleepUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) override {
        std::lock_guard lock(mutex_);
        waits_.push_back(duration);
        return Clock::SleepUnlessStopped(stop, duration);
    }
    std::vector<std::chrono::milliseconds> waits() {
        std::lock_guard lock(mutex_);
        return waits_;
    }

  private:
    ManualClock& clock_;
    std::mutex mutex_;
    std::vector<std::chrono::milliseconds> waits_;
};

TEST(LogCleanupThread, RepeatsThePassEveryFiveMinutesAsTimeGoesOn) {
    test::TempProgramDir program;
    test::ChinaTimeClock time{2024, 3, 10, 0, 30};
    WaitNotingClock clock{time.clock()};
    IniFile(ConfigIniPath()).Write("Dir", "LOG", program / "Log/");
    IniFile(ConfigIniPath()).Write("Save", "LOG", "7");
    for (const char* file : {"Log/Files/2024-03-02.log", "Log/Files/2024-03-05.log"}) {
        test::WriteFile(program / file, "line\n");
    }
    std::jthread cleaner([](std::stop_token stop) { RunLogCleanup(stop); });
    // The manual clock moves on with every wait of the thread: three days later 2024-03-05 is too old.
    EXPECT_TRUE(test::WaitUntil([&] { return !fs::exists(program / "Log/Files/2024-03-05.log"); }));
    cleaner.request_stop();
    cleaner.join();
    EXPECT_FALSE(fs::exists(program / "Log/Files/2024-03-02.log"));
    EXPECT_GE(clock.Now(), MakeLocalTime(2024, 3, 13));
    const std::vector<std::chrono::milliseconds> waits = clock.waits();
    ASSERT_FALSE(waits.empty());
    for (std::chrono::milliseconds wait : waits) EXPECT_EQ(wait, 300s);
}

TEST(LogCleanupThread, AStopEndsTheWaitBetweenPasses) {
    test::TempProgramDir program;
    IniFile(ConfigIniPath()).Write("Save", "LOG", "1");
    test::WriteFile(program / "Log/2000-01-01.log", "line\n");
    std::atomic<bool> ended{false};
    std::jthread cleaner([&ended](std::stop_token stop) {
        RunLogCleanup(stop);
        ended = true;
    });
    // After the first pass the thread waits five minutes of the system clock.
    ASSERT_TRUE(test::WaitUntil([&] { return !fs::exists(program / "Log/2000-01-01.log"); }));
    cleaner.request_stop();
    EXPECT_TRUE(test::WaitUntil([&ended] { return ended.load(); }, 5s));
}

}  // namespace
}  // namespace zov
