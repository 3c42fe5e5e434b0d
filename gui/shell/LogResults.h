#pragma once

#include <string>

// Today's backup results as the daily log files record them.
namespace zov::gui {

struct LogResults {
    int successes = 0;
    int failures = 0;
};

// Adds the non-empty lines of a log file to results: a line holding "\t成功\t" is a success, every other
// one a failure. A missing file adds nothing.
void CountLogResults(const std::string& path, LogResults& results);

// The counts of today's files ("YYYY-MM-DD.log" of the clock's now) in the log folder's "Files/",
// "SQL Server/" and "MySQL/".
LogResults TodayResults();

}  // namespace zov::gui
