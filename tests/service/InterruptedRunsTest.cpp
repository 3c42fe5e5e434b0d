#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include "SchedulerTestSupport.h"
#include "ServiceTestSupport.h"
#include "platform/IniProfile.h"
#include "platform/ServiceManagerLocal.h"
#include "service/InterruptedRuns.h"
#include "service/Scheduler.h"
#include "service/SharedTaskStore.h"

namespace zov {
namespace {

// Task id, time and run start of one call of the handler.
using Report = std::tuple<int, std::string, std::time_t>;

class InterruptedRunsTest : public test::RunStateTest {
  protected:
    std::vector<Report> Recover() {
        std::vector<Report> reports;
        RecoverInterruptedRuns([&](const TaskInfo& task, std::time_t runTime) {
            reports.emplace_back(task.id, task.times, runTime);
            EXPECT_EQ(task.name, "任务" + std::to_string(task.id));
        });
        return reports;
    }
};

TEST_F(InterruptedRunsTest, TimesLeftRunningTodayFailAndAreReportedOnce) {
    const std::time_t started = MakeLocalTime(2024, 3, 4, 8, 0, 2);
    struct Case {
        std::string what;
        int id;
        bool stored;
        std::string running, curtask, tempTask;
        std::vector<Report> reports;
    };
    const std::vector<Case> cases = {
        {"file run", 1, true, "08:00", "2024-03-04 08:00:02", "", {{1, "08:00", started}}},
        {"two runs; the start is the later one's",
         2,
         true,
         "07:00 08:00",
         "2024-03-04 08:00:02",
         "",
         {{2, "07:00", 0}, {2, "08:00", started}}},
        {"task no longer stored", 3, false, "08:00", "2024-03-04 08:00:02", "", {}},
        {"start not readable", 4, true, "08:00", "2024-03-04 25:00:02", "", {{4, "08:00", 0}}},
        {"start of yesterday", 5, true, "08:00", "2024-03-03 08:00:02", "", {{5, "08:00", 0}}},
        {"start before the time", 6, true, "08:00", "2024-03-04 07:59:59", "", {{6, "08:00", 0}}},
        {"no start (database run)", 7, true, "08:00", "", "", {{7, "08:00", 0}}},
        {"marked by a program that ended",
         8,
         true,
         "08:00",
         "2024-03-04 08:00:02",
         "RUNNING",
         {{8, "08:00", started}}},
    };
    std::vector<std::string> records;
    std::vector<Report> expected;
    for (const Case& c : cases) {
        if (c.stored) records.push_back(test::TaskRecord(test::ScheduledTask(program_, c.id, "07:00 08:00")));
        temp_.Write(RunStateKey(c.id), kRunningSection, c.running);
        temp_.Write(std::to_string(c.id), "CURTASK", c.curtask);
        temp_.Write(std::to_string(c.id), kTempTasksSection, c.tempTask);
        expected.insert(expected.end(), c.reports.begin(), c.reports.end());
    }
    temp_.Write(RunStateKey(1), kFailedSection, "06:00");
    test::WriteTaskStore(records);

    EXPECT_EQ(Recover(), expected);
    for (const Case& c : cases) {
        EXPECT_EQ(State(kFailedSection, c.id), c.id == 1 ? "06:00 08:00" : c.running) << c.what;
    }
    EXPECT_EQ(ini::Keys(TempIniPath(), kRunningSection), std::vector<std::string>{"DAY"});
    const std::string log = test::ReadFile(program_ / "Log/Files/system.log");
    EXPECT_NE(log.find("\t任务任务2（ID 2）07:00的运行被中断，记为失败\n"), std::string::npos) << log;
    EXPECT_TRUE(Recover().empty()) << "a second start reports nothing again";

    RunQueue queue;
    SharedTaskStore store(TaskDbPath());
    EXPECT_EQ(Scheduler(queue, store).RunPass(), 0) << "no time is run again at its minute";
}

TEST_F(InterruptedRunsTest, RunningTimesOfAnEarlierDayAreLeftToTheDailyReset) {
    test::WriteTaskStore({test::TaskRecord(test::ScheduledTask(program_, 1, "08:00"))});
    temp_.Write(RunStateKey(1), kRunningSection, "08:00");
    temp_.Write(kDayKey, kRunningSection, "20240303");
    EXPECT_TRUE(Recover().empty());
    EXPECT_EQ(State(kRunningSection, 1), "08:00");
    EXPECT_EQ(State(kFailedSection, 1), "");
    ResetDailySections();
    RunQueue queue;
    SharedTaskStore store(TaskDbPath());
    EXPECT_EQ(Scheduler(queue, store).RunPass(), 1) << "a new day runs the time";
}

TEST(InterruptedRunsServiceTest, TheServiceFilesATimeLeftRunningWhenItStarts) {
    using namespace std::chrono_literals;
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    TaskInfo task;
    task.id = 1;
    task.name = "cut short";
    task.flags = kTaskFile | kTaskScheduled;
    task.source = dir / "src/";
    task.dest = dir / "bak";
    task.times = "00:00";
    test::WriteTaskStore({test::TaskRecord(task)});
    ResetDailySections();
    const IniFile temp(TempIniPath());
    ASSERT_TRUE(temp.Write(RunStateKey(1), kRunningSection, "00:00"));

    LocalServiceManager manager(dir.recordFolder());
    ServiceConfig config;
    config.name = "ZovSvcx";
    config.displayName = config.name;
    config.command = {program};
    ASSERT_TRUE(manager.Install(config));
    ASSERT_TRUE(manager.Start(config.name));
    // The log line comes after the move.
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            return test::ReadFile(dir / "Log/Files/system.log").find("的运行被中断，记为失败") !=
                   std::string::npos;
        },
        15s))
        << test::ReadFile(dir / "Log/Files/system.log");
    EXPECT_EQ(temp.Read(RunStateKey(1), kFailedSection), "00:00") << test::ReadFile(TempIniPath());
    EXPECT_EQ(temp.Read(RunStateKey(1), kRunningSection), "");
    EXPECT_TRUE(manager.Stop(config.name));
    EXPECT_TRUE(manager.Remove(config.name));
}

}  // namespace
}  // namespace zov
