#pragma once

#include "gui/pages/BackupLogDlg.h"

namespace zov::gui {

// The log views of the SQL Server page (category 101, "MSSQL日志", "SQL Server/") and of the MySQL page
// (category 102, "MYSQL日志", "MySQL/"). A line is listed when its task id is not negative, it names a
// database, its target is an absolute path or "---" and its operation text is longer than one byte.
LogViewConfig SqlServerLogViewConfig();
LogViewConfig MySqlLogViewConfig();

}  // namespace zov::gui
