#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "engine/tasks/TaskInfo.h"

// Which task records are due at a minute: the scheduler's selection.
namespace zov {

// For a record whose FLAG switches scheduled runs on: appends its task once for every item of its TIME
// equal to the "%H:%M" of when (with TIME set to that item), or unchanged when it has no TIME but a
// PERIOD; with clearFirst the list is emptied first. Records that do not parse are left out. False when
// nothing is due.
bool AddDueTask(const std::string& record, std::vector<TaskInfo>& list, bool clearFirst, std::time_t when);

// Why the schedule of a record that parses into task can never be due, or is due at fewer times than it
// names: no time, a time that is not "HH:MM" (00:00 .. 23:59), weekly or monthly without a day. "" when
// its scheduled runs are off or nothing is wrong.
std::string NeverDueReason(const std::string& record, const TaskInfo& task);

// The tasks of the records due at the minute of when, in record order.
std::vector<TaskInfo> DueTasks(const std::vector<std::string>& records, std::time_t when);

}  // namespace zov
