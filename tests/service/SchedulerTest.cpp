#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "SchedulerTestSupport.h"
#include "engine/settings/SystemLog.h"
#include "platform/IniProfile.h"
#include "service/ExpiredBackups.h"
#include "service/Scheduler.h"
#include "service/SharedTaskStore.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class SchedulerTest : public test::RunStateTest {
  protected:
    RunQueue queue_;
    SharedTaskStore store_{TaskDbPath()};
    Scheduler scheduler_{queue_, store_};
};

TEST_F(SchedulerTest, QueuesWhatIsDueThisMinuteOnce) {
    struct Case {
        std::string what;
        int id;
        bool queued;
    };
    std::vector<std::string> records;
    std::vector<Case> cases;
    auto add = [&](std::string what, bool queued, TaskInfo task, std::string record = "") {
        cases.push_back({std::move(what), task.id, queued});
        records.push_back(record.empty() ? test::TaskRecord(task) : record);
    };
    int id = 0;
    auto task = [&](const std::string& times) { return test::ScheduledTask(program_, ++id, times); };

    add("daily at this minute", true, task("08:00"));
    add("daily at another minute", false, task("07:59 08:01"));
    TaskInfo monday = task("08:00");
    monday.period = kWeekly;
    monday.days.set(0);
    add("weekly on Monday", true, monday);
    TaskInfo tuesday = task("08:00");
    tuesday.period = kWeekly;
    tuesday.days.set(1);
    add("weekly on Tuesday", false, tuesday);
    TaskInfo fourth = task("08:00");
    fourth.period = kMonthly;
    fourth.days.set(3);
    add("monthly on the 4th", true, fourth);
    TaskInfo last = task("08:00");
    last.period = kMonthly;
    last.days.set(30);
    add("monthly on the 31st", false, last);
    TaskInfo badPeriod = task("08:00");
    add("period out of range", false, badPeriod,
        Replaced(test::TaskRecord(badPeriod), "<DFLAG>1<", "<DFLAG>4<"));
    TaskInfo relative = task("08:00");
    relative.dest = "backup";
    add("relative storage folder", false, relative);
    TaskInfo relativeSource = task("08:00");
    relativeSource.source = "src";
    add("relative source", false, relativeSource);
    TaskInfo switchSource = task("08:00");
    switchSource.source = "-r";
    add("source read as a switch", false, switchSource);
    TaskInfo off = task("08:00");
    off.flags &= ~kTaskScheduled;
    add("scheduled runs off", false, off);
    add("the same time twice", true, task("07:00,08:00 08:00"));
    TaskInfo database = task("08:00");
    database.flags = kTaskScheduled;
    database.database = "sales";
    database.instance = "MSSQLSERVER";
    add("SQL Server task", true, database);
    TaskInfo untimed = task("08:00");
    add("no time but a period", false, untimed,
        Replaced(test::TaskRecord(untimed), "<TIME>08:00</TIME>", "<PERIOD>1</PERIOD>"));
    add("time not written HH:MM", false, task("8:00"));
    test::WriteTaskStore(records);
    test::WriteFile(DebugLogPath(), "");
    SetDebugSwitch(true);

    const long expected = std::count_if(cases.begin(), cases.end(), [](const Case& c) { return c.queued; });
    EXPECT_EQ(scheduler_.RunPass(), expected);
    EXPECT_EQ(scheduler_.RunPass(), 0) << "a second pass in the same minute";
    const std::vector<int> taken = TakeAll(queue_);
    for (const Case& c : cases) {
        EXPECT_EQ(std::count(taken.begin(), taken.end(), c.id), c.queued ? 1 : 0) << c.what;
    }
    EXPECT_EQ(scheduler_.RunPass(), 0) << "a pass after the workers took them";
    SetDebugSwitch(false);
    const std::string debug = test::ReadFile(DebugLogPath());
    EXPECT_NE(debug.find("\t文件备份任务加入任务列表\n"), std::string::npos);
    EXPECT_NE(debug.find("\tMSSQL数据库备份任务加入任务列表\n"), std::string::npos);
}

TEST_F(SchedulerTest, TimesThatRanTodayAreNotQueuedAgain) {
    for (const char* section : {kSucceededSection, kFailedSection, kRunningSection}) {
        IniFile(TempIniPath()).Write(RunStateKey(1), section, "07:00 08:00");
        test::WriteTaskStore({test::TaskRecord(test::ScheduledTask(program_, 1, "08:00"))});
        EXPECT_EQ(scheduler_.RunPass(), 0) << section;
        IniFile(TempIniPath()).Write(RunStateKey(1), section, "07:00");
        EXPECT_EQ(scheduler_.RunPass(), 1) << section;
        queue_.Clear();
    }
}

TEST_F(SchedulerTest, TheFirstPassOfADayForgetsYesterdaysTimes) {
    SetNow(2024, 3, 5, 0, 0, 5);
    ResetDailySections();
    IniFile(TempIniPath()).Write(RunStateKey(1), kSucceededSection, "00:00");
    test::WriteTaskStore({test::TaskRecord(test::ScheduledTask(program_, 1, "00:00"))});
    SetNow(2024, 3, 6, 0, 0, 5);
    EXPECT_EQ(scheduler_.RunPass(), 1);
    EXPECT_EQ(State(kSucceededSection, 1), "");
}

