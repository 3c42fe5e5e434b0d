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

// The tasks of the records due at the minute of when, in record order.
std::vector<TaskInfo> DueTasks(const std::vector<std::string>& records, std::time_t when);

}  // namespace zov
