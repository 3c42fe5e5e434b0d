#pragma once

#include <string_view>

namespace zov {

// A day log's name: "YYYY-MM-DD.log", digits where the date has them.
bool IsDatedLogName(std::string_view name);

// One pass: with config.ini [LOG] "Save" = N > 0, deletes log files older than N days (dated by their
// names "YYYY-MM-DD.log" against today's date from the current clock): any "*.log" directly in the
// program folder's "Log/" whose name sorts before the cut-off date, and dated files in the category
// folders "Files/", "SQL Server/" and "MySQL/" of the log folder. "UI.log" and "system.log" are kept.
// Only files are deleted: links are left alone, and a category folder that is a link is not used. The pass
// is short and runs on the caller's thread; a program that wants it repeated owns the thread.
void CleanOldLogs();

}  // namespace zov