TEST_F(SchedulerTest, ATaskWithUnusableFoldersIsLoggedOnceForEachTimeItIsNotRun) {
    TaskInfo relative = test::ScheduledTask(program_, 1, "08:00 09:00");
    relative.source = "src";
    TaskInfo usable = test::ScheduledTask(program_, 2, "08:00");
    test::WriteTaskStore({test::TaskRecord(relative), test::TaskRecord(usable)});
    const std::string line = "任务任务1（ID 1）08:00未运行：源目录不是绝对路径：src\n";
    const std::string log = program_ / "Log/Files/system.log";
    struct Step {
        int day, hour, minute, second;
        int lines;  // of the task's 08:00 in system.log after the pass
    };
    const Step steps[] = {
        {4, 8, 0, 5, 1}, {4, 8, 0, 15, 1}, {4, 8, 0, 55, 1},
        {4, 8, 1, 5, 1}, {5, 8, 0, 5, 2},  {5, 8, 0, 15, 2},
    };
    for (const Step& step : steps) {
        SetNow(2024, 3, step.day, step.hour, step.minute, step.second);
        scheduler_.RunPass();
        const std::string text = test::ReadFile(log);
        long lines = 0;
        for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++lines;
        EXPECT_EQ(lines, step.lines) << step.day << " " << step.hour << ":" << step.minute << ":"
                                     << step.second;
    }
    EXPECT_EQ(TakeAll(queue_), std::vector<int>{2}) << "only the task with usable folders";
}

TEST_F(SchedulerTest, SwitchOffEmptiesTheQueue) {
    test::WriteTaskStore({test::TaskRecord(test::ScheduledTask(program_, 1, "08:00"))});
    EXPECT_EQ(scheduler_.RunPass(), 1);
    const IniFile config(ConfigIniPath());
    config.Write("switch", "SYSTEM", "OFF");
    EXPECT_EQ(scheduler_.RunPass(), 0);
    EXPECT_EQ(queue_.Size(), 0u);
    config.Write("switch", "SYSTEM", "ON");
    EXPECT_EQ(scheduler_.RunPass(), 1);
}

TEST_F(SchedulerTest, MissingOrEmptyStoreQueuesNothing) {
    EXPECT_EQ(scheduler_.RunPass(), 0);
    test::WriteFile(TaskDbPath(), "");
    EXPECT_EQ(scheduler_.RunPass(), 0);
    EXPECT_EQ(queue_.Size(), 0u);
}

TEST_F(SchedulerTest, EnqueueRefusesTimesThatAreNotClockTimes) {
    struct Case {
        std::string times;
        bool queued;
    };
    const Case cases[] = {{"08:00", true},  {"8:00", true},  {"", false},           {"24:00", false},
                          {"ab:cd", false}, {"0800", false}, {"08:00 09:00", false}};
    int id = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(queue_.Enqueue(test::ScheduledTask(program_, ++id, c.times), zov::Now()), c.queued)
            << c.times;
    }
    TaskInfo off = test::ScheduledTask(program_, ++id, "08:00");
    off.flags &= ~kTaskScheduled;
    EXPECT_FALSE(queue_.Enqueue(off, zov::Now()));
}

TEST_F(SchedulerTest, TheFirstPassOfANewDayStartsFreshSections) {
    SetNow(2024, 3, 4, 23, 59, 55);
    ResetDailySections();
    for (const char* section : {kSucceededSection, kFailedSection, kRunningSection}) {
        temp_.Write(RunStateKey(1), section, "23:59");
    }
    temp_.Write("7", kTempTasksSection, "FAILED");
    test::StoppingClock clock(zov::Now(), std::chrono::milliseconds(10100));
    SetClock(&clock);
    scheduler_.Run(clock.token());
    SetClock(&zone_.clock());
    for (const char* section : {kSucceededSection, kFailedSection, kRunningSection, kTempTasksSection}) {
        EXPECT_EQ(IniFile(TempIniPath()).Read("DAY", section), "20240305") << section;
        EXPECT_EQ(ini::Keys(TempIniPath(), section).size(), 1u) << section;
    }
}

