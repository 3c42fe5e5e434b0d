#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "engine/tasks/TaskInfo.h"

// The checks a task passes before it is saved.
namespace zov {

// Results of ValidateTask besides the similarity levels 0..3.
inline constexpr int kValidateError = -1;
inline constexpr int kValidateWarning = -2;

// Checks task against itself and the stored records (storeLoaded: whether they were read):
// kValidateError or kValidateWarning with a message, otherwise the similarity 0..3 to the tasks of the
// records due at the minute of when (message "").
int ValidateTask(const TaskInfo& task, const std::vector<std::string>& records, bool storeLoaded,
                 std::time_t when, std::string& message);

}  // namespace zov
