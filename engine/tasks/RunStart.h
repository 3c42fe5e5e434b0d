#pragma once

#include <ctime>
#include <string>
#include <vector>

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

// The lock a hand run of task id holds while it runs: a hand-run mark that nobody's lock stands behind was
// left by a program that ended. The kernel drops it with the process, so no reused process id can hold it.
std::string HandRunLockPath(int id);

// Whether a hand run of task id holds its lock now. A lock that cannot be probed counts as held, so that
// a mark is never taken for stale by mistake.
bool HandRunLive(int id);

// The service's start of the scheduled time "HH:MM" of task id: Busy when [RUNNING], [SUCCEED] or [FAILED]
// "TIME_<id>" holds the time; ByHand when [TEMPTASKS] "<id>" marks a live hand run; otherwise the time is
// marked in [RUNNING].
RunStart StartScheduledRun(int id, const std::string& time);

// A hand run of one task, from its start to its end.
class HandRun {
  public:
    // Takes the task's hand-run lock (Busy when another run holds it), then in one step: Busy when
    // [TEMPTASKS] "<id>" holds "RUNNING" or [RUNNING] "TIME_<id>" holds a time (the service runs it);
    // otherwise the mark is written, the run's start noted in [HANDRUN] and, when a scheduled time of the
    // task is due at the minute of now and has not started today, the hand run takes it over (noted in
    // [RUNNING], as a worker notes its time) so that the service does not run the task again in that minute.
    HandRun(const TaskInfo& task, std::time_t now);
    HandRun(const HandRun&) = delete;
    HandRun& operator=(const HandRun&) = delete;

    RunStart state() const { return state_; }
    // The scheduled time the run took over, "" when none.
    const std::string& takenTime() const { return takenTime_; }

    // Files the end of a started run: success removes the mark and moves a taken-over time to [SUCCEED],
    // failure writes "FAILED" and moves it to [FAILED]. False when temp.ini could not be written. The lock
    // is released; a second call does nothing.
    bool Finish(bool succeeded);

  private:
    int id_;
    FileLock lock_;
    RunStart state_ = RunStart::NotWritten;
    bool finished_ = false;
    std::string takenTime_;
};

// A hand run whose program ended before the run did: its task, its start (0 when unknown) and the
// scheduled time it took over ("" when none).
struct EndedHandRun {
    int id = 0;
    std::time_t start = 0;
    std::string takenTime;
};

// In one locked step on temp.ini, every [TEMPTASKS] hand-run mark whose lock nobody holds is filed as a
// failed hand run: the mark becomes "FAILED" and the time the run took over moves from [RUNNING] to
// [FAILED]. A task with another time in [RUNNING] (a scheduled run started since, which writes into the
// same folders) is left for a later call. Returns the runs so filed, none when temp.ini could not be
// written.
std::vector<EndedHandRun> FileEndedHandRuns();

}  // namespace zov
