#pragma once

#include <ctime>
#include <string>

#include "engine/logs/QelLog.h"
#include "engine/tasks/TaskInfo.h"

// The log records of a task's runs.
namespace zov {

// A record of a run of the task, started now: the daily log of its kind, its operation ("普通", "差异" for a
// differential file task, "备份" for a database task), its id, name and item (the source of a file task, the
// databases of a database task, "---" when empty).
CQelLog TaskRecord(const TaskInfo& task);

// Writes a "失败" record of a run of the task with the target ("---" when empty) and the message.
void WriteFailedRecord(const TaskInfo& task, const std::string& target, const std::string& message);

}  // namespace zov
