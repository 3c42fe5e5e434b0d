#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tasks/TaskInfo.h"

// The checks a task passes before it is saved.
namespace zov {

// Results of ValidateTask besides the similarity levels 0..3.
inline constexpr int kValidateError = -1;
inline constexpr int kValidateWarning = -2;

// True when the text holds none of '<', '>', '|' and no control character (NUL included): what a task's
// name, folders and password may hold.
bool IsSafeTaskText(std::string_view text);

// Checks task against itself and the stored records (storeLoaded: whether they were read):
// kValidateError or kValidateWarning with a message, otherwise the similarity 0..3 to the tasks of the
// records due at the minute of when (message "").
int ValidateTask(const TaskInfo& task, const std::vector<std::string>& records, bool storeLoaded,
                 std::time_t when, std::string& message);

}  // namespace zov
