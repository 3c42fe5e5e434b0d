#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/RunStart.h"
#include "platform/Clock.h"
#include "platform/FileLock.h"
#include "platform/ProgramDir.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

constexpr int kId = 7;

class RunStartTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(PrivateRunFolder(dir_.path())); }

    // A daily task scheduled at 09:30 and 18:00.
    TaskInfo Task() const {
        TaskInfo task;
        task.id = kId;
        task.name = "docs";
        task.flags = kTaskFile | kTaskScheduled;
        task.source = dir_ / "src";
        task.dest = dir_ / "bak";
        task.times = "09:30 18:00";
        return task;
    }

    std::string Read(const char* section, const std::string& key) const { return temp_.Read(key, section); }
    std::string Times(const char* section) const { return Read(section, RunStateKey(kId)); }
    std::string Mark() const { return Read(kTempTasksSection, std::to_string(kId)); }

    test::TempProgramDir dir_;
    IniFile temp_{TempIniPath()};
    const std::time_t nineThirty_ = MakeLocalTime(2024, 5, 6, 9, 30, 10);
};

TEST_F(RunStartTest, ScheduledRunStartsOnlyAFreeTime) {
    struct Case {
        const char* name;
        std::function<void(const IniFile&)> before;
        bool handRunLive;
        RunStart result;
        std::string running;
    };
    const std::string key = RunStateKey(kId);
    const Case cases[] = {
        {"free", [](const IniFile&) {}, false, RunStart::Started, "09:30"},
        {"running", [&](const IniFile& t) { t.Write(key, kRunningSection, "09:30"); }, false, RunStart::Busy,
         "09:30"},
        {"ran", [&](const IniFile& t) { t.Write(key, kSucceededSection, "09:30"); }, false, RunStart::Busy,
         ""},
        {"failed", [&](const IniFile& t) { t.Write(key, kFailedSection, "09:30"); }, false, RunStart::Busy,
         ""},
        {"run by hand now",
         [](const IniFile& t) { t.Write(std::to_string(kId), kTempTasksSection, kHandRunMark); }, true,
         RunStart::ByHand, ""},
        {"mark left by a program that ended",
         [](const IniFile& t) { t.Write(std::to_string(kId), kTempTasksSection, kHandRunMark); }, false,
         RunStart::Started, "09:30"},
        {"another time running", [&](const IniFile& t) { t.Write(key, kRunningSection, "08:00"); }, false,
         RunStart::Started, "08:00 09:30"},
    };
    for (const Case& c : cases) {
        temp_.Write("", kRunningSection, "");
        temp_.Write("", kSucceededSection, "");
        temp_.Write("", kFailedSection, "");
        temp_.Write("", kTempTasksSection, "");
        c.before(temp_);
        FileLock live;
        if (c.handRunLive) live = FileLock::Acquire(HandRunLockPath(kId), FileLock::Mode::Exclusive);
        EXPECT_EQ(StartScheduledRun(kId, "09:30"), c.result) << c.name;
        EXPECT_EQ(Times(kRunningSection), c.running) << c.name;
    }
}

