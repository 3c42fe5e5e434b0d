#pragma once

#include "gui/pages/BackupLogDlg.h"

namespace zov::gui {

// The log view of the file page: category 100 ("文件日志", "Files/"), with the days log files are kept. A
// line is listed when its task id is not negative, its item and its target are each an absolute path or
// "---", and its operation text is longer than one byte.
LogViewConfig FileLogViewConfig();

}  // namespace zov::gui
