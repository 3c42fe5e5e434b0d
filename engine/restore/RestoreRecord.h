#pragma once

#include <string>

#include "engine/logs/QelLog.h"

// The file-log record of one restored item.
namespace zov {

// The operation types "还原" of the file, SQL Server and MySQL logs.
inline constexpr int kLogTypeRestore = 6;
inline constexpr int kLogTypeSqlServerRestore = 10;
inline constexpr int kLogTypeMySqlRestore = 12;

// A record of a restore of item for task taskId, started now, in the log of category with the operation
// type and the task-name column taskName.
CQelLog RestoreRecord(int category, int type, int taskId, const std::string& taskName,
                      const std::string& item);

// A file restore's record: file log, operation "还原", task name "-".
CQelLog RestoreRecord(int taskId, const std::string& item);

// Writes the record with the target and the result: "成功" with no message, or "失败" with message.
void WriteRestoreRecord(CQelLog& record, const std::string& target, bool succeeded,
                        const std::string& message);

}  // namespace zov
