#pragma once

#include <ctime>
#include <string>

#include "engine/tasks/TaskInfo.h"
#include "platform/FileLock.h"

// Starting a run of a task: one locked step on temp.ini, the same for the service's scheduled runs and the
// management program's runs at once ("hand runs"), so that a task never runs twice at the same time and a
// scheduled time runs once.
namespace zov {

enum class RunStart {
    Started,
    Busy,        // the task runs now, or the scheduled time already ran, runs or failed today
    ByHand,      // a scheduled time met a hand run of its task: the hand run stands for it
    NotWritten,  // temp.ini could not be written: nothing runs
};

// The value of [TEMPTASKS] "<id>" while a hand run of the task runs.
inline constexpr const char* kHandRunMark = "RUNNING";
// The value after a hand run failed.
inline constexpr const char* kHandRunFailed = "FAILED";

// Whether a [TEMPTASKS] value says that a hand run of its task runs (or ran in a program that ended).
bool IsHandRunMark(const std::string& value);

// The lock every hand run holds shared while it runs: a hand-run mark that nobody's lock stands behind was
// left by a program that ended.
std::string HandRunLockPath();

// The service's start of the scheduled time "HH:MM" of task id: Busy when [RUNNING], [SUCCEED] or [FAILED]
// "TIME_<id>" holds the time; ByHand when [TEMPTASKS] "<id>" marks a live hand run; otherwise the time is
// marked in [RUNNING].
RunStart StartScheduledRun(int id, const std::string& time);

// A hand run of one task, from its start to its end.
class HandRun {
  public:
    // Takes the hand-run lock, then in one step: Busy when [TEMPTASKS] "<id>" holds "RUNNING" or [RUNNING]
    // "TIME_<id>" holds a time (the service runs it); otherwise the mark is written, and when a scheduled
    // time of the task is due at the minute of now and has not started today, the hand run takes it over
    // (noted in [SUCCEED]) so that the service does not run the task again in that minute.
    HandRun(const TaskInfo& task, std::time_t now);
    HandRun(const HandRun&) = delete;
    HandRun& operator=(const HandRun&) = delete;

    RunStart state() const { return state_; }
    // The scheduled time the run took over, "" when none.
    const std::string& takenTime() const { return takenTime_; }

    // Files the end of a started run: success removes the mark, failure writes "FAILED" and moves a
    // taken-over time to [FAILED]. False when temp.ini could not be written. The lock is released; a second
    // call does nothing.
    bool Finish(bool succeeded);

  private:
    int id_;
    FileLock lock_;
    RunStart state_ = RunStart::NotWritten;
    bool finished_ = false;
    std::string takenTime_;
};

}  // namespace zov
