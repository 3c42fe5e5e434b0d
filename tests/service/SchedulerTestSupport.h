#pragma once

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <ctime>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "engine/util/Aes.h"
#include "platform/Clock.h"
#include "service/RunQueue.h"
#include "service/RunState.h"
#include "support/ChinaTimeClock.h"
#include "support/ManualClock.h"
#include "support/TempProgramDir.h"

namespace zov::test {

// Counts the opens in the watched folders as the kernel reports them (a listing opens its folder, a store
// read opens task.db, a stat opens nothing).
class OpenCounter {
  public:
    explicit OpenCounter(const std::vector<std::string>& folders)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(fd_, 0);
        for (const std::string& folder : folders)
            EXPECT_GE(inotify_add_watch(fd_, folder.c_str(), IN_OPEN), 0);
    }
    ~OpenCounter() { ::close(fd_); }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;

    // The opens since the last call: of the entry name, or of anything when name is "".
    int Take(const std::string& name = "") {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (name.empty() || (event->len > 0 && std::string(event->name) == name)) ++opens;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return opens;
    }

  private:
    int fd_;
};

// The record text of a task as the store writes it.
inline std::string TaskRecord(TaskInfo task) { return CQelXML().FormatTask(task, true); }

// Replaces task.db with a store holding the records.
inline void WriteTaskStore(const std::vector<std::string>& records) {
    std::string text = "<SETUP>\n<TASK>|||||";
    for (const std::string& record : records) text += record + "|||||\n";
    text += "</TASK>\n</SETUP>";
    ASSERT_EQ(CAES().EncryptTextToFile(text, kTaskStoreKey, TaskDbPath()), 1);
}

// A scheduled daily file task that copies program/src into program/bak/<id>.
inline TaskInfo ScheduledTask(const TempProgramDir& program, int id, const std::string& times) {
    TaskInfo task;
    task.id = id;
    task.name = "任务" + std::to_string(id);
    task.flags = kTaskFile | kTaskScheduled;
    task.source = program / "src/";
    task.dest = program / ("bak/" + std::to_string(id));
    task.times = times;
    return task;
}

// A manual clock that requests a stop once it has slept longer than a limit, so a thread loop can run
// on the test's own thread for a known stretch of time.
class StoppingClock : public ManualClock {
  public:
    StoppingClock(std::time_t now, std::chrono::milliseconds limit) : ManualClock(now), limit_(limit) {}
    void Sleep(std::chrono::milliseconds duration) override {
        ManualClock::Sleep(duration);
        slept_ += duration;
        if (slept_ > limit_) stop_.request_stop();
    }
    std::stop_token token() const { return stop_.get_token(); }

  private:
    std::chrono::milliseconds limit_;
    std::chrono::milliseconds slept_{0};
    std::stop_source stop_;
};

// The program folder, the local time of Beijing and a manual clock at a given minute; temp.ini's daily
// sections belong to that day.
class RunStateTest : public ::testing::Test {
  protected:
    RunStateTest() {
        IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Log/");
        WriteFile(program_ / "src/a.txt", "alpha");
        ResetDailySections();
    }

    void SetNow(int year, int month, int day, int hour, int minute, int second = 0) {
        zone_.clock().Set(MakeLocalTime(year, month, day, hour, minute, second));
    }

    std::string State(const std::string& section, int id) const {
        return temp_.Read(RunStateKey(id), section);
    }

    // Takes every queued entry (marking it "RUNNING") at 23:59 of today and returns their ids in order.
    std::vector<int> TakeAll(RunQueue& queue) const {
        const std::time_t now = zov::Now();
        std::tm local{};
        localtime_r(&now, &local);
        const std::time_t late = MakeLocalTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 23, 59);
        std::vector<int> ids;
        while (auto task = queue.TakeRunnable(late)) ids.push_back(task->id);
        return ids;
    }

    TempProgramDir program_;
    ChinaTimeClock zone_{2024, 3, 4, 8, 0, 5};  // a Monday
    IniFile temp_{TempIniPath()};
};

}  // namespace zov::test