TEST_F(RunStartTest, HandRunMarksItselfAndTakesOverTheTimeDueNow) {
    struct Case {
        const char* name;
        std::time_t now;
        int flags;
        std::string startedBefore;  // under SUCCEED
        bool succeeded;
        std::string runningDuring, succeededAfter, failedAfter, markAfter;
    };
    const int scheduled = kTaskFile | kTaskScheduled;
    const std::time_t later = MakeLocalTime(2024, 5, 6, 10, 0, 0);
    const Case cases[] = {
        {"due now, succeeds", nineThirty_, scheduled, "", true, "09:30", "09:30", "", ""},
        {"due now, fails", nineThirty_, scheduled, "", false, "09:30", "", "09:30", kHandRunFailed},
        {"due now but ran already", nineThirty_, scheduled, "09:30", false, "", "09:30", "", kHandRunFailed},
        {"nothing due", later, scheduled, "", true, "", "", "", ""},
        {"runs off", nineThirty_, kTaskFile, "", true, "", "", "", ""},
    };
    for (const Case& c : cases) {
        temp_.Write(RunStateKey(kId), kSucceededSection, c.startedBefore);
        temp_.Write(RunStateKey(kId), kFailedSection, "");
        TaskInfo task = Task();
        task.flags = c.flags;
        HandRun run(task, c.now);
        ASSERT_EQ(run.state(), RunStart::Started) << c.name;
        EXPECT_EQ(Mark(), kHandRunMark) << c.name;
        EXPECT_EQ(Times(kRunningSection), c.runningDuring) << c.name << ": not a success before its end";
        EXPECT_EQ(Times(kSucceededSection), c.startedBefore) << c.name;
        EXPECT_NE(StartScheduledRun(kId, "09:30"), RunStart::Started) << c.name << ": the hand run runs";
        EXPECT_EQ(HandRun(task, c.now).state(), RunStart::Busy) << c.name << ": one hand run at a time";
        EXPECT_TRUE(run.Finish(c.succeeded)) << c.name;
        EXPECT_EQ(Times(kSucceededSection), c.succeededAfter) << c.name;
        EXPECT_EQ(Times(kFailedSection), c.failedAfter) << c.name;
        EXPECT_EQ(Mark(), c.markAfter) << c.name;
        EXPECT_EQ(Times(kRunningSection), "") << c.name;
        EXPECT_EQ(StartScheduledRun(kId, "09:30") == RunStart::Started,
                  c.succeededAfter.empty() && c.failedAfter.empty())
            << c.name << ": a time taken over does not run again";
        temp_.Write(RunStateKey(kId), kRunningSection, "");
    }
}

TEST_F(RunStartTest, HandRunIsRefusedWhileTheTaskRuns) {
    const struct {
        const char* name;
        const char* section;
        std::string key;
        std::string value;
    } cases[] = {
        {"run by hand", kTempTasksSection, std::to_string(kId), kHandRunMark},
        {"marked inside a longer value", kTempTasksSection, std::to_string(kId), "x RUNNING"},
        {"run by the service", kRunningSection, RunStateKey(kId), "08:00"},
    };
    for (const auto& c : cases) {
        temp_.Write(c.key, c.section, c.value);
        HandRun run(Task(), nineThirty_);
        EXPECT_EQ(run.state(), RunStart::Busy) << c.name;
        EXPECT_EQ(Read(c.section, c.key), c.value) << c.name;
        EXPECT_EQ(Times(kSucceededSection), "") << c.name << ": nothing taken over";
        temp_.Write(c.key, c.section, "");
    }
    HandRun failed(Task(), nineThirty_);
    EXPECT_TRUE(failed.Finish(false));
    HandRun again(Task(), nineThirty_);
    EXPECT_EQ(again.state(), RunStart::Started) << "a failed mark does not refuse";
}

// Hand runs and the service's starts of the same task in the same minute, all at once: one of them runs.
TEST_F(RunStartTest, RacingStartsRunTheTaskOnce) {
    for (int round = 0; round < 20; ++round) {
        temp_.Write("", kRunningSection, "");
        temp_.Write("", kSucceededSection, "");
        temp_.Write("", kTempTasksSection, "");
        std::atomic<int> started{0};
        std::atomic<bool> go{false};
        std::vector<std::unique_ptr<HandRun>> handRuns(4);
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&, i] {
                while (!go) std::this_thread::yield();
                if (i % 2 == 0) {
                    handRuns[static_cast<std::size_t>(i / 2)] =
                        std::make_unique<HandRun>(Task(), nineThirty_);
                    if (handRuns[static_cast<std::size_t>(i / 2)]->state() == RunStart::Started) ++started;
                } else if (StartScheduledRun(kId, "09:30") == RunStart::Started) {
                    ++started;
                }
            });
        }
        go = true;
        for (std::thread& thread : threads) thread.join();
        EXPECT_EQ(started.load(), 1) << "round " << round;
    }
}

}  // namespace
}  // namespace zov
