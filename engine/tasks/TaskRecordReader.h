#pragma once

#include <string>

#include "engine/tasks/TaskInfo.h"

// Reading a task record into a TaskInfo.
namespace zov {

// Reads one record into task; fields without a value in the record keep theirs. False (task unchanged)
// when a required value is missing or malformed: a missing value, a FLAG outside 1..63, a DFLAG outside
// 1..3, a malformed DAYS, a name or folder holding one of kNameForbidden, ...; why tells which, and is ""
// when the record is read.
bool ParseRecord(const std::string& record, TaskInfo& task, std::string& why);
// The same for a caller that does not report the reason.
bool ParseRecord(const std::string& record, TaskInfo& task);

}  // namespace zov
