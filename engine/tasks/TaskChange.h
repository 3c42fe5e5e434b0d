#pragma once

#include <string>
#include <vector>

#include "engine/logs/QelLog.h"
#include "engine/tasks/TaskInfo.h"

// What a change of a task does to the stored records, and the interface log record that tells of it.
namespace zov {

// Kinds of ChangeTask; also the operation types of its interface log record.
enum TaskChange : int { kChangeModify = 1, kChangeAdd = 2, kChangeDelete = 3 };

// The interface log record of a change of task, started now, with its operation, task name, item (what
// the task backs up) and target (its storage folder); the caller adds the task id and the result.
CQelLog StartChangeLog(int type, const TaskInfo& task);

// Applies a change to the records: formatted is the new record (add) or the new text after the head of
// every record of id (modify); delete removes every record of id.
void ApplyChange(int type, int id, const std::string& formatted, std::vector<std::string>& records);

}  // namespace zov
