#pragma once

#include "gui/shell/GuiUtilitiesFiles.h"

// Today's backup results as the daily log files record them.
namespace zov::gui {

// The counts of today's files ("YYYY-MM-DD.log" of the clock's now) in the log folder's "Files/",
// "SQL Server/" and "MySQL/"; a missing file adds nothing.
LogResults TodayResults();

}  // namespace zov::gui