TEST_F(SchedulerTest, ExpiredBackupsGoAfterTheirKeepDays) {
    SetNow(2024, 3, 20, 12, 0, 0);
    TaskInfo files = test::ScheduledTask(program_, 1, "08:00");
    files.flags |= kTaskKeepDays;
    files.keepDays = 7;
    TaskInfo kept = test::ScheduledTask(program_, 2, "08:00");
    TaskInfo database = test::ScheduledTask(program_, 3, "08:00");
    database.flags = kTaskScheduled | kTaskKeepDays;
    database.database = "sales";
    database.instance = "MSSQLSERVER";
    database.keepDays = 7;
    // The highest possible id: a pass visits tasks, not every number below it.
    TaskInfo top = files;
    top.id = 2147483647;
    top.dest = program_ / "top";
    const std::string old = "2024-03-01/src_20240301080000.rar";
    const std::string recent = "2024-03-19/src_20240319080000.rar";
    for (const TaskInfo& task : {files, kept, database, top}) {
        test::WriteFile(task.dest + "/" + old, "old");
        test::WriteFile(task.dest + "/" + recent, "recent");
    }
    TaskInfo relative = files;
    relative.id = 4;
    relative.dest = "bak";
    test::WriteFile(program_ / ("bak/" + old), "in the working folder");
    test::WriteTaskStore({test::TaskRecord(files), test::TaskRecord(kept), test::TaskRecord(database),
                          test::TaskRecord(relative), test::TaskRecord(top)});
    const fs::path workingFolder = fs::current_path();
    fs::current_path(program_.path());
    ExpiredBackups(store_).RunPass();
    fs::current_path(workingFolder);
    EXPECT_TRUE(fs::exists(program_ / ("bak/" + old))) << "a relative storage folder is left alone";
    EXPECT_FALSE(fs::exists(files.dest + "/2024-03-01"));
    EXPECT_FALSE(fs::exists(database.dest + "/2024-03-01"));
    EXPECT_FALSE(fs::exists(top.dest + "/2024-03-01"));
    EXPECT_TRUE(fs::exists(kept.dest + "/" + old)) << "keep days 0 keeps everything";
    for (const TaskInfo& task : {files, kept, database}) EXPECT_TRUE(fs::exists(task.dest + "/" + recent));
}

// A pass whose tasks' storage folders did not change and whose next expiry moment has not come lists no
// folder; the deletions still come at the passes they came at before: when the cutoff passes a stamp, when
// the cutoff day changes and when a folder changed.
TEST_F(SchedulerTest, ExpiredBackupsSkipOnlyPassesThatCannotDeleteAnything) {
    SetNow(2024, 3, 20, 12, 0, 0);
    TaskInfo files = test::ScheduledTask(program_, 1, "08:00");
    files.flags |= kTaskKeepDays;
    files.keepDays = 7;
    TaskInfo database = test::ScheduledTask(program_, 2, "08:00");
    database.flags = kTaskScheduled | kTaskKeepDays;
    database.database = "sales";
    database.instance = "MSSQLSERVER";
    database.keepDays = 7;
    const std::vector<std::string> names = {"2024-03-13/src_20240313110000.rar",
                                            "2024-03-13/src_20240313130000.rar", "2024-03-13/notes.txt",
                                            "2024-03-19/src_20240319080000.rar"};
    for (const TaskInfo& task : {files, database}) {
        for (const std::string& name : names) test::WriteFile(task.dest + "/" + name, "set");
    }
    test::WriteTaskStore({test::TaskRecord(files), test::TaskRecord(database)});
    auto exists = [&](const std::string& name) {
        return fs::exists(files.dest + "/" + name) && fs::exists(database.dest + "/" + name);
    };
    auto gone = [&](const std::string& name) {
        return !fs::exists(files.dest + "/" + name) && !fs::exists(database.dest + "/" + name);
    };
    ExpiredBackups expiry(store_);
    // Folders changed within the last second are not trusted to stay as they were seen.
    const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1100)); };
    settle();
    expiry.RunPass();
    EXPECT_TRUE(gone(names[0]));
    EXPECT_TRUE(exists(names[1]));
    settle();
    expiry.RunPass();
    test::OpenCounter opens(
        {files.dest, files.dest + "/2024-03-13", database.dest, database.dest + "/2024-03-13"});
    expiry.RunPass();
    EXPECT_EQ(opens.Take(), 0) << "a pass with nothing changed lists nothing";

    SetNow(2024, 3, 20, 13, 0, 0);
    expiry.RunPass();
    EXPECT_EQ(opens.Take(), 0) << "the cutoff has reached the stamp, not passed it";
    EXPECT_TRUE(exists(names[1]));
    SetNow(2024, 3, 20, 13, 0, 1);
    expiry.RunPass();
    EXPECT_TRUE(gone(names[1])) << "the cutoff passed the stamp";
    EXPECT_GT(opens.Take(), 0);

    settle();
    expiry.RunPass();
    opens.Take();
    expiry.RunPass();
    EXPECT_EQ(opens.Take(), 0);
    test::WriteFile(files.dest + "/2024-03-13/src_20240313120000.rar", "copied in");
    test::WriteFile(database.dest + "/2024-03-13/src_20240313120000.rar", "copied in");
    expiry.RunPass();
    EXPECT_TRUE(gone("2024-03-13/src_20240313120000.rar")) << "a changed folder is looked at again";

    settle();
    expiry.RunPass();
    EXPECT_TRUE(exists(names[2])) << "no stamp: it goes with its day";
    SetNow(2024, 3, 21, 0, 0, 1);
    expiry.RunPass();
    EXPECT_TRUE(gone(names[2])) << "the cutoff day changed";
    EXPECT_TRUE(exists(names[3]));
}

}  // namespace
}  // namespace zov
