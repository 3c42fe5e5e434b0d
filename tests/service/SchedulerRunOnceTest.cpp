#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SchedulerTestSupport.h"
#include "service/Scheduler.h"
#include "service/SharedTaskStore.h"
#include "service/Worker.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

// Occurrences of part in text.
long Count(const std::string& text, const std::string& part) {
    long count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// Replaces temp.ini by a folder: every later write of it fails, as on a full disk, also for root.
void MakeTempIniUnwritable() {
    fs::remove(TempIniPath());
    fs::create_directory(TempIniPath());
}

// A clock that moves on by a step at every reading, so that near midnight the date changes between two
// readings of one pass.
class TickingClock : public Clock {
  public:
    TickingClock(std::time_t start, std::chrono::milliseconds step)
        : nowMs_(static_cast<std::int64_t>(start) * 1000), step_(step.count()) {}
    std::time_t Now() const override { return static_cast<std::time_t>(nowMs_.fetch_add(step_) / 1000); }
    void Sleep(std::chrono::milliseconds duration) override { nowMs_ += duration.count(); }
    void Set(std::time_t now) { nowMs_ = static_cast<std::int64_t>(now) * 1000; }

  private:
    mutable std::atomic<std::int64_t> nowMs_;
    std::int64_t step_;
};

// The scheduler and one worker on one queue, driven the way the service drives them: a worker step every
// second and a pass every 10 s. Every run succeeds and is noted.
struct ServiceLoop {
    void RunSeconds(int seconds) {
        for (int second = 0; second < seconds; ++second) {
            if (second % 10 == 0) scheduler.RunPass();
            worker.Step();
            SleepFor(std::chrono::milliseconds(1000));
        }
    }

    long RunsOf(int id, const std::string& time) const {
        return std::count(runs.begin(), runs.end(), std::make_pair(id, time));
    }

    RunQueue queue;
    SharedTaskStore store{TaskDbPath()};
    Scheduler scheduler{queue, store};
    std::vector<std::pair<int, std::string>> runs;
    std::function<void()> duringRun;
    Worker worker{queue, [this](const TaskInfo& task, const std::string&, std::string&, const JobContext&) {
                      runs.emplace_back(task.id, QueuedTime(task));
                      if (duringRun) duringRun();
                      return true;
                  }};
};

class SchedulerRunOnceTest : public test::RunStateTest {
  protected:
    // temp.ini and system.log as at the start of the fixture.
    void StartAfresh() {
        fs::remove_all(TempIniPath());
        fs::remove(SystemLogPath());
        ResetDailySections();
    }

    std::string SystemLogPath() const { return program_ / "Log/Files/system.log"; }
};

TEST_F(SchedulerRunOnceTest, ATimeRunsAtMostOnceWhenTempIniCannotBeWritten) {
    struct Case {
        std::string what;
        bool unwritableAtStart, unwritableDuringRun;
        long runs;
        std::string error;  // in system.log once, when not empty
    };
    const Case cases[] = {
        {"writable", false, false, 1, ""},
        {"unwritable from the start", true, false, 0,
         "08:00未运行：无法在 " + TempIniPath() + " 中记录运行状态"},
        {"unwritable once the run started", false, true, 1,
         "08:00成功，但无法在 " + TempIniPath() + " 中记录结果"},
    };
    test::WriteTaskStore({test::TaskRecord(test::ScheduledTask(program_, 1, "08:00"))});
    for (const Case& c : cases) {
        SetNow(2024, 3, 4, 8, 0, 0);
        StartAfresh();
        if (c.unwritableAtStart) MakeTempIniUnwritable();
        ServiceLoop service;
        if (c.unwritableDuringRun) service.duringRun = MakeTempIniUnwritable;
        service.RunSeconds(60);
        EXPECT_EQ(service.RunsOf(1, "08:00"), c.runs) << c.what;
        const std::string log = test::ReadFile(SystemLogPath());
        if (!c.error.empty()) {
            EXPECT_EQ(Count(log, c.error), 1) << c.what << "\n" << log;
        }
        // The daily reset of every pass fails too; that is logged once, not on every pass.
        const bool unwritable = c.unwritableAtStart || c.unwritableDuringRun;
        EXPECT_EQ(Count(log, "中开始新一天的运行状态"), unwritable ? 1 : 0) << c.what << "\n" << log;
    }
}

TEST_F(SchedulerRunOnceTest, EachTimeRunsOnceADayAcrossMidnightWhateverThePassReadsOfTheClock) {
    TaskInfo mondays = test::ScheduledTask(program_, 3, "00:00");
    mondays.period = kWeekly;
    mondays.days.set(0);
    test::WriteTaskStore({test::TaskRecord(test::ScheduledTask(program_, 1, "23:59")),
                          test::TaskRecord(test::ScheduledTask(program_, 2, "00:00")),
                          test::TaskRecord(mondays)});
    // Every reading of the clock moves it on by 250 ms, and each start is 300 ms later than the one
    // before: in one of the starts the date changes between any two readings of a pass.
    for (int start = 0; start < 40; ++start) {
        SetNow(2024, 3, 4, 23, 59, 30);  // a Monday
        StartAfresh();
        TickingClock clock(MakeLocalTime(2024, 3, 4, 23, 59, 40), std::chrono::milliseconds(250));
        clock.Sleep(std::chrono::milliseconds(300 * start));
        SetClock(&clock);
        ServiceLoop service;
        service.RunSeconds(50);
        clock.Set(MakeLocalTime(2024, 3, 5, 23, 59, 5));
        service.RunSeconds(20);
        SetClock(&zone_.clock());
        EXPECT_EQ(service.RunsOf(1, "23:59"), 2) << "start " << start << ": once on each day";
        EXPECT_EQ(service.RunsOf(2, "00:00"), 1) << "start " << start;
        EXPECT_EQ(service.RunsOf(3, "00:00"), 0)
            << "start " << start << ": Monday's 00:00 is gone on Monday night";
    }
}

}  // namespace
}  // namespace zov
