#pragma once

#include <ctime>
#include <functional>

#include "engine/tasks/TaskInfo.h"

namespace zov {

// Told of a scheduled run that was cut short: the task as it was queued (its times field holds the one
// time) and the start of the run, 0 when unknown.
using InterruptedRunHandler = std::function<void(const TaskInfo& task, std::time_t runTime)>;

// Once at start-up, before the scheduler's first pass. First the hand runs of a management program that
// ended are filed (CBackup::RecoverEndedHandRuns). Then every time of today's "RUNNING" section of temp.ini
// was left there by a run cut short (kill, stop, crash), except the time a live hand run took over. Each
// moves to "FAILED", so it does not run again today, is logged to system.log, and then, when its task is
// still in task.db, handed to the handler (an empty handler is not called). The start of a run is the file
// run's start in [CURTASK] "<id>", given to the latest time of the task at or before it. A time that cannot
// be moved stays "RUNNING", with a logged error, for a later start to handle. A "RUNNING" section of an
// earlier day is left to the daily reset.
void RecoverInterruptedRuns(const InterruptedRunHandler& handler);

}  // namespace zov
