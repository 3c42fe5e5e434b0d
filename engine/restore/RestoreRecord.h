#pragma once

#include <string>

#include "engine/logs/QelLog.h"

// The file-log record of one restored item.
namespace zov {

inline constexpr int kLogTypeRestore = 6;  // "还原"

// A record of the restore of item for task taskId, started now: file log, operation "还原", task name "-".
CQelLog RestoreRecord(int taskId, const std::string& item);

// Writes the record with the target and the result: "成功" with no message, or "失败" with message.
void WriteRestoreRecord(CQelLog& record, const std::string& target, bool succeeded,
                        const std::string& message);

}  // namespace zov
