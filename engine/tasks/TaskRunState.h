#pragma once

#include "engine/tasks/TaskInfo.h"

// What a change of a task does to its run state in temp.ini: key "TIME_<id>" of the daily sections holds
// the times of today that ran, are running or failed.
namespace zov {

// A new task starts without run state left over from an earlier task of the same id.
void ForgetRunState(int id);

// Notes the task's times of day that have already passed today as succeeded, so they do not run any more
// today.
void MarkPastTimes(const TaskInfo& task);

}  // namespace zov
