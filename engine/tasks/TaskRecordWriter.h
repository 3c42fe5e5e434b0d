#pragma once

#include <optional>
#include <string>

#include "engine/tasks/TaskInfo.h"

// Writing a TaskInfo as a task record, and which values a record can hold.
namespace zov {

// TIME written for a scheduled task without times.
inline constexpr const char* kDefaultRunTimes = "01:00";
// NAME written for a task without a name is this followed by its id.
inline constexpr const char* kUnnamedTaskPrefix = "Task_";
// The service writes a keep-days value above this one as this one.
inline constexpr int32_t kMaxServiceKeepDays = 100;

// The record text of a task. With newIdAbove the task first gets an id above it (its own when that is
// higher) and the record starts with its <ID> line; without, the record is the text after a head, from
// <NAME> on. Corrects out-of-range fields of task (flags outside 1..63 become kDefaultTaskFlags),
// and with clampKeepDays a keep-days value above kMaxServiceKeepDays. False (record unchanged) when
// no id is left above newIdAbove, when the task is incomplete (a file task without source, an SQL Server
// task without databases) or when a value could not be read back (a name or folder holding one of
// kNameForbidden, any value holding '<', '>', a NUL byte or the record marker).
bool FormatRecord(TaskInfo& task, std::optional<int> newIdAbove, bool clampKeepDays, std::string& record);

}  // namespace zov
